// One instance per user, on every build with the test-double VM: a second start hands its
// arguments to the running instance and creates no VM, also once the instance's main has
// returned while its threads run; -multi and two starts at once; nothing
// listens without the directive; a start during the instance's updates, every name of its
// configuration file; on Linux, what else may be at the channel or hold its lock.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "instance/single_instance.h"
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
    /// An instance with deferred updates staged, whose installer takes `installMs`: the
    /// options of its start.
    RunOptions withStagedUpdates(const std::string& moreConfig, const std::string& mainBehaviour, const char* installMs) {
        inst.writeConfig("SetMainClass app.Main\nSetSingleInstance app.Main.open\nSetUpdateMainClass u.Installer\n"
                         "SetUpdateClassPath upd.jar\n" + moreConfig);
        inst.write("lib/deferred-updates.xml", "");
        RunOptions o = instanceOptions(inst, mainBehaviour);
        o.env["FAKEJVM_INSTALL_MS"] = installMs;
        return o;
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

// An application whose main returns at once runs on in a thread of its own: its instance
// takes a later start's arguments while that thread runs, and ends with it. An exception that
// main lets escape is described first, and the instance ends as the application does.
TEST_F(SingleInstance, TheInstanceServesWhileTheApplicationsThreadsRun) {
    auto running = startInBackground(inst, {"-nomsgbox"}, instanceOptions(inst, "thread:1:20"));
    ASSERT_TRUE(waitForMain(inst));
    Result later = inst.run({"-nomsgbox", "-verbose", "later"}, instanceOptions(inst));
    EXPECT_NE(later.out.find(streamText("Single instance: the arguments went to the running instance\n")), std::string::npos)
        << later.out;
    EXPECT_EQ(later.exitCode, 0);
    EXPECT_RUN(running.get(), "", "", 0);
    std::string record = inst.record();
    EXPECT_EQ(linesEqual(record, "main"), 1u) << record;
    EXPECT_EQ(linesEqual(record, "instance arg=later"), 1u) << record;

    EXPECT_RUN(inst.run({"-nomsgbox"}, instanceOptions(inst, "throw")), "",
               "Exception in thread \"main\" fake.Failure: thrown by main\n", 1);
}

/// The position of the `nth` (from 1) line equal to `line`; npos when there are fewer.
std::size_t nthLine(const std::string& text, const std::string& line, std::size_t nth) {
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (text.compare(start, end - start, line) == 0 && --nth == 0) return start;
        start = end + 1;
    }
    return std::string::npos;
}

// A start while the running instance installs its deferred updates has its receipt at once:
// it never becomes an instance of its own or runs a second installer, and it ends with 0 (here
// after a limit of 2 seconds, saying that the method has not finished). Its request reaches the
// method only once the application's main has begun.
TEST_F(SingleInstance, AStartDuringTheUpdatesIsTakenAndWaitsForMain) {
    RunOptions first = withStagedUpdates("", "calls:1", "6500");
    auto running = startInBackground(inst, {"-nomsgbox"}, first);
    ASSERT_TRUE(waitForMain(inst)) << "the installer's main";
    RunOptions second = instanceOptions(inst);
    second.env["LAUNCHER_INSTANCE_WAIT"] = "2";
    EXPECT_RUN(inst.run({"-nomsgbox", "x"}, second), "",
               "WARNING: The running instance took the arguments and is still handling them after 2 seconds; this "
               "start ends\n",
               0);
    EXPECT_EQ(running.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "it waited for the updates";
    EXPECT_RUN(running.get(), "updatesFile exists. needToUpdate will return true.\n", "", 0);
    std::string record = inst.record();
    EXPECT_EQ(linesEqual(record, "main"), 2u) << record;
    EXPECT_EQ(linesEqual(record, "instance arg=x"), 1u) << record;
    EXPECT_LT(nthLine(record, "main", 2), nthLine(record, "instance arg=x", 1)) << record;
}

// An application restarted on its exit code is the instance again, not a start that hands
// over to the one ending: a start that comes while the restart installs the staged updates is
// taken, and its arguments reach the restarted application's method once, after its main has
// begun. On Windows the first process ends with the code, and the restart runs on.
TEST_F(SingleInstance, AStartDuringARestartReachesTheRestartedApplication) {
    RunOptions first = withStagedUpdates("SetRestartExitCode 7\n", "calls:1:20", "2000");
    first.env["FAKEJVM_MAIN_FIRST"] = "exit:7";
    auto running = startInBackground(inst, {"-nomsgbox", "a"}, first);
    ASSERT_TRUE(waitForMain(inst, 3)) << "the restart's installer: " << inst.record();
    EXPECT_RUN(inst.run({"-nomsgbox", "b"}, instanceOptions(inst)), "", "", 0);
    EXPECT_EQ(running.get().exitCode, isWindows() ? 7 : 0);
    for (int i = 0; i < 200 && linesEqual(inst.record(), "instance arg=b") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string record = inst.record();
    EXPECT_EQ(linesEqual(record, "main"), 4u) << "two installers and two starts of the application: " << record;
    EXPECT_EQ(linesEqual(record, "arg=a"), 4u) << "the same arguments each time: " << record;
    EXPECT_EQ(linesEqual(record, "instance arg=b"), 1u) << record;
    EXPECT_LT(nthLine(record, "main", 4), nthLine(record, "instance arg=b", 1)) << record;
}

// The instance is the configuration file, however a start names it: "." and "..", and on Linux
// a folder linked to the installation's.
TEST_F(SingleInstance, EveryNameOfTheConfigurationFileIsOneApplication) {
    std::vector<std::string> names = {native("./app.conf"), native("../bin/app.conf"),
                                      inst.seen("bin") + native("/../bin/./app.conf")};
    if (!isWindows()) {
        std::filesystem::create_directory_symlink(inst.path("bin"), inst.path("linked"));
        names.push_back(inst.path("linked/app.conf"));
    }
    auto running = startInBackground(inst, {"-nomsgbox"}, instanceOptions(inst, "calls:" + std::to_string(names.size())));
    ASSERT_TRUE(waitForMain(inst));
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_RUN(inst.run({"-nomsgbox", "-conf", names[i], "n" + std::to_string(i)}, instanceOptions(inst)), "", "", 0);
    }
    EXPECT_RUN(running.get(), "", "", 0);
    std::string record = inst.record();
    EXPECT_EQ(linesEqual(record, "main"), 1u) << record;
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(linesEqual(record, "instance arg=n" + std::to_string(i)), 1u) << names[i];
}

#ifndef _WIN32
/// The socket of the installation's instance, in the runtime directory instanceOptions gives.
std::string socketPathOf(const Installation& inst) {
    std::string config = std::filesystem::canonical(inst.path("bin/app.conf")).string();
    return inst.path("run") + "/launcher-instance-" + instanceKey(config) + ".sock";
}

/// Something other than an instance listening at the installation's socket, serving each
/// connection with `serve` (which gets the connection's descriptor) until it goes.
class FakeListener {
public:
    FakeListener(const std::string& path, std::function<void(int)> serve) : serve_(std::move(serve)) {
        ::mkdir(std::filesystem::path(path).parent_path().c_str(), 0700);
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_, 8), 0);
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd ready{fd_, POLLIN, 0};
                if (::poll(&ready, 1, 50) <= 0) continue;
                int connection = ::accept(fd_, nullptr, nullptr);
                if (connection >= 0) serve_(connection), held_.push_back(connection);
            }
        });
    }
    ~FakeListener() {
        stop_ = true;
        thread_.join();
        for (int connection : held_) ::close(connection);
        ::close(fd_);
    }

private:
    std::function<void(int)> serve_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::vector<int> held_;
    std::thread thread_;
};

// What else may listen at the channel is reported for what it does, and the start runs as an
// instance of its own.
TEST_F(SingleInstance, AListenerThatIsNoInstanceIsReportedForWhatItDoes) {
    if (isWindows()) GTEST_SKIP() << "the channel is a Unix socket on Linux";
    const std::string prefix = "WARNING: ";
    const std::string anew = "; this start is a new instance\n";
    struct Case {
        const char* what;
        std::function<void(int)> serve;
        std::string warning;
    } cases[] = {
        {"answers garbage",
         [](int fd) {
             char bytes[64];
             if (::read(fd, bytes, sizeof bytes) > 0 && ::write(fd, "X", 1) != 1) ADD_FAILURE();
         },
         "What listens at the single instance's channel answered as no instance does"},
        {"closes at once", [](int fd) { ::shutdown(fd, SHUT_RDWR); },
         "What listens at the single instance's channel closed the connection without taking the arguments"},
        {"never reads", [](int) {}, "The running instance did not take the arguments within 1 second"},
    };
    RunOptions o = instanceOptions(inst);
    o.env["LAUNCHER_INSTANCE_WAIT"] = "1";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeListener listener(socketPathOf(inst), c.serve);
        EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", prefix + c.warning + anew, 0);
        std::filesystem::remove(socketPathOf(inst));
    }
    EXPECT_EQ(linesEqual(inst.record(), "main"), 3u);
}

// Starts that connect and send nothing hold no later start: each connection is served on its
// own, within its own time. A lock of the channel's name that another process holds is waited
// for as long as an answer, and then the start is an instance of its own.
TEST_F(SingleInstance, SilentClientsAndAHeldLockHoldNoStart) {
    if (isWindows()) GTEST_SKIP() << "the channel is a Unix socket on Linux";
    std::string socket = socketPathOf(inst);
    auto running = startInBackground(inst, {"-nomsgbox"}, instanceOptions(inst, "calls:1"));
    ASSERT_TRUE(waitForMain(inst));
    std::vector<int> silent;
    for (int i = 0; i < 5; ++i) {
        silent.push_back(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
        EXPECT_EQ(::connect(silent.back(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    auto began = std::chrono::steady_clock::now();
    EXPECT_RUN(inst.run({"-nomsgbox", "after silent ones"}, instanceOptions(inst)), "", "", 0);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(2500));
    for (int fd : silent) ::close(fd);
    EXPECT_RUN(running.get(), "", "", 0);
    EXPECT_EQ(linesEqual(inst.record(), "instance arg=after silent ones"), 1u);

    std::string lockPath = socket.substr(0, socket.size() - 5) + ".lock";
    int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    RunOptions o = instanceOptions(inst);
    o.env["LAUNCHER_INSTANCE_WAIT"] = "1";
    o.timeoutSeconds = 15;
    Result r = inst.run({"-nomsgbox", "-verbose"}, o);
    ::close(lock);
    EXPECT_NE(r.out.find("Single instance: the lock of the socket's name cannot be had: " + lockPath +
                         "; this start is a new instance\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(linesEqual(inst.record(), "main"), 2u);
}
#endif

}  // namespace
}  // namespace process_tests
