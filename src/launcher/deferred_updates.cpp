#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/path_names.h"
#include "cmdline/command_line.h"
#include "launcher/java_launcher.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/processes.h"

namespace {

std::string markerBelow(const std::string& directory) {
    return joinPath(joinPath(directory, "lib"), "deferred-updates.xml");
}

/// The installation's marker: lib under the parent of the executable's directory. The
/// executable's own path is used when it is known, since the program name may be relative
/// to a directory the launcher has left.
std::optional<std::string> installationMarker(const std::string& executable, const std::string& program) {
    std::optional<std::string> directory;
    if (!executable.empty())
        directory = directoryOf(executable);
    else
        directory = platform::fullPathDirectory(program);
    if (!directory || directory->empty()) return std::nullopt;
    return markerBelow(joinPath(*directory, ".."));
}

}  // namespace

bool JavaLauncher::needToUpdate(const std::string& program, const LaunchSettings& settings) {
    std::optional<std::string> updatesFile = installationMarker(ownExecutable, program);
    if (updatesFile && platform::exists(*updatesFile)) {
        printOut("updatesFile exists. needToUpdate will return true.\n");
        return true;
    }
    return !settings.userHome.empty() && platform::exists(markerBelow(settings.userHome));
}

const char* const kUpdateChildVariable = "HLV_UPDATE_CHILD";

void JavaLauncher::installDeferredUpdates(const CommandLine& line, const LaunchSettings& settings,
                                          const std::vector<VmEntry>& vms) {
    std::vector<std::string> args = updateChildArguments(line, settings.updateMainClass, vms);
    std::string program = ownExecutable.empty() ? args[0] : ownExecutable;
    std::fflush(stdout);
    std::fflush(stderr);
    // The child learns what it is from its environment, which only this process sets.
    platform::setEnv(kUpdateChildVariable, std::string("1"));
    platform::ChildOutcome outcome = platform::runAndWait(program, args);
    platform::setEnv(kUpdateChildVariable, std::nullopt);
    if (outcome.started) {
        if (outcome.exitCode != 0)
            printErr("ERROR: Failed to install deferred updates. Exit code=" + std::to_string(outcome.exitCode) +
                     "\n");
    } else if (!outcome.errorText.empty()) {
        printErr("ERROR: Failed to install deferred updates.\n       " + outcome.errorText + "\n");
    } else {
        printErr("ERROR: Failed to install deferred updates.\n");
    }
}
