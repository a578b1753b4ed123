// The POSIX platform layer's files of the start-up cache: private files opened without
// following links, the lock, free space, and the runtime's quiet child.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "base/path_names.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/processes.h"

namespace platform {

bool makeDirectories(const std::string& directory) {
    struct stat info;
    if (::stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    std::size_t start = fileNameStart(directory);
    if (start > 1 && !makeDirectories(directory.substr(0, start - 1))) return false;
    if (::mkdir(directory.c_str(), 0700) == 0) return true;
    // Another process may have made it in the meantime.
    return errno == EEXIST && ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool replaceFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || (errno == EISDIR && ::rmdir(path.c_str()) == 0);
}

namespace {

FileStamp stampOf(const struct stat& info) {
    FileStamp stamp;
    stamp.size = static_cast<unsigned long long>(info.st_size);
    stamp.modified = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    stamp.changed = static_cast<long long>(info.st_ctim.tv_sec) * 1000000000LL + info.st_ctim.tv_nsec;
    stamp.node = static_cast<unsigned long long>(info.st_ino);
    return stamp;
}

/// This user's, and nobody else may change it.
bool isPrivate(const struct stat& info) { return info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0; }

/// Opens a cache file without following a link and without waiting on a FIFO; -1 unless it
/// is a regular file of this user's that nobody else may write.
int openPrivate(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat info;
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && isPrivate(info)) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

}  // namespace

std::optional<FileStamp> fileStamp(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return stampOf(info);
}

std::optional<FileStamp> privateFileStamp(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || !isPrivate(info)) return std::nullopt;
    return stampOf(info);
}

bool isPrivateDirectory(const std::string& directory) {
    struct stat info;
    return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && isPrivate(info);
}

bool writeSmallFile(const std::string& path, const std::string& content) {
    int fd = openPrivate(path, O_WRONLY | O_CREAT);
    if (fd < 0) return false;
    bool whole = ::ftruncate(fd, 0) == 0 && ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    return ::close(fd) == 0 && whole;
}

std::optional<std::string> lastingFileName(const std::string& path) {
    // Held open on purpose, without close-on-exec being needed: the VM runs in this process.
    int fd = openPrivate(path, O_WRONLY | O_CREAT);
    if (fd < 0) return std::nullopt;
    std::string name = "/proc/self/fd/" + std::to_string(fd);
    struct stat info;
    if (::stat(name.c_str(), &info) == 0) return name;
    ::close(fd);
    return path;
}

std::optional<unsigned long long> freeSpace(const std::string& directory) {
    struct statvfs info;
    if (::statvfs(directory.c_str(), &info) != 0) return std::nullopt;
    return static_cast<unsigned long long>(info.f_bavail) * info.f_frsize;
}

namespace {

/// Why a file of this type is not read.
std::string notRegularReason(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a directory";
    if (S_ISFIFO(mode)) return "it is a FIFO";
    if (S_ISSOCK(mode)) return "it is a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device";
    return "it is no regular file";
}

/// Reads from `fd` until its end or `maxBytes` and one more; false on a read error.
bool readUpTo(int fd, std::size_t maxBytes, std::string& content) {
    char buffer[4096];
    while (content.size() <= maxBytes) {
        ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, maxBytes + 1 - content.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

}  // namespace

FileContent readRegularFile(const std::string& path, std::size_t maxBytes) {
    FileContent file;
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        int error = errno;  // a socket does not open at all
        file.outcome = error == ENOENT || error == ENOTDIR ? FileOutcome::Missing
                       : error == ENXIO                    ? FileOutcome::NotRegular
                                                           : FileOutcome::Unreadable;
        file.reason = error == ENXIO ? "it is a socket" : "it cannot be opened";
        return file;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        file.outcome = FileOutcome::Unreadable;
        file.reason = "it cannot be read";
    } else if (!S_ISREG(info.st_mode)) {
        file.outcome = S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? FileOutcome::Device : FileOutcome::NotRegular;
        file.reason = notRegularReason(info.st_mode);
    } else if (!readUpTo(fd, maxBytes, file.bytes)) {
        file.outcome = FileOutcome::Unreadable;
        file.reason = "it cannot be read";
        file.bytes.clear();
    } else {
        file.outcome = file.bytes.size() > maxBytes ? FileOutcome::TooLarge : FileOutcome::Read;
        if (file.bytes.size() > maxBytes) file.bytes.resize(maxBytes);
    }
    ::close(fd);
    return file;
}

namespace {

/// The descriptors of the locks this process holds; the background work keeps them.
std::vector<int> heldLocks;

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
        if (fd > 2 && fd < below && fd != kept && std::find(heldLocks.begin(), heldLocks.end(), fd) == heldLocks.end())
            ::close(fd);
}

}  // namespace

bool holdLockUntilExit(const std::string& path) {
    // The descriptor stays open on purpose: the lock goes with the process, however it ends
    // (System.exit included). Close-on-exec keeps it from any child.
    int fd = openPrivate(path, O_RDWR | O_CREAT);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        heldLocks.push_back(fd);
        return true;
    }
    ::close(fd);
    return false;
}

void runInBackground(const BackgroundWork& work, unsigned delay) {
    std::fflush(stdout);
    std::fflush(stderr);
    // The worker learns that this process has ended when the pipe's one writer, this process,
    // is gone: its descriptor stays open on purpose until then.
    int ended[2];
    if (::pipe2(ended, O_CLOEXEC) != 0) return;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(ended[0]);
        ::close(ended[1]);
        return;
    }
    if (child == 0) {
        // The worker's parent ends at once, so that the worker belongs to no one who must
        // wait for it; it keeps the locks (the same open descriptions) until it is done.
        if (::fork() != 0) ::_exit(0);
        ::setsid();
        int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2 && null >= 0; ++fd) ::dup2(null, fd);
        closeAllButLocks(ended[0]);
        // The application comes first: the work waits for the launch to end or to have run for
        // `delay` seconds, and takes what time the processors have left.
        struct pollfd launch = {ended[0], POLLIN, 0};
        int limit = delay == kUntilTheLaunchEnds ? -1 : static_cast<int>(delay * 1000);
        while (::poll(&launch, 1, limit) < 0 && errno == EINTR) {
        }
        ::close(ended[0]);
        if (::nice(19) == -1) {
        }
        try {
            work.run();
        } catch (...) {
        }
        ::_exit(0);
    }
    ::close(ended[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

void waitForBackground() {
    // The worker is a process of its own: the launch need not wait for it.
}

std::optional<std::vector<std::string>> backgroundWork(const std::vector<std::string>&) {
    // A worker is a fork, which has its work from the start.
    return std::nullopt;
}

int runQuietly(const std::string& program, const std::vector<std::string>& args, unsigned timeLimit) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        // The child dies with the launch, however the launch ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2 && null >= 0; ++fd) ::dup2(null, fd);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    for (unsigned long waited = 0;; waited += 10) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? kChildCutShort : -1;
        if (done < 0 && errno != EINTR) return -1;
        if (waited >= timeLimit * 1000UL) break;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return kChildCutShort;
}

}  // namespace platform
