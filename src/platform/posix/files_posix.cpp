// Files and directories on POSIX: names and listings, private files opened without following
// links, reading without blocking, the lock and free space.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/posix/held_locks.h"
#include "platform/posix/owned_descriptor.h"

namespace platform {

std::optional<std::string> currentDirectory() {
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(&buffer[0], buffer.size())) {
            buffer.resize(std::strlen(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE) return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
}

bool changeDirectory(const std::string& directory) { return ::chdir(directory.c_str()) == 0; }

std::optional<std::string> fullPathDirectory(const std::string& name) {
    if (name.empty()) return std::nullopt;
    std::string full = name;
    if (name[0] != '/') {
        std::optional<std::string> cwd = currentDirectory();
        if (!cwd) return std::nullopt;
        full = joinPath(*cwd, name);
    }
    std::size_t start = fileNameStart(full);
    if (start == full.size()) return std::nullopt;  // no file-name part
    return full.substr(0, start);
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::vector<std::string> findFiles(const std::string& directory, const std::string& pattern) {
    std::vector<std::string> names;
    // Only the "*.ext" form is used: the entries whose names end in ".ext", ignoring case.
    std::string suffix = pattern.substr(pattern.find('*') == 0 ? 1 : 0);
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) return names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() >= suffix.size() && name != "." && name != ".." && endsWithIgnoringCase(name, suffix))
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool isRegularFile(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isSymbolicLink(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::optional<std::string> resolvedPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::vector<std::string> listDirectories(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return names;
    while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        struct stat info;
        std::string full = joinPath(directory, entry->d_name);
        if (::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    if (mode[0] != 'r' || std::strchr(mode, '+')) return std::fopen(path.c_str(), mode);
    // Opening a FIFO waits for a writer: without waiting, one that has none reads as empty at
    // once, and a pipe that has one (the shell's <(...)) is read to its end as before.
    OwnedDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return nullptr;
    int flags = ::fcntl(fd.get(), F_GETFL);
    std::FILE* file = flags >= 0 && ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) == 0 ? ::fdopen(fd.get(), mode) : nullptr;
    if (file) fd.release();  // the stream closes it
    return file;
}


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

constexpr int kDeepestTree = 64;

/// Removes everything in the directory open as `fd`, which it closes, through the descriptor
/// alone: a link is unlinked, and a directory is opened without following a link.
bool emptyDirectory(int fd, int depth) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    std::vector<std::string> names;
    while (const struct dirent* entry = ::readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
    bool whole = true;
    for (const std::string& name : names) {
        if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) continue;
        int below = depth < kDeepestTree ? ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
        if (below < 0 || !emptyDirectory(below, depth + 1) || ::unlinkat(::dirfd(dir), name.c_str(), AT_REMOVEDIR) != 0)
            whole = false;
    }
    ::closedir(dir);
    return whole;
}

}  // namespace

bool removeTree(const std::string& path) {
    if (removeFile(path)) return true;
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd >= 0 && emptyDirectory(fd, 1) && ::rmdir(path.c_str()) == 0;
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

/// True when `group` is this user's private group: the user's primary group, named as the user
/// is, with no member but the user. Systems that give every user such a group (user-private
/// groups) make new files group-writable (umask 002): the group's write bit gives nobody else
/// a way in.
bool isUserPrivateGroup(gid_t group) {
    std::vector<char> buffer(16384);
    struct passwd user, *userFound = nullptr;
    if (::getpwuid_r(::geteuid(), &user, buffer.data(), buffer.size() / 2, &userFound) != 0 || !userFound ||
        user.pw_gid != group)
        return false;
    struct group entry, *groupFound = nullptr;
    char* groupBuffer = buffer.data() + buffer.size() / 2;
    if (::getgrgid_r(group, &entry, groupBuffer, buffer.size() / 2, &groupFound) != 0 || !groupFound ||
        std::strcmp(entry.gr_name, user.pw_name) != 0)
        return false;
    for (char** member = entry.gr_mem; *member; ++member)
        if (std::strcmp(*member, user.pw_name) != 0) return false;
    return true;
}

/// This user's, and nobody else may change it: no write permission for others, nor for the
/// group unless it is the user's private group.
bool isPrivate(const struct stat& info) {
    if (info.st_uid != ::geteuid() || (info.st_mode & S_IWOTH) != 0) return false;
    return (info.st_mode & S_IWGRP) == 0 || isUserPrivateGroup(info.st_gid);
}

/// Opens a cache file without following a link and without waiting on a FIFO; no descriptor
/// unless it is a regular file of this user's that nobody else may write.
OwnedDescriptor openPrivate(const std::string& path, int flags) {
    OwnedDescriptor fd(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat info;
    if (fd.valid() && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && isPrivate(info)) return fd;
    return OwnedDescriptor();
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
    OwnedDescriptor fd = openPrivate(path, O_WRONLY | O_CREAT);
    if (!fd.valid()) return false;
    bool whole = ::ftruncate(fd.get(), 0) == 0 &&
                 ::write(fd.get(), content.data(), content.size()) == static_cast<ssize_t>(content.size());
    return fd.close() && whole;
}

std::optional<std::string> lastingFileName(const std::string& path) {
    // Held open on purpose, without close-on-exec being needed: the VM runs in this process.
    OwnedDescriptor fd = openPrivate(path, O_WRONLY | O_CREAT);
    if (!fd.valid()) return std::nullopt;
    std::string name = "/proc/self/fd/" + std::to_string(fd.get());
    struct stat info;
    if (::stat(name.c_str(), &info) != 0) return path;
    fd.release();
    return name;
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
    OwnedDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) {
        int error = errno;  // a socket does not open at all
        file.outcome = error == ENOENT || error == ENOTDIR ? FileOutcome::Missing
                       : error == ENXIO                    ? FileOutcome::NotRegular
                                                           : FileOutcome::Unreadable;
        file.reason = error == ENXIO ? "it is a socket" : "it cannot be opened";
        return file;
    }
    struct stat info;
    if (::fstat(fd.get(), &info) != 0) {
        file.outcome = FileOutcome::Unreadable;
        file.reason = "it cannot be read";
    } else if (!S_ISREG(info.st_mode)) {
        file.outcome = S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? FileOutcome::Device : FileOutcome::NotRegular;
        file.reason = notRegularReason(info.st_mode);
    } else if (!readUpTo(fd.get(), maxBytes, file.bytes)) {
        file.outcome = FileOutcome::Unreadable;
        file.reason = "it cannot be read";
        file.bytes.clear();
    } else {
        file.outcome = file.bytes.size() > maxBytes ? FileOutcome::TooLarge : FileOutcome::Read;
        if (file.bytes.size() > maxBytes) file.bytes.resize(maxBytes);
    }
    return file;
}

std::optional<std::string> AppendingFile::read(std::size_t maxBytes) {
    int fd = static_cast<int>(handle_);
    struct stat info;
    if (handle_ == kNoHandle || ::fstat(fd, &info) != 0) return std::nullopt;
    // In one read as a rule: the size is known, and nobody else writes while the lock is held.
    std::string content(std::min(static_cast<std::size_t>(info.st_size), maxBytes), '\0');
    std::size_t got = 0;
    while (got < content.size()) {
        ssize_t read = ::pread(fd, &content[got], content.size() - got, static_cast<off_t>(got));
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) return std::nullopt;
        if (read == 0) break;
        got += static_cast<std::size_t>(read);
    }
    content.resize(got);
    return content;
}

bool AppendingFile::append(const std::string& text) {
    int fd = static_cast<int>(handle_);
    struct stat before;
    if (handle_ == kNoHandle || ::fstat(fd, &before) != 0) return false;
    // O_APPEND: the write lands at the end whatever the offset, in one step.
    ssize_t written = ::write(fd, text.data(), text.size());
    if (written == static_cast<ssize_t>(text.size())) return true;
    if (written > 0) static_cast<void>(::ftruncate(fd, before.st_size));
    return false;
}

AppendingFile openForAppending(const std::string& path) {
    AppendingFile file;
    OwnedDescriptor fd = openPrivate(path, O_RDWR | O_APPEND | O_CREAT);
    if (fd.valid()) file.handle_ = fd.release();
    return file;
}

namespace {

/// The descriptors of the locks this process holds; the background work keeps them.
std::vector<int> locks;

}  // namespace

const std::vector<int>& heldLocks() { return locks; }

OpenFile::~OpenFile() {
    if (handle_ != kNoHandle) ::close(static_cast<int>(handle_));
}

FileLock lockFile(const std::string& path, unsigned waitMilliseconds) {
    FileLock lock;
    OwnedDescriptor fd = openPrivate(path, O_RDWR | O_CREAT);
    if (!fd.valid()) return lock;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    // Polled rather than waited on: a blocking flock cannot be given a deadline.
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return lock;
        if (std::chrono::steady_clock::now() >= deadline) return lock;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    lock.handle_ = fd.release();
    return lock;
}

bool holdLockUntilExit(const std::string& path) {
    // The descriptor stays open on purpose: the lock goes with the process, however it ends
    // (System.exit included). Close-on-exec keeps it from any child.
    OwnedDescriptor fd = openPrivate(path, O_RDWR | O_CREAT);
    if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
    locks.push_back(fd.release());
    return true;
}


}  // namespace platform
