// The user's own places: where applications keep caches and settings, as the environment
// names them.
#pragma once

#include <optional>
#include <string>

namespace platform {

/// The folder the environment variable `name` names (HOME, USERPROFILE, APPDATA, LOCALAPPDATA,
/// XDG_*), without trailing separators; nullopt when it is unset, empty or not absolute
/// (POSIX: "/..."; Windows: "C:\..." or "\\server\share"). A relative one would name a place
/// inside whatever the current directory is: the installation's own folder, at a launch.
std::optional<std::string> userFolderVariable(const std::string& name);

/// The per-user directory where applications keep caches that can be made again (Windows:
/// %LOCALAPPDATA%; POSIX: $XDG_CACHE_HOME, else $HOME/.cache), without a trailing separator;
/// nullopt when the environment names none.
std::optional<std::string> userCacheDirectory();

/// The per-user directory where applications keep their settings (Windows: %APPDATA%; POSIX:
/// $XDG_CONFIG_HOME, else $HOME/.config), without a trailing separator; nullopt when the
/// environment names none.
std::optional<std::string> userSettingsDirectory();

}  // namespace platform
