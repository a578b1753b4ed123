#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "launcher/java_launcher.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/libraries.h"
#include "platform/processes.h"
#include "vm/startup_cache.h"

namespace {

/// The last word of a launch that ended outside every handler: on the standard error stream,
/// found or made first for a windowless executable, without allocating.
void fatal(const char* text) {
    platform::prepareConsoleStream(platform::StandardStream::Error);
    std::fputs(text, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything loads a library (the prompt's dialog, the VM): a DLL planted in the
    // folder the user started from is never taken for one of the system's or the runtime's.
    platform::keepWorkingDirectoryOutOfLibrarySearch();
    // Output that needs a console and finds none ends the launch with message 1.
    platform::onNoConsole(&reportNoConsole);
    // Nothing escapes: running out of memory anywhere ends the launch with a line on stderr
    // and a non-zero exit code, never with the runtime's abort dialog.
    try {
        // The arguments as the platform gives them whole (on Windows from the wide command
        // line, not the runtime's code-page copy in argv), held here for the whole launch.
        std::vector<std::string> args = platform::commandLineArguments(argc, argv);
        // A worker that a launch started for the start-up cache's making (Windows).
        if (std::optional<std::vector<std::string>> job = platform::backgroundWork(args))
            return runStartupCacheJob(*job) ? 0 : 2;
        JavaLauncher launcher;
        return launcher.run(args);
    } catch (const std::bad_alloc&) {
        fatal("Fatal Error: Out of memory\n");
    } catch (...) {
        fatal("Fatal Error: unexpected failure\n");
    }
    return 1;
}
