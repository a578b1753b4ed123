// Text at the edges on POSIX: the system's bytes are the launcher's texts, unchanged.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/text.h"

namespace platform {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(argv[i] ? argv[i] : "");
    return args;
}

std::optional<std::string> vmOptionText(const std::string& option, VmOptionValue /*value*/,
                                        std::string& /*unrepresentable*/) {
    return option;
}

bool vmCanTakePath(const std::string& /*path*/) { return true; }

std::string vmOptionBytes(const std::string& text) { return text; }

std::FILE* openFile(const std::string& path, const char* mode) {
    if (mode[0] != 'r' || std::strchr(mode, '+')) return std::fopen(path.c_str(), mode);
    // Opening a FIFO waits for a writer: without waiting, one that has none reads as empty at
    // once, and a pipe that has one (the shell's <(...)) is read to its end as before.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    int flags = ::fcntl(fd, F_GETFL);
    std::FILE* file = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? ::fdopen(fd, mode) : nullptr;
    if (!file) ::close(fd);
    return file;
}

void writeText(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }

}  // namespace platform
