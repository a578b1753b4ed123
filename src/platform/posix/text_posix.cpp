// Text at the edges on POSIX: the system's bytes are the launcher's texts, unchanged.
#include "platform/text.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <cwchar>

namespace platform {

namespace {

/// The locale's character set is read once; the C locale's plain ASCII counts as UTF-8,
/// which is what file names and arguments hold on every current system.
bool localeIsUtf8OrAscii() {
    static const bool result = [] {
        std::setlocale(LC_CTYPE, "");
        const char* codeset = nl_langinfo(CODESET);
        return !codeset || std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
               std::strcmp(codeset, "ASCII") == 0;
    }();
    return result;
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

std::u16string utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char c = s[i];
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        bool valid = extra >= 0 && i + extra < n + (extra == 0 ? 1 : 0) && i + static_cast<std::size_t>(extra) < n;
        for (int k = 1; valid && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (valid && (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
        if (!valid) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        appendUtf16(out, cp);
        i += extra + 1;
    }
    return out;
}

}  // namespace

std::size_t previousCharStart(const std::string& text, std::size_t pos) {
    if (pos == 0) return 0;
    if (localeIsUtf8OrAscii()) {
        // A separator never occurs inside a UTF-8 sequence; step over continuation bytes.
        std::size_t at = pos - 1;
        while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
        return at;
    }
    std::mbstate_t state{};
    std::size_t at = 0, previous = 0;
    while (at < pos) {
        previous = at;
        std::size_t length = std::mbrlen(text.data() + at, pos - at, &state);
        if (length == 0 || length > pos - at) {
            length = 1;
            state = std::mbstate_t{};
        }
        at += length;
    }
    return previous;
}

std::u16string toUtf16(const std::string& text) {
    if (localeIsUtf8OrAscii()) return utf8ToUtf16(text);
    std::u16string out;
    std::mbstate_t state{};
    std::size_t at = 0;
    while (at < text.size()) {
        wchar_t wc = 0;
        std::size_t length = std::mbrtowc(&wc, text.data() + at, text.size() - at, &state);
        if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2)) {
            out += u'\uFFFD';
            state = std::mbstate_t{};
            ++at;
            continue;
        }
        if (length == 0) length = 1;  // an embedded NUL
        appendUtf16(out, static_cast<char32_t>(wc));
        at += length;
    }
    return out;
}

// POSIX strings are the system's bytes (normally UTF-8) everywhere: nothing to convert.
std::string codePageToUtf8(const std::string& bytes) { return bytes; }


std::optional<std::string> vmOptionText(const std::string& option, VmOptionValue /*value*/,
                                        std::string& /*unrepresentable*/) {
    return option;
}

bool vmCanTakePath(const std::string& /*path*/) { return true; }

std::string vmOptionBytes(const std::string& text) { return text; }

}  // namespace platform
