// Restarting on the application's exit code (SetRestartExitCode): a new start of the launcher,
// in which the deferred updates the application staged are installed first.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "launcher/java_launcher.h"
#include "platform/console.h"
#include "platform/processes.h"

namespace {

/// The times (seconds since 1970) of the restarts before this start, which it hands on.
const char* const kRestartsVariable = "HLV_RESTARTS";
/// More restarts than these within kRestartWindowSeconds are a loop, not an update.
constexpr std::size_t kMostRestarts = 3;
constexpr long long kRestartWindowSeconds = 60;

}  // namespace

void JavaLauncher::takeEarlierRestarts() {
    platform::awaitPredecessor();
    std::optional<std::string> times = platform::getEnvExactName(kRestartsVariable);
    if (!times) return;
    platform::setEnv(kRestartsVariable, std::nullopt);
    for (std::size_t start = 0; start <= times->size();) {
        std::size_t end = std::min(times->find(',', start), times->size());
        std::string time = times->substr(start, end - start);
        if (!time.empty() && time.size() < 19 && time.find_first_not_of("0123456789") == std::string::npos)
            earlierRestarts.push_back(std::stoll(time));
        start = end + 1;
    }
}

bool JavaLauncher::restartFor(int exitCode, const LaunchSettings& settings) {
    if (settings.restartExitCode == 0 || exitCode != settings.restartExitCode || ownExecutable.empty()) return false;
    long long now = static_cast<long long>(std::time(nullptr));
    std::string recent;
    std::size_t count = 0;
    for (long long time : earlierRestarts) {
        if (now - time >= kRestartWindowSeconds) continue;
        recent += std::to_string(time) + ",";
        ++count;
    }
    if (count >= kMostRestarts) {
        printErr("WARNING: The application asked to be restarted more than " + std::to_string(kMostRestarts) +
                 " times within " + std::to_string(kRestartWindowSeconds) + " seconds; it is not restarted again\n");
        return false;
    }
    platform::setEnv(kRestartsVariable, recent + std::to_string(now));
    if (platform::startAgain(ownExecutable, startArguments)) return true;
    platform::setEnv(kRestartsVariable, std::nullopt);
    printErr("WARNING: The application could not be restarted: " + ownExecutable + "\n");
    return false;
}
