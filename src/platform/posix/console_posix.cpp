// POSIX programs have their standard streams from the start: nothing to prepare.
#include "platform/console.h"

namespace platform {

bool prepareConsoleStream(StandardStream) { return true; }

void connectApplicationStreams() {}

void onNoConsole(NoConsoleHandler) {}

}  // namespace platform
