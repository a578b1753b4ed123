#include "platform/unicode_text.h"

namespace unicode_text {
namespace {

bool isTrail(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c < 0xE000; }

}  // namespace

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t decodeUtf8(const std::string& text, std::size_t pos, char32_t& codePoint) {
    if (pos >= text.size()) return 0;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    unsigned char lead = byte(0);
    std::size_t length;
    char32_t c;
    char32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - pos < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (!isTrail(byte(i))) return 0;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF) return 0;
    codePoint = c;
    return length;
}

std::string utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t c = 0;
        std::size_t length = decodeUtf8(text, pos, c);
        if (length == 0) {
            out += u'\uFFFD';
            ++pos;
            continue;
        }
        pos += length;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            // Two surrogates' three-byte forms in a row are the pair they make, as UTF-16.
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::size_t previousUtf8Start(const std::string& text, std::size_t pos) {
    if (pos > text.size()) pos = text.size();
    if (pos == 0) return 0;
    // A well-formed sequence is at most four bytes: look for its start among them.
    for (std::size_t back = 2; back <= 4 && back <= pos; ++back) {
        char32_t c;
        if (!isTrail(static_cast<unsigned char>(text[pos - back + 1]))) break;
        if (decodeUtf8(text, pos - back, c) == back) return pos - back;
    }
    return pos - 1;
}

}  // namespace unicode_text
