// Where Java runtimes are installed on a POSIX system. Nothing here executes what it finds.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/path_names.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/user_places.h"

namespace platform {

const char* const kJavaExecutableName = "java";

const char* const kJavaExecutable = "/bin/java";
const char* const kSplashLibraryBelowHome = "/lib/libsplashscreen.so";
const char* const kJreJavaExecutable = "/jre/bin/java";
const char* const kDefaultJavaHome = "../jre";

namespace {

#if defined(__x86_64__)
const char* const kArchDirectory = "amd64";
#elif defined(__aarch64__)
const char* const kArchDirectory = "aarch64";
#elif defined(__i386__)
const char* const kArchDirectory = "i386";
#else
const char* const kArchDirectory = "";
#endif

}  // namespace

std::vector<std::string> jvmCfgCandidates(const std::string& javaHome) {
    return {belowJavaHome(javaHome, "/lib/jvm.cfg"), belowJavaHome(javaHome, std::string("/lib/") + kArchDirectory + "/jvm.cfg")};
}

std::vector<std::string> vmLibraryCandidates(const std::string& javaHome, const std::string& vmDirectory) {
    return {belowJavaHome(javaHome, "/lib/" + vmDirectory + "/libjvm.so"),
            belowJavaHome(javaHome, std::string("/lib/") + kArchDirectory + "/" + vmDirectory + "/libjvm.so")};
}

std::vector<RegisteredJavaHome> registeredJavaHomes() { return {}; }

std::vector<std::string> usualJavaFolders() {
    std::vector<std::string> folders = {"/usr/lib/jvm/*", "/usr/java/*", "/opt/java/*"};
    if (std::optional<std::string> home = userFolderVariable("HOME")) {
        for (const char* below : {".sdkman/candidates/java/*", ".jdks/*", ".gradle/jdks/*"})
            folders.push_back(joinPath(*home, below));
    }
    return folders;
}

}  // namespace platform
