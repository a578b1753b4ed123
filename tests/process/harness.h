// Runs the built launcher as a user would: an installation laid out in a temporary directory,
// started by full path, relative path or bare name, with exact stdout, stderr and exit code.
// The same tests run against every build, chosen by the environment:
//   LAUNCHER_KIND   linux | win32 | win64
//   LAUNCHER_EXE    the built launcher
//   FAKEJVM_DIR     the directory of the test-double VM library (and oneexport/ beneath it)
//   LAUNCHER_WINE   the wine command (Windows kinds), with WINEPREFIX set for its prefix
//   LAUNCHER_JAVA_CLASSES, LAUNCHER_JDK_HOME  the compiled Java test classes and their JDK
//   LAUNCHER_RUNNER  linux only: a command (words separated by blanks, the first a full path)
//                    that each launch runs under, such as valgrind with its options
// ASAN_OPTIONS, UBSAN_OPTIONS and LSAN_OPTIONS reach the launcher when they are set.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace process_tests {

enum class Kind { Linux, Win32, Win64 };

/// The build under test, from the environment. Fails the calling test when it is incomplete.
struct Target {
    Kind kind = Kind::Linux;
    std::string launcherExe;
    std::string fakeJvmDir;
    std::string wine;
    std::string javaClasses;
    std::string jdkHome;
    /// The command each launch runs under; empty: the launcher runs directly.
    std::vector<std::string> runner;
};
const Target& target();
bool isWindows();

// ---- Facts of the build under test, for expected texts ---------------------------------

/// ".exe" or "".
std::string exeSuffix();
/// A copy with A to Z lowered.
std::string asciiLower(std::string text);
/// '\\' or '/'.
char dirSeparator();
/// ';' or ':'.
char listSeparator();
/// `relative` (written with '/') with the build's directory separator.
std::string native(const std::string& relative);
/// A host path as the launcher sees it: /tmp/x is Z:\tmp\x under wine, itself on Linux.
std::string seenPath(const std::string& hostPath);
/// The expected text of a stream: the C runtime of the Windows builds writes "\r\n" for "\n".
std::string streamText(const std::string& text);
/// The value of PATH as the launcher sees it in a run with the default environment.
const std::string& launcherPathVariable();
/// Below a Java home: the launcher executable and the VM library of a VM directory.
std::string javaExecutable();
std::string vmLibraryBelowHome(const std::string& vmDirectory);
/// File name of the VM library: jvm.dll or libjvm.so.
std::string vmLibraryName();
/// The architecture directory of jvm.cfg and VM library fallbacks (i386, amd64...).
std::string archDirectory();

// ---- Running -----------------------------------------------------------------------------

struct Result {
    std::string out;
    std::string err;
    int exitCode = -1;  ///< the exit status, or 128 + signal when killed by one
    bool timedOut = false;
};

/// How the launcher is named at its start.
enum class StartAs {
    FullPath,      ///< the absolute path of the executable (a shortcut, a file manager)
    RelativePath,  ///< a path relative to the working directory, typed at a prompt
    BareName,      ///< only the name, found through PATH from the working directory
};

struct RunOptions {
    /// Working directory (host path); default: the installation's root.
    std::string workingDir;
    /// Variables to set (a value) or remove (nullopt) on top of the default environment.
    /// Wine gives every Windows program a PATH of its own: removing PATH there starts the
    /// program through the command interpreter, which removes it first (full-path starts
    /// only, with arguments that the interpreter leaves alone).
    std::map<std::string, std::optional<std::string>> env;
    StartAs startAs = StartAs::FullPath;
    /// The file in bin to start (with its suffix, if any); default: the installation's.
    std::string program;
    int timeoutSeconds = 60;
    /// POSIX builds: standard input is a terminal, on which this has been typed.
    std::optional<std::string> terminalInput;
};

/// Runs `file` with `argv` (argv[0] is the name the program sees as its own) and exactly
/// `env`; killed, with timedOut set, after `timeoutSeconds`. Standard input is /dev/null, or a
/// terminal on which `terminalInput` has been typed. With `discardOutput` the program's output
/// goes to /dev/null, and no process it leaves behind keeps a pipe of ours.
Result runProcess(const std::string& file, const std::vector<std::string>& argv,
                  const std::vector<std::string>& env, const std::string& workingDir, int timeoutSeconds,
                  const std::optional<std::string>& terminalInput = std::nullopt, bool discardOutput = false);

/// Runs a program of the wine prefix under test (`args`: its name or path and its arguments)
/// with the prefix's environment and no other, from "/".
Result runWineProgram(const std::vector<std::string>& args, int timeoutSeconds = 60);
/// The value of the Windows environment variable `name` (APPDATA, say) as the programs of the
/// wine prefix under test see it.
std::string windowsVariable(const std::string& name);

/// Waits, at most `seconds`, until no process holds a lock of the start-up cache in
/// `directory`: the cache's work beside a start is done. True when none holds one.
bool waitForCacheWork(const std::string& directory, int seconds = 120);

// ---- Installations -----------------------------------------------------------------------

/// AbsentDependency (Windows builds): a library that imports a DLL that exists nowhere;
/// AbsentIndirectly: one that imports a DLL placed in the runtime's bin, which imports it.
enum class VmLibrary { Full, OneExport, NotALibrary, None, AbsentDependency, AbsentIndirectly };

/// A temporary installation: bin/<name>[.exe] copied from the launcher, its configuration,
/// optionally a Java runtime with the fake VM library. Removed when the object goes.
class Installation {
public:
    /// `within`: a directory below the temporary one to be the root (for roots with blanks).
    /// `rootLength`: when not 0, directories of 'x' (at most 200 characters each) are added
    /// below that until the root's host path is exactly that long.
    explicit Installation(std::string programName = "app", const std::string& within = "",
                          std::size_t rootLength = 0);
    ~Installation();
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    const std::string& root() const { return root_; }
    const std::string& programName() const { return programName_; }
    /// Host path of `relative` (written with '/') below the root.
    std::string path(const std::string& relative) const;
    /// The same as the launcher sees it.
    std::string seen(const std::string& relative) const { return seenPath(path(relative)); }

    /// Writes a file below the root (creating directories), bytes as given.
    void write(const std::string& relative, const std::string& content) const;
    void mkdir(const std::string& relative) const;
    /// The bytes of a file below the root; empty when it cannot be read.
    std::string read(const std::string& relative) const;
    /// Writes bin/<program>.conf.
    void writeConfig(const std::string& content) const;
    /// Another copy of the launcher in bin, under `name` (given with its suffix, if any).
    void addExecutable(const std::string& name) const;
    /// A stand-in for the desktop tool `name` in the directory `tools` (for PATH; POSIX): it
    /// adds its name and then its arguments, one a line, to the file "shown" there, prints
    /// `prints` on its standard output and ends with `exitCode`.
    void addDesktopTool(const std::string& tools, const std::string& name, const std::string& prints = "",
                        int exitCode = 0) const;

    /// A Java runtime at `home` (relative to the root): the launcher executable, lib/jvm.cfg
    /// with `jvmCfg` (none when nullopt), and the VM library in each of `vmDirectories`.
    void addRuntime(const std::string& home = "jre",
                    const std::optional<std::string>& jvmCfg = std::string("-server KNOWN\n-hotspot ALIASED_TO -server\n"),
                    const std::vector<std::string>& vmDirectories = {"server"}, VmLibrary library = VmLibrary::Full) const;
    /// The test runtime's stand-in splash library (it records its calls as the VM does) in
    /// the runtime at `home`, where a runtime keeps its own.
    void addSplashLibrary(const std::string& home = "jre") const;
    /// Places the VM library of `library` kind at `relativeFile`.
    void placeVmLibrary(const std::string& relativeFile, VmLibrary library) const;

    /// Host path of the file where the fake VM records what it receives.
    std::string recordFile() const { return path("record.txt"); }
    /// The recorded events, one per line; empty when nothing was recorded.
    std::string record() const;

    /// Starts the launcher with `args` (argv[1] onwards).
    Result run(const std::vector<std::string>& args, const RunOptions& options = {}) const;

private:
    std::string top_;
    std::string root_;
    std::string programName_;
};

/// The user's settings folder of an application, as the launcher sees it and on the host.
struct SettingsFolder {
    std::string seen, host;
};
/// The settings folder of `inst`'s application: on Windows in the wine prefix's %APPDATA%
/// (shared by every test: the program name should be the test's own); on POSIX below the
/// installation, with XDG_CONFIG_HOME for it added to `options`.
SettingsFolder userSettingsFolder(const Installation& inst, RunOptions& options);
/// A program name of this run's own, beginning with `prefix`, for a test whose application
/// keeps something per user (settings, journal) in that shared folder.
std::string uniqueProgramName(const std::string& prefix);
/// The bytes of the file at `hostPath`; empty when it cannot be read.
std::string hostText(const std::string& hostPath);

// ---- Expected texts ------------------------------------------------------------------------

/// The record of a launch that reached the VM: creation, the options in order, main class
/// and method, the String class, then each argument, "main" and "destroy".
std::string startedRecord(const std::vector<std::string>& options, const std::string& mainClass,
                          const std::vector<std::string>& args);
/// The record of a VM creation only (version, ignoreUnrecognized, options).
std::string creationRecord(const std::vector<std::string>& options);

/// "-Djava.library.path=" with the launcher's PATH (or `pathVariable`) and then `entries`.
std::string libraryPathOption(const std::vector<std::string>& entries = {},
                              const std::optional<std::string>& pathVariable = std::nullopt);
/// "-Djava.class.path=" with `entries` joined by the list separator.
std::string classPathOption(const std::vector<std::string>& entries);
/// The class path entries the runtime at `home` (as the launcher names it) contributes.
std::vector<std::string> runtimeClassPath(const std::string& home);
/// The default Java home as the launcher names it: ../jre or ..\jre.
std::string defaultJavaHome();
/// The VM library of a VM directory below `home`, as the launcher names it.
std::string vmLibraryPath(const std::string& vmDirectory = "server", const std::string& home = defaultJavaHome());

/// The parts of a launch's JNI options, in the order the launcher hands them to the VM: the
/// file's AddVMOption and RegisterEnvVar options, the library path (PATH, then
/// `libraryEntries`), the command line's options, the configuration path, the class path.
struct LaunchOptions {
    std::vector<std::string> fromFile;
    /// Default: launcherPathVariable().
    std::optional<std::string> pathVariable;
    std::vector<std::string> libraryEntries;
    std::vector<std::string> fromCommandLine;
    /// Default: the default runtime's tools.jar and dt.jar.
    std::optional<std::vector<std::string>> classPath;
    /// Default: the installation's configuration file.
    std::optional<std::string> configPath;
};
std::vector<std::string> expectedOptions(const Installation& inst, const LaunchOptions& parts = {});

/// One "JNI Option: %s\n" line per option, as -verbose prints them.
std::string verboseOptionLines(const std::vector<std::string>& options);

/// The console report of a failure under -nomsgbox: "Error: " + text + "\n".
std::string errorReport(const std::string& message);

/// The title of the executable under test when neither a directive nor a tool name chooses
/// one: the ProductName it was stamped with (LAUNCHER_STAMPED_TITLE), else "Ombrix Halverant R7".
std::string defaultTitle();
/// The stamped ProductName of the executable under test (LAUNCHER_STAMPED_TITLE); empty when
/// it is not stamped.
std::string stampedTitle();

/// The title and usage text that help prints.
std::string usageText(const std::string& title = defaultTitle());

}  // namespace process_tests

/// Compares a run with its expected streams (written with "\n") and exit code, exactly.
#define EXPECT_RUN(result, expectedOut, expectedErr, expectedCode)                  \
    do {                                                                            \
        const ::process_tests::Result& run_ = (result);                             \
        EXPECT_FALSE(run_.timedOut) << "the launcher did not end in time";          \
        EXPECT_EQ(run_.out, ::process_tests::streamText(expectedOut)) << "stdout";  \
        EXPECT_EQ(run_.err, ::process_tests::streamText(expectedErr)) << "stderr";  \
        EXPECT_EQ(run_.exitCode, (expectedCode)) << "exit code";                    \
    } while (0)
