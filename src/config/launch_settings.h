// The launch settings record: everything the launcher learns before it starts the Java VM,
// the configuration file's reader and its directives. The other rooms fill the rest of it
// (the runtime's jvm.cfg, the command line) with functions of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

/// One VM that the runtime's jvm.cfg declares. An empty directory marks an unsupported VM.
struct VmEntry {
    std::string name;
    std::string directory;
    bool operator==(const VmEntry& other) const {
        return name == other.name && directory == other.directory;
    }
};

/// Directive ids: positions in the directive table.
enum DirectiveId : int {
    kAddJavaLibFile = 0,
    kAddJavaLibPath = 1,
    kAddVMOption = 2,
    kAddNativeCodePath = 3,
    kSetJavaHome = 4,
    kSetJavaVM = 5,
    kSetMainClass = 6,
    kSetUserHomeVariable = 7,
    kRegisterEnvVar = 8,
    kSetUpdateMainClass = 9,
    kSetUpdateClassPath = 10,
    kSetStartupCache = 11,
    kSetJavaVersion = 12,
    kSetJavaSearch = 13,
    kAddJavaSearchPath = 14,
    kSetProductTitle = 15,
    kSetUserSettings = 16,
    kSetMaxHeap = 17,
    kSetJavaDownloadUrl = 18,
    kSetSingleInstance = 19,
    kSetSplashScreen = 20,
};

/// SetJavaSearch: searching for an installed runtime, on, off, or not said (then on exactly
/// when SetJavaVersion is given).
enum class JavaSearchSetting { Unset, On, Off };

/// A line's 1-based number in its file: 64 bits, so that no file, however long, overflows it.
using LineNumber = std::int64_t;

class LaunchSettings {
public:
    /// The handler readConfigFile calls for each non-empty line, with its 1-based number.
    using LineHandler = void (LaunchSettings::*)(const std::string& line, LineNumber lineNumber);

    LaunchSettings() = default;

    // ---- Defaults and environment -----------------------------------------------------

    /// nativeCodePath = PATH, when PATH is set and not empty, less the entries that the VM
    /// could not be given (kept in leftOutPathEntries). Never fails.
    void loadPathVariable();
    /// Adds the installation root variable's bin directory to the native code path.
    void addInstallBinDir();

    // ---- Configuration file -----------------------------------------------------------

    /// Reads `path` whole (in binary), decodes its text (decodeConfigText) and calls `handler`
    /// for each non-empty line. False exactly when the file cannot be opened or read. A file
    /// longer than kMaxConfigFileBytes throws JavaLauncherException (kMsgFileTooLarge, `path`)
    /// before any line is handled. Running out of memory is fatal.
    bool readConfigFile(const std::string& path, LineHandler handler);
    /// Reads the configuration file at `path` into the record (readConfigFile with
    /// parseConfigLine).
    bool loadConfigFile(const std::string& path) { return readConfigFile(path, &LaunchSettings::parseConfigLine); }
    /// The configuration-file line handler: comments, invalid lines, directives. Only running
    /// out of memory throws (std::bad_alloc), which ends the launch.
    void parseConfigLine(const std::string& line, LineNumber lineNumber);
    /// Looks up `name` (lower-cased in place) and runs that directive; false for an unknown
    /// name, after a warning on stderr.
    bool applyDirective(std::string& name, std::string& value);

    /// Reads this user's own settings file for the configuration (userSettingsFile) as one more
    /// configuration file, unless SetUserSettings turned it off or it is not the user's alone
    /// (a warning then). Directives the application's file locked are left out, and SetUserSettings
    /// itself; `verboseLoad` names the file read and each line left out.
    void readUserSettings(bool verboseLoad);
    /// The user-file line handler: parseConfigLine, less the directives lockedForUser names.
    void parseUserConfigLine(const std::string& line, LineNumber lineNumber);

    // ---- Directives -------------------------------------------------------------------

    /// Carries out one directive. Always true; an unknown id changes nothing. May rewrite
    /// `value`.
    bool processdirective(int id, std::string& value);
    /// The jar then zip archives of `directory`, list-separated; empty when there are none.
    std::string getFileNames(std::string& directory);
    /// The entries of `directory` (ending in a separator) that match `pattern`.
    std::string getFileNamesImpl(const std::string& directory, const std::string& pattern);
    /// target = the trimmed value of the variable, when it is set and not empty.
    static void readEnvVar(const std::string& name, std::string& target);

    // ---- Questions on the record ------------------------------------------------------

    /// True when the launch searches for an installed runtime that fits.
    bool searchesForJava() const;
    /// vmName, set to "hotspot" first when empty.
    const std::string& getVmName();
    /// mainClass, set to the default main class first when empty.
    const std::string& getMainClass();

    // ---- Accessors --------------------------------------------------------------------

    const std::string& getClassPath() const { return classPath; }
    const std::string& getNativeCodePath() const { return nativeCodePath; }
    const std::string& getJavaHome() const { return javaHome; }
    const std::string& getUserHome() const { return userHome; }
    const std::string& getUpdateMainClass() const { return updateMainClass; }
    const std::string& getUpdateClassPath() const { return updateClassPath; }
    bool isUpdateMode() const { return updateMode; }

    // The fields are public so that the steps that own them (and the tests) reach them
    // directly; every path, class name, VM name and VM option still enters through
    // processdirective.
    std::string classPath;
    std::string nativeCodePath;
    std::string javaHome;
    std::string vmName;
    std::string mainClass;
    std::string userHome;
    std::vector<std::string> vmOptions;
    std::vector<VmEntry> vmTable;
    std::vector<std::string> appArgs;
    int nonOptionArgCount = 0;
    std::string updateMainClass;
    std::string updateClassPath;
    bool updateMode = false;
    bool appHandlesHelp = false;
    bool multiInstance = false;
    bool noShellIntegration = false;
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
    /// The prompt or the search replaced the configured Java home: the command line's
    /// SetJavaHome, applied again later, must not undo that choice.
    bool javaHomeChosen = false;
    /// SetUserSettings: whether this user's own settings file is read.
    bool userSettings = true;
    /// SetMaxHeap as written, once it has been found sound; empty when not set.
    std::string maxHeap;
    /// SetJavaDownloadUrl: where to get Java when none fits; empty when not set.
    std::string javaDownloadUrl;
    /// While the user's file is read: the directives it may not set; whether to say so.
    std::vector<int> lockedForUser;
    bool verboseUserSettings = false;
    /// SetSingleInstance: the class ('/'-separated) and the static method that a later start's
    /// arguments go to; both empty when every start is a new instance.
    std::string singleInstanceClass;
    std::string singleInstanceMethod;
    /// The configuration file's path.
    std::string configPath;
    /// The entries of PATH left out of the native code path: the VM could not be given them.
    std::vector<std::string> leftOutPathEntries;
    /// java.library.path: the native code path as it is once the files are read; nullopt before.
    std::optional<std::string> fixedLibraryPath;
    /// The VM options of the command line (AddVMOption and RegisterEnvVar after the library
    /// path is fixed), which the VM receives after java.library.path; vmOptions are the files'.
    std::vector<std::string> commandLineVmOptions;
    /// Fixes java.library.path to the native code path as it is now; from then on VM options
    /// are the command line's.
    void fixLibraryPath();
    /// Adds a VM option: the files' until the library path is fixed, the command line's after.
    void addVmOption(std::string option);

private:
    void setJavaVersion(const std::string& value);
    void setMaxHeap(const std::string& value);
    void setSingleInstance(const std::string& value);
};

/// The main class when none is configured.
extern const char* const kDefaultMainClass;
/// The VM name when none is configured.
extern const char* const kDefaultVmName;
/// The VM option by which the application says it prints its own usage text.
extern const char* const kAppHandlesHelpOption;

/// The id of the directive whose key equals `key` byte for byte, or -1.
int findDirective(const std::string& key);

/// The directive table's keys, in table order.
std::vector<std::string> directiveKeys();

/// Reads `path` as readConfigFile does and calls `handler` for each non-empty line: false when
/// it cannot be opened or read; a file longer than kMaxConfigFileBytes throws
/// JavaLauncherException (kMsgFileTooLarge, `path`) before any line is handled.
bool readTextLines(const std::string& path, const std::function<void(const std::string&, LineNumber)>& handler);

/// Calls `handler` for each non-empty line of a file's `text`, read from `path`, decoded as
/// readTextLines decodes it (a wide text without a mark is not read: a warning names `path`).
void readTextOf(std::string text, const std::string& path, const std::function<void(const std::string&, LineNumber)>& handler);

/// This user's settings folder of the application of the configuration file at `configPath`
/// ("<settings>/app" for app.conf): the remembered answers and the user's own settings file;
/// empty when the environment names no settings directory.
std::string userSettingsFolder(const std::string& configPath);
