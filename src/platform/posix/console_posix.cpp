// POSIX programs have their standard streams from the start: nothing to prepare.
#include "platform/console.h"

#include <cstdio>
#include <string>

namespace platform {

bool prepareConsoleStream(StandardStream) { return true; }

void connectApplicationStreams() {}

void onNoConsole(NoConsoleHandler) {}

void writeText(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }

}  // namespace platform
