#include <string>

#include "config/config_file_parser.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/java_places.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "platform/text.h"

bool ConfigFileParser::loadSettings(const std::string& configPath, int argc, char** argv,
                                    std::string startDirectory) {
    vmOptions.clear();
    this->configPath = configPath;
    std::string defaultHome = platform::kDefaultJavaHome;
    processdirective(kSetJavaHome, defaultHome);
    loadPathVariable();
    // The title of the command line is the application's already for a configuration file that
    // cannot be read, and wins over the file's for the prompt.
    applyOverridesEarly(argc, argv, {kSetProductTitle});
    if (!readConfigFile(configPath, &ConfigFileParser::parseConfigLine)) {
        printOut("Could not load config file: " + configPath + "\n");
        return false;
    }
    // The user's file counts after the application's and before the command line; -verbose is
    // the launcher's unless the application handles it (its file said so).
    bool verboseLoad = false;
    for (int i = 1; i < argc; ++i) verboseLoad = verboseLoad || (std::string(argv[i]) == "-verbose" && !appHandlesHelp);
    readUserSettings(verboseLoad);
    applyOverridesEarly(argc, argv, {kSetProductTitle});
    processJavaHome(argc, argv);
    // The installation's own bin directory counts for native libraries: it is added before
    // the library path is composed, after the file's AddNativeCodePath entries.
    addInstallBinDir();
    vmOptions.push_back("-Djava.library.path=" + getNativeCodePath());
    parseCommandLine(argc, argv, startDirectory);
    return true;
}

void ConfigFileParser::loadPathVariable() {
    try {
        std::optional<std::string> path = platform::getEnv("PATH");
        if (!path || path->empty()) return;
        // PATH is the user's whole system, not the application's: an entry the VM could not be
        // given (a stale folder named outside the code page) is left out rather than stopping
        // every start.
        std::string kept;
        bool keptAny = false;
        for (const std::string& entry : splitPathList(*path)) {
            if (platform::vmCanTakePath(entry)) {
                if (keptAny) kept += platform::kPathListSeparator;
                kept += entry;
                keptAny = true;
            } else {
                leftOutPathEntries.push_back(entry);
            }
        }
        nativeCodePath = kept;
    } catch (...) {
        // PATH that cannot be read leaves the native code path as it was.
    }
}

void ConfigFileParser::applyOverridesEarly(int argc, char** argv, std::initializer_list<int> which) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") != 0 || equals == std::string::npos) continue;
        int directive = findDirective(lowerCaseCopy(arg.substr(2, equals - 2)));
        std::string value = arg.substr(equals + 1);
        for (int wanted : which)
            if (directive == wanted) processdirective(directive, value);
    }
}

void ConfigFileParser::addInstallBinDir() {
    try {
        std::optional<std::string> root = platform::getEnv("OMBRIX_HOME");
        if (!root || root->empty()) return;
        std::string bin = *root;
        if (bin.back() == platform::kDirSeparator) bin.pop_back();
        bin += platform::kDirSeparator;
        bin += "bin";
        processdirective(kAddNativeCodePath, bin);
    } catch (...) {
        // The installation root is optional; a failure here changes nothing.
    }
}
