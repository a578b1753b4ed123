// The per-user folders of Windows: %LOCALAPPDATA% for caches, %APPDATA% for settings.
#include "platform/processes.h"
#include "platform/user_places.h"


namespace platform {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

/// True for "C:\..." and "\\server\...": a folder that no current directory or drive changes.
bool isFullPath(const std::string& path) {
    bool drive = path.size() >= 3 && path[1] == ':' && isSeparator(path[2]) &&
                 ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive || (path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1]));
}

}  // namespace

std::optional<std::string> userFolderVariable(const std::string& name) {
    std::optional<std::string> value = getEnv(name);
    if (!value || !isFullPath(*value)) return std::nullopt;
    while (value->size() > 3 && isSeparator(value->back())) value->pop_back();
    return value;
}

std::optional<std::string> userCacheDirectory() { return userFolderVariable("LOCALAPPDATA"); }

std::optional<std::string> userSettingsDirectory() { return userFolderVariable("APPDATA"); }

}  // namespace platform
