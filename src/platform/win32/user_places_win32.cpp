// The per-user folders of Windows: %LOCALAPPDATA% for caches, %APPDATA% for settings.
#include "platform/user_places.h"

#include "base/path_names.h"
#include "platform/processes.h"

namespace platform {
namespace {

/// True for "C:\..." and "\\server\...": a folder that no current directory or drive changes
/// (a root of three characters or more; "\x" depends on the current drive).
bool isFullPath(const std::string& path) { return rootLength(path, PathStyle::Windows) >= 3; }

}  // namespace

std::optional<std::string> userFolderVariable(const std::string& name) {
    std::optional<std::string> value = getEnv(name);
    if (!value || !isFullPath(*value)) return std::nullopt;
    while (value->size() > 3 && isSeparator(value->back(), PathStyle::Windows)) value->pop_back();
    return value;
}

std::optional<std::string> userCacheDirectory() { return userFolderVariable("LOCALAPPDATA"); }

std::optional<std::string> userSettingsDirectory() { return userFolderVariable("APPDATA"); }

}  // namespace platform
