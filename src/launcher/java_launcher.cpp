#include "launcher/java_launcher.h"

#include <cstdlib>
#include <optional>

#include "base/path_names.h"
#include "cmdline/command_line.h"
#include "config/app_user_model_id.h"
#include "instance/single_instance.h"
#include "invoke/start_application.h"
#include "launcher/launcher_actions.h"
#include "launcher/start_journal.h"
#include "vm/runtime_check.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/libraries.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "platform/user_interface.h"
#include "splash/splash_screen.h"

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

int JavaLauncher::run(const std::vector<std::string>& args) {
    startArguments = args;
    takeEarlierRestarts();
    CommandLine line = readCommandLine(args);
    // Set once, before anything can show a message.
    programName = line.program;
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
    takePrescan(line);
    return launch(std::move(line));
}

void JavaLauncher::takePrescan(const CommandLine& line) {
    if (line.noMessageBox) noMessageBox = true;
    if (line.hasConfigFile) setConfigFilePath(line.configFile);
}

namespace {

/// This process's start journal record. A static, so that a process the application ends
/// (System.exit) still finishes it, as its exit runs.
StartJournal& journal() {
    static StartJournal record;
    return record;
}

void finishJournalAtExit() { journal().finishAtExit(); }

/// Whether the journal's failure to write is said: the start is verbose.
bool journalVerbose = false;

/// Ends the start's record with `exitCode`, the splash's decision with it; true when written.
bool endRecord(int exitCode) {
    if (!splashScreenDecision().empty()) journal().add("splash", splashScreenDecision());
    return journal().finish(exitCode, journalVerbose);
}

int recorded(int exitCode) {
    endRecord(exitCode);
    return exitCode;
}

/// The settings before the runtime: the defaults, then the command line's title, the file, and
/// the title again, which wins over the file's. Whether the launch is verbose is decided once the
/// application's file has said whether the application handles -verbose itself. When the file
/// cannot be read, the action the command line asks for at that point, else message 7.
std::optional<int> readSettings(LaunchSettings& settings, const std::string& configPath, const CommandLine& line,
                                const ActionInputs& actionInputs) {
    settings.configPath = configPath;
    settings.setJavaHome(platform::kDefaultJavaHome);
    settings.loadPathVariable();
    // The title of the command line is the application's already for a configuration file that
    // cannot be read, and wins over the file's for the prompt.
    applyEarlyOverrides(settings, line, Phase::BeforeFile);
    if (!loadConfigFile(settings, configPath)) {
        if (std::optional<int> code = runLauncherAction(ActionPoint::ConfigurationUnreadable, actionInputs)) return code;
        printOut("Could not load config file: " + configPath + "\n");
        throw JavaLauncherException(kMsgCannotOpenConfig, configPath);
    }
    settings.verbose = launcherTakes(line, ArgumentKind::Verbose, settings.appHandlesHelp);
    // The user's file counts after the application's and before the command line, which says
    // first whether it is read at all.
    applyEarlyOverrides(settings, line, Phase::BeforeUserFile);
    journal().add("user settings", readUserSettings(settings, settings.verbose));
    applyEarlyOverrides(settings, line, Phase::BeforeFile);
    return std::nullopt;
}

std::string runtimeFile(const std::string& javaHome, const char* name) {
    return joinPath(joinPath(javaHome, "lib"), name);
}

/// The runtime the launch uses, its facts read once, with its tools.jar and dt.jar on the class
/// path.
RuntimeFacts chooseRuntime(LaunchSettings& settings) {
    std::vector<std::string> refusals;
    auto recordRefusals = [&refusals] {
        for (const std::string& refusal : refusals) journal().add("refused", refusal);
    };
    RuntimeFacts runtime;
    try {
        runtime = ensureJavaRuntime(settings, settings.verbose, &refusals);
    } catch (...) {
        recordRefusals();
        throw;
    }
    recordRefusals();
    journal().add("runtime", runtime.home + (runtime.releaseVersion ? ", version " + runtime.releaseVersion->text : ""));
    if (!runtime.jvmCfgFound) printErr("WARNING: Could not find jvm.cfg!\n");
    settings.addJavaLibFile(runtimeFile(runtime.home, "tools.jar"));
    settings.addJavaLibFile(runtimeFile(runtime.home, "dt.jar"));
    return runtime;
}

/// The application's taskbar identity, given before the VM opens any window: SetAppUserModelId's,
/// else the one a stamped company name makes; nothing at all without either. -verbose names it
/// and the system's answer.
void giveTaskbarIdentity(const LaunchSettings& settings) {
    std::string id = settings.appUserModelId.empty()
                         ? defaultAppUserModelId(platform::stampedCompanyName(), platform::stampedProductName())
                         : settings.appUserModelId;
    if (id.empty()) return;
    std::optional<std::string> result = platform::setTaskbarIdentity(id);
    if (result && settings.verbose) printOut("AppUserModelID: " + id + " (" + *result + ")\n");
}

}  // namespace

int JavaLauncher::launch(CommandLine line) {
    // Outside the handler: a launch that fails closes the channel before the process ends.
    std::unique_ptr<InstanceListener> instance;
    // Every message, the failure's in the handler too, carries the title the settings hold.
    LaunchSettings settings;
    ProductTitleSource title(settings.productTitle);
    journal().begin(ownExecutable.empty() ? programName : ownExecutable);
    std::atexit(finishJournalAtExit);
    // One of the launcher's own actions is no start of the application: it leaves no record.
    auto action = [](std::optional<int> code) {
        if (code) journal().turnOff();
        return code;
    };
    try {
        // Every relative path (configuration, default Java home) is taken from the
        // executable's directory; the user's working directory must never stand in for it.
        if (ownExecutable.empty()) throw JavaLauncherException(kMsgNoOwnDirectory, programName);
        settings.launcherExecutable = ownExecutable;
        settings.startDirectory = startDirectory;
        std::string configPath = getConfigFilePath(programName);
        journal().setConfigPath(configPath);
        startJournalPath = journal().file();
        ActionInputs actionInputs{line, configPath, settings};
        if (std::optional<int> code = action(runLauncherAction(ActionPoint::ConfigurationNamed, actionInputs))) return *code;
        if (std::optional<int> code = action(readSettings(settings, configPath, line, actionInputs))) return *code;
        journalVerbose = settings.verbose;
        if (!settings.startJournal) journal().turnOff();
        if (std::optional<int> code = action(runLauncherAction(ActionPoint::SettingsRead, actionInputs))) return *code;
        // The search's settings of the command line count for the search, which comes first.
        applyEarlyOverrides(settings, line, Phase::BeforeSearch);
        if (std::optional<int> code = action(runLauncherAction(ActionPoint::SearchSettled, actionInputs))) return *code;
        RuntimeFacts runtime = chooseRuntime(settings);
        // The installation's own bin directory counts for native libraries: it is added before
        // the library path is fixed, after the file's AddNativeCodePath entries.
        settings.addInstallBinDir();
        settings.fixLibraryPath();
        knowVmNames(line, runtime.vmTable);
        bool configuredRuntime = runtime.home == settings.configuredJavaHome;
        applyCommandLine(settings, line, startDirectory);
        // The command line may turn the journal off, not on against the files.
        if (!settings.startJournal) journal().turnOff();
        // The search took the command line's Java home lower-cased where names ignore case; the
        // VM library is found under it as typed. A runtime the search or the user chose stands.
        if (configuredRuntime) runtime.home = settings.configuredJavaHome;
        settings.applyDefaults();
        // An update child knows itself from its environment, which no configuration or
        // jvm.cfg can change ("-update" can be taken as a VM's name): it never starts another.
        bool updateMode = settings.updateMode || updateChild;
        // Before anything slow: a start that hands its arguments to the running instance ends here.
        if (!updateMode) {
            InstanceCheck check = checkForRunningInstance(settings, startDirectory);
            if (!check.note.empty()) journal().add("instance", check.note);
            if (check.exitCode) return recorded(*check.exitCode);
            instance = std::move(check.listener);
            // Later starts get their receipts from now on, during the updates and the VM's start.
            if (instance) instance->start();
        }
        if (!updateMode && needToUpdate(programName, settings)) {
            if (settings.updateMainClass.empty())
                printErr("WARNING: There are deferred updates but UpdateMainClass directive is not set\n");
            else if (settings.updateClassPath.empty())
                printErr("WARNING: There are deferred updates but UpdateClassPath directive is not set\n");
            else
                installDeferredUpdates(line, settings, runtime.vmTable);
        }
        giveTaskbarIdentity(settings);
        return recorded(startApplication(updateMode, settings, runtime, instance.get()));
    } catch (const JavaLauncherException& e) {
        instance.reset();
        // Written before the message is shown: a window may keep it for minutes.
        journal().addMessage(e);
        // A desktop window names the journal only when it holds this start's record.
        if (!endRecord(e.messageIndex)) startJournalPath.clear();
        return showError(e);
    }
}

int JavaLauncher::startApplication(bool updateMode, const LaunchSettings& settings, const RuntimeFacts& runtime,
                                   InstanceListener* instance) {
    VmObserver observer;
    observer.optionsChosen = [](const std::string& library, const VmOptions& options) {
        journal().add("VM library", library.empty() ? "none" : library);
        for (const VmOption& option : options.options)
            journal().add("VM option", option.hook ? option.text + " (the launcher's hook)" : option.text);
        if (!options.cacheWork.note.empty()) journal().add("startup cache", options.cacheWork.note);
    };
    observer.created = [instance](JavaVM* vm, JNIEnv* env) {
        // System.exit ends the process through the VM's own C runtime, which on Windows runs
        // only the handlers registered with it: the record is written there too.
        platform::alsoAtExitOfLoadedRuntimes(finishJournalAtExit);
        if (instance) instance->vmCreated(vm, env);
    };
    if (instance) {
        observer.beforeDestruction = [instance] { instance->vmEnding(); };
        observer.mainStarting = [instance] { instance->mainStarting(); };
        // The usual desktop application returns from main at once and runs on in its threads.
        observer.mainReturned = [instance](JNIEnv* env) { instance->mainReturned(env); };
    }
    // The installer's exit code is no request of the application's.
    bool restarts = settings.restartExitCode != 0 && !updateMode;
    if (instance || restarts) {
        // System.exit: the channel goes before a restart, so that the new start claims it.
        observer.exiting = [this, instance, restarts, &settings](int code) {
            if (instance) instance->processEnding();
            if (restarts) restartFor(code, settings);
        };
    }
    int exitCode = startJavaApplication(settings, runtime, updateMode, observer);
    if (restarts && exitCode == settings.restartExitCode) {
        if (instance) instance->processEnding();
        restartFor(exitCode, settings);
    }
    return exitCode;
}
