// The one owner of a POSIX file descriptor: closed when the owner goes, on every path.
#pragma once

#include <unistd.h>

#include <utility>

namespace platform {

/// Owns a file descriptor (a file, a socket, a pipe's end) and closes it when it goes. A
/// negative number, what the system gives on failure, is held as no descriptor.
class OwnedDescriptor {
public:
    OwnedDescriptor() = default;
    explicit OwnedDescriptor(int fd) : fd_(fd < 0 ? -1 : fd) {}
    ~OwnedDescriptor() { reset(); }
    OwnedDescriptor(OwnedDescriptor&& other) noexcept : fd_(other.release()) {}
    OwnedDescriptor& operator=(OwnedDescriptor&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;

    /// The descriptor, or -1 when there is none.
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    /// Gives the descriptor up without closing it: someone else, or the process's end, closes it.
    int release() { return std::exchange(fd_, -1); }
    /// Closes the descriptor held, if any, and holds `fd` instead.
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd < 0 ? -1 : fd;
    }
    /// Closes the descriptor now; false when there was none or the system reports an error
    /// (for a written file, the last chance to learn that its data did not arrive).
    bool close() {
        int fd = release();
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int fd_ = -1;
};

}  // namespace platform
