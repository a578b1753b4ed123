// Every operating-system service the launcher's logic needs. The build picks the
// implementation in win32/ or posix/; the logic never branches on the platform itself.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// ---- Facts of the platform -------------------------------------------------------------

#ifdef _WIN32
constexpr char kDirSeparator = '\\';
constexpr char kForeignSeparator = '/';
constexpr char kPathListSeparator = ';';
constexpr char kForeignListSeparator = ':';
constexpr const char* kExeSuffix = ".exe";
/// appc.exe is the console variant of app.exe and shares its configuration file.
constexpr bool kHasConsoleVariant = true;
/// Paths may begin with a drive letter and a colon ("C:").
constexpr bool kHasDriveLetters = true;
/// File names ignore letter case.
constexpr bool kNamesIgnoreCase = true;
constexpr bool kHasMessageBox = true;
#else
constexpr char kDirSeparator = '/';
constexpr char kForeignSeparator = '\\';
constexpr char kPathListSeparator = ':';
constexpr char kForeignListSeparator = ';';
constexpr const char* kExeSuffix = "";
constexpr bool kHasConsoleVariant = false;
constexpr bool kHasDriveLetters = false;
constexpr bool kNamesIgnoreCase = false;
constexpr bool kHasMessageBox = false;
#endif

// ---- Process and file system -----------------------------------------------------------

/// Full path of the running executable; nullopt when the system cannot say.
std::optional<std::string> ownExecutablePath();

/// The current working directory, whole however long; nullopt when it cannot be read.
std::optional<std::string> currentDirectory();

/// Makes `directory` the current working directory; false when the system refuses.
bool changeDirectory(const std::string& directory);

/// The directory part, with its trailing separator, of the full path of `name` (a relative
/// name is resolved against the current directory). nullopt when the system gives no path or
/// no file-name part.
std::optional<std::string> fullPathDirectory(const std::string& name);

/// True when a file or a directory of that name is present.
bool exists(const std::string& path);

/// The names (no directory part) of the entries of `directory` that match `pattern`, a
/// wildcard of the form "*.ext" matched ignoring letter case. Windows keeps the system's
/// order; POSIX sorts by name. An unreadable or missing directory gives an empty list.
std::vector<std::string> findFiles(const std::string& directory, const std::string& pattern);

/// The value of an environment variable, or nullopt when it is not set. Names ignore case on
/// Windows; on POSIX the exact name is tried first, then the first name equal ignoring case.
std::optional<std::string> getEnv(const std::string& name);

/// The value of the variable of exactly that name, or nullopt: for a variable the launcher
/// sets for its own child, which no other letter case may stand in for. Windows: as getEnv
/// (the system's names ignore case); POSIX: the exact name only.
std::optional<std::string> getEnvExactName(const std::string& name);

/// Position of the character before the one that starts at `pos`, stepping through the
/// encoding of the launcher's texts (Windows: UTF-8; POSIX: the locale's) so that a trail byte
/// is never taken for a character of its own. Returns 0 at the start of the text.
std::size_t previousCharStart(const std::string& text, std::size_t pos);

/// Converts a text of the launcher to UTF-16: on Windows from UTF-8 (the launcher's texts
/// there), on POSIX from the locale's encoding (UTF-8 when the locale names plain ASCII).
/// Bytes that do not convert become U+FFFD.
std::u16string toUtf16(const std::string& text);

/// The text of `bytes` in the system's ANSI code page as the launcher's own strings hold it:
/// UTF-8 on Windows (each byte sequence as the system's own conversion reads it), the bytes
/// unchanged on POSIX. Throws std::bad_alloc for texts of 1 GiB and more.
std::string codePageToUtf8(const std::string& bytes);

// ---- User interface --------------------------------------------------------------------

/// Shows `text` in a modal message box with the exclamation icon and an OK button and waits
/// until the user closes it. Only called where kHasMessageBox is true.
void showMessageBox(const std::string& text, const std::string& caption);

/// The ProductName stamped into the running executable's version information, when it has
/// been stamped with one other than the launcher's own (Windows); nullopt otherwise, and
/// always on POSIX.
std::optional<std::string> stampedProductName();

/// Asks the user for the full path of the Java executable, with `title` as the caption and,
/// when not empty, `need` (what runtime the application needs) above the question. With
/// `windowAllowed` false no window opens: the question goes to the console when standard
/// input is one. Returns the answer as typed (at most 259 characters) or nullopt when the user
/// cancels or no question can be asked.
std::optional<std::string> askForJavaExecutable(const std::string& title, const std::string& need = std::string(),
                                                bool windowAllowed = true);

// ---- Java runtime layout ---------------------------------------------------------------

/// What follows a Java home to name its launcher executable: "\bin\java.exe" or "/bin/java".
extern const char* const kJavaExecutable;
/// The same below a jre directory: "\jre\bin\java.exe" or "/jre/bin/java".
extern const char* const kJreJavaExecutable;
/// The default Java home, relative to the executable's directory: "..\jre" or "../jre".
extern const char* const kDefaultJavaHome;

/// The jvm.cfg files a runtime may hold, in the order they are tried.
std::vector<std::string> jvmCfgCandidates(const std::string& javaHome);

/// The VM library files a VM directory may hold, in the order they are tried.
std::vector<std::string> vmLibraryCandidates(const std::string& javaHome,
                                             const std::string& vmDirectory);

// ---- Libraries and child processes -----------------------------------------------------

/// Adds the runtime's own binary directory to the places where the VM library's dependencies
/// are found (Windows: SetDllDirectoryA; nothing on POSIX).
void addLibraryDirectory(const std::string& directory);

/// Result of loading a library: the handle (null on failure) and, on failure, whether the
/// library is of the other bitness than this launcher.
struct LoadedLibrary {
    void* handle = nullptr;
    bool wrongBitness = false;
    /// On failure, the DLLs the library needs (itself or through another) that are nowhere on
    /// the loader's search path, in the order the import tables name them. Windows only.
    std::vector<std::string> missingDependencies;
};

/// Loads a dynamic library by path. The library is never unloaded.
LoadedLibrary loadLibrary(const std::string& path);

/// Address of an exported symbol, or null.
void* findSymbol(void* library, const char* name);

/// Outcome of running a child process to its end.
struct ChildOutcome {
    bool started = false;
    int exitCode = -1;      ///< valid when started; -1 when the code could not be read
    std::string errorText;  ///< the system's text for the failure when not started; may be empty
};

/// Runs `program` with the argument vector `args` (args[0] is the name the child sees as its
/// own), sharing this console, environment and current directory, and waits for it without a
/// time-out.
ChildOutcome runAndWait(const std::string& program, const std::vector<std::string>& args);

// ---- Console output ----------------------------------------------------------------------

/// The two standard streams the launcher writes to.
enum class StandardStream { Output, Error };

/// Makes `stream` lead where the user can see it, before the first write to it. A console
/// program's streams do already, and so does a stream redirected by whoever started the process.
/// A windowless Windows executable attaches to the console of the process that started it, or
/// else allocates one. When neither works, the handler given to onNoConsole is called (when it
/// returns, or there is none, the result is false and what is written is lost).
bool prepareConsoleStream(StandardStream stream);

/// Before the VM starts: a windowless Windows executable started from a console lets the
/// application's standard streams reach that console. It never allocates one: started from the
/// desktop, the application's own output goes nowhere, as with no window to show it. Nothing to
/// do for a console executable or on POSIX.
void connectApplicationStreams();

/// What prepareConsoleStream calls when no console can be had; normally ends the process.
using NoConsoleHandler = void (*)();
void onNoConsole(NoConsoleHandler handler);

// ---- File types and the environment of children ----------------------------------------

/// True when `path` names a regular file (after following symbolic links): not a directory,
/// a FIFO, a socket or a device, which a reader could wait on for ever.
bool isRegularFile(const std::string& path);

/// True when `path` itself is a symbolic link (Windows: always false; its links are not
/// treated specially).
bool isSymbolicLink(const std::string& path);

/// The absolute path of the file `path` names, every symbolic link resolved (POSIX); Windows
/// gives `path` unchanged. nullopt when the file cannot be reached.
std::optional<std::string> resolvedPath(const std::string& path);

/// Sets an environment variable of this process, which child processes inherit, or removes
/// it (nullopt). False when the system refuses.
bool setEnv(const std::string& name, const std::optional<std::string>& value);

// ---- Text at the edges -----------------------------------------------------------------

/// The program's arguments, argv[0] first. Windows: the wide command line split by the C
/// runtime's rules, each argument the exact text typed, in UTF-8 (never through the ANSI code
/// page, which would turn characters it lacks into look-alikes or '?'); `argc` and `argv` are
/// used only if the system gives no command line. POSIX: `argv` as it is.
std::vector<std::string> commandLineArguments(int argc, char** argv);

/// What a VM option's value is, which decides how it may be given where the code page cannot
/// hold it.
enum class VmOptionValue {
    Text,      ///< only as it is
    PathList,  ///< after "-Dname=", else after the first ':': paths separated by ';'
    AgentPath, ///< after the first ':': a path, then from the first '=' on the agent's own text
};

/// A JNI option as the VM can read it, still as a text of the launcher. The VM reads options
/// in the ANSI code page on Windows: there each path of a PathList or AgentPath value that
/// the code page cannot hold is replaced by its short (8.3) name. nullopt when a part has no
/// form the code page holds (a path without a short name: that path in `unrepresentable`; any
/// other part: the whole option). POSIX: the option.
std::optional<std::string> vmOptionText(const std::string& option, VmOptionValue value, std::string& unrepresentable);

/// True when the VM can be given `path` in an option: the code page holds it, or its short
/// name (Windows). Always true on POSIX.
bool vmCanTakePath(const std::string& path);

/// Opens a file by its exact name (Windows: through the wide API, so that any name Windows can
/// hold is found) with a C runtime `mode` ("r", "rb"...); null when it cannot be opened.
std::FILE* openFile(const std::string& path, const char* mode);

/// The bytes the VM reads for a text that vmOptionText gave: the ANSI code page on Windows,
/// the text itself on POSIX.
std::string vmOptionBytes(const std::string& text);

}  // namespace platform

// ---- Start-up cache files --------------------------------------------------------------

namespace platform {

#ifdef _WIN32
/// The VM reads its option strings in the ANSI code page, which may not hold every character
/// of a path.
constexpr bool kVmOptionsInCodePage = true;
#else
constexpr bool kVmOptionsInCodePage = false;
#endif

/// Makes `directory` and every missing parent; true when it exists as a directory afterwards.
bool makeDirectories(const std::string& directory);

/// Renames `from` to `to`, replacing `to` in one step; false when the system refuses.
bool replaceFile(const std::string& from, const std::string& to);

/// Removes a file; false when it is not there or cannot be removed.
bool removeFile(const std::string& path);

/// Size, last modification and identity of a file. All but `size` are in the system's own
/// units and only compared for equality.
struct FileStamp {
    unsigned long long size = 0;
    long long modified = 0;
    /// When the file itself last changed in any way, which no user can set back (POSIX: the
    /// status change time; Windows: the creation time).
    long long changed = 0;
    unsigned long long node = 0;  ///< POSIX: the inode; Windows: 0
};
/// The stamp of a regular file (links followed); nullopt when it is missing or not a regular file.
std::optional<FileStamp> fileStamp(const std::string& path);

/// The stamp of `path` when it is itself a regular file (not a link), this user's own and
/// writable by nobody else; nullopt otherwise. Windows: a regular file that is no reparse point.
std::optional<FileStamp> privateFileStamp(const std::string& path);

/// True when `directory` is a directory of this user's that nobody else may write in (POSIX:
/// owned by the effective user, no write permission for group or others; Windows: inside the
/// user's own profile, %LOCALAPPDATA% or %USERPROFILE%, whose ACL grants only the user).
bool isPrivateDirectory(const std::string& directory);

/// Creates or truncates `path`, never through a link, and writes `content` to it; false
/// when it cannot be written whole.
bool writeSmallFile(const std::string& path, const std::string& content);

/// A name under which the VM of this process can create `path` at its exit, even when the
/// directory is removed meanwhile: `path` is opened now (created when missing, never through a
/// link, only a regular file) and held open (Linux: "/proc/self/fd/<n>"). `path` itself where
/// the system has no such names; nullopt when it cannot be opened.
std::optional<std::string> lastingFileName(const std::string& path);

/// The bytes this user may still write on the file system of `directory`; nullopt when the
/// system cannot say.
std::optional<unsigned long long> freeSpace(const std::string& directory);

/// What readRegularFile found at a name.
enum class FileOutcome {
    Read,        ///< a regular file, read whole
    TooLarge,    ///< a regular file larger than the bound: `bytes` holds its first bytes
    Missing,     ///< nothing of that name
    NotRegular,  ///< a directory, FIFO or socket, not read; `reason` says which
    Device,      ///< a device, not read: it may never end (/dev/zero, CON)
    Unreadable,  ///< there, but it cannot be opened or read; `reason` says why
};

/// A file's bytes, or why there are none.
struct FileContent {
    FileOutcome outcome = FileOutcome::Missing;
    std::string bytes;
    std::string reason;  ///< for NotRegular and Unreadable: "it is a FIFO", "it cannot be read"
};

/// Reads `path` when it is a regular file, at most `maxBytes` of it. Opened without blocking
/// and without following into a terminal, and the type checked on the opened handle, so that
/// a FIFO, a device or a socket at the name is never read nor waited on, whatever replaced the
/// file between a check and the open.
FileContent readRegularFile(const std::string& path, std::size_t maxBytes);

/// At most `maxBytes` from the start of a regular file (as readRegularFile reads it); nullopt
/// when it is missing, no regular file, or cannot be read.
std::optional<std::string> readFileStart(const std::string& path, std::size_t maxBytes);

/// Takes an exclusive lock on `path` (created when missing) that this process holds until it
/// ends, whatever way it ends; false when another process holds it or it cannot be made, or
/// when `path` is a link or not a regular file.
bool holdLockUntilExit(const std::string& path);

#ifdef _WIN32
/// The work beside the launch is a thread of its process: a file its VM maps cannot be
/// replaced meanwhile.
constexpr bool kBackgroundInProcess = true;
#else
constexpr bool kBackgroundInProcess = false;
#endif

/// Runs `work` beside the launch, which goes on at once. POSIX: in a process of its own, made
/// now, with no console streams and no open files but the locks this process holds, which it
/// keeps until `work` is done; in a session of its own and at the lowest priority, it begins
/// when this process has ended or has run for `delay` seconds. Windows: in a thread of this
/// process at the lowest priority, at once; it ends with the process unless waitForBackground
/// is called. Call it before the VM starts threads in this process.
void runInBackground(const std::function<void()>& work, unsigned delay);

/// Waits until the work that runInBackground began in this process is done (Windows); at once
/// where it runs in a process of its own (POSIX).
void waitForBackground();

/// Runs `program` with `args` (args[0] is the child's own name) in the background of this
/// launch: no console window, its output discarded, and waits for it at most `timeLimit`
/// seconds, after which it is killed. The child never outlives this process. The exit code,
/// or -1 when it could not be started, was killed or its code could not be read.
int runQuietly(const std::string& program, const std::vector<std::string>& args, unsigned timeLimit);

}  // namespace platform

// ---- Installed Java runtimes -------------------------------------------------------------

namespace platform {

/// The architecture of a library file as its header states it.
struct LibraryArchitecture {
    std::string name;  ///< "64-bit", "32-bit", or the machine's name when that is what differs
    bool own = false;  ///< the launcher's own: a library it can load
};
/// The architecture of the library at `path`; nullopt when it is no library the header of
/// which this system's loader reads (or cannot be read). Nothing is loaded.
std::optional<LibraryArchitecture> libraryArchitecture(const std::string& path);
/// The launcher's own architecture, in the words of LibraryArchitecture::name.
extern const char* const kOwnArchitecture;

/// The names of the subdirectories of `directory` (links to directories included), sorted;
/// empty when it cannot be read.
std::vector<std::string> listDirectories(const std::string& directory);

/// One Java home that an installer recorded in the system's registry (Windows only).
struct RegisteredJavaHome {
    std::string key;      ///< the key that lists it, such as "HKLM\SOFTWARE\JavaSoft\JDK"
    std::string version;  ///< the version its entry names ("17.0.8", "1.8", "zulu-17")
    std::string home;
};
/// The Java homes the common distributions' installers record, key by key in the order they
/// are searched (HKEY_LOCAL_MACHINE, then HKEY_CURRENT_USER), in the registry view of the
/// launcher's own architecture. Empty on POSIX and where nothing is recorded.
std::vector<RegisteredJavaHome> registeredJavaHomes();

/// The usual places of installed runtimes, in the order they are searched, as patterns of
/// which one part is '*' (each subdirectory there): "/usr/lib/jvm/*",
/// "C:\Users\u\scoop\apps\*\current". Places under an unset variable are left out.
std::vector<std::string> usualJavaFolders();

/// The file name of the Java launcher in a runtime's bin directory: "java.exe" or "java".
extern const char* const kJavaExecutableName;

}  // namespace platform
