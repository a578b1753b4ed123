// Text operations shared by every room: trimming, ASCII case, replacing, separators and lists.
#pragma once

#include <string>
#include <vector>

#include "base/path_style.h"

/// Removes every character of `chars` from both ends of `text`, in place.
std::string& trimChars(std::string& text, const char* chars);

/// Removes blanks, carriage returns, line feeds and tabs from both ends, in place: the
/// configuration file's white space.
std::string& trim(std::string& text);

/// Lowers the ASCII letters A to Z, in place; no other byte changes.
std::string& toLower(std::string& text);

/// A copy of `text` with A to Z lowered.
std::string lowerCaseCopy(const std::string& text);

/// `c` lowered when it is one of A to Z; any other character as it is. For wide characters too,
/// where the system's names are compared as its loader and file system compare them.
template <typename Char>
constexpr Char lowerAscii(Char c) {
    return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

/// Replaces every occurrence of `search` (not empty) by `replacement`, in place, left to
/// right; the text that a replacement produces is not searched again.
std::string& replaceAll(std::string& text, const std::string& search, const std::string& replacement);

/// Turns every foreign directory separator into the style's own, in place.
std::string& fixSlashes(std::string& text, PathStyle style = kNativePathStyle);

/// The entries of a list of paths in the style's form (PATH, a class path), split at the
/// style's list separator; empty entries stay, so that "a;;b" gives three. "" gives one.
std::vector<std::string> splitPathList(const std::string& list, PathStyle style = kNativePathStyle);

/// The words of `text` between blanks, tabs and line ends, as the VM splits the options of its
/// environment variables.
std::vector<std::string> blankSeparatedWords(const std::string& text);

/// True when `text` begins with `prefix`.
bool startsWith(const std::string& text, const std::string& prefix);

/// True when `text` ends with `suffix`.
bool endsWith(const std::string& text, const std::string& suffix);

/// True when `text` ends with `suffix`, comparing ASCII letters without regard to case.
bool endsWithIgnoringCase(const std::string& text, const std::string& suffix);

/// The same for wide text, as the Windows file system's names come.
bool endsWithIgnoringCase(const std::wstring& text, const std::wstring& suffix);
