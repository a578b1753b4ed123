// The per-user channel through which a start of an application reaches the instance of it
// that runs already: a named pipe on Windows (named after the user's SID, open to that user
// only), a Unix socket in the user's runtime directory on POSIX (peers of other users refused).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

/// One end of a connection of the channel; closed when the object goes. Every call waits at
/// most the time it is given, so that a peer that stalls cannot hold this end for longer.
class ChannelConnection {
public:
    struct Handle;
    explicit ChannelConnection(std::unique_ptr<Handle> handle);
    ~ChannelConnection();
    ChannelConnection(const ChannelConnection&) = delete;
    ChannelConnection& operator=(const ChannelConnection&) = delete;

    /// Writes all of `bytes` within `timeoutMs`; false when the peer has gone, refuses or is
    /// too slow. Never raises a signal.
    bool send(const std::string& bytes, unsigned timeoutMs);
    /// Reads exactly `count` bytes within `timeoutMs`; nullopt when the peer closes first, an
    /// error occurs or the time runs out, which `timedOut` (when given) tells apart: a clock
    /// read afterwards may not have reached the limit that the system's wait did.
    std::optional<std::string> receive(std::size_t count, unsigned timeoutMs, bool* timedOut = nullptr);
    /// The process id of the other end; 0 when the system cannot say.
    unsigned long peerProcessId() const;

private:
    std::unique_ptr<Handle> handle_;
};

/// The owner's end of the channel: while it lives, the channel's name leads to this process.
/// Its destruction closes the channel and removes its name (unless another process has made
/// the name its own meanwhile).
class ChannelListener {
public:
    struct Handle;
    explicit ChannelListener(std::unique_ptr<Handle> handle);
    ~ChannelListener();
    ChannelListener(const ChannelListener&) = delete;
    ChannelListener& operator=(const ChannelListener&) = delete;

    /// Waits for the next client of this user (clients of other users are turned away here);
    /// nullptr once stop has been called or the channel fails.
    std::unique_ptr<ChannelConnection> accept();
    /// Makes a waiting or later accept return nullptr. Safe from any thread.
    void stop();
    /// For a process that is ending now (System.exit), from any thread and without waiting:
    /// the channel's name goes at once, so that nothing of it stays behind (POSIX: the socket
    /// file; Windows: nothing to do, the pipe's name goes with the process's handles).
    void release() noexcept;

private:
    std::unique_ptr<Handle> handle_;
};

/// What a start found at the channel's name.
struct ChannelClaim {
    enum class Outcome {
        Owner,     ///< the name was free (or left by an instance that ended): `listener` holds it
        Running,   ///< an instance of this user listens there: `connection` leads to it
        Unusable,  ///< something else is there, or no channel can be made: `reason` says why
    };
    Outcome outcome = Outcome::Unusable;
    std::string reason;
    std::unique_ptr<ChannelListener> listener;
    std::unique_ptr<ChannelConnection> connection;
};

/// Takes the channel named after `key` (letters and digits) for this user, or connects to the
/// instance of this user that holds it, in one step that two starts at the same moment cannot
/// both win: exactly one becomes the owner, the other connects. A name left behind by an
/// instance that ended without removing it is taken over. Waits at most `timeoutMs` in all, for
/// the lock that orders the claims and for a busy owner to take the connection.
ChannelClaim claimInstanceChannel(const std::string& key, unsigned timeoutMs);

/// The full name of the channel of `key` for this user (a pipe name, a socket's path); nullopt
/// when none can be formed (no private directory for it, the user's identity unknown).
std::optional<std::string> instanceChannelName(const std::string& key);

/// A thread of the launcher's own, beside the VM's threads: it runs `work` from its
/// construction; the destruction waits for `work` to end. Windows: a thread of the system's
/// own, which keeps the threads library of the compiler out of the executable.
class LauncherThread {
public:
    struct Handle;
    /// Starts the thread; when the system refuses one, `work` never runs.
    explicit LauncherThread(std::function<void()> work);
    ~LauncherThread();
    LauncherThread(const LauncherThread&) = delete;
    LauncherThread& operator=(const LauncherThread&) = delete;

private:
    std::unique_ptr<Handle> handle_;
};

/// A signal that one thread raises, once or more, and that others wait for: what was written
/// before `raise` is seen after `wait` returns.
class OneTimeSignal {
public:
    struct Handle;
    OneTimeSignal();
    ~OneTimeSignal();
    OneTimeSignal(const OneTimeSignal&) = delete;
    OneTimeSignal& operator=(const OneTimeSignal&) = delete;

    void raise();
    /// Returns once `raise` has been called, at once when it has been already.
    void wait();

private:
    std::unique_ptr<Handle> handle_;
};

/// A lock with a condition, for threads of the launcher's own: `wait` and `notifyAll` are
/// called with the lock held (through MonitorLock).
class Monitor {
public:
    struct Handle;
    Monitor();
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    void lock();
    void unlock();
    /// Lets go of the lock until notifyAll, and takes it again before it returns.
    void wait();
    void notifyAll();

private:
    std::unique_ptr<Handle> handle_;
};

/// Holds a Monitor's lock for a scope.
class MonitorLock {
public:
    explicit MonitorLock(Monitor& monitor) : monitor_(monitor) { monitor_.lock(); }
    ~MonitorLock() { monitor_.unlock(); }
    MonitorLock(const MonitorLock&) = delete;
    MonitorLock& operator=(const MonitorLock&) = delete;

private:
    Monitor& monitor_;
};

/// Milliseconds of a clock that only goes forward, for the deadlines of the launcher's threads.
unsigned long long steadyMilliseconds();
/// Lets this thread wait `milliseconds`.
void pauseMilliseconds(unsigned milliseconds);

/// Lets the process `processId` bring its window to the front, as the running instance does
/// when a later start hands it its arguments (Windows); nothing on POSIX.
void allowToComeForward(unsigned long processId);

}  // namespace platform
