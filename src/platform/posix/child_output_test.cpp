// A quiet child's standard output is kept as it wrote it, up to its bound: a child that prints
// without end neither blocks the launch nor fills its memory, and one cut short at its time
// limit leaves what it wrote before.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/child_output.h"
#include "platform/processes.h"

namespace {

TEST(ChildOutput, IsKeptUpToItsBound) {
    struct Case {
        const char* what;
        const char* script;
        unsigned timeLimit;
        int exitCode;
        std::string output;
    } cases[] = {
        {"lines and an exit code", "printf 'one\\ntwo\\n'; exit 3", 10, 3, "one\ntwo\n"},
        {"nothing", "exit 0", 10, 0, ""},
        {"more than the bound", "head -c 200000 /dev/zero | tr '\\0' x", 10, 0,
         std::string(platform::kMostChildOutput, 'x')},
        {"cut short", "echo early; exec sleep 30", 1, platform::kChildCutShort, "early\n"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(platform::runQuietlyReading("/bin/sh", {"sh", "-c", c.script}, c.timeLimit, &output), c.exitCode)
            << c.what;
        EXPECT_EQ(output, c.output) << c.what;
    }
}

}  // namespace
#endif
