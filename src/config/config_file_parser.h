// The launch settings record: everything the launcher learns before it starts the Java VM,
// and the operations that fill it from the configuration file, the environment, the Java
// runtime's jvm.cfg and the command line.
#pragma once

#include <cstdint>
#include <initializer_list>
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
};

/// SetJavaSearch: searching for an installed runtime, on, off, or not said (then on exactly
/// when SetJavaVersion is given).
enum class JavaSearchSetting { Unset, On, Off };

/// A line's 1-based number in its file: 64 bits, so that no file, however long, overflows it.
using LineNumber = std::int64_t;

class ConfigFileParser {
public:
    /// The handler readConfigFile calls for each non-empty line, with its 1-based number.
    using LineHandler = void (ConfigFileParser::*)(const std::string& line, LineNumber lineNumber);

    ConfigFileParser() = default;

    // ---- Loading sequence -------------------------------------------------------------

    /// Fills a fresh record: defaults, PATH, the configuration file, the Java runtime and the
    /// command line, in that order. Returns false (after "Could not load config file: %s\n"
    /// on stdout) when the file cannot be opened. JavaLauncherException from the runtime check
    /// passes through.
    bool loadSettings(const std::string& configPath, int argc, char** argv, std::string startDirectory);
    /// nativeCodePath = PATH, when PATH is set and not empty, less the entries that the VM
    /// could not be given (kept in leftOutPathEntries). Never fails.
    void loadPathVariable();
    /// Adds the installation root variable's bin directory to the native code path.
    void addInstallBinDir();
    /// Applies the command line's "--<directive>=<value>" overrides of the directives in
    /// `which` (the name in any letter case), in order, ahead of the rest of the command line:
    /// the title must be known to the prompt and to every message that comes before the
    /// command line is parsed, and the search's settings to the search.
    void applyOverridesEarly(int argc, char** argv, std::initializer_list<int> which);

    // ---- Configuration file -----------------------------------------------------------

    /// Reads `path` whole (in binary), decodes its text (decodeConfigText) and calls `handler`
    /// for each non-empty line. False exactly when the file cannot be opened or read. A file
    /// longer than kMaxConfigFileBytes throws JavaLauncherException (kMsgFileTooLarge, `path`)
    /// before any line is handled. Running out of memory is fatal.
    bool readConfigFile(const std::string& path, LineHandler handler);

    /// Hands each non-empty line of a file's `text`, read from `path`, to `handler`, decoded as
    /// readConfigFile decodes it (a wide text without a mark is not read: a warning names `path`).
    void readConfigText(std::string text, const std::string& path, LineHandler handler);
    /// The configuration-file line handler: comments, invalid lines, directives. Never throws.
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
    /// The jar then zip archives of `directory`, list-separated; empty on any failure.
    std::string getFileNames(std::string& directory);
    /// The entries of `directory` (ending in a separator) that match `pattern`.
    std::string getFileNamesImpl(const std::string& directory, const std::string& pattern);
    /// target = the trimmed value of the variable, when it is set and not empty.
    static void readEnvVar(const std::string& name, std::string& target);

    // ---- Java runtime -----------------------------------------------------------------

    /// Applies "--setjavahome=" arguments, checks the runtime, reads jvm.cfg and adds the
    /// runtime's tools.jar and dt.jar to the class path.
    void processJavaHome(int argc, char** argv);
    /// Makes sure javaHome holds a runtime: with searching on (searchesForJava), one that fits
    /// the request, else found among the installed ones; asks the user when there is none, and
    /// throws JavaLauncherException (message 8) when none is found. `verboseSearch` writes a
    /// line per candidate; `printJava` reports the runtime on stdout and ends the process with
    /// 0 instead of returning (message 8 without a prompt when there is none).
    void ensureJavaRuntime(bool verboseSearch = false, bool printJava = false);
    /// True when the launch searches for an installed runtime that fits.
    bool searchesForJava() const;
    /// Reads one jvm.cfg into vmTable: only a regular file of at most kMaxJvmCfgBytes, never
    /// waiting on it. False when it is missing, unreadable, larger, or no regular file (with
    /// `sayWhy`, a line on stdout says why it was passed over); a device, which may never end,
    /// throws as a configuration file too long to be read does.
    bool readJvmCfg(const std::string& path, bool sayWhy = false);
    /// The jvm.cfg line handler. Never throws.
    void parseJvmCfgLine(const std::string& line, LineNumber lineNumber);

    // ---- Command line -----------------------------------------------------------------

    /// Applies the launcher's options and collects the application arguments. Ends the
    /// process through printUsage when help is asked for.
    void parseCommandLine(int argc, char** argv, const std::string& startDirectory);
    /// True when `name` is the name of an entry of vmTable.
    bool isKnownVm(const std::string& name) const;

    // ---- VM selection -----------------------------------------------------------------

    /// vmName, set to "hotspot" first when empty.
    const std::string& getVmName();
    /// mainClass, set to the default main class first when empty.
    const std::string& getMainClass();
    /// True, with `libraryPath` set, when the VM directory has its library under javaHome.
    bool findVmLibrary(const std::string& vmDirectory, std::string& libraryPath) const;
    /// The VM library to load; false after a message on stderr when none can be found.
    bool selectVm(std::string& libraryPath);

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
    /// The configuration file's path, as loadSettings was given it.
    std::string configPath;
    /// The entries of PATH left out of the native code path: the VM could not be given them.
    std::vector<std::string> leftOutPathEntries;

private:
    void setJavaVersion(const std::string& value);
    void setMaxHeap(const std::string& value);
    void setSingleInstance(const std::string& value);
    void findFittingJava(bool verboseSearch, bool printJava);
    /// Makes `home`, chosen by the search or the user, the Java home for the rest of the launch.
    void useChosenJava(std::string home);
    void addApplicationArgument(const std::string& argument, const std::string& startDirectory);
    void setUpDebugging();
};

/// The main class when none is configured.
extern const char* const kDefaultMainClass;
/// The VM name when none is configured.
extern const char* const kDefaultVmName;

/// The id of the directive whose key equals `key` byte for byte, or -1.
int findDirective(const std::string& key);

/// The directive table's keys, in table order.
std::vector<std::string> directiveKeys();
