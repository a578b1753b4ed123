// Text at the edges on Windows: the command line, the VM's options and the standard streams.
// The launcher's texts are UTF-8; the system's are UTF-16, and the ANSI code page where a
// reader knows no other (the VM's options, a redirected stream).
#include "platform/text.h"

#include <windows.h>

#include <new>
#include <string>

#include "platform/unicode_text.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

// One run of well-formed UTF-8 in the code page. WC_NO_BEST_FIT_CHARS: a character the code
// page lacks becomes the default character, never a look-alike ('Ω' as 'O', U+2215 as '/').
// The UTF-8 code page has neither a default character nor best fit, and takes no such flags.
std::string runToCodePage(const std::string& run, bool& complete) {
    std::wstring wide = toWide(run);
    int count = static_cast<int>(wide.size());
    bool utf8 = GetACP() == CP_UTF8;
    DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int length = WideCharToMultiByte(CP_ACP, flags, wide.data(), count, nullptr, 0, nullptr, usedDefaultOut);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, flags, wide.data(), count, &bytes[0], length, "?", usedDefaultOut);
    if (usedDefault || length <= 0) complete = false;
    // A text that does not come back the same is not held exactly, whatever the flag promised.
    if (!utf8 && length > 0) {
        int back = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
        std::wstring again(static_cast<std::size_t>(back > 0 ? back : 0), L'\0');
        if (back > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, &again[0], back);
        if (again != wide) complete = false;
    }
    return bytes;
}

bool isSurrogate(char32_t c) { return c >= 0xD800 && c < 0xE000; }

bool fitsCodePage(const std::string& text) {
    bool complete = true;
    toCodePage(text, &complete);
    return complete;
}

/// The short (8.3) form of an existing path, when the code page holds it; nullopt otherwise.
std::optional<std::string> shortName(const std::string& path) {
    std::wstring wide = toWide(path);
    DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
    while (needed != 0) {
        std::wstring buffer(needed, L'\0');
        DWORD length = GetShortPathNameW(wide.c_str(), &buffer[0], needed);
        if (length == 0) break;
        if (length < needed) {
            buffer.resize(length);
            std::string text = fromWide(buffer);
            if (fitsCodePage(text)) return text;
            break;
        }
        needed = length;  // changed in between: the new size, terminator included
    }
    return std::nullopt;
}

/// One entry of an option's value as the code page holds it: itself, or the short name of the
/// path it names; a path in quotation marks (as RegisterEnvVar gives a variable's value) keeps
/// them. nullopt when there is no such form.
std::optional<std::string> fittingEntry(const std::string& entry) {
    if (fitsCodePage(entry)) return entry;
    bool quoted = entry.size() >= 2 && entry.front() == '"' && entry.back() == '"';
    std::optional<std::string> shortForm = shortName(quoted ? entry.substr(1, entry.size() - 2) : entry);
    if (!shortForm) return std::nullopt;
    return quoted ? '"' + *shortForm + '"' : *shortForm;
}

/// Where an option's value begins: after "-Dname=", else after the first ':' ("-Xbootclasspath/a:",
/// "-javaagent:"); npos when it has none.
std::size_t valueStart(const std::string& option) {
    std::size_t cut = option.compare(0, 2, "-D") == 0 ? option.find('=') : option.find(':');
    return cut == std::string::npos ? cut : cut + 1;
}

}  // namespace

std::string toCodePage(const std::string& text, bool* complete) {
    bool whole = true;
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        char32_t c;
        // A surrogate's three-byte form is no character the code page could hold; as bytes it
        // goes on as it came, like any other sequence that is no UTF-8.
        for (std::size_t length; (length = unicode_text::decodeUtf8(text, end, c)) != 0 && !isSurrogate(c);)
            end += length;
        if (end > pos) out += runToCodePage(text.substr(pos, end - pos), whole);
        if (end < text.size()) out += text[end++];  // no UTF-8: the byte as it came
        pos = end;
    }
    if (complete != nullptr) *complete = whole;
    return out;
}

std::optional<std::string> vmOptionText(const std::string& option, VmOptionValue value, std::string& unrepresentable) {
    if (fitsCodePage(option)) return option;
    std::size_t start = value == VmOptionValue::Text ? std::string::npos : valueStart(option);
    if (start == std::string::npos || !fitsCodePage(option.substr(0, start))) {
        unrepresentable = option;
        return std::nullopt;
    }
    // An agent's path ends where its own options begin, which go as they are.
    std::size_t end = value == VmOptionValue::AgentPath ? option.find('=', start) : std::string::npos;
    std::string agentText = end == std::string::npos ? std::string() : option.substr(end);
    if (!fitsCodePage(agentText)) {
        unrepresentable = option;
        return std::nullopt;
    }
    std::string paths = option.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string text = option.substr(0, start);
    for (std::size_t from = 0; from <= paths.size();) {
        std::size_t cut = value == VmOptionValue::AgentPath ? std::string::npos : paths.find(';', from);
        if (cut == std::string::npos) cut = paths.size();
        std::string entry = paths.substr(from, cut - from);
        std::optional<std::string> fitting = fittingEntry(entry);
        if (!fitting) {
            unrepresentable = entry;
            return std::nullopt;
        }
        text += *fitting;
        if (cut < paths.size()) text += ';';
        from = cut + 1;
    }
    return text + agentText;
}

bool vmCanTakePath(const std::string& path) { return fittingEntry(path).has_value(); }

std::string vmOptionBytes(const std::string& text) { return toCodePage(text); }

std::size_t previousCharStart(const std::string& text, std::size_t pos) {
    return unicode_text::previousUtf8Start(text, pos);
}

std::u16string toUtf16(const std::string& text) { return unicode_text::utf8ToUtf16(text); }

namespace {

// Far below the int counts of the conversion calls, even when every byte becomes three.
constexpr std::size_t kLargestText = std::size_t(1) << 30;

std::wstring codePageToWide(const std::string& bytes) {
    int count = static_cast<int>(bytes.size());
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 0, L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, &wide[0], length);
    return wide;
}

}  // namespace

std::string codePageToUtf8(const std::string& bytes) {
    if (bytes.size() >= kLargestText) throw std::bad_alloc();
    if (bytes.empty()) return bytes;
    return fromWide(codePageToWide(bytes));
}

}  // namespace platform
