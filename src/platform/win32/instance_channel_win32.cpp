// The instance channel on Windows: a named pipe named after the user's SID, whose security
// descriptor makes the user its owner and grants nobody else anything. A start claims the name
// under a named mutex, so that of two starts at once exactly one creates the pipe (with
// FILE_FLAG_FIRST_PIPE_INSTANCE besides); a start that finds a pipe of the name uses it only
// when the user owns it.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <vector>

#include "platform/instance_channel.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

/// Milliseconds of the system's own clock: the standard library's clocks would bring the
/// compiler's threads library into the executable.
ULONGLONG deadlineAfter(DWORD milliseconds) { return GetTickCount64() + milliseconds; }

DWORD millisecondsLeft(ULONGLONG deadline) {
    ULONGLONG now = GetTickCount64();
    return now < deadline ? static_cast<DWORD>(deadline - now) : 0;
}

/// The SID of the user this process runs as, in its string form; empty when it cannot be read.
std::wstring userSid() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return std::wstring();
    OwnedHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    std::wstring text;
    LPWSTR converted = nullptr;
    if (GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &converted)) {
        text = converted;
        LocalFree(converted);
    }
    return text;
}

std::wstring pipeName(const std::wstring& sid, const std::string& key) {
    return L"\\\\.\\pipe\\launcher-instance-" + sid + L"-" + toWide(key);
}

/// Waits for an overlapped operation at most `timeoutMs` (or until `stop` is set); cancels it
/// when it does not end in time. The bytes it moved, or nullopt.
std::optional<DWORD> finish(HANDLE handle, OVERLAPPED& overlapped, BOOL started, DWORD timeoutMs, HANDLE stop = nullptr,
                           bool* timedOut = nullptr) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return std::nullopt;
    HANDLE events[2] = {overlapped.hEvent, stop};
    DWORD waited = WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, timeoutMs);
    if (waited == WAIT_TIMEOUT && timedOut) *timedOut = true;
    if (waited != WAIT_OBJECT_0) CancelIo(handle);
    DWORD moved = 0;
    if (!GetOverlappedResult(handle, &overlapped, &moved, TRUE) || waited != WAIT_OBJECT_0) return std::nullopt;
    return moved;
}

/// A new instance of the pipe, granted to the user alone; the first with FIRST_PIPE_INSTANCE.
OwnedHandle createInstance(const std::wstring& name, const std::wstring& sid, bool first) {
    std::wstring sddl = L"O:" + sid + L"D:P(A;;GA;;;" + sid + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return OwnedHandle();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    OwnedHandle pipe(CreateNamedPipeW(name.c_str(), openMode,
                                      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                      PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, &attributes));
    DWORD error = GetLastError();
    LocalFree(descriptor);
    SetLastError(error);
    return pipe;
}

/// True when the pipe's owner is the user: a pipe that another security context made at the
/// name is never used.
bool ownedBy(HANDLE pipe, const std::wstring& sid) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    LPWSTR text = nullptr;
    bool same = owner && ConvertSidToStringSidW(owner, &text) && sid == text;
    if (text) LocalFree(text);
    LocalFree(descriptor);
    return same;
}

}  // namespace

struct ChannelConnection::Handle {
    OwnedHandle pipe;
    bool server = false;
};

struct ChannelListener::Handle {
    std::wstring name;
    std::wstring sid;
    OwnedHandle pending;  ///< the instance the next client connects to
    OwnedHandle stop;
};

std::optional<std::string> instanceChannelName(const std::string& key) {
    std::wstring sid = userSid();
    if (sid.empty()) return std::nullopt;
    return fromWide(pipeName(sid, key));
}

namespace {

/// Opens the client's end of an existing pipe; no handle, with the error, when none can be
/// had. A busy pipe is waited for until `deadline`.
OwnedHandle openClientEnd(const std::wstring& name, ULONGLONG deadline) {
    for (;;) {
        OwnedHandle pipe(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (pipe.valid() || GetLastError() != ERROR_PIPE_BUSY) return pipe;
        DWORD left = millisecondsLeft(deadline);
        if (left == 0 || !WaitNamedPipeW(name.c_str(), left)) {
            SetLastError(ERROR_PIPE_BUSY);
            return OwnedHandle();
        }
    }
}

ChannelClaim ownerOf(OwnedHandle pipe, const std::wstring& name, const std::wstring& sid) {
    ChannelClaim claim;
    auto handle = std::make_unique<ChannelListener::Handle>();
    handle->name = name;
    handle->sid = sid;
    handle->pending = std::move(pipe);
    handle->stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    claim.outcome = ChannelClaim::Outcome::Owner;
    claim.listener = std::make_unique<ChannelListener>(std::move(handle));
    return claim;
}

}  // namespace

namespace {

/// Orders the claims of one pipe name among starts of this session: the pipe's
/// FILE_FLAG_FIRST_PIPE_INSTANCE alone is not honoured by every implementation of the system.
/// A mutex left by a process that ended is taken over (WAIT_ABANDONED).
class ClaimLock {
public:
    ClaimLock(const std::wstring& name, DWORD timeoutMs) : mutex_(CreateMutexW(nullptr, FALSE, name.c_str())) {
        DWORD waited = mutex_.valid() ? WaitForSingleObject(mutex_.get(), timeoutMs) : WAIT_FAILED;
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~ClaimLock() {
        if (held_) ReleaseMutex(mutex_.get());
    }
    bool held() const { return held_; }

private:
    OwnedHandle mutex_;
    bool held_ = false;
};

ChannelClaim runningAt(OwnedHandle pipe, const std::wstring& name, const std::wstring& sid) {
    ChannelClaim claim;
    if (!ownedBy(pipe.get(), sid)) {
        claim.reason = "a pipe of another owner is at the name: " + fromWide(name);
        return claim;
    }
    auto handle = std::make_unique<ChannelConnection::Handle>();
    handle->pipe = std::move(pipe);
    claim.outcome = ChannelClaim::Outcome::Running;
    claim.connection = std::make_unique<ChannelConnection>(std::move(handle));
    return claim;
}

}  // namespace

ChannelClaim claimInstanceChannel(const std::string& key, unsigned timeoutMs) {
    ChannelClaim claim;
    std::wstring sid = userSid();
    if (sid.empty()) {
        claim.reason = "the user's SID cannot be read";
        return claim;
    }
    std::wstring name = pipeName(sid, key);
    // One limit for the lock and the connection together.
    ULONGLONG deadline = deadlineAfter(timeoutMs);
    ClaimLock lock(L"Local\\launcher-instance-" + sid + L"-" + toWide(key), timeoutMs);
    if (!lock.held()) {
        claim.reason = "the lock of the pipe's name cannot be had";
        return claim;
    }
    OwnedHandle pipe = openClientEnd(name, deadline);
    if (pipe.valid()) return runningAt(std::move(pipe), name, sid);
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
        pipe = createInstance(name, sid, true);
        if (pipe.valid()) return ownerOf(std::move(pipe), name, sid);
        // A pipe of the name that this user may not even open: another user's.
        if (GetLastError() == ERROR_ACCESS_DENIED) error = ERROR_ACCESS_DENIED;
    }
    claim.reason = error == ERROR_PIPE_BUSY     ? "the running instance does not take the connection: " + fromWide(name)
                   : error == ERROR_ACCESS_DENIED ? "a pipe of another owner is at the name: " + fromWide(name)
                                                  : "the pipe cannot be made or opened: " + fromWide(name);
    return claim;
}

void allowToComeForward(unsigned long processId) {
    if (processId) AllowSetForegroundWindow(static_cast<DWORD>(processId));
}

unsigned long long steadyMilliseconds() { return GetTickCount64(); }

void pauseMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

struct LauncherThread::Handle {
    OwnedHandle thread;
};

namespace {

/// The system calls it from a frame of its own, which no exception may cross.
DWORD WINAPI runWork(void* parameter) noexcept {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    try {
        (*work)();
    } catch (...) {
    }
    return 0;
}

}  // namespace

LauncherThread::LauncherThread(std::function<void()> work) : handle_(std::make_unique<Handle>()) {
    auto* copy = new std::function<void()>(std::move(work));
    handle_->thread.reset(CreateThread(nullptr, 0, runWork, copy, 0, nullptr));
    if (!handle_->thread.valid()) delete copy;
}

LauncherThread::~LauncherThread() {
    if (handle_->thread.valid()) WaitForSingleObject(handle_->thread.get(), INFINITE);
}

struct OneTimeSignal::Handle {
    OwnedHandle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

OneTimeSignal::OneTimeSignal() : handle_(std::make_unique<Handle>()) {}
OneTimeSignal::~OneTimeSignal() = default;

void OneTimeSignal::raise() { SetEvent(handle_->event.get()); }

void OneTimeSignal::wait() { WaitForSingleObject(handle_->event.get(), INFINITE); }

struct Monitor::Handle {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
};

Monitor::Monitor() : handle_(std::make_unique<Handle>()) {}
Monitor::~Monitor() = default;
void Monitor::lock() { AcquireSRWLockExclusive(&handle_->lock); }
void Monitor::unlock() { ReleaseSRWLockExclusive(&handle_->lock); }
void Monitor::wait() { SleepConditionVariableSRW(&handle_->changed, &handle_->lock, INFINITE, 0); }
void Monitor::notifyAll() { WakeAllConditionVariable(&handle_->changed); }

ChannelConnection::ChannelConnection(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
ChannelConnection::~ChannelConnection() = default;

bool ChannelConnection::send(const std::string& bytes, unsigned timeoutMs) {
    ULONGLONG deadline = deadlineAfter(timeoutMs);
    OwnedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::size_t sent = 0;
    while (event.valid() && sent < bytes.size()) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.get();
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - sent, 65536));
        BOOL started = WriteFile(handle_->pipe.get(), bytes.data() + sent, chunk, nullptr, &overlapped);
        std::optional<DWORD> moved = finish(handle_->pipe.get(), overlapped, started, millisecondsLeft(deadline));
        if (!moved || *moved == 0) break;
        sent += *moved;
    }
    return sent == bytes.size();
}

std::optional<std::string> ChannelConnection::receive(std::size_t count, unsigned timeoutMs, bool* timedOut) {
    ULONGLONG deadline = deadlineAfter(timeoutMs);
    if (timedOut) *timedOut = false;
    OwnedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (event.valid() && got < count) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.get();
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - got, 65536));
        BOOL started = ReadFile(handle_->pipe.get(), &bytes[got], chunk, nullptr, &overlapped);
        std::optional<DWORD> moved = finish(handle_->pipe.get(), overlapped, started, millisecondsLeft(deadline), nullptr, timedOut);
        if (!moved || *moved == 0) break;
        got += *moved;
    }
    if (got != count) return std::nullopt;
    return bytes;
}

unsigned long ChannelConnection::peerProcessId() const {
    ULONG id = 0;
    BOOL known = handle_->server ? GetNamedPipeClientProcessId(handle_->pipe.get(), &id) : GetNamedPipeServerProcessId(handle_->pipe.get(), &id);
    return known ? id : 0;
}

ChannelListener::ChannelListener(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
ChannelListener::~ChannelListener() = default;

std::unique_ptr<ChannelConnection> ChannelListener::accept() {
    while (handle_->pending.valid() && handle_->stop.valid()) {
        OwnedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event.valid()) return nullptr;
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.get();
        BOOL started = ConnectNamedPipe(handle_->pending.get(), &overlapped);
        bool connected = started || GetLastError() == ERROR_PIPE_CONNECTED ||
                         finish(handle_->pending.get(), overlapped, started, INFINITE, handle_->stop.get()).has_value();
        event.reset();
        if (WaitForSingleObject(handle_->stop.get(), 0) == WAIT_OBJECT_0) return nullptr;
        if (!connected) {
            // A client that came and went: the instance is made free for the next one.
            DisconnectNamedPipe(handle_->pending.get());
            continue;
        }
        // The next client finds an instance of the pipe while this one is served.
        auto handle = std::make_unique<ChannelConnection::Handle>();
        handle->pipe = std::move(handle_->pending);
        handle->server = true;
        handle_->pending = createInstance(handle_->name, handle_->sid, false);
        return std::make_unique<ChannelConnection>(std::move(handle));
    }
    return nullptr;
}

void ChannelListener::stop() {
    if (handle_->stop.valid()) SetEvent(handle_->stop.get());
}

void ChannelListener::release() noexcept {
    // The pipe's name lives as long as a handle of it: the process's end takes it away.
}

}  // namespace platform
