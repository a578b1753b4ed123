#include "launcher/java_launcher.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "cmdline/command_line.h"
#include "instance/single_instance.h"
#include "invoke/start_application.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "vm/java_search.h"

JavaLauncher::JavaLauncher() {
    if (std::optional<std::string> executable = platform::ownExecutablePath()) moveToDirectoryOf(*executable);
}

void JavaLauncher::moveToDirectoryOf(const std::string& executable) {
    ownExecutable = executable;
    startDirectory = platform::currentDirectory().value_or(std::string());
    std::string directory = directoryOf(trimWhitespace(executable));
    if (!platform::changeDirectory(directory))
        printErr("WARNING: Could not set current directory to: " + directory + "\n");
}

int JavaLauncher::run(int argc, char** argv) {
    programName = (argc > 0 && argv[0]) ? argv[0] : "";
    // Read before anything else, and removed, so that only this process sees it. Only the
    // name the parent sets counts: one in another letter case (POSIX tells them apart) is a
    // variable of someone else's, which unsetting this name would not remove.
    if (platform::getEnvExactName(kUpdateChildVariable)) {
        updateChild = true;
        platform::setEnv(kUpdateChildVariable, std::nullopt);
    }
    // Without the system's word (Linux without /proc), the executable is the file the
    // program name designates, as a shell found it: a path from the working directory or a
    // PATH entry, with its symbolic links resolved as the system would have given it.
    if (ownExecutable.empty()) {
        std::optional<std::string> invoked =
            invokedProgramPath(programName, platform::currentDirectory().value_or(std::string()));
        if (std::optional<std::string> executable = invoked ? platform::resolvedPath(*invoked) : std::nullopt)
            moveToDirectoryOf(*executable);
    }
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
    // Outside the handler: a launch that fails closes the channel before the process ends.
    std::unique_ptr<InstanceListener> instance;
    try {
        // Every relative path (configuration, default Java home) is taken from the
        // executable's directory; the user's working directory must never stand in for it.
        if (ownExecutable.empty()) throw JavaLauncherException(kMsgNoOwnDirectory, programName);
        ConfigFileParser settings;
        std::string configPath = getConfigFilePath(programName);
        // Forgetting needs no configuration that loads, nor any Java: only the answer's file.
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], "--forget-java") == 0) forgetJavaAndExit(configPath);
        if (!settings.loadSettings(configPath, argc, argv, startDirectory))
            throw JavaLauncherException(kMsgCannotOpenConfig, configPath);
        settings.vmOptions.push_back("-Dide.config_pathname=" + configPath);
        // An update child knows itself from its environment, which no configuration or
        // jvm.cfg can change ("-update" can be taken as a VM's name): it never starts another.
        bool updateMode = settings.isUpdateMode() || updateChild;
        // Before anything slow: a start that hands its arguments to the running instance ends here.
        if (!updateMode) {
            InstanceCheck check = checkForRunningInstance(settings, startDirectory);
            if (check.exitCode) return *check.exitCode;
            instance = std::move(check.listener);
        }
        if (!updateMode && needToUpdate(programName, settings)) {
            if (settings.getUpdateMainClass().empty())
                printErr("WARNING: There are deferred updates but UpdateMainClass directive is not set\n");
            else if (settings.getUpdateClassPath().empty())
                printErr("WARNING: There are deferred updates but UpdateClassPath directive is not set\n");
            else
                installDeferredUpdates(argc, argv, settings);
        }
        return startApplication(argc, argv, updateMode, settings, instance.get());
    } catch (const JavaLauncherException& e) {
        instance.reset();
        showError(e);
    }
}

void JavaLauncher::forgetJavaAndExit(const std::string& configPath) {
    std::string report;
    bool removed = forgetJavaHome(configPath, report);
    printOut(report);
    std::exit(removed ? 0 : 1);
}

int JavaLauncher::startApplication(int /*argc*/, char** /*argv*/, bool updateMode, const ConfigFileParser& settings,
                                   InstanceListener* instance) {
    VmObserver observer;
    if (instance) {
        observer.beforeCreation = [instance] { instance->start(); };
        observer.created = [instance](JavaVM* vm, JNIEnv* env) { instance->vmCreated(vm, env); };
    }
    return startJavaApplication(settings, updateMode, observer);
}
