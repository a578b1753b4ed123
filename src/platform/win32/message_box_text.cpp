#include "platform/win32/message_box_text.h"

#include <cstddef>
#include <vector>

namespace platform {
namespace {

constexpr std::size_t kLineLength = 60, kLongestRun = 240, kRunHead = 120, kRunTail = 119;
constexpr std::size_t kHeadLines = 20, kTailLines = 19;

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

/// `at` moved back so that it does not fall between the two units of one character.
std::size_t characterStart(const std::wstring& run, std::size_t at) {
    return at > 0 && at < run.size() && isLowSurrogate(run[at]) ? at - 1 : at;
}

/// A run too long to read whole: its start and its end, which tell most names apart.
std::wstring cutInTheMiddle(const std::wstring& run) {
    std::size_t head = characterStart(run, kRunHead);
    std::size_t tail = characterStart(run, run.size() - kRunTail);
    return run.substr(0, head) + L"\u2026" + run.substr(tail);
}

/// The run in lines of at most kLineLength units, each ended after a separator in its second
/// half where there is one, so that a path breaks between its parts.
std::wstring wrapped(const std::wstring& run) {
    std::wstring out;
    std::size_t start = 0;
    while (run.size() - start > kLineLength) {
        std::size_t end = characterStart(run, start + kLineLength);
        for (std::size_t at = end; at > start + kLineLength / 2; --at) {
            wchar_t c = run[at - 1];
            if (c == L'\\' || c == L'/' || c == L'.') {
                end = at;
                break;
            }
        }
        out += run.substr(start, end - start) + L"\n";
        start = end;
    }
    return out + run.substr(start);
}

/// The text without the lines between its first kHeadLines and its last kTailLines, which
/// become one "…": a box as tall as the screen hides its OK button as a wide one does.
std::wstring withoutMiddleLines(const std::wstring& text) {
    std::vector<std::size_t> starts{0};
    for (std::size_t at = 0; at < text.size(); ++at)
        if (text[at] == L'\n') starts.push_back(at + 1);
    if (starts.size() <= kHeadLines + kTailLines + 1) return text;
    return text.substr(0, starts[kHeadLines]) + L"\u2026\n" + text.substr(starts[starts.size() - kTailLines]);
}

}  // namespace

std::wstring messageBoxText(const std::wstring& text) {
    std::wstring out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = at;
        while (end < text.size() && !isBlank(text[end])) ++end;
        std::wstring run = text.substr(at, end - at);
        if (run.size() > kLongestRun) run = cutInTheMiddle(run);
        out += run.size() > kLineLength ? wrapped(run) : run;
        for (at = end; at < text.size() && isBlank(text[at]); ++at) out += text[at];
    }
    return withoutMiddleLines(out);
}

}  // namespace platform
