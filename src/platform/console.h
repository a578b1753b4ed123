// Lines on the standard streams. Texts are written whole, whatever bytes they hold.
#pragma once

#include <cstdio>
#include <string>


namespace platform {

/// The two standard streams the launcher writes to.
enum class StandardStream { Output, Error };

/// Makes `stream` lead where the user can see it, before the first write to it. A console
/// program's streams do already, and so does a stream redirected by whoever started the process.
/// A windowless Windows executable attaches to the console of the process that started it, or
/// else allocates one. When neither works, the handler given to onNoConsole is called (when it
/// returns, or there is none, the result is false and what is written is lost).
bool prepareConsoleStream(StandardStream stream);

/// Before the VM starts: a windowless Windows executable started from a console lets the
/// application's standard streams reach that console. It never allocates one: started from the
/// desktop, the application's own output goes nowhere, as with no window to show it. Nothing to
/// do for a console executable or on POSIX.
void connectApplicationStreams();

/// What prepareConsoleStream calls when no console can be had; normally ends the process.
using NoConsoleHandler = void (*)();

void onNoConsole(NoConsoleHandler handler);

/// Writes `text` whole to `stream` (stdout or stderr). Windows: a console gets the text through
/// its own Unicode output, anything else (a file, a pipe) gets it in the ANSI code page, a
/// character the code page lacks as '?'. POSIX: the bytes as they are.
void writeText(std::FILE* stream, const std::string& text);
}  // namespace platform

inline void printOut(const std::string& text) {
    platform::prepareConsoleStream(platform::StandardStream::Output);
    platform::writeText(stdout, text);
}

inline void printErr(const std::string& text) {
    platform::prepareConsoleStream(platform::StandardStream::Error);
    platform::writeText(stderr, text);
    std::fflush(stderr);
}
