// Restarting on the application's exit code, on every build with the test-double VM: the same
// arguments each time, and a loop of restarts that stops.
#include <chrono>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

std::size_t mainsIn(const std::string& record) {
    std::size_t count = 0;
    for (std::size_t at = record.find("main\n"); at != std::string::npos; at = record.find("main\n", at + 1))
        if (at == 0 || record[at - 1] == '\n') ++count;
    return count;
}

// An application that asks for a restart at every start is started again, with the same
// arguments, 3 times within a minute and then no more: the launcher says so and ends with the
// application's code. A start ended with another code is not restarted.
TEST(Restart, RestartsWithTheSameArgumentsAndStopsALoop) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass app.Main\nSetRestartExitCode 7\n");
    RunOptions o;
    o.env = {{"FAKEJVM_MAIN", std::string("exit:7")}};
    Result r = inst.run({"-nomsgbox", "a b", ""}, o);
    // On Windows each start is a process of its own, and the first one ends first.
    for (int i = 0; i < 200 && mainsIn(inst.record()) < 4; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string guard = "WARNING: The application asked to be restarted more than 3 times within 60 seconds; it is not "
                        "restarted again\n";
    if (isWindows())
        EXPECT_EQ(r.exitCode, 7);
    else
        EXPECT_RUN(r, "", guard, 7);
    std::string record = inst.record();
    EXPECT_EQ(mainsIn(record), 4u) << record;
    std::size_t arguments = 0;
    for (std::size_t at = record.find("arg=a b\narg=\nmain\n"); at != std::string::npos;
         at = record.find("arg=a b\narg=\nmain\n", at + 1))
        ++arguments;
    EXPECT_EQ(arguments, 4u) << record;

    std::remove(inst.recordFile().c_str());
    o.env["FAKEJVM_MAIN"] = "exit:8";
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", "", 8);
    EXPECT_EQ(mainsIn(inst.record()), 1u);
}

}  // namespace
}  // namespace process_tests
