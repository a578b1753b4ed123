// Windows command lines as a pure function over strings, so that it is tested on any host.
#pragma once

#include <string>
#include <vector>

/// Joins `args` into one command line that a Windows program's start-up code (and
/// CommandLineToArgvW) splits back into exactly `args`: an argument that is empty or holds a
/// blank, tab or quotation mark is quoted, backslashes before a quotation mark are doubled.
std::string quoteWindowsCommandLine(const std::vector<std::string>& args);
