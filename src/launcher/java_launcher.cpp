#include "launcher/java_launcher.h"

#include <cstring>
#include <optional>

#include "cmdline/command_line.h"
#include "launcher/messages.h"
#include "platform/console.h"
#include "platform/platform.h"

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
