// Windows command lines as pure functions over strings, so that they are tested on any host.
#pragma once

#include <string>
#include <vector>

/// Joins `args` into one command line that a Windows program's start-up code (and
/// CommandLineToArgvW) splits back into exactly `args`: an argument that is empty or holds a
/// blank, tab or quotation mark is quoted, backslashes before a quotation mark are doubled.
std::string quoteWindowsCommandLine(const std::vector<std::string>& args);

/// Splits a command line into arguments by the rules of the C runtime's start-up code. The
/// first is the program name: from an opening quotation mark to the next one, or up to the
/// first blank or tab, backslashes taken literally. The others are separated by blanks and
/// tabs; quotation marks group, 2n backslashes before a quotation mark give n backslashes and
/// the mark groups, 2n+1 give n and a literal mark, other backslashes are literal, and ""
/// inside quotes gives a literal mark without ending them. An empty line gives no arguments.
/// Works on UTF-8, whose multi-byte characters hold no blank, tab, quotation mark or backslash.
std::vector<std::string> splitWindowsCommandLine(const std::string& line);
