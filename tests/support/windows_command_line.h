// How a Windows program's start-up code splits its command line into arguments, as a pure
// function, so that the launcher's quoting is checked on any host.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

/// Splits `line` the way the C runtime and CommandLineToArgvW do. The first argument is the
/// program name: from an opening quotation mark to the next one, or up to the first blank or
/// tab, backslashes taken literally. The others are separated by blanks and tabs; quotation
/// marks group, 2n backslashes before a quotation mark give n backslashes and the mark
/// groups, 2n+1 give n backslashes and a literal mark, other backslashes are literal, and ""
/// inside quotes gives a literal mark without ending the quotes. An empty line gives no
/// arguments. With `isLeadByte`, a byte it names and the byte after it are one character, as
/// the runtime reads a multi-byte code page: that second byte is never a backslash.
std::vector<std::string> splitWindowsCommandLine(const std::string& line, bool (*isLeadByte)(unsigned char) = nullptr);

}  // namespace testing_support
