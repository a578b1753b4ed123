// Names of executables and their configuration files, and the directory part of a path.
#pragma once

#include <string>

/// A copy of `text` with A to Z lowered.
std::string lowerCaseCopy(const std::string& text);

/// The text without leading and trailing white space (blank, tab, LF, VT, FF, CR).
std::string trimWhitespace(const std::string& text);

/// The directory part of a path, with its trailing separator; the whole path when it holds
/// no separator after its first character.
std::string directoryOf(const std::string& path);

/// The file-name part of a path: what follows its drive and its last separator (either
/// separator where the system has drive letters).
std::string fileNameOf(std::string path);

/// True when `name` ends in the platform's executable suffix (on Windows in any letter case;
/// always true where there is no suffix).
bool hasExeSuffix(const std::string& name);

/// `name` with the executable suffix appended unless it already has it.
std::string withExeSuffix(const std::string& name);

/// The configuration file name for an executable name: app.exe and appc.exe give app.conf
/// (Windows), app gives app.conf (POSIX). c.exe, whose name leaves no plain executable's,
/// gives c.conf.
std::string configNameFor(const std::string& exeName);

/// configNameFor's name, except that a name ending in "c" (basic.exe) gives its own
/// basic.conf when that file exists and the shared basi.conf does not. Relative names are
/// looked up in the current directory.
std::string existingConfigNameFor(const std::string& exeName);

/// `path` made absolute against the current directory (the launcher's), for a reader who does
/// not know where the launcher lies; as it is when the system cannot say.
std::string absolutePath(const std::string& path);

/// The length of the root that begins `path` (native separators): "/" on POSIX; "C:\", "\"
/// and "\\server\share\" on Windows. 0 for a relative path, a drive-relative one ("C:x") too.
std::size_t rootLength(const std::string& path);
