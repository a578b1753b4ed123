// Expected values written once, in Windows notation, and turned into this platform's own.
#pragma once

#include <string>

#include "platform/platform.h"

namespace testing_support {

/// '\' and '/' become this platform's directory separator.
inline std::string nat(std::string text) {
    for (char& c : text)
        if (c == '\\' || c == '/') c = platform::kDirSeparator;
    return text;
}

/// nat(), and every ';' becomes this platform's list separator.
inline std::string natList(std::string text) {
    text = nat(text);
    for (char& c : text)
        if (c == ';') c = platform::kPathListSeparator;
    return text;
}

}  // namespace testing_support
