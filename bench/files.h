// Files and directories of the benchmark's installations, and the jars it writes: the
// benchmark's lowest floor, with the one way it stops on a fault of its own.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace bench {

/// Writes "bench: <text>" on stderr and ends the benchmark with exit code 2: a launch that
/// did not do what it should, or a file the benchmark could not write.
[[noreturn]] void fatal(const std::string& text);

/// Creates the directory and its missing parents.
void makeDirs(const std::string& path);
/// Removes the tree, if it exists.
void removeTree(const std::string& path);
void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644);
/// The file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);
void copyFile(const std::string& from, const std::string& to, mode_t mode);

/// A second name for the launcher, so every installation runs the same file (and the same
/// cached pages); a copy where links are not possible.
void linkExecutable(const std::string& from, const std::string& to);

/// A valid jar of stored (uncompressed) entries, given as name and content.
std::string makeJar(const std::vector<std::pair<std::string, std::string>>& entries);

/// prefix, the index in five digits, suffix: "lib-00007.jar".
std::string numbered(const char* prefix, long index, const char* suffix);

}  // namespace bench
