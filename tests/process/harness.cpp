#include "process/harness.h"
#include "process/java_runtimes.h"

#include <fcntl.h>
#include <stdlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace process_tests {
namespace {

/// PATH of every run on Linux, so that the library-path option is known exactly.
constexpr const char* kTestPath = "/usr/local/bin:/usr/bin:/bin";

std::string envOr(const char* name, const std::string& fallback = "") {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

Target readTarget() {
    Target t;
    std::string kind = envOr("LAUNCHER_KIND", "linux");
    if (kind == "win32")
        t.kind = Kind::Win32;
    else if (kind == "win64")
        t.kind = Kind::Win64;
    else if (kind == "linux")
        t.kind = Kind::Linux;
    else
        throw std::runtime_error("LAUNCHER_KIND must be linux, win32 or win64, not " + kind);
    t.launcherExe = envOr("LAUNCHER_EXE");
    t.fakeJvmDir = envOr("FAKEJVM_DIR");
    t.wine = envOr("LAUNCHER_WINE", "/usr/bin/wine");
    t.javaClasses = envOr("LAUNCHER_JAVA_CLASSES");
    t.jdkHome = envOr("LAUNCHER_JDK_HOME");
    std::istringstream runner(envOr("LAUNCHER_RUNNER"));
    for (std::string word; runner >> word;) t.runner.push_back(word);
    if (!t.runner.empty() && t.kind != Kind::Linux)
        throw std::runtime_error("LAUNCHER_RUNNER is for the linux build only");
    return t;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

void appendFrom(int fd, std::string& sink, bool& open) {
    char buffer[8192];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
        sink.append(buffer, static_cast<std::size_t>(n));
    else if (n == 0 || (errno != EINTR && errno != EAGAIN))
        open = false;
}

/// Reads what is left in a pipe whose writer has ended, without waiting for a holder of the
/// other end that outlives it (a wineserver started by the run).
void drain(int fd, std::string& sink) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    bool open = true;
    while (open) {
        char buffer[8192];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            sink.append(buffer, static_cast<std::size_t>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            open = false;
    }
}

int decodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

std::vector<char*> cStrings(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

/// The default environment of a run, before a test's own changes.
std::map<std::string, std::string> baseEnvironment() {
    std::map<std::string, std::string> env{{"PATH", kTestPath}, {"LANG", "C.UTF-8"}};
    // A sanitizer build reads its settings in the launcher, which these runs start afresh.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(name)) env[name] = value;
    if (isWindows()) {
        env["WINEDEBUG"] = "-all";
        for (const char* name : {"WINEPREFIX", "WINESERVER", "WINELOADER", "HOME", "USER"})
            if (const char* value = std::getenv(name)) env[name] = value;
    }
    return env;
}

std::vector<std::string> flatten(const std::map<std::string, std::string>& env) {
    std::vector<std::string> entries;
    for (const auto& [name, value] : env) entries.push_back(name + "=" + value);
    return entries;
}

std::string randomSuffix() {
    std::random_device rd;
    return std::to_string(rd()) + std::to_string(rd() % 1000);
}

bool safeForCmd(const std::string& argument) {
    return argument.find_first_of("\"&|<>^%()") == std::string::npos;
}

}  // namespace

// ---- Target ----------------------------------------------------------------------------

const Target& target() {
    static const Target t = readTarget();
    return t;
}

bool isWindows() { return target().kind != Kind::Linux; }

std::string asciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string exeSuffix() { return isWindows() ? ".exe" : ""; }
char dirSeparator() { return isWindows() ? '\\' : '/'; }
char listSeparator() { return isWindows() ? ';' : ':'; }

std::string native(const std::string& relative) {
    return isWindows() ? replaceAll(relative, "/", "\\") : relative;
}

std::string seenPath(const std::string& hostPath) {
    if (!isWindows()) return hostPath;
    return "Z:" + replaceAll(hostPath, "/", "\\");
}

std::string streamText(const std::string& text) { return isWindows() ? replaceAll(text, "\n", "\r\n") : text; }

const std::string& launcherPathVariable() {
    static const std::string value = [] {
        if (!isWindows()) return std::string(kTestPath);
        // Windows programs under wine see the prefix's PATH, not the Unix one.
        Result r = runProcess(target().wine, {target().wine, "cmd", "/c", "echo", "%PATH%"},
                              flatten(baseEnvironment()), "/", 60);
        std::string path = r.out;
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
        if (r.exitCode != 0 || path.empty() || path == "%PATH%")
            throw std::runtime_error("cannot read the PATH that Windows programs see: " + r.err);
        return path;
    }();
    return value;
}

std::string javaExecutable() { return isWindows() ? "bin/java.exe" : "bin/java"; }

std::string vmLibraryName() { return isWindows() ? "jvm.dll" : "libjvm.so"; }

std::string vmLibraryBelowHome(const std::string& vmDirectory) {
    return (isWindows() ? "bin/" : "lib/") + vmDirectory + "/" + vmLibraryName();
}

std::string archDirectory() {
    switch (target().kind) {
    case Kind::Win32:
        return "i386";
    case Kind::Win64:
        return "amd64";
    case Kind::Linux:
        break;
    }
#if defined(__x86_64__)
    return "amd64";
#elif defined(__aarch64__)
    return "aarch64";
#else
    return "i386";
#endif
}

// ---- Running ---------------------------------------------------------------------------

Result runWineProgram(const std::vector<std::string>& args, int timeoutSeconds) {
    std::vector<std::string> env{"WINEDEBUG=-all", "PATH=/usr/bin:/bin"};
    for (const char* name : {"WINEPREFIX", "HOME"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    std::vector<std::string> argv{target().wine};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(target().wine, argv, env, "/", timeoutSeconds);
}

std::string windowsVariable(const std::string& name) {
    Result r = runWineProgram({"cmd", "/c", "echo", "%" + name + "%"});
    std::string value = r.out;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}

SettingsFolder userSettingsFolder(const Installation& inst, RunOptions& options) {
    SettingsFolder folder;
    if (isWindows()) {
        static const std::string appData = windowsVariable("APPDATA");
        folder.seen = appData + "\\" + inst.programName();
        folder.host = replaceAll(std::string(std::getenv("WINEPREFIX")) + "/drive_c/" + folder.seen.substr(3), "\\", "/");
    } else {
        options.env["XDG_CONFIG_HOME"] = inst.path("settings");
        folder.seen = folder.host = inst.path("settings/" + inst.programName());
    }
    return folder;
}

bool waitForCacheWork(const std::string& directory, int seconds) {
    // The locks of wine's processes are the wine server's, which only a program of its asks.
    if (isWindows())
        return runWineProgram({target().fakeJvmDir + "/lock_wait.exe", seenPath(directory), std::to_string(seconds)},
                              seconds + 30)
                   .exitCode == 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        if (entry.path().extension() != ".lock") continue;
        int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        bool free = false;
        for (int waited = 0; !free && waited < seconds * 20; ++waited) {
            free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            if (!free) ::usleep(50000);
        }
        ::close(fd);
        if (!free) return false;
    }
    return true;
}

Result runProcess(const std::string& file, const std::vector<std::string>& argv,
                  const std::vector<std::string>& env, const std::string& workingDir, int timeoutSeconds,
                  const std::optional<std::string>& terminalInput, bool discardOutput) {
    Result result;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> args = argv, vars = env;
    std::vector<char*> cArgs = cStrings(args), cVars = cStrings(vars);
    int terminal = -1;
    std::string terminalName;
    if (terminalInput) {
        terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0)
            throw std::runtime_error("cannot open a pseudo-terminal");
        terminalName = ::ptsname(terminal);
    }

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // A session of its own, so that the terminal (when there is one) is its controlling one
        // and the whole group can be killed on a time-out.
        ::setsid();
        int in = terminalInput ? ::open(terminalName.c_str(), O_RDWR) : ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        if (discardOutput) {
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        if (::chdir(workingDir.c_str()) != 0) _exit(126);
        ::execve(file.c_str(), cArgs.data(), cVars.data());
        const char text[] = "process_tests: exec failed\n";
        ssize_t ignored = ::write(2, text, sizeof text - 1);
        (void)ignored;
        _exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (terminalInput) {
        // Typed ahead: the terminal keeps the line until the program reads it.
        ssize_t written = ::write(terminal, terminalInput->data(), terminalInput->size());
        (void)written;
    }

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool outOpen = true, errOpen = true;
    int status = 0;
    for (;;) {
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        ::poll(fds, 2, 50);
        if (fds[0].revents) appendFrom(outPipe[0], result.out, outOpen);
        if (fds[1].revents) appendFrom(errPipe[0], result.err, errOpen);
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            drain(outPipe[0], result.out);
            drain(errPipe[0], result.err);
            result.exitCode = decodeStatus(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            result.timedOut = true;
            result.exitCode = decodeStatus(status);
            break;
        }
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (terminal >= 0) ::close(terminal);
    return result;
}

// ---- Installation ------------------------------------------------------------------------

Installation::Installation(std::string programName, const std::string& within, std::size_t rootLength)
    : programName_(std::move(programName)) {
    fs::path base = fs::canonical(fs::temp_directory_path());
    for (int attempt = 0; top_.empty(); ++attempt) {
        fs::path candidate = base / ("launcher-process-" + randomSuffix());
        if (fs::create_directory(candidate)) top_ = candidate.string();
        if (attempt > 100) throw std::runtime_error("cannot create a temporary directory");
    }
    root_ = within.empty() ? top_ : top_ + "/" + within;
    if (rootLength != 0 && rootLength < root_.size() + 2)
        throw std::runtime_error("an installation root cannot be " + std::to_string(rootLength) + " characters long");
    while (rootLength != 0 && root_.size() < rootLength) {
        std::size_t left = rootLength - root_.size() - 1;
        // Never leave a single character for the last directory's separator alone.
        std::size_t segment = left > 200 ? (left - 200 < 2 ? 100 : 200) : left;
        root_ += "/" + std::string(segment, 'x');
    }
    mkdir("bin");
    if (!target().launcherExe.empty()) addExecutable(programName_ + exeSuffix());
}

Installation::~Installation() {
    std::error_code ec;
    fs::remove_all(top_, ec);
}

std::string Installation::path(const std::string& relative) const {
    return relative.empty() ? root_ : root_ + "/" + relative;
}

void Installation::write(const std::string& relative, const std::string& content) const {
    fs::path file = path(relative);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

void Installation::mkdir(const std::string& relative) const { fs::create_directories(path(relative)); }

void Installation::writeConfig(const std::string& content) const {
    write("bin/" + programName_ + ".conf", content);
}

void Installation::addExecutable(const std::string& name) const {
    fs::copy_file(target().launcherExe, path("bin/" + name), fs::copy_options::overwrite_existing);
    fs::permissions(path("bin/" + name), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec,
                    fs::perm_options::replace);
}

void Installation::addDesktopTool(const std::string& tools, const std::string& name, const std::string& prints,
                                  int exitCode) const {
    std::string file = tools + "/" + name;
    write(file, "#!/bin/sh\n{ printf '%s\\n' \"${0##*/}\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >> \"${0%/*}/shown\"\n"
                "printf '%s' '" + prints + "'\nexit " + std::to_string(exitCode) + "\n");
    fs::permissions(path(file), fs::perms::owner_all);
}

void Installation::addRuntime(const std::string& home, const std::optional<std::string>& jvmCfg,
                              const std::vector<std::string>& vmDirectories, VmLibrary library) const {
    write(home + "/" + javaExecutable(), "not a real Java executable\n");
    if (jvmCfg) write(home + "/lib/jvm.cfg", *jvmCfg);
    for (const auto& directory : vmDirectories) placeVmLibrary(home + "/" + vmLibraryBelowHome(directory), library);
}

void Installation::addSplashLibrary(const std::string& home) const {
    std::string name = isWindows() ? "bin/splashscreen.dll" : "lib/libsplashscreen.so";
    fs::create_directories(fs::path(path(home + "/" + name)).parent_path());
    fs::copy_file(fs::path(target().fakeJvmDir) / "splash" / fs::path(name).filename(), path(home + "/" + name),
                  fs::copy_options::overwrite_existing);
}

void Installation::placeVmLibrary(const std::string& relativeFile, VmLibrary library) const {
    fs::path file = path(relativeFile);
    fs::create_directories(file.parent_path());
    switch (library) {
    case VmLibrary::Full:
        fs::copy_file(fs::path(target().fakeJvmDir) / vmLibraryName(), file, fs::copy_options::overwrite_existing);
        break;
    case VmLibrary::OneExport:
        fs::copy_file(fs::path(target().fakeJvmDir) / "oneexport" / vmLibraryName(), file,
                      fs::copy_options::overwrite_existing);
        break;
    case VmLibrary::AbsentDependency:
        fs::copy_file(fs::path(target().fakeJvmDir) / "absentdep" / vmLibraryName(), file,
                      fs::copy_options::overwrite_existing);
        break;
    case VmLibrary::AbsentIndirectly:
        // bin/<vm>/jvm.dll, and in bin the DLL it imports.
        fs::copy_file(fs::path(target().fakeJvmDir) / "absentindirect" / vmLibraryName(), file,
                      fs::copy_options::overwrite_existing);
        fs::copy_file(fs::path(target().fakeJvmDir) / "absentdep" / vmLibraryName(),
                      file.parent_path().parent_path() / "launcher-test-runtime-part.dll",
                      fs::copy_options::overwrite_existing);
        break;
    case VmLibrary::NotALibrary:
        write(relativeFile, "this is not a library\n");
        break;
    case VmLibrary::None:
        break;
    }
}

std::string hostText(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string uniqueProgramName(const std::string& prefix) {
    static int count = 0;
    return prefix + std::to_string(::getpid()) + "n" + std::to_string(++count);
}

std::string Installation::read(const std::string& relative) const { return hostText(path(relative)); }

std::string Installation::record() const { return read("record.txt"); }

Result Installation::run(const std::vector<std::string>& args, const RunOptions& options) const {
    std::string program = options.program.empty() ? programName_ + exeSuffix() : options.program;
    std::string workingDir = options.workingDir.empty() ? root_ : options.workingDir;
    std::string exe = path("bin/" + program);
    std::map<std::string, std::string> env = baseEnvironment();
    env["FAKEJVM_RECORD"] = seenPath(recordFile());

    // The name typed at a prompt, for RelativePath and BareName; on Windows without ".exe",
    // which the command interpreter completes.
    std::string typed = options.startAs == StartAs::BareName ? program
                        : options.startAs == StartAs::RelativePath
                            ? fs::path(exe).lexically_relative(workingDir).generic_string()
                            : std::string();
    if (isWindows() && typed.size() > 4 && asciiLower(typed.substr(typed.size() - 4)) == ".exe")
        typed.resize(typed.size() - 4);
    std::string typedName = native(typed);

    auto removed = options.env.find("PATH");
    bool pathRemovedInWindows = isWindows() && removed != options.env.end() && !removed->second;
    if (pathRemovedInWindows && options.startAs != StartAs::FullPath)
        throw std::runtime_error("PATH is removed for Windows programs started by full path only");

    std::string file;
    std::vector<std::string> argv;
    if (!isWindows()) {
        // What a shell does: the file found, with the name as typed as argv[0]; under the
        // runner, which finds it the same way and keeps that name.
        file = target().runner.empty() ? exe : target().runner[0];
        argv = target().runner;
        argv.push_back(typedName.empty() ? exe : typedName);
        if (options.startAs == StartAs::BareName) env["PATH"] = path("bin") + ":" + kTestPath;
    } else if (pathRemovedInWindows) {
        for (const auto& argument : args)
            if (!safeForCmd(argument)) throw std::runtime_error("argument not safe through cmd: " + argument);
        file = target().wine;
        argv = {file, "cmd", "/c", "set", "PATH=&&", seenPath(exe)};
    } else if (typedName.empty()) {
        file = target().wine;
        argv = {file, seenPath(exe)};
    } else {
        // Typed at a prompt: cmd finds the program and hands it the name as typed.
        for (const auto& argument : args)
            if (!safeForCmd(argument)) throw std::runtime_error("argument not safe through cmd: " + argument);
        file = target().wine;
        argv = {file, "cmd", "/c", typedName};
        if (options.startAs == StartAs::BareName) env["WINEPATH"] = seenPath(path("bin"));
    }
    argv.insert(argv.end(), args.begin(), args.end());
    for (const auto& [name, value] : options.env) {
        if (value)
            env[name] = *value;
        else
            env.erase(name);
    }
    if (options.terminalInput && isWindows()) throw std::runtime_error("no terminal input for Windows programs");
    return runProcess(file, argv, flatten(env), workingDir, options.timeoutSeconds, options.terminalInput);
}

// ---- Expected texts ------------------------------------------------------------------------

std::string creationRecord(const std::vector<std::string>& options) {
    std::string text = "version=0x00010002\nignoreUnrecognized=1\n";
    for (const auto& option : options) text += "option=" + option + "\n";
    return text;
}

std::string startedRecord(const std::vector<std::string>& options, const std::string& mainClass,
                          const std::vector<std::string>& args) {
    std::string text = creationRecord(options);
    text += "findclass=" + mainClass + "\nmethod=main ([Ljava/lang/String;)V\nfindclass=java/lang/String\n";
    for (const auto& argument : args) text += "arg=" + argument + "\n";
    return text + "main\ndestroy\n";
}

std::string libraryPathOption(const std::vector<std::string>& entries, const std::optional<std::string>& pathVariable) {
    std::string path = pathVariable.value_or(launcherPathVariable());
    // A separator goes between entries only: none after an empty PATH.
    for (const auto& entry : entries) path += (path.empty() ? "" : std::string(1, listSeparator())) + entry;
    return "-Djava.library.path=" + path;
}

std::string classPathOption(const std::vector<std::string>& entries) {
    std::string option = "-Djava.class.path=";
    for (std::size_t i = 0; i < entries.size(); ++i) option += (i ? std::string(1, listSeparator()) : "") + entries[i];
    return option;
}

std::vector<std::string> runtimeClassPath(const std::string& home) {
    return {home + native("/lib/tools.jar"), home + native("/lib/dt.jar")};
}

std::string defaultJavaHome() { return native("../jre"); }

std::string vmLibraryPath(const std::string& vmDirectory, const std::string& home) {
    return home + native("/" + vmLibraryBelowHome(vmDirectory));
}

std::vector<std::string> expectedOptions(const Installation& inst, const LaunchOptions& parts) {
    std::vector<std::string> options = parts.fromFile;
    options.push_back(libraryPathOption(parts.libraryEntries, parts.pathVariable));
    options.insert(options.end(), parts.fromCommandLine.begin(), parts.fromCommandLine.end());
    options.push_back("-Dide.config_pathname=" +
                      parts.configPath.value_or(inst.seen("bin/" + inst.programName() + ".conf")));
    options.push_back(classPathOption(parts.classPath.value_or(runtimeClassPath(defaultJavaHome()))));
    return options;
}

std::string verboseOptionLines(const std::vector<std::string>& options) {
    std::string text;
    for (const auto& option : options) text += "JNI Option: " + option + "\n";
    return text;
}

std::string errorReport(const std::string& message) { return "Error: " + message + "\n"; }

std::string stampedTitle() {
    const char* title = std::getenv("LAUNCHER_STAMPED_TITLE");
    return title ? title : "";
}

// ---- Test runtimes for the search (java_runtimes.h) -------------------------------------

namespace {

/// Writes `content` as the file, making its directory.
void writeRuntimeFile(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

/// The header of a 32-bit x86 ELF library: all the search reads of one.
std::string elf32Header() {
    return std::string("\x7f" "ELF\x01\x01\x01", 7) + std::string(11, '\0') + std::string("\x03\x00", 2) +
           std::string(32, '\0');
}

}  // namespace

bool addJavaAt(const std::string& hostHome, const std::string& version, RuntimeLibrary library) {
    fs::path home(hostHome);
    writeRuntimeFile(home / javaExecutable(), "not a real Java executable\n");
    writeRuntimeFile(home / "lib/jvm.cfg", "-server KNOWN\n-hotspot ALIASED_TO -server\n");
    // OS_ARCH as the distributions write it, of the library's architecture.
    bool own32 = target().kind == Kind::Win32;
    bool states32 = library == RuntimeLibrary::OtherArchitecture ? !own32 || !isWindows() : own32;
    if (!version.empty())
        writeRuntimeFile(home / "release", "IMPLEMENTOR=\"Test\"\nJAVA_VERSION=\"" + version + "\"\nOS_ARCH=\"" +
                                        (states32 ? "x86" : "x86_64") + "\"\n");
    fs::path file = home / vmLibraryBelowHome("server");
    fs::path source = fs::path(target().fakeJvmDir) / vmLibraryName();
    if (library == RuntimeLibrary::None) return true;
    if (library == RuntimeLibrary::OtherArchitecture) {
        if (!isWindows()) {
            writeRuntimeFile(file, elf32Header());
            return true;
        }
        const char* other = std::getenv("FAKEJVM_OTHER_BITNESS_DIR");
        if (!other || !fs::exists(fs::path(other) / vmLibraryName())) return false;
        source = fs::path(other) / vmLibraryName();
    }
    fs::create_directories(file.parent_path());
    fs::copy_file(source, file, fs::copy_options::overwrite_existing);
    return true;
}

bool addJava(const Installation& inst, const std::string& home, const std::string& version, RuntimeLibrary library) {
    return addJavaAt(inst.path(home), version, library);
}

std::string ownArchitecture() { return target().kind == Kind::Win32 ? "32-bit" : "64-bit"; }

std::string javaReport(const std::string& home, const std::string& version, const std::string& found) {
    return "home: " + home + "\nversion: " + version + "\narchitecture: " + ownArchitecture() + "\nfound: " + found + "\n";
}

std::string defaultTitle() { return stampedTitle().empty() ? "Ombrix Halverant R7" : stampedTitle(); }

std::string usageText(const std::string& title) {
    return title +
           "\n\nCommands: \n\n"
           "-verbose                 Show JNI options\n"
           "-tavm                    Use TAVM client as the Java VM\n"
           "-client                  Use Client as the Java VM\n"
           "-server                  Use Hotspot Server as the Java VM\n"
           "--<directive>=<value>    Override a directive from the configuration file\n"
           "-J<flag>                 Pass <flag> directly to the runtime system\n"
           "-conf[igure] <file.conf> Use the specified configuration file\n"
           "-multi                   Start a new instance\n"
           "-migrate                 Migrate user settings from a previous installation\n"
           "\n";
}

}  // namespace process_tests
