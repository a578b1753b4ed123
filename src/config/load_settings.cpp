#include <string>

#include "config/config_file_parser.h"
#include "config/text_ops.h"
#include "platform/console.h"
#include "platform/platform.h"

bool ConfigFileParser::loadSettings(const std::string& configPath, int argc, char** argv,
                                    std::string startDirectory) {
    vmOptions.clear();
    this->configPath = configPath;
    std::string defaultHome = platform::kDefaultJavaHome;
    processdirective(kSetJavaHome, defaultHome);
    loadPathVariable();
    if (!readConfigFile(configPath, &ConfigFileParser::parseConfigLine)) {
        printOut("Could not load config file: " + configPath + "\n");
        return false;
    }
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
        if (path && !path->empty()) nativeCodePath = *path;
    } catch (...) {
        // PATH that cannot be read leaves the native code path as it was.
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
