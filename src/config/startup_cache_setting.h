// The value of SetStartupCache, checked before anything is made of it: a typo must not turn
// the cache on and create a folder named after it.
#pragma once

#include <optional>
#include <string>

/// A directive's folder value as written: with native separators when it is absolute, or
/// relative from the launcher's directory (the current one) and beginning with "./" or "../"
/// (either separator), so that a mistyped word is never taken for a folder; nullopt otherwise.
std::optional<std::string> launcherFolderValue(const std::string& value);

/// What SetStartupCache keeps for `value`: empty for "off" (any letter case), "on" as written,
/// or a directory with native separators: an absolute one, or one from the launcher's
/// directory (the current one) that begins with "./" or "../" (either separator). Anything else,
/// and a directory that is the root of a file system, gives a "WARNING: " line on stderr naming
/// the value, and empty: the cache stays off. An empty value is off without a warning.
std::string startupCacheSetting(const std::string& value);
