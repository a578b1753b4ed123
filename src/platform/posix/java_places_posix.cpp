// Where Java runtimes are installed on a POSIX system. Nothing here executes what it finds.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/user_places.h"

namespace platform {

const char* const kJavaExecutableName = "java";

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
