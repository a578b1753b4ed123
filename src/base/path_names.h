// Path shapes and names: the root of a path, whether it is absolute, its directory and file
// name, joining, and the names of executables, configuration files and per-application folders.
#pragma once

#include <cstddef>
#include <string>

#include "base/path_style.h"

/// The configuration file's ending.
constexpr const char* kConfigSuffix = ".conf";

/// The text without leading and trailing white space (blank, tab, LF, VT, FF, CR).
std::string trimWhitespace(const std::string& text);

/// The directory part of a path, with its trailing separator (the style's own, not the
/// foreign one); the whole path when it holds no separator after its first character.
std::string directoryOf(const std::string& path, PathStyle style = kNativePathStyle);

/// The position just after the last separator of `path` (either separator on Windows), or
/// after a Windows drive's colon ("C:x") when no separator follows it; 0 when there is neither.
std::size_t fileNameStart(const std::string& path, PathStyle style = kNativePathStyle);

/// The file-name part of a path: what follows its drive and its last separator (either
/// separator on Windows).
std::string fileNameOf(const std::string& path, PathStyle style = kNativePathStyle);

/// True when `name` ends in the style's executable suffix (on Windows in any letter case;
/// always true where there is no suffix).
bool hasExeSuffix(const std::string& name, PathStyle style = kNativePathStyle);

/// `name` with the executable suffix appended unless it already has it.
std::string withExeSuffix(const std::string& name, PathStyle style = kNativePathStyle);

/// The configuration file name for an executable name: app.exe and appc.exe give app.conf
/// (Windows), app gives app.conf (POSIX). c.exe, whose name leaves no plain executable's,
/// gives c.conf.
std::string configNameFor(const std::string& exeName, PathStyle style = kNativePathStyle);

/// configNameFor's name, except that a name ending in "c" (basic.exe) gives its own
/// basic.conf when `exists` says that file is there and the shared basi.conf is not.
std::string existingConfigNameFor(const std::string& exeName, bool (*exists)(const std::string&),
                                  PathStyle style = kNativePathStyle);

/// The length of the root that begins `path`: "/" on POSIX; "C:\", "\" and
/// "\\server\share\" on Windows (either separator). 0 for a relative path, a drive-relative one
/// ("C:x") too: it names a place in the drive's own current directory.
std::size_t rootLength(const std::string& path, PathStyle style = kNativePathStyle);

/// True when `path` begins with a root (rootLength is not 0): it names its place without a
/// current directory ("\x": without the current directory, on the current drive).
bool isAbsolutePath(const std::string& path, PathStyle style = kNativePathStyle);

/// True when `path` may be taken from a directory by joining: neither absolute nor
/// drive-relative. "C:x" is neither: joined, it would name no file at all.
bool isRelativePath(const std::string& path, PathStyle style = kNativePathStyle);

/// `directory` and `name` with one separator of the style between them; `name` alone when
/// `directory` is empty, no second separator when `directory` ends in one.
std::string joinPath(const std::string& directory, const std::string& name, PathStyle style = kNativePathStyle);

/// `name` without the configuration file's ending; as it is when it does not end in it or is
/// nothing but the ending.
std::string withoutConfigSuffix(const std::string& name);

/// A single path component for a per-application folder named `name`: `name` itself when it is
/// one ("app"), else a name made of its digest ("app-" and 16 hexadecimal digits) for an empty
/// name, "." or "..", a name holding a separator, a drive colon or a control character, so that
/// no name steers the folder out of the place it belongs in.
std::string safeFolderName(const std::string& name, PathStyle style = kNativePathStyle);
