#include "config/startup_cache_setting.h"

#include <optional>
#include <vector>

#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace {

const char kSep = platform::kDirSeparator;

/// True when `path` (relative) begins with "." or ".." and a separator.
bool startsFromLauncherDirectory(const std::string& path) {
    return path.compare(0, 2, std::string(".") + kSep) == 0 || path.compare(0, 3, std::string("..") + kSep) == 0;
}

/// True when `path`, with its "." and ".." steps taken, names no more than its root.
bool isFileSystemRoot(const std::string& path) {
    std::size_t root = rootLength(path);
    std::vector<std::string> steps;
    std::size_t start = root;
    while (start <= path.size()) {
        std::size_t end = path.find(kSep, start);
        if (end == std::string::npos) end = path.size();
        std::string step = path.substr(start, end - start);
        if (step == "..") {
            if (!steps.empty()) steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
        start = end + 1;
    }
    return steps.empty();
}

void refuse(const std::string& value, const std::string& reason) {
    printErr("WARNING: SetStartupCache " + value + ": " + reason + "; the start-up cache stays off\n");
}

}  // namespace

std::optional<std::string> launcherFolderValue(const std::string& value) {
    std::string directory = value;
    fixSlashes(directory);
    if (rootLength(directory) == 0 && !startsFromLauncherDirectory(directory)) return std::nullopt;
    return directory;
}

std::string startupCacheSetting(const std::string& value) {
    std::string lowered = lowerCaseCopy(value);
    if (value.empty() || lowered == "off") return std::string();
    if (lowered == "on") return value;
    std::optional<std::string> directory = launcherFolderValue(value);
    if (!directory) {
        refuse(value, std::string("it takes on, off, or a directory (absolute, or beginning with .") + kSep + " or .." +
                          kSep + " from the launcher's directory)");
        return std::string();
    }
    std::string full = *directory;
    if (rootLength(full) == 0) full = joinPath(platform::currentDirectory().value_or(std::string()), full);
    if (isFileSystemRoot(full)) {
        refuse(value, "the root of a file system is no place for it");
        return std::string();
    }
    return *directory;
}
