// One instance per user, on every build with the test-double VM: a second start hands its
// arguments to the running instance and creates no VM; -multi and two starts at once; nothing
// listens without the directive.
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "process/harness.h"

namespace process_tests {
namespace {

/// Counts the lines of `text` equal to `line`.
std::size_t linesEqual(const std::string& text, const std::string& line) {
    std::size_t count = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (text.compare(start, end - start, line) == 0) ++count;
        start = end + 1;
    }
    return count;
}

/// The options of a start of an installation with a single instance: its own runtime
/// directory on POSIX, so that no test meets another's socket.
RunOptions instanceOptions(const Installation& inst, const std::string& mainBehaviour = "") {
    ::mkdir(inst.path("run").c_str(), 0700);
    RunOptions o;
    o.env = {{"XDG_RUNTIME_DIR", inst.path("run")}};
    if (!mainBehaviour.empty()) o.env["FAKEJVM_MAIN"] = mainBehaviour;
    return o;
}

/// A start in the background.
std::future<Result> startInBackground(const Installation& inst, const std::vector<std::string>& args, const RunOptions& o) {
    return std::async(std::launch::async, [&inst, args, o] { return inst.run(args, o); });
}

/// Waits until the VM has called main `count` times in all (its listener is ready by then).
bool waitForMain(const Installation& inst, std::size_t count = 1) {
    for (int i = 0; i < 600; ++i) {
        if (linesEqual(inst.record(), "main") >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        inst.addRuntime();
        inst.writeConfig("SetMainClass app.Main\nSetSingleInstance app.Main.open\n");
    }
    Installation inst;
};

// The second start ends at once with 0; the running application's method receives its working
// directory and arguments (a file made absolute, an empty one in its place); -multi starts a VM
// of its own meanwhile.
TEST_F(SingleInstance, ASecondStartHandsItsArgumentsOver) {
    inst.write("work/data.txt", "");
    auto running = startInBackground(inst, {"-nomsgbox", "first"}, instanceOptions(inst, "calls:1"));
    ASSERT_TRUE(waitForMain(inst));
    EXPECT_RUN(inst.run({"-nomsgbox", "-multi", "multi"}, instanceOptions(inst)), "", "", 0);
    RunOptions second = instanceOptions(inst);
    second.workingDir = inst.path("work");
    EXPECT_RUN(inst.run({"-nomsgbox", "with blank", "", "data.txt", "-x", "-J-Dnot=forwarded"}, second), "", "", 0);
    EXPECT_RUN(running.get(), "", "", 0);
    std::string record = inst.record();
    EXPECT_NE(record.find("attach=Single instance\nfindclass=app/Main\nfindclass=java/lang/String\ninstance dir=" + inst.seen("work") +
                          "\ninstance arg=with blank\ninstance arg=\ninstance arg=" + inst.seen("work/data.txt") +
                          "\ninstance arg=-x\ndetach\n"),
              std::string::npos)
        << record;
    EXPECT_EQ(linesEqual(record, "main"), 2u) << "the first start and the -multi start each made a VM";
    EXPECT_EQ(linesEqual(record, "arg=multi"), 1u);
}

// Of two starts at the same moment exactly one makes a VM, and it receives the other's arguments;
// only that one shows the application's splash.
TEST_F(SingleInstance, OfTwoStartsAtOnceOneIsTheInstance) {
    inst.addSplashLibrary();
    inst.write("bin/splash.png", "\x89PNG\r\n\x1a\n not decoded by the stand-in");
    inst.writeConfig("SetMainClass app.Main\nSetSingleInstance app.Main.open\nSetSplashScreen splash.png\n");
    auto one = startInBackground(inst, {"-nomsgbox", "x"}, instanceOptions(inst, "calls:1"));
    auto other = startInBackground(inst, {"-nomsgbox", "x"}, instanceOptions(inst, "calls:1"));
    EXPECT_RUN(one.get(), "", "", 0);
    EXPECT_RUN(other.get(), "", "", 0);
    std::string record = inst.record();
    EXPECT_EQ(linesEqual(record, "main"), 1u) << record;
    EXPECT_EQ(linesEqual(record, "instance arg=x"), 1u) << record;
    EXPECT_EQ(linesEqual(record, "SplashInit"), 1u) << record;
}

// An instance whose method does not exist says so, runs, and leaves later starts to themselves;
// one started with the directive turned off (--SetSingleInstance=) neither listens nor starts a
// thread.
TEST_F(SingleInstance, WithoutAMethodOrTheDirectiveEveryStartIsAnInstance) {
    RunOptions missing = instanceOptions(inst, "calls:1:3");
    missing.env["FAKEJVM_FAIL"] = "instancemethod";
    auto running = startInBackground(inst, {"-nomsgbox"}, missing);
    ASSERT_TRUE(waitForMain(inst));
    EXPECT_RUN(inst.run({"-nomsgbox"}, instanceOptions(inst)), "", "", 0);
    EXPECT_RUN(running.get(), "",
               "WARNING: SetSingleInstance names no method public static void app.Main.open(String, String[]); every "
               "start is a new instance\n",
               0);

    RunOptions off = instanceOptions(inst, "calls:1:3");
    off.env["FAKEJVM_THREADS"] = "1";
    auto unlisted = startInBackground(inst, {"-nomsgbox", "--SetSingleInstance="}, off);
    ASSERT_TRUE(waitForMain(inst, 3));
    RunOptions listening = instanceOptions(inst);
    listening.env["FAKEJVM_THREADS"] = "1";
    EXPECT_RUN(inst.run({"-nomsgbox"}, listening), "", "", 0);
    EXPECT_RUN(unlisted.get(), "", "", 0);
    EXPECT_EQ(linesEqual(inst.record(), "main"), 4u);
    // The listener's thread runs beside the VM's own start only where the directive is on.
    if (!isWindows()) {
        EXPECT_EQ(linesEqual(inst.record(), "threads=1") * 10 + linesEqual(inst.record(), "threads=2"), 11u);
    }
}

}  // namespace
}  // namespace process_tests
