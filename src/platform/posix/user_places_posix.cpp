// The per-user directories of the XDG base directory rules: caches and settings.
#include "platform/processes.h"
#include "platform/user_places.h"

#include "base/path_names.h"


namespace platform {

std::optional<std::string> userFolderVariable(const std::string& name) {
    std::optional<std::string> value = getEnv(name);
    if (!value || value->empty() || (*value)[0] != '/') return std::nullopt;
    while (value->size() > 1 && value->back() == '/') value->pop_back();
    return value;
}

namespace {

/// The directory `variable` names, else `belowHome` in $HOME; nullopt when neither names an
/// absolute one.
std::optional<std::string> baseDirectory(const char* variable, const char* belowHome) {
    if (std::optional<std::string> named = userFolderVariable(variable)) return named;
    std::optional<std::string> home = userFolderVariable("HOME");
    if (!home) return std::nullopt;
    return joinPath(*home, belowHome);
}

}  // namespace

std::optional<std::string> userCacheDirectory() { return baseDirectory("XDG_CACHE_HOME", ".cache"); }

std::optional<std::string> userSettingsDirectory() { return baseDirectory("XDG_CONFIG_HOME", ".config"); }

}  // namespace platform
