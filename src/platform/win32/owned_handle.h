// The one owner of a Windows kernel handle: closed when the owner goes, on every path.
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

/// Owns a kernel handle (a file, a process, a thread, a pipe, an event, a job) and closes it
/// when it goes. The system writes "none" in two ways: CreateFileW and CreateNamedPipeW give
/// INVALID_HANDLE_VALUE, most other calls NULL; both are held as no handle, and closing either
/// is never tried. GetCurrentProcess()'s pseudo-handle, equal to INVALID_HANDLE_VALUE, is never
/// given to an owner.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    /// The handle, or NULL when there is none.
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }
    /// Gives the handle up without closing it: someone else, or the process's end, closes it.
    HANDLE release() { return std::exchange(handle_, nullptr); }
    /// Closes the handle held, if any, and holds `handle` instead.
    void reset(HANDLE handle = nullptr) {
        if (handle_ != nullptr) CloseHandle(handle_);
        handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace platform
