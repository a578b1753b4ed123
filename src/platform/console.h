// Lines on the standard streams. Texts are written whole, whatever bytes they hold.
#pragma once

#include <cstdio>
#include <string>

#include "platform/platform.h"

inline void printOut(const std::string& text) {
    platform::prepareConsoleStream(platform::StandardStream::Output);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

inline void printErr(const std::string& text) {
    platform::prepareConsoleStream(platform::StandardStream::Error);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}
