// The Windows platform layer's conversions between the launcher's texts (UTF-8) and the
// system's: UTF-16 for the wide entry points, the ANSI code page where a reader expects it.
#pragma once

#include <string>

#include "platform/unicode_text.h"

namespace platform {

/// The usual Windows path limit (MAX_PATH); buffers start there and grow when a value is longer.
constexpr unsigned long kInitialPathBuffer = 260;

/// UTF-8 to the system's UTF-16, lone surrogates kept (see unicode_text.h).
inline std::wstring toWide(const std::string& text) {
    std::u16string wide = unicode_text::utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

/// The system's UTF-16 to UTF-8, exactly.
inline std::string fromWide(const std::wstring& wide) {
    return unicode_text::utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

/// UTF-8 to bytes in the ANSI code page, without best-fit look-alikes: a character the code
/// page lacks becomes '?', and `complete` (when given) is set to false. A byte that belongs to
/// no well-formed UTF-8 sequence (or to a surrogate's three-byte form) is passed on as it is,
/// since it can only come from a file whose bytes were taken as they were.
std::string toCodePage(const std::string& text, bool* complete = nullptr);

}  // namespace platform
