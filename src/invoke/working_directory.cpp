#include "invoke/working_directory.h"

#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace {

/// `path` from `directory` when it is relative; as it is otherwise.
std::string anchored(const std::string& path, const std::string& directory) {
    return isRelativePath(path) && !path.empty() ? joinPath(directory, path) : path;
}

/// Each entry of the list anchored; an empty one is the current directory to the VM.
std::string anchoredList(const std::string& list, const std::string& directory) {
    if (list.empty()) return list;
    std::string result;
    bool first = true;
    for (const std::string& entry : splitPathList(list)) {
        if (!first) result += platform::kPathListSeparator;
        result += entry.empty() ? directory : anchored(entry, directory);
        first = false;
    }
    return result;
}

/// A VM option of the configuration with the path it is known to hold anchored.
std::string anchoredOption(const std::string& option, const std::string& directory) {
    for (const char* prefix : {"-Xbootclasspath/a:", "-Xbootclasspath/p:", "-Xbootclasspath:"})
        if (startsWith(option, prefix))
            return prefix + anchoredList(option.substr(std::string(prefix).size()), directory);
    for (const char* prefix : {"-javaagent:", "-agentpath:"}) {
        if (!startsWith(option, prefix)) continue;
        // The agent's own options follow the first '='.
        std::size_t length = std::string(prefix).size();
        std::size_t equals = option.find('=', length);
        std::string library = option.substr(length, equals == std::string::npos ? std::string::npos : equals - length);
        std::string rest = equals == std::string::npos ? std::string() : option.substr(equals);
        return prefix + anchored(library, directory) + rest;
    }
    return option;
}

}  // namespace

std::optional<std::string> applicationDirectory(const LaunchSettings& settings, const std::string& launcherDirectory) {
    switch (settings.workingDirectory) {
        case WorkingDirectory::Launcher:
            return std::nullopt;
        case WorkingDirectory::Start:
            return settings.startDirectory;
        case WorkingDirectory::Folder:
            break;
    }
    return anchored(settings.workingFolder, launcherDirectory);
}

void anchorAtLauncherDirectory(LaunchSettings& settings, RuntimeFacts& runtime, const std::string& launcherDirectory) {
    runtime.home = anchored(runtime.home, launcherDirectory);
    settings.classPath = anchoredList(settings.classPath, launcherDirectory);
    if (settings.fixedLibraryPath) settings.fixedLibraryPath = anchoredList(*settings.fixedLibraryPath, launcherDirectory);
    for (std::string& option : settings.vmOptions) option = anchoredOption(option, launcherDirectory);
    settings.configPath = anchored(settings.configPath, launcherDirectory);
    settings.splashImage = anchored(settings.splashImage, launcherDirectory);
    if (!settings.startupCache.empty() && lowerCaseCopy(settings.startupCache) != "on")
        settings.startupCache = anchored(settings.startupCache, launcherDirectory);
}

void enterApplicationDirectory(const std::string& directory) {
    if (!platform::changeDirectory(directory))
        printErr("WARNING: Could not set current directory to: " + directory + "\n");
}
