// The instance channel on POSIX: a Unix socket in $XDG_RUNTIME_DIR, else in a directory of the
// user's own under the temporary directory. The socket is bound under a lock file held with
// flock, so that of two starts at once exactly one binds and the other finds it listening.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/instance_channel.h"

#include "base/path_names.h"
#include "platform/posix/owned_descriptor.h"

namespace platform {

struct ChannelConnection::Handle {
    OwnedDescriptor fd;
};

struct ChannelListener::Handle {
    OwnedDescriptor fd;
    OwnedDescriptor stopRead, stopWrite;
    std::string path;
    std::string lockPath;
    dev_t device = 0;
    ino_t node = 0;
    /// Set once the name has been removed (release), which the destruction then leaves alone.
    std::atomic<bool> released{false};
};

namespace {

using Clock = std::chrono::steady_clock;

/// A directory of this user's, itself no link, that nobody else may write in.
bool isOwnPrivateDirectory(const std::string& directory) {
    struct stat info;
    return ::lstat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

/// Where the sockets live: the session's runtime directory, which the system keeps private, or
/// else one made for this user under the temporary directory.
std::optional<std::string> socketDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && isOwnPrivateDirectory(runtime)) return std::string(runtime);
    const char* temporary = std::getenv("TMPDIR");
    std::string base = temporary && temporary[0] == '/' ? temporary : "/tmp";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string directory = joinPath(base, "launcher-" + std::to_string(::geteuid()));
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    if (!isOwnPrivateDirectory(directory)) return std::nullopt;
    return directory;
}

int millisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

/// The uid and pid of the process at the other end of a connected socket.
bool peerCredentials(int fd, struct ucred& credentials) {
    socklen_t length = sizeof credentials;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0;
}

bool socketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

/// The lock that orders claims and removals of one socket name, held until its owner goes;
/// no descriptor when it cannot be opened or is not had within `timeoutMs` (a process that
/// holds it and hangs must not hold every later start).
OwnedDescriptor takeLock(const std::string& lockPath, unsigned timeoutMs) {
    OwnedDescriptor fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
    struct stat info;
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
        return OwnedDescriptor();
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= deadline) return OwnedDescriptor();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fd;
}

/// Connects to a listening socket, waiting at most `timeoutMs` when its queue is full. The
/// error number on failure (ECONNREFUSED: nobody listens).
int connectTo(const sockaddr_un& address, unsigned timeoutMs, OwnedDescriptor& fd) {
    fd.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return errno;
    timeval limit{static_cast<time_t>(timeoutMs / 1000), static_cast<suseconds_t>((timeoutMs % 1000) * 1000)};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
    int error = errno;
    fd.reset();
    return error;
}

/// Binds and listens at `path`; the listener, or nullptr with `reason` set.
std::unique_ptr<ChannelListener> bindAt(const sockaddr_un& address, const std::string& path,
                                        const std::string& lockPath, std::string& reason) {
    auto handle = std::make_unique<ChannelListener::Handle>();
    handle->path = path;
    handle->lockPath = lockPath;
    handle->fd.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    struct stat info;
    int stopPipe[2] = {-1, -1};
    bool bound =
        handle->fd.valid() && ::bind(handle->fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!bound || ::listen(handle->fd.get(), 64) != 0 || ::lstat(path.c_str(), &info) != 0 ||
        ::pipe2(stopPipe, O_CLOEXEC) != 0) {
        reason = std::string("the socket cannot be made: ") + std::strerror(errno);
        if (bound) ::unlink(path.c_str());
        return nullptr;
    }
    handle->stopRead.reset(stopPipe[0]);
    handle->stopWrite.reset(stopPipe[1]);
    handle->device = info.st_dev;
    handle->node = info.st_ino;
    return std::make_unique<ChannelListener>(std::move(handle));
}

/// The claim, made while the lock is held: what is at the name decides.
ChannelClaim claimLocked(const std::string& path, const std::string& lockPath, unsigned timeoutMs) {
    ChannelClaim claim;
    sockaddr_un address;
    if (!socketAddress(path, address)) {
        claim.reason = "the socket's path is too long: " + path;
        return claim;
    }
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode)) claim.reason = "a link is at the socket's name: " + path;
        else if (!S_ISSOCK(info.st_mode)) claim.reason = "something other than a socket is at its name: " + path;
        else if (info.st_uid != ::geteuid()) claim.reason = "another user's socket is at its name: " + path;
        if (!claim.reason.empty()) return claim;
        OwnedDescriptor fd;
        int error = connectTo(address, timeoutMs, fd);
        struct ucred peer;
        if (error == 0 && peerCredentials(fd.get(), peer) && peer.uid == ::geteuid()) {
            claim.outcome = ChannelClaim::Outcome::Running;
            auto handle = std::make_unique<ChannelConnection::Handle>();
            handle->fd = std::move(fd);
            claim.connection = std::make_unique<ChannelConnection>(std::move(handle));
            return claim;
        }
        fd.reset();
        if (error == 0) claim.reason = "another user listens at the socket: " + path;
        else if (error != ECONNREFUSED) claim.reason = "the running instance does not take the connection: " + path;
        if (!claim.reason.empty()) return claim;
        // Nobody listens: an instance ended without removing it.
        ::unlink(path.c_str());
    }
    claim.listener = bindAt(address, path, lockPath, claim.reason);
    if (claim.listener) claim.outcome = ChannelClaim::Outcome::Owner;
    return claim;
}

}  // namespace

std::optional<std::string> instanceChannelName(const std::string& key) {
    std::optional<std::string> directory = socketDirectory();
    if (!directory) return std::nullopt;
    return joinPath(*directory, "launcher-instance-" + key + ".sock");
}

ChannelClaim claimInstanceChannel(const std::string& key, unsigned timeoutMs) {
    ChannelClaim claim;
    std::optional<std::string> path = instanceChannelName(key);
    if (!path) {
        claim.reason = "no private directory for the instance's socket";
        return claim;
    }
    std::string lockPath = path->substr(0, path->size() - 5) + ".lock";
    // Held until the claim is made, or has failed however it fails. One limit for the lock
    // and the connection together, as on Windows.
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    OwnedDescriptor lock = takeLock(lockPath, timeoutMs);
    if (!lock.valid()) {
        claim.reason = "the lock of the socket's name cannot be had: " + lockPath;
        return claim;
    }
    return claimLocked(*path, lockPath, static_cast<unsigned>(std::max(1, millisecondsLeft(deadline))));
}

void allowToComeForward(unsigned long) {}

unsigned long long steadyMilliseconds() {
    return static_cast<unsigned long long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

void pauseMilliseconds(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

struct LauncherThread::Handle {
    std::thread thread;
};

LauncherThread::LauncherThread(std::function<void()> work) : handle_(std::make_unique<Handle>()) {
    try {
        handle_->thread = std::thread(std::move(work));
    } catch (const std::system_error&) {
        // No thread to be had: the work does not run.
    }
}

LauncherThread::~LauncherThread() {
    if (handle_->thread.joinable()) handle_->thread.join();
}

struct OneTimeSignal::Handle {
    std::mutex mutex;
    std::condition_variable raised;
    bool up = false;
};

OneTimeSignal::OneTimeSignal() : handle_(std::make_unique<Handle>()) {}
OneTimeSignal::~OneTimeSignal() = default;

void OneTimeSignal::raise() {
    {
        std::lock_guard<std::mutex> lock(handle_->mutex);
        handle_->up = true;
    }
    handle_->raised.notify_all();
}

void OneTimeSignal::wait() {
    std::unique_lock<std::mutex> lock(handle_->mutex);
    handle_->raised.wait(lock, [this] { return handle_->up; });
}

struct Monitor::Handle {
    std::mutex mutex;
    std::condition_variable_any changed;
};

Monitor::Monitor() : handle_(std::make_unique<Handle>()) {}
Monitor::~Monitor() = default;
void Monitor::lock() { handle_->mutex.lock(); }
void Monitor::unlock() { handle_->mutex.unlock(); }
void Monitor::wait() { handle_->changed.wait(handle_->mutex); }
void Monitor::notifyAll() { handle_->changed.notify_all(); }

ChannelConnection::ChannelConnection(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
ChannelConnection::~ChannelConnection() = default;

bool ChannelConnection::send(const std::string& bytes, unsigned timeoutMs) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        pollfd ready{handle_->fd.get(), POLLOUT, 0};
        int polled = ::poll(&ready, 1, millisecondsLeft(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return false;
        ssize_t written = ::send(handle_->fd.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (written <= 0) return false;
        sent += static_cast<std::size_t>(written);
    }
    return true;
}

std::optional<std::string> ChannelConnection::receive(std::size_t count, unsigned timeoutMs, bool* timedOut) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (timedOut) *timedOut = false;
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        pollfd ready{handle_->fd.get(), POLLIN, 0};
        int polled = ::poll(&ready, 1, millisecondsLeft(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled == 0 && timedOut) *timedOut = true;
        if (polled <= 0) return std::nullopt;
        ssize_t read = ::recv(handle_->fd.get(), &bytes[got], count - got, MSG_DONTWAIT);
        if (read < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (read <= 0) return std::nullopt;
        got += static_cast<std::size_t>(read);
    }
    return bytes;
}

unsigned long ChannelConnection::peerProcessId() const {
    struct ucred peer;
    return peerCredentials(handle_->fd.get(), peer) ? static_cast<unsigned long>(peer.pid) : 0;
}

ChannelListener::ChannelListener(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

namespace {

/// Removes the socket at `path` when it is still the one of `handle`.
void removeOwnSocket(const ChannelListener::Handle& handle) {
    struct stat info;
    if (::lstat(handle.path.c_str(), &info) == 0 && info.st_dev == handle.device && info.st_ino == handle.node)
        ::unlink(handle.path.c_str());
}

}  // namespace

ChannelListener::~ChannelListener() {
    bool listening = handle_->fd.valid();
    handle_->fd.reset();
    if (!listening || handle_->released.exchange(true)) return;
    // Under the lock, and only the socket this listener bound: a start that found it closed
    // may have bound a new one at the name already.
    OwnedDescriptor lock = takeLock(handle_->lockPath, 2000);
    if (lock.valid()) removeOwnSocket(*handle_);
}

void ChannelListener::release() noexcept {
    // The socket still listens: no start takes the name over meanwhile, so no lock is needed,
    // and none is waited for in a process that is ending.
    if (!handle_->released.exchange(true)) removeOwnSocket(*handle_);
}

std::unique_ptr<ChannelConnection> ChannelListener::accept() {
    for (;;) {
        pollfd ready[2] = {{handle_->fd.get(), POLLIN, 0}, {handle_->stopRead.get(), POLLIN, 0}};
        int polled = ::poll(ready, 2, -1);
        if (polled < 0 && errno == EINTR) continue;
        if (polled < 0 || ready[1].revents != 0) return nullptr;
        OwnedDescriptor fd(::accept4(handle_->fd.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!fd.valid()) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
            return nullptr;
        }
        struct ucred peer;
        if (peerCredentials(fd.get(), peer) && peer.uid == ::geteuid()) {
            auto handle = std::make_unique<ChannelConnection::Handle>();
            handle->fd = std::move(fd);
            return std::make_unique<ChannelConnection>(std::move(handle));
        }
    }
}

void ChannelListener::stop() {
    char byte = 0;
    while (::write(handle_->stopWrite.get(), &byte, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace platform
