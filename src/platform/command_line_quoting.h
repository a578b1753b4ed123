// Windows command lines as a pure function over strings, so that it is tested on any host.
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
