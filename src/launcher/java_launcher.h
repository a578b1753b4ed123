// The launcher object and the fixed order of one launch.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/config_file_parser.h"
#include "base/path_names.h"

class InstanceListener;

class JavaLauncher {
public:
    /// Records the user's working directory and moves to the executable's own directory
    /// (a warning on stderr when the system refuses). When the system cannot name the
    /// executable, nothing happens here and run looks for it by its program name.
    JavaLauncher();

    /// Keeps the program name, pre-scans the arguments and launches. Returns the exit code:
    /// 0, or 1 when the application's main ended with an exception. A launch whose own
    /// directory cannot be found ends with message 12.
    int run(int argc, char** argv);
    /// Takes "-nomsgbox" (anywhere inside an argument; the element is emptied) and the last
    /// "-conf"/"-configure" value.
    void prescanArguments(int argc, char** argv);
    /// One launch; every JavaLauncherException ends here in showError. Returns the exit code
    /// of startApplication.
    int launch(int argc, char** argv);

    /// The absolute configuration file path, derived from the program name when no "-conf"
    /// set it.
    const std::string& getConfigFilePath(const std::string& programName);
    /// Makes `path` absolute against the current directory and stores it.
    void setConfigFilePath(const std::string& path);

    /// True when a deferred-updates marker is present.
    bool needToUpdate(const std::string& programName, const ConfigFileParser& settings);
    /// Runs the update child and waits for it, reporting a failure on stderr; the launch
    /// goes on whatever the outcome.
    void installDeferredUpdates(int argc, char** argv, const ConfigFileParser& settings);

    /// Creates the Java VM from a copy of `settings` and runs the main class (the installer
    /// class in update mode). With `instance`, its listener starts before the VM is made and
    /// learns of the VM once it is. Throws JavaLauncherException on failure; returns the exit code
    /// the process should end with (0 after a normal return of main, 1 after an uncaught
    /// exception).
    int startApplication(int argc, char** argv, bool updateMode, const ConfigFileParser& settings,
                         InstanceListener* instance = nullptr);

    const std::string& getStartDirectory() const { return startDirectory; }

private:
    /// Records the working directory and moves to the directory of `executable`.
    void moveToDirectoryOf(const std::string& executable);
    /// --forget-java: removes this user's remembered Java for `configPath`, says what it
    /// removed and ends the process (0; 1 when the file could not be removed).
    [[noreturn]] static void forgetJavaAndExit(const std::string& configPath);

    std::string startDirectory;
    std::string configFilePath;
    /// The full path of the running executable; empty until it is known.
    std::string ownExecutable;
    /// Started by a parent launcher as its update child: update mode, whatever the arguments.
    bool updateChild = false;
};

/// The variable that marks the environment of an update child. The parent sets it only for
/// the child; the child removes it at once, so that nothing the installer starts inherits it.
extern const char* const kUpdateChildVariable;

/// The file that the program name designates as the system found it at the start: a name
/// with a separator is a path (a relative one from `startDirectory`), a bare name is looked
/// up through PATH. nullopt when no regular file is there.
std::optional<std::string> invokedProgramPath(const std::string& program, const std::string& startDirectory);

/// The update child's arguments: the parent's (the program name completed with the
/// executable suffix), then "-update" and "--SetMainClass=" with the installer class. A
/// trailing "-conf", "-configure" or "-mainclass" without its value, which did nothing in the
/// parent, is left out: in the child it would take "-update" as its value. `settings` gives
/// the VM names of the runtime ("-mainclass" names a VM when jvm.cfg lists "mainclass").
std::vector<std::string> updateChildArguments(int argc, char** argv, const std::string& updateMainClass,
                                              const ConfigFileParser* settings = nullptr);
