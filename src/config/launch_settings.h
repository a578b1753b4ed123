// The launch settings record: what the configuration files and the command line say about the
// launch, as plain data, and the directives that fill it. What the runtime's own files say (the
// Java home the launch uses, its jvm.cfg) is not part of it: the runtime check hands that on as
// RuntimeFacts (vm/java_home.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/max_heap_setting.h"

/// One VM that the runtime's jvm.cfg declares. An empty directory marks an unsupported VM.
struct VmEntry {
    std::string name;
    std::string directory;
    bool operator==(const VmEntry& other) const {
        return name == other.name && directory == other.directory;
    }
};

/// SetJavaSearch: searching for an installed runtime, on, off, or not said (then on exactly
/// when SetJavaVersion is given).
enum class JavaSearchSetting { Unset, On, Off };

/// SetWorkingDirectory: where the application runs.
enum class WorkingDirectory {
    Launcher,  ///< the launcher's own directory, where every start has run
    Start,     ///< the directory the user started the launcher from
    Folder,    ///< the folder SetWorkingDirectory names (workingFolder)
};

/// A line's 1-based number in its file: 64 bits, so that no file, however long, overflows it.
using LineNumber = std::int64_t;

class LaunchSettings {
public:
    // ---- Directives ---------------------------------------------------------------------

    /// Carries out the directive `name` (in any letter case) with `value`; false for an unknown
    /// name, after a warning on stderr that names it lower-cased.
    bool applyDirective(const std::string& name, const std::string& value);
    /// The configuration-file line handler: comments, invalid lines, directives. Only running
    /// out of memory throws (std::bad_alloc), which ends the launch.
    void parseConfigLine(const std::string& line, LineNumber lineNumber);

    // One operation per directive, which the table of directives.cpp pairs with its name. A
    // value that a directive does not take leaves the record as it was, with a warning on
    // stderr; only running out of memory throws.
    void addJavaLibFile(const std::string& value);
    /// The jar then zip archives of the directory `value`, list-separated.
    void addJavaLibPath(const std::string& value);
    void addVmOption(const std::string& value);
    void addNativeCodePath(const std::string& value);
    /// configuredJavaHome = javaHomeAsSet(value).
    void setJavaHome(const std::string& value);
    void setJavaVm(const std::string& value);
    void setMainClass(const std::string& value);
    void setUserHomeVariable(const std::string& value);
    void registerEnvVar(const std::string& value);
    void setUpdateMainClass(const std::string& value);
    void setUpdateClassPath(const std::string& value);
    void setStartupCache(const std::string& value);
    void setJavaVersion(const std::string& value);
    void setJavaSearch(const std::string& value);
    void addJavaSearchPath(const std::string& value);
    void setProductTitle(const std::string& value);
    void setUserSettings(const std::string& value);
    void setStartJournal(const std::string& value);
    void setMaxHeap(const std::string& value);
    void setJavaDownloadUrl(const std::string& value);
    void setSingleInstance(const std::string& value);
    void setSplashScreen(const std::string& value);
    void setRestartExitCode(const std::string& value);
    void setWorkingDirectory(const std::string& value);
    void setLauncherProperties(const std::string& value);
    void setAppUserModelId(const std::string& value);

    // ---- Defaults and environment -----------------------------------------------------

    /// nativeCodePath = PATH, when PATH is set and not empty, less the entries that the VM
    /// could not be given (kept in leftOutPathEntries). Never fails.
    void loadPathVariable();
    /// Adds the installation root variable's bin directory to the native code path.
    void addInstallBinDir();
    /// Fixes java.library.path to the native code path as it is now; from then on VM options
    /// are the command line's.
    void fixLibraryPath();
    /// Completes the record once nothing more is applied to it: the default VM name and main
    /// class where none was given.
    void applyDefaults();

    // ---- Questions on the record ------------------------------------------------------

    /// True when the launch searches for an installed runtime that fits.
    bool searchesForJava() const;

    // The fields are public so that the steps that own them (and the tests) reach them
    // directly; every path, class name, VM name and VM option still enters through a directive.
    std::string classPath;
    std::string nativeCodePath;
    /// SetJavaHome: the Java home the configuration and the command line name. The search
    /// starts from it; the home the launch uses is the runtime check's (RuntimeFacts::home).
    std::string configuredJavaHome;
    /// SetJavaVM; empty, until applyDefaults, when none is asked for (the search takes any VM).
    std::string vmName;
    /// The VM the command line asks the search for (--SetJavaVM=, -server, -client) where it
    /// chooses among runtimes; nullopt: vmName. The launcher's options set vmName later.
    std::optional<std::string> searchedVmName;
    /// SetMainClass, '/'-separated; empty until applyDefaults when none is given.
    std::string mainClass;
    std::string userHome;
    std::vector<std::string> vmOptions;
    std::vector<std::string> appArgs;
    std::string updateMainClass;
    std::string updateClassPath;
    bool updateMode = false;
    bool appHandlesHelp = false;
    bool multiInstance = false;
    bool verbose = false;
    /// SetStartupCache: "on", a directory, or empty when the start-up cache is off.
    std::string startupCache;
    /// SetSplashScreen: the image the runtime's splash library shows before the VM starts
    /// (native separators, relative to the executable's directory); empty for none.
    std::string splashImage;
    /// SetJavaVersion: the accepted feature versions; 0 where there is no bound.
    int javaVersionMin = 0;
    int javaVersionMax = 0;
    JavaSearchSetting javaSearch = JavaSearchSetting::Unset;
    /// AddJavaSearchPath: the application's own places, in order.
    std::vector<std::string> javaSearchPaths;
    /// SetUserSettings: whether this user's own settings file is read.
    bool userSettings = true;
    /// SetStartJournal: whether this start appends its record to the user's start journal.
    bool startJournal = true;
    /// SetProductTitle: the application's title; empty for the stamped or default one.
    std::string productTitle;
    /// SetMaxHeap, once it has been found sound; nullopt when not set.
    std::optional<MaxHeapRequest> maxHeap;
    /// Whether maxHeap is the user's (the user's file or the command line gave it), which wins
    /// over the application's maximum heap, rather than the application's, which yields.
    bool maxHeapFromUser = false;
    /// How many of vmOptions the application's file gave (the user's file's follow them), once
    /// that file is read; nullopt before.
    std::optional<std::size_t> applicationVmOptionCount;
    /// SetJavaDownloadUrl: where to get Java when none fits; empty when not set.
    std::string javaDownloadUrl;
    /// SetSingleInstance: the class ('/'-separated) and the static method that a later start's
    /// arguments go to; both empty when every start is a new instance.
    std::string singleInstanceClass;
    std::string singleInstanceMethod;
    /// SetRestartExitCode: the exit code (1 to 255) with which the application asks to be
    /// started again; 0 when it never is.
    int restartExitCode = 0;
    /// SetWorkingDirectory, and for a folder the folder (native separators; absolute, or from
    /// the launcher's directory).
    WorkingDirectory workingDirectory = WorkingDirectory::Launcher;
    std::string workingFolder;
    /// SetLauncherProperties: the VM is told the launcher's executable and start directory.
    bool launcherProperties = false;
    /// SetAppUserModelId: the taskbar identity; empty for the stamped executable's own, if any.
    std::string appUserModelId;
    /// The configuration file's path.
    std::string configPath;
    /// The launcher's own executable (full path) and the directory the user started it from,
    /// as the launch found them before it moved to the executable's directory.
    std::string launcherExecutable;
    std::string startDirectory;
    /// The entries of PATH left out of the native code path: the VM could not be given them.
    std::vector<std::string> leftOutPathEntries;
    /// java.library.path: the native code path as it is once the files are read; nullopt before.
    std::optional<std::string> fixedLibraryPath;
    /// The VM options of the command line (AddVMOption and RegisterEnvVar after the library
    /// path is fixed), which the VM receives after java.library.path; vmOptions are the files'.
    std::vector<std::string> commandLineVmOptions;

private:
    /// Adds a VM option: the files' until the library path is fixed, the command line's after.
    void pushVmOption(std::string option);
};

/// One directive of the configuration: its name as the reference writes it, and the record's
/// operation that carries it out.
struct Directive {
    const char* name;
    void (LaunchSettings::*apply)(const std::string& value);
    /// The directive's name alone on a line is a valid line, with an empty value that turns
    /// the feature off (a user's file can turn the application's splash off).
    bool nameAloneTurnsOff = false;
};

/// Every directive, in the reference's order.
const std::vector<Directive>& directives();

/// The directive named `name` in any letter case; null for none.
const Directive* findDirective(const std::string& name);

/// A Java home as SetJavaHome keeps it: one trailing native separator removed, then the
/// foreign separators made native (so "C:/jdk/" keeps its trailing separator).
std::string javaHomeAsSet(std::string home);

/// The main class when none is configured.
extern const char* const kDefaultMainClass;
/// The VM name when none is configured.
extern const char* const kDefaultVmName;
/// The VM option by which the application says it prints its own usage text.
extern const char* const kAppHandlesHelpOption;

/// Reads the configuration file at `path` into `settings`, line by line (parseConfigLine).
/// False exactly when the file cannot be opened or read. A file longer than kMaxConfigFileBytes
/// throws JavaLauncherException (kMsgFileTooLarge, `path`) before any line is handled.
bool loadConfigFile(LaunchSettings& settings, const std::string& path);

/// Reads this user's settings file for the configuration (in userSettingsFolder) into
/// `settings` as one more configuration file, unless SetUserSettings turned it off or it is not
/// the user's alone (a warning then). Directives the application's file locked are left out,
/// and SetUserSettings itself; `verboseLoad` names the file read and each line left out.
/// Returns what became of the file, for the start's record: read, or why not.
std::string readUserSettings(LaunchSettings& settings, bool verboseLoad);

/// Reads `path` whole (in binary), decodes its text (decodeConfigText) and calls `handler` for
/// each non-empty line, with its 1-based number: false when it cannot be opened or read; a file
/// longer than kMaxConfigFileBytes throws JavaLauncherException (kMsgFileTooLarge, `path`)
/// before any line is handled. Running out of memory is fatal.
bool readTextLines(const std::string& path, const std::function<void(const std::string&, LineNumber)>& handler);

/// Calls `handler` for each non-empty line of a file's `text`, read from `path`, decoded as
/// readTextLines decodes it (a wide text without a mark is not read: a warning names `path`).
void readTextOf(std::string text, const std::string& path, const std::function<void(const std::string&, LineNumber)>& handler);

/// This user's settings folder of the application of the configuration file at `configPath`
/// ("<settings>/app" for app.conf): the remembered answers and the user's own settings file;
/// empty when the environment names no settings directory.
std::string userSettingsFolder(const std::string& configPath);
