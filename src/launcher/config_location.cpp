#include <optional>
#include <string>

#include "config/text_ops.h"
#include "launcher/java_launcher.h"
#include "platform/platform.h"

namespace {

/// The file-name part of a path: what follows its drive and its last separator.
std::string bareName(std::string name) {
    if (platform::kHasDriveLetters && name.size() > 2 && name[1] == ':') name.erase(0, 2);
    std::size_t cut = name.rfind(platform::kDirSeparator);
    if (cut != std::string::npos) name.erase(0, cut + 1);
    if (platform::kHasDriveLetters) {  // '/' separates there too
        cut = name.rfind(platform::kForeignSeparator);
        if (cut != std::string::npos) name.erase(0, cut + 1);
    }
    return name;
}

/// The first PATH entry that holds `name`, joined with it; nullopt when none does.
std::optional<std::string> searchPath(const std::string& name) {
    std::optional<std::string> path = platform::getEnv("PATH");
    if (!path) return std::nullopt;
    std::size_t start = 0;
    while (start <= path->size()) {
        std::size_t end = path->find(platform::kPathListSeparator, start);
        if (end == std::string::npos) end = path->size();
        if (end > start) {
            std::string candidate = path->substr(start, end - start) + platform::kDirSeparator + name;
            if (platform::exists(candidate)) return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace

const std::string& JavaLauncher::getConfigFilePath(const std::string& program) {
    if (!configFilePath.empty() || program.empty()) return configFilePath;
    std::string name = withExeSuffix(program);
    if (!platform::exists(name)) {
        name = bareName(name);
        if (!platform::exists(name)) {
            if (std::optional<std::string> found = searchPath(name)) name = *found;
        }
    }
    setConfigFilePath(configNameFor(name));
    return configFilePath;
}

void JavaLauncher::setConfigFilePath(const std::string& path) {
    std::string native = path;
    fixSlashes(native);
    bool absolute = (!native.empty() && native[0] == platform::kDirSeparator) ||
                    (platform::kHasDriveLetters && native.find(':') == 1);
    if (absolute) {
        configFilePath = native;
        return;
    }
    std::optional<std::string> cwd = platform::currentDirectory();
    configFilePath = cwd ? *cwd + platform::kDirSeparator + native : native;
}
