#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "launcher/java_launcher.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/processes.h"

namespace {

std::string markerBelow(const std::string& directory) {
    const char sep = platform::kDirSeparator;
    return directory + sep + "lib" + sep + "deferred-updates.xml";
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
    if (directory->back() == platform::kDirSeparator) directory->pop_back();
    return markerBelow(*directory + platform::kDirSeparator + "..");
}

}  // namespace

bool JavaLauncher::needToUpdate(const std::string& program, const ConfigFileParser& settings) {
    std::optional<std::string> updatesFile = installationMarker(ownExecutable, program);
    if (updatesFile && platform::exists(*updatesFile)) {
        printOut("updatesFile exists. needToUpdate will return true.\n");
        return true;
    }
    return !settings.getUserHome().empty() && platform::exists(markerBelow(settings.getUserHome()));
}

namespace {

bool takesValue(const std::string& arg) { return arg == "-conf" || arg == "-configure"; }

/// True when the last of the child's own arguments would take the argument after it, the
/// parent's "-update", as its value: in the child's pre-scan, which also empties every
/// "-nomsgbox" that is not such a value, or in its option parser.
bool lastTakesNext(const std::vector<std::string>& args, const ConfigFileParser* settings) {
    const std::size_t n = args.size();
    std::vector<bool> consumed(n, false);
    bool prescanTakes = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (args[i].find("-nomsgbox") != std::string::npos) {
            consumed[i] = true;
        } else if (takesValue(args[i])) {
            prescanTakes = prescanTakes || i + 1 == n;
            ++i;
        }
    }
    bool parserTakes = false;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string& arg = args[i];
        if (consumed[i]) continue;
        // "-J...", "--..." and a VM's name are taken before the option words.
        if (arg.size() > 1 && arg[0] == '-' &&
            (arg[1] == 'J' || arg[1] == '-' || (settings && settings->isKnownVm(arg.substr(1)))))
            continue;
        if (takesValue(arg) || arg == "-mainclass") {
            parserTakes = parserTakes || i + 1 == n;
            ++i;
        }
    }
    return prescanTakes || parserTakes;
}

}  // namespace

const char* const kUpdateChildVariable = "HLV_UPDATE_CHILD";

std::vector<std::string> updateChildArguments(int argc, char** argv, const std::string& updateMainClass,
                                              const ConfigFileParser* settings) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        if (!isConsumedArgument(argv[i])) args.push_back(argv[i]);
    // A dangling option had no value in the parent and did nothing there; it must not take
    // the child's own options. Leaving it out can leave another one dangling.
    while (!args.empty() && lastTakesNext(args, settings)) args.pop_back();
    args.insert(args.begin(), withExeSuffix(argc > 0 && argv[0] ? argv[0] : ""));
    args.push_back("-update");
    args.push_back("--SetMainClass=" + updateMainClass);
    return args;
}

void JavaLauncher::installDeferredUpdates(int argc, char** argv, const ConfigFileParser& settings) {
    std::vector<std::string> args = updateChildArguments(argc, argv, settings.getUpdateMainClass(), &settings);
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
