// POSIX files: identity by device and inode, the temporary file made with O_EXCL beside the
// output so that the final rename stays on one file system.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "bytes.h"
#include "file_io.h"

namespace stamp {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool writeAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string readWholeFile(const std::string& path) {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) throw StampError("cannot read " + path + ": " + std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw StampError("cannot read " + path + ": " + std::strerror(EISDIR));
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw StampError("cannot read " + path + ": " + std::strerror(errno));
        if (n == 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

void writeWholeFile(const std::string& path, const std::string& bytes, const std::string& permissionsFrom) {
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = path + ".stamp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw StampError("cannot write " + path + ": " + std::strerror(errno));
    Descriptor file(fd);
    struct stat source {};
    mode_t mode = ::stat(permissionsFrom.c_str(), &source) == 0 ? source.st_mode & 07777 & ~S_ISUID & ~S_ISGID : 0644;
    bool written = writeAll(file.get(), bytes) && ::fchmod(file.get(), mode) == 0 && ::fsync(file.get()) == 0;
    int error = written ? 0 : errno;
    if (::close(file.release()) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporary.c_str(), path.c_str()) == 0) return;
    if (written) error = errno;
    ::unlink(temporary.c_str());
    throw StampError("cannot write " + path + ": " + std::strerror(error));
}

void printErrorLine(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

}  // namespace stamp

int main(int argc, char** argv) { return stamp::runStamp(std::vector<std::string>(argv + 1, argv + argc)); }
