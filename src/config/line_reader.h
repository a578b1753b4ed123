// The line reader shared by the configuration file and jvm.cfg.
#pragma once

#include <cstdio>
#include <vector>

/// Reads one line of `file` into `buffer` (grown to 512 bytes, then doubled, as needed) and
/// leaves a NUL after it. The line feed is dropped unless `keepLineFeed`. Returns the line's
/// length, or -1 at the end of the file when nothing was read. Throws std::bad_alloc when the
/// buffer cannot grow.
long readLine(std::vector<char>& buffer, std::FILE* file, bool keepLineFeed);
