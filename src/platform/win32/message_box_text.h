// The text a message box shows, shaped so that the box fits on the screen.
#pragma once

#include <string>

namespace platform {

/// `text` as a message box can show it: a run without blanks (a path, a DLL name) longer than
/// 240 characters keeps its first 120 and last 119 around "…", and a run longer than 60 is
/// broken into lines of at most 60, after a '\', '/' or '.' where one is near the end of the
/// line. A text of more than 40 lines keeps its first 20 and last 19 around a line "…". A box
/// breaks lines only at blanks, and grows with its text: an unbroken name as wide as the screen,
/// or a list as tall, would push its OK button off it. A character of two UTF-16 units is never
/// split. A text still longer than the system's 1,023 units then loses whole lines before its
/// last ones (a "…" line where they were), never a part of a line: a message's last lines say
/// what it needs and where to get it.
std::wstring messageBoxText(const std::wstring& text);

}  // namespace platform
