// Processes on POSIX: the program's own path and arguments, the environment, children run and
// waited for, and the start-up cache's worker and quiet child.
#include "platform/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/text_ops.h"
#include "platform/posix/child_output.h"
#include "platform/posix/held_locks.h"
#include "platform/posix/owned_descriptor.h"

extern char** environ;

namespace platform {

namespace {

bool equalIgnoringCase(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

/// Closes every descriptor above the standard streams but the locks' and `kept`. Those at or
/// above the limit of open files are not the program's (a tool that runs it keeps its own there).
void closeAllButLocks(int kept) {
    struct rlimit limit;
    int below = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 1048576 ? static_cast<int>(limit.rlim_cur) : 1024;
    std::vector<int> open;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (const struct dirent* entry = ::readdir(fds))
            if (entry->d_name[0] >= '0' && entry->d_name[0] <= '9') open.push_back(std::atoi(entry->d_name));
        ::closedir(fds);
    }
    for (int fd : open)
        if (fd > 2 && fd < below && fd != kept && std::find(heldLocks().begin(), heldLocks().end(), fd) == heldLocks().end())
            ::close(fd);
}

}  // namespace

std::optional<std::string> ownExecutablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", &buffer[0], buffer.size());
        if (length < 0) return std::nullopt;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> getEnv(const std::string& name) {
    if (const char* value = std::getenv(name.c_str())) return std::string(value);
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (!equals || static_cast<std::size_t>(equals - *entry) != name.size()) continue;
        if (equalIgnoringCase(*entry, name.c_str(), name.size())) return std::string(equals + 1);
    }
    return std::nullopt;
}

std::optional<std::string> getEnvExactName(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

ChildOutcome runAndWait(const std::string& program, const std::vector<std::string>& args) {
    ChildOutcome outcome;
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int error = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        outcome.errorText = std::strerror(error);
        return outcome;
    }
    outcome.started = true;
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == pid) {
        if (WIFEXITED(status))
            outcome.exitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            outcome.exitCode = 128 + WTERMSIG(status);
    }
    return outcome;
}

bool setEnv(const std::string& name, const std::optional<std::string>& value) {
    return (value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str())) == 0;
}

namespace {

/// The memory that holds the program's arguments, one after the other, which the system's
/// list of processes reads (/proc/PID/cmdline): a worker writes its name there.
char* argumentsStart = nullptr;
std::size_t argumentsLength = 0;

/// Names this process, a worker of the launch, in the list of processes: its command line
/// "<program>: <role>", and its name (15 bytes at most) the program's and the role's first word.
void nameWorker(const std::string& role) {
    std::string program = program_invocation_short_name ? program_invocation_short_name : "";
    std::string name = program + ": " + role;
    std::string word = role.substr(0, role.find(' '));
    std::string shortName = program.substr(0, word.size() < 14 ? 14 - word.size() : 0) + " " + word;
    ::prctl(PR_SET_NAME, shortName.substr(0, 15).c_str(), 0, 0, 0);
    if (argumentsStart && argumentsLength > 1) {
        std::size_t length = std::min(name.size(), argumentsLength - 1);
        std::memcpy(argumentsStart, name.data(), length);
        std::memset(argumentsStart + length, 0, argumentsLength - length);
    }
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(argv[i] ? argv[i] : "");
    // The arguments stand one after the other; their memory ends with the last one's.
    if (argc > 0 && argv[0]) {
        argumentsStart = argv[0];
        char* end = argv[0] + std::strlen(argv[0]) + 1;
        for (int i = 1; i < argc && argv[i] == end; ++i) end = argv[i] + std::strlen(argv[i]) + 1;
        argumentsLength = static_cast<std::size_t>(end - argumentsStart);
    }
    return args;
}

bool startAgain(const std::string& program, const std::vector<std::string>& args) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // The VM's files and sockets are closed by the exec, not before: a refused exec leaves
    // the process as it was.
    if (DIR* open = ::opendir("/proc/self/fd")) {
        int listing = ::dirfd(open);
        while (const struct dirent* entry = ::readdir(open)) {
            int fd = std::atoi(entry->d_name);
            if (fd > 2 && fd != listing) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        ::closedir(open);
    }
    // The VM's threads block signals that the new start must receive.
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    ::execv(program.c_str(), argv.data());
    return false;
}

void awaitPredecessor() {}

void runInBackground(const BackgroundWork& work, unsigned delay) {
    std::fflush(stdout);
    std::fflush(stderr);
    // The worker learns that this process has ended when the pipe's one writer, this process,
    // is gone: its descriptor stays open on purpose until then.
    int ended[2];
    if (::pipe2(ended, O_CLOEXEC) != 0) return;
    OwnedDescriptor endSeen(ended[0]), launchLives(ended[1]);
    pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        // The worker's parent ends at once, so that the worker belongs to no one who must
        // wait for it; it keeps the locks (the same open descriptions) until it is done.
        if (::fork() != 0) ::_exit(0);
        ::setsid();
        if (!work.role.empty()) nameWorker(work.role);
        int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2 && null >= 0; ++fd) ::dup2(null, fd);
        closeAllButLocks(endSeen.get());
        // The application comes first: the work waits for the launch to end or to have run for
        // `delay` seconds, and takes what time the processors have left.
        struct pollfd launch = {endSeen.get(), POLLIN, 0};
        int limit = delay == kUntilTheLaunchEnds ? -1 : static_cast<int>(delay * 1000);
        while (::poll(&launch, 1, limit) < 0 && errno == EINTR) {
        }
        endSeen.reset();
        if (::nice(19) == -1) {
        }
        try {
            work.run();
        } catch (...) {
        }
        ::_exit(0);
    }
    endSeen.reset();
    launchLives.release();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

std::vector<long> threadsOfThisProcess() {
    std::vector<long> threads;
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) return threads;
    while (const struct dirent* entry = ::readdir(tasks))
        if (entry->d_name[0] >= '0' && entry->d_name[0] <= '9') threads.push_back(std::strtol(entry->d_name, nullptr, 10));
    ::closedir(tasks);
    std::sort(threads.begin(), threads.end());
    return threads;
}

bool waitForThreadsToEnd(const std::vector<long>& threads, unsigned timeoutMs) {
    for (unsigned waited = 0;; waited += 5) {
        std::vector<long> now = threadsOfThisProcess();
        bool running = std::any_of(threads.begin(), threads.end(),
                                   [&](long thread) { return std::binary_search(now.begin(), now.end(), thread); });
        if (!running) return true;
        if (waited >= timeoutMs) return false;
        ::usleep(5000);
    }
}

void waitForBackground() {
    // The worker is a process of its own: the launch need not wait for it.
}

std::optional<std::vector<std::string>> backgroundWork(const std::vector<std::string>&) {
    // A worker is a fork, which has its work from the start.
    return std::nullopt;
}

namespace {

/// Appends what the pipe `from` holds now to `output`, up to kMostChildOutput; closes it at its
/// end or when it fails.
void readAvailable(OwnedDescriptor& from, std::string& output) {
    char buffer[4096];
    while (from.valid()) {
        ssize_t got = ::read(from.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got <= 0) {
            from.reset();
            return;
        }
        std::size_t room = kMostChildOutput - std::min(kMostChildOutput, output.size());
        output.append(buffer, std::min(room, static_cast<std::size_t>(got)));
    }
}

}  // namespace

int runQuietlyReading(const std::string& program, const std::vector<std::string>& args, unsigned timeLimit,
                      std::string* output) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    OwnedDescriptor readEnd, writeEnd;
    if (output) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
        readEnd.reset(ends[0]);
        writeEnd.reset(ends[1]);
    }
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        // The child dies with the launch, however the launch ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2 && null >= 0; ++fd) ::dup2(null, fd);
        // The pipe's end as the standard output, blocking, as a program expects it.
        if (writeEnd.valid() && (::dup2(writeEnd.get(), STDOUT_FILENO) < 0 || ::fcntl(STDOUT_FILENO, F_SETFL, 0) < 0))
            ::_exit(127);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    writeEnd.reset();
    int status = 0;
    for (unsigned long waited = 0;; waited += 10) {
        if (output) readAvailable(readEnd, *output);
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            // What it wrote before it ended; a descendant that keeps the pipe open is not waited for.
            if (output) readAvailable(readEnd, *output);
            return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? kChildCutShort : -1;
        }
        if (done < 0 && errno != EINTR) return -1;
        if (waited >= timeLimit * 1000UL) break;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return kChildCutShort;
}

int runQuietly(const std::string& program, const std::vector<std::string>& args, unsigned timeLimit) {
    return runQuietlyReading(program, args, timeLimit, nullptr);
}

}  // namespace platform
