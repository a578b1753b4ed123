#include <optional>
#include <string>

#include "base/path_names.h"
#include "base/text_ops.h"
#include "launcher/java_launcher.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/processes.h"

namespace {


/// The first PATH entry that holds `name` (a file for which `present` is true), joined with
/// it; nullopt when none does.
std::optional<std::string> searchPath(const std::string& name, bool (*present)(const std::string&)) {
    std::optional<std::string> path = platform::getEnv("PATH");
    if (!path) return std::nullopt;
    for (const std::string& entry : splitPathList(*path)) {
        if (entry.empty()) continue;
        std::string candidate = joinPath(entry, name);
        if (present(candidate)) return candidate;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> invokedProgramPath(const std::string& program, const std::string& startDirectory) {
    std::string name = withExeSuffix(program);
    if (name.empty()) return std::nullopt;
    if (fileNameOf(name) == name) {
        std::optional<std::string> found = searchPath(name, platform::isRegularFile);
        if (!found) return std::nullopt;
        name = *found;  // a relative PATH entry is taken from the start directory, below
    }
    if (isRelativePath(name)) {
        if (startDirectory.empty()) return std::nullopt;
        name = joinPath(startDirectory, name);
    }
    return platform::isRegularFile(name) ? std::optional<std::string>(name) : std::nullopt;
}

const std::string& JavaLauncher::getConfigFilePath(const std::string& program) {
    if (!configFilePath.empty() || program.empty()) return configFilePath;
    // Started through a symbolic link (/usr/bin/app to /opt/app/bin/app), however it was
    // named: the configuration beside the link, else beside the executable, whose directory
    // is the current one.
    std::optional<std::string> invoked = invokedProgramPath(program, startDirectory);
    if (invoked && platform::isSymbolicLink(*invoked)) {
        std::string besideLink = configNameFor(*invoked);
        setConfigFilePath(platform::exists(besideLink) ? besideLink : configNameFor(fileNameOf(withExeSuffix(program))));
        return configFilePath;
    }
    std::string name = withExeSuffix(program);
    if (!platform::exists(name)) {
        name = fileNameOf(name);
        if (!platform::exists(name)) {
            if (std::optional<std::string> found = searchPath(name, platform::exists)) name = *found;
        }
    }
    setConfigFilePath(existingConfigNameFor(name, platform::exists));
    return configFilePath;
}

void JavaLauncher::setConfigFilePath(const std::string& path) {
    std::string native = path;
    fixSlashes(native);
    if (!isRelativePath(native)) {
        configFilePath = native;
        return;
    }
    std::optional<std::string> cwd = platform::currentDirectory();
    configFilePath = cwd ? joinPath(*cwd, native) : native;
}
