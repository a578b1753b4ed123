// Windows command lines as pure functions over strings, so that they are tested on any host.
#pragma once

#include <string>
#include <vector>

/// Joins `args` into one command line that a Windows program's start-up code (and
/// CommandLineToArgvW) splits back into exactly `args`: an argument that is empty or holds a
/// blank, tab or quotation mark is quoted, backslashes before a quotation mark are doubled.
std::string quoteWindowsCommandLine(const std::vector<std::string>& args);

/// The same for text in a multi-byte code page: `isLeadByte` tells the bytes that begin a
/// two-byte character. The second byte of such a character may have the code of a backslash
/// (Shift JIS 0x83 0x5C), which the start-up code does not take for one, so it is never
/// doubled. A null `isLeadByte` treats every byte as a character of its own.
std::string quoteWindowsCommandLine(const std::vector<std::string>& args, bool (*isLeadByte)(unsigned char));

/// Splits a command line into arguments by the rules of the C runtime's start-up code. The
/// first is the program name: from an opening quotation mark to the next one, or up to the
/// first blank or tab, backslashes taken literally. The others are separated by blanks and
/// tabs; quotation marks group, 2n backslashes before a quotation mark give n backslashes and
/// the mark groups, 2n+1 give n and a literal mark, other backslashes are literal, and ""
/// inside quotes gives a literal mark without ending them. An empty line gives no arguments.
/// Works on UTF-8, whose multi-byte characters hold no blank, tab, quotation mark or backslash.
std::vector<std::string> splitWindowsCommandLine(const std::string& line);
