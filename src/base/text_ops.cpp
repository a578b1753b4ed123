#include "base/text_ops.h"


std::string& trimChars(std::string& text, const char* chars) {
    std::size_t first = text.find_first_not_of(chars);
    if (first == std::string::npos) {
        text.clear();
        return text;
    }
    text.erase(text.find_last_not_of(chars) + 1);
    text.erase(0, first);
    return text;
}

std::string& trim(std::string& text) { return trimChars(text, " \r\n\t"); }

std::string& toLower(std::string& text) {
    for (char& c : text) c = lowerAscii(c);
    return text;
}

std::string lowerCaseCopy(const std::string& text) {
    std::string copy = text;
    return toLower(copy);
}

std::string& replaceAll(std::string& text, const std::string& search, const std::string& replacement) {
    // One pass from left to right, linear in the text's length. Searching again from the start
    // after each replacement would give the same result for every use here (one character
    // replaced by another) at a quadratic cost on long values.
    if (search.empty()) return text;
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = text.find(search); at != std::string::npos; at = text.find(search, from)) {
        result.append(text, from, at - from);
        result += replacement;
        from = at + search.size();
    }
    if (from == 0) return text;
    result.append(text, from, std::string::npos);
    text.swap(result);
    return text;
}

std::string& fixSlashes(std::string& text, PathStyle style) {
    for (char& c : text)
        if (c == foreignSeparatorOf(style)) c = separatorOf(style);
    return text;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

namespace {

template <typename String>
bool endsWithIgnoringAsciiCase(const String& text, const String& suffix) {
    if (text.size() < suffix.size()) return false;
    std::size_t start = text.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (lowerAscii(text[start + i]) != lowerAscii(suffix[i])) return false;
    return true;
}

}  // namespace

bool endsWithIgnoringCase(const std::string& text, const std::string& suffix) {
    return endsWithIgnoringAsciiCase(text, suffix);
}

bool endsWithIgnoringCase(const std::wstring& text, const std::wstring& suffix) {
    return endsWithIgnoringAsciiCase(text, suffix);
}

// Not through a string stream: the streams' locale machinery would more than double the size of
// the statically linked Windows executables.
std::vector<std::string> blankSeparatedWords(const std::string& text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(" \t\r\n", at)) != std::string::npos) {
        std::size_t end = text.find_first_of(" \t\r\n", at);
        words.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end;
    }
    return words;
}

std::vector<std::string> splitPathList(const std::string& list, PathStyle style) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(listSeparatorOf(style), start);
        if (end == std::string::npos) end = list.size();
        entries.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}
