// The per-user directories of the XDG base directory rules: caches and settings.
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

/// The directory a variable names, when it names an absolute one, else `belowHome` in $HOME;
/// nullopt when neither is set (an unset, empty or relative variable counts as absent).
std::optional<std::string> baseDirectory(const char* variable, const char* belowHome) {
    std::optional<std::string> named = getEnv(variable);
    if (named && !named->empty() && (*named)[0] == '/') return named;
    std::optional<std::string> home = getEnv("HOME");
    if (!home || home->empty()) return std::nullopt;
    std::string path = *home;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path + (path == "/" ? "" : "/") + belowHome;
}

}  // namespace

std::optional<std::string> userCacheDirectory() { return baseDirectory("XDG_CACHE_HOME", ".cache"); }

std::optional<std::string> userSettingsDirectory() { return baseDirectory("XDG_CONFIG_HOME", ".config"); }

}  // namespace platform
