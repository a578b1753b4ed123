// The files and streams of launcher-stamp, per platform (file_io_posix.cpp, file_io_win32.cpp).
// Names are UTF-8 on every platform.
#pragma once

#include <string>
#include <vector>

namespace stamp {

/// The whole content of the file `path`. Throws StampError ("cannot read PATH: reason").
std::string readWholeFile(const std::string& path);

/// True when `a` and `b` name the same existing file, by identity (device and file number),
/// whatever the spelling: links, relative names and letter case all count.
bool sameFile(const std::string& a, const std::string& b);

/// Writes `bytes` to `path` whole or not at all: into a new temporary file beside it (with the
/// permissions of `permissionsFrom` where the system has them), renamed over `path` at the end.
/// Throws StampError ("cannot write PATH: reason") after removing the temporary file.
void writeWholeFile(const std::string& path, const std::string& bytes, const std::string& permissionsFrom);

/// Writes one line of text (UTF-8, without its line feed) to the standard error stream.
void printErrorLine(const std::string& text);

/// Runs the tool on the arguments after the program name; returns the exit code.
int runStamp(const std::vector<std::string>& args);

}  // namespace stamp
