#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "launcher/java_launcher.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace {

std::string markerBelow(const std::string& directory) {
    const char sep = platform::kDirSeparator;
    return directory + sep + "lib" + sep + "deferred-updates.xml";
}

/// The installation's marker: lib under the parent of the executable's directory. The
/// executable's own path is used when the system gives it, since the program name may be
/// relative to a directory the launcher has left.
std::optional<std::string> installationMarker(const std::string& program) {
    std::optional<std::string> directory;
    if (std::optional<std::string> executable = platform::ownExecutablePath())
        directory = directoryOf(*executable);
    else
        directory = platform::fullPathDirectory(program);
    if (!directory || directory->empty()) return std::nullopt;
    if (directory->back() == platform::kDirSeparator) directory->pop_back();
    return markerBelow(*directory + platform::kDirSeparator + "..");
}

}  // namespace

bool JavaLauncher::needToUpdate(const std::string& program, const ConfigFileParser& settings) {
    std::optional<std::string> updatesFile = installationMarker(program);
    if (updatesFile && platform::exists(*updatesFile)) {
        printOut("updatesFile exists. needToUpdate will return true.\n");
        return true;
    }
    return !settings.getUserHome().empty() && platform::exists(markerBelow(settings.getUserHome()));
}

std::vector<std::string> updateChildArguments(int argc, char** argv, const std::string& updateMainClass) {
    std::vector<std::string> args;
    args.push_back(withExeSuffix(argc > 0 && argv[0] ? argv[0] : ""));
    for (int i = 1; i < argc; ++i)
        if (!isConsumedArgument(argv[i])) args.push_back(argv[i]);
    args.push_back("-update");
    args.push_back("--SetMainClass=" + updateMainClass);
    return args;
}

void JavaLauncher::installDeferredUpdates(int argc, char** argv, const ConfigFileParser& settings) {
    std::vector<std::string> args = updateChildArguments(argc, argv, settings.getUpdateMainClass());
    std::string program = platform::ownExecutablePath().value_or(args[0]);
    std::fflush(stdout);
    std::fflush(stderr);
    platform::ChildOutcome outcome = platform::runAndWait(program, args);
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
