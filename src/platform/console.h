// Lines on the standard streams. Texts are written whole, whatever bytes they hold.
#pragma once

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace platform {
/// Writes `text` whole to `stream` (stdout or stderr). Windows: a console gets the text through
/// its own Unicode output, anything else (a file, a pipe) gets it in the ANSI code page, a
/// character the code page lacks as '?'. POSIX: the bytes as they are.
void writeText(std::FILE* stream, const std::string& text);
}  // namespace platform

inline void printOut(const std::string& text) {
    platform::prepareConsoleStream(platform::StandardStream::Output);
    platform::writeText(stdout, text);
}

inline void printErr(const std::string& text) {
    platform::prepareConsoleStream(platform::StandardStream::Error);
    platform::writeText(stderr, text);
    std::fflush(stderr);
}
