#include <cstdio>
#include <cstdlib>
#include <new>

#include "launcher/java_launcher.h"

int main(int argc, char** argv) {
    // Nothing escapes: running out of memory anywhere ends the launch with a line on stderr
    // and a non-zero exit code, never with the runtime's abort dialog.
    try {
        JavaLauncher launcher;
        return launcher.run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("Fatal Error: Out of memory\n", stderr);
    } catch (...) {
        std::fputs("Fatal Error: unexpected failure\n", stderr);
    }
    return 1;
}
