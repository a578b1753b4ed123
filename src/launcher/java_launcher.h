// The launcher object and the fixed order of one launch.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "config/launch_settings.h"
#include "base/path_names.h"
#include "vm/java_home.h"

class InstanceListener;

class JavaLauncher {
public:
    /// Records the user's working directory and moves to the executable's own directory
    /// (a warning on stderr when the system refuses). When the system cannot name the
    /// executable, nothing happens here and run looks for it by its program name.
    JavaLauncher();

    /// Keeps the program name, reads the command line (`args`, the program name first) and
    /// launches. Returns the exit code: 0, or 1 when the application's main ended with an
    /// exception, or the message's number. A launch whose own directory cannot be found ends
    /// with message 12.
    int run(const std::vector<std::string>& args);
    /// Takes what the command line's pre-scan found: "-nomsgbox" and the last "-conf" value.
    void takePrescan(const CommandLine& line);
    /// One launch, in the order of its data: the settings from the file and the command line,
    /// the runtime, the deferred updates, the start. Every JavaLauncherException ends here in
    /// showError. Returns the process's exit code.
    int launch(CommandLine line);

    /// The absolute configuration file path, derived from the program name when no "-conf"
    /// set it.
    const std::string& getConfigFilePath(const std::string& programName);
    /// Makes `path` absolute against the current directory and stores it.
    void setConfigFilePath(const std::string& path);

    /// True when a deferred-updates marker is present.
    bool needToUpdate(const std::string& programName, const LaunchSettings& settings);
    /// Runs the update child and waits for it, reporting a failure on stderr; the launch
    /// goes on whatever the outcome. `vms` are the runtime's VMs, whose names are options.
    void installDeferredUpdates(const CommandLine& line, const LaunchSettings& settings,
                                const std::vector<VmEntry>& vms);

    /// Creates the Java VM from `settings` on `runtime` and runs the main class (the
    /// installer class in update mode). With `instance`, its listener (started already) learns
    /// of the VM once it is made, of main's start, and of the process's end at System.exit. Throws JavaLauncherException on failure; returns
    /// the exit code the process should end with (0 after a normal return of main, 1 after an
    /// uncaught exception).
    int startApplication(bool updateMode, const LaunchSettings& settings, const RuntimeFacts& runtime,
                         InstanceListener* instance = nullptr);

    /// Takes over what a restarted start is handed: waits for the start that restarted it to
    /// end (Windows), and reads the times of the restarts before it.
    void takeEarlierRestarts();
    /// When `exitCode` is the one SetRestartExitCode names: starts the application again, as
    /// a new start of this executable with the same arguments (POSIX: returns only when the
    /// system refuses), unless it has been restarted more than 3 times within 60 seconds (a
    /// WARNING line). True when a new start has been made, and this process is to end.
    bool restartFor(int exitCode, const LaunchSettings& settings);

private:
    /// Records the working directory and moves to the directory of `executable`.
    void moveToDirectoryOf(const std::string& executable);

    std::string startDirectory;
    std::string configFilePath;
    /// The full path of the running executable; empty until it is known.
    std::string ownExecutable;
    /// Started by a parent launcher as its update child: update mode, whatever the arguments.
    bool updateChild = false;
    /// The arguments this process was started with, the program name first, for a restart.
    std::vector<std::string> startArguments;
    /// When the restarts before this start were made (seconds since 1970).
    std::vector<long long> earlierRestarts;
};

/// The variable that marks the environment of an update child. The parent sets it only for
/// the child; the child removes it at once, so that nothing the installer starts inherits it.
extern const char* const kUpdateChildVariable;

/// The file that the program name designates as the system found it at the start: a name
/// with a separator is a path (a relative one from `startDirectory`), a bare name is looked
/// up through PATH. nullopt when no regular file is there.
std::optional<std::string> invokedProgramPath(const std::string& program, const std::string& startDirectory);
