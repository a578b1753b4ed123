// Where Java runtimes are installed on a POSIX system, and what a library file's header says
// of its architecture. Nothing here executes or loads what it finds.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/user_places.h"

namespace platform {

#if defined(__x86_64__)
constexpr unsigned kOwnMachine = 62;
#elif defined(__i386__)
constexpr unsigned kOwnMachine = 3;
#elif defined(__aarch64__)
constexpr unsigned kOwnMachine = 183;
#else
constexpr unsigned kOwnMachine = 0;  // unknown: the class alone decides
#endif

const char* const kOwnArchitecture = sizeof(void*) == 8 ? "64-bit" : "32-bit";
const char* const kJavaExecutableName = "java";

std::optional<LibraryArchitecture> libraryArchitecture(const std::string& path) {
    // Without blocking: opening a FIFO for reading would wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    unsigned char header[20] = {};
    ssize_t got = ::read(fd, header, sizeof header);
    ::close(fd);
    if (got < 20 || std::memcmp(header, "\x7f" "ELF", 4) != 0 || (header[4] != 1 && header[4] != 2))
        return std::nullopt;
    LibraryArchitecture architecture;
    architecture.name = header[4] == 2 ? "64-bit" : "32-bit";
    unsigned machine = header[5] == 1 ? header[18] | (header[19] << 8) : (header[18] << 8) | header[19];
    bool ownClass = header[4] == (sizeof(void*) == 8 ? 2 : 1);
    architecture.own = ownClass && (kOwnMachine == 0 || machine == kOwnMachine);
    if (ownClass && !architecture.own) architecture.name += " (machine " + std::to_string(machine) + ")";
    return architecture;
}

std::vector<std::string> listDirectories(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return names;
    while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        struct stat info;
        std::string full = directory + "/" + entry->d_name;
        if (::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<RegisteredJavaHome> registeredJavaHomes() { return {}; }

std::vector<std::string> usualJavaFolders() {
    std::vector<std::string> folders = {"/usr/lib/jvm/*", "/usr/java/*", "/opt/java/*"};
    if (std::optional<std::string> home = userFolderVariable("HOME")) {
        std::string base = *home == "/" ? std::string() : *home;
        for (const char* below : {"/.sdkman/candidates/java/*", "/.jdks/*", "/.gradle/jdks/*"})
            folders.push_back(base + below);
    }
    return folders;
}

}  // namespace platform
