#include "launcher/java_launcher.h"

#include <cstring>
#include <optional>

#include "cmdline/command_line.h"
#include "launcher/console.h"
#include "launcher/messages.h"
#include "platform/platform.h"

std::string trimWhitespace(const std::string& text) {
    const char* space = " \t\n\v\f\r";
    std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return std::string();
    std::size_t last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
}

std::string directoryOf(const std::string& path) {
    // Step backwards character by character, so that a trail byte of a double-byte character
    // is never taken for a separator.
    std::size_t pos = path.size();
    while (pos > 0) {
        pos = platform::previousCharStart(path, pos);
        if (pos == 0) break;
        if (path[pos] == platform::kDirSeparator) return path.substr(0, pos + 1);
    }
    return path;
}

JavaLauncher::JavaLauncher() {
    std::optional<std::string> executable = platform::ownExecutablePath();
    if (!executable) return;
    startDirectory = platform::currentDirectory().value_or(std::string());
    std::string directory = directoryOf(trimWhitespace(*executable));
    if (!platform::changeDirectory(directory))
        printErr("WARNING: Could not set current directory to: " + directory + "\n");
}

int JavaLauncher::run(int argc, char** argv) {
    programName = (argc > 0 && argv[0]) ? argv[0] : "";
    prescanArguments(argc, argv);
    return launch(argc, argv);
}

void JavaLauncher::prescanArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strstr(argv[i], "-nomsgbox")) {
            noMessageBox = true;
            argv[i] = consumedArgument;
        } else if ((std::strcmp(argv[i], "-conf") == 0 || std::strcmp(argv[i], "-configure") == 0) &&
                   i + 1 < argc) {
            setConfigFilePath(argv[++i]);
        }
    }
}

int JavaLauncher::launch(int argc, char** argv) {
    try {
        ConfigFileParser settings;
        std::string configPath = getConfigFilePath(programName);
        if (!settings.loadSettings(configPath, argc, argv, startDirectory))
            throw JavaLauncherException(kMsgCannotOpenConfig, configPath);
        settings.vmOptions.push_back("-Dide.config_pathname=" + configPath);
        bool updateMode = settings.isUpdateMode();
        if (!updateMode && needToUpdate(programName, settings)) {
            if (settings.getUpdateMainClass().empty())
                printErr("WARNING: There are deferred updates but UpdateMainClass directive is not set\n");
            else if (settings.getUpdateClassPath().empty())
                printErr("WARNING: There are deferred updates but UpdateClassPath directive is not set\n");
            else
                installDeferredUpdates(argc, argv, settings);
        }
        return startApplication(argc, argv, updateMode, settings);
    } catch (const JavaLauncherException& e) {
        showError(e);
    }
}
