// Lines on the standard streams. Texts are written whole, whatever bytes they hold.
#pragma once

#include <cstdio>
#include <string>

inline void printOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

inline void printErr(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}
