#include "platform/win32/message_box_text.h"

#include <cstddef>
#include <vector>

namespace platform {
namespace {

constexpr std::size_t kLineLength = 60, kLongestRun = 240, kRunHead = 120, kRunTail = 119;
constexpr std::size_t kHeadLines = 20, kTailLines = 19;
// The most a box's text holds, as the system's formatting buffer of 1,024 units allows.
constexpr std::size_t kBoxLimit = 1023;

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

/// The text's lines, each with its '\n' but the last.
std::vector<std::wstring> linesOf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end + 1 - at));
        at = end + 1;
    }
    return lines;
}

/// The text within kBoxLimit units, shortened by whole lines: its first line, which says what
/// failed, and its last lines (at most kTailLines), since a message ends with what it needs
/// and where to get it, stay; then as many of its next lines as fit, and a "…" line stands
/// where lines went. Only a single line longer than the limit is cut, at a character's start.
std::wstring withinLimit(const std::wstring& text) {
    if (text.size() <= kBoxLimit) return text;
    std::vector<std::wstring> lines = linesOf(text);
    if (lines.size() == 1) return text.substr(0, characterStart(text, kBoxLimit));
    const std::wstring gap = L"\u2026\n";
    std::size_t tail = lines.size() - 1, size = gap.size() + lines.back().size();
    std::size_t first = lines.size() > 2 ? lines.front().size() : 0;
    while (tail > 1 && lines.size() - tail < kTailLines && size + first + lines[tail - 1].size() <= kBoxLimit)
        size += lines[--tail].size();
    std::wstring out;
    for (std::size_t i = 0; i < tail && lines[i] != gap && size + lines[i].size() <= kBoxLimit; ++i) {
        out += lines[i];
        size += lines[i].size();
    }
    out += gap;
    for (std::size_t i = tail; i < lines.size(); ++i) out += lines[i];
    if (out.size() > kBoxLimit) out.resize(characterStart(out, kBoxLimit));
    return out;
}

/// The text with each line longer than the box holds broken after every "; ", which separates
/// the entries of a list (the runtimes the search refused), so that its first and its last
/// entries show in place of no line at all.
std::wstring listsBroken(const std::wstring& text) {
    std::wstring out;
    for (const std::wstring& line : linesOf(text)) {
        if (line.size() <= kBoxLimit) {
            out += line;
            continue;
        }
        for (std::size_t at = 0, end; at < line.size(); at = end) {
            end = line.find(L"; ", at);
            if (end == std::wstring::npos) {
                out += line.substr(at);
                break;
            }
            out += line.substr(at, end + 1 - at) + L"\n";
            end += 2;
        }
    }
    return out;
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
    return withinLimit(withoutMiddleLines(listsBroken(out)));
}

}  // namespace platform
