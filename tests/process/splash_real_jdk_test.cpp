// The splash screen on the real runtimes under /usr/lib/jvm that have a splash library, on a
// virtual X display of the test's own: the window shows the image at its size, the
// application's java.awt.SplashScreen draws on it and closes it, its first window closes it,
// and an image that cannot be shown starts the application exactly as without the directive.
#include <chrono>
#include <filesystem>
#include <future>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process/harness.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

std::string findProgram(const std::string& name) {
    for (const char* directory : {"/usr/local/bin", "/usr/bin", "/bin"})
        if (::access((std::string(directory) + "/" + name).c_str(), X_OK) == 0) return std::string(directory) + "/" + name;
    return "";
}

std::vector<std::string> runtimesWithSplash() {
    if (isWindows()) return {};
    std::set<std::string> homes;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/jvm", ec))
        if (fs::exists(entry.path() / "lib/libsplashscreen.so", ec) && fs::exists(entry.path() / "lib/server/libjvm.so", ec))
            homes.insert(fs::canonical(entry.path(), ec).string());
    return {homes.begin(), homes.end()};
}

/// An X server of the suite's own, without a window manager; ":N", or empty when there is none.
class VirtualDisplay {
public:
    VirtualDisplay() {
        std::string xvfb = findProgram("Xvfb");
        int fds[2];
        if (xvfb.empty() || ::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            // -noreset: the server would start afresh whenever its last client left (each of the
            // test's xwininfo runs), refusing a connection that comes meanwhile.
            ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        // The number ends with a line feed, written apart: the pipe stays open until it came.
        std::string number;
        char c = 0;
        while (pid_ > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~VirtualDisplay() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

class SplashRealJdk : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() { display = new VirtualDisplay(); }
    static void TearDownTestSuite() {
        delete display;
        display = nullptr;
    }

    void SetUp() override {
        if (display->name().empty()) GTEST_SKIP() << "Xvfb is not installed (scripts/setup.sh installs it)";
        if (findProgram("convert").empty() || findProgram("xwininfo").empty() || findProgram("import").empty())
            GTEST_SKIP() << "imagemagick and x11-utils are not installed (scripts/setup.sh installs them)";
        Result made = runProcess(findProgram("convert"), {"convert", "-size", "320x200", "xc:#ff0000", inst.path("bin/splash.png")},
                                 {}, inst.root(), 60);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        configure("launchertest.SplashProbe", "splash.png");
    }

    void configure(const std::string& mainClass, const std::string& image) const {
        inst.writeConfig("SetJavaHome " + GetParam() + "\nSetJavaVM server\nAddJavaLibFile " + target().javaClasses +
                         "\nSetMainClass " + mainClass + (image.empty() ? "" : "\nSetSplashScreen " + image) + "\n");
    }

    Result run(const std::vector<std::string>& args, RunOptions o = {}) const {
        o.env["DISPLAY"] = display->name();
        std::vector<std::string> all = {"-nomsgbox"};
        all.insert(all.end(), args.begin(), args.end());
        return inst.run(all, o);
    }

    /// The geometry ("320x200+352+284") of a mapped top-level window of that size, if any.
    std::string windowOfSize(const std::string& size) const {
        Result tree = runProcess(findProgram("xwininfo"), {"xwininfo", "-root", "-children", "-display", display->name()}, {},
                                 inst.root(), 30);
        std::smatch found;
        std::regex geometry(" (" + size + "\\+[0-9]+\\+[0-9]+) ");
        return std::regex_search(tree.out, found, geometry) ? found[1].str() : "";
    }

    static VirtualDisplay* display;
    Installation inst;
};

VirtualDisplay* SplashRealJdk::display = nullptr;

// The application's SplashScreen draws on the splash and closes it; its first window closes it.
TEST_P(SplashRealJdk, TheApplicationHasItUntilItsFirstWindow) {
    EXPECT_RUN(run({"draw"}), "splash 320x200 splash.png\ndrawn, visible true\nclosed, splash now null\n", "", 0);
    EXPECT_RUN(run({"window"}), "splash 320x200 splash.png\nwindow shown, splash visible false\n", "", 0);
}

// The usual Swing start: main returns at once and the window comes later from the event
// thread. The splash stays mapped from its first sight, past main's return, until the window is
// mapped: the screen is never empty meanwhile.
TEST_P(SplashRealJdk, StaysUntilTheWindowThatComesAfterMain) {
    std::string marker = inst.path("main-returned");
    auto launch = std::async(std::launch::async, [&] { return run({"later", "400", marker}); });
    bool splashSeen = false, seenAfterMain = false, windowSeen = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!windowSeen && std::chrono::steady_clock::now() < deadline &&
           launch.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        bool returned = fs::exists(marker);
        bool splash = !windowOfSize("320x200").empty();
        windowSeen = !windowOfSize("200x100").empty();
        ASSERT_FALSE(splashSeen && !splash && !windowSeen) << "the splash went before the window came; main returned: " << returned;
        splashSeen = splashSeen || splash;
        seenAfterMain = seenAfterMain || (splash && returned);
    }
    EXPECT_TRUE(seenAfterMain) << "the splash was not seen after main returned";
    EXPECT_TRUE(windowSeen) << "the application's window was not seen";
    EXPECT_RUN(launch.get(), "splash 320x200 splash.png\nwindow shown, splash visible false\n", "", 0);
}

// The splash library's dependency on the VM library is the launch's own VM, whatever copy
// LD_LIBRARY_PATH names; and a scaled variant that is no image gives way to the image.
TEST_P(SplashRealJdk, OnlyTheLaunchsOwnVmAndAnImageThatIsOne) {
    inst.mkdir("other");
    fs::copy_file(GetParam() + "/lib/server/libjvm.so", inst.path("other/libjvm.so"));
    inst.write("bin/splash@2x.png", "not an image\n");
    RunOptions o;
    o.env = {{"LD_LIBRARY_PATH", inst.path("other")}, {"J2D_UISCALE", "2"}};
    EXPECT_RUN(run({"libjvm"}, o), "splash 320x200 splash.png\nlibjvm " + GetParam() + "/lib/server/libjvm.so\n", "", 0);
}

// The window is mapped at the image's size, shows the image, and is gone once the start has
// ended.
TEST_P(SplashRealJdk, TheWindowShowsTheImageAtItsSize) {
    auto start = std::chrono::steady_clock::now();
    auto launch = std::async(std::launch::async, [&] { return run({"wait", "5000"}); });
    std::string geometry;
    while (geometry.empty() && std::chrono::steady_clock::now() - start < std::chrono::seconds(20) &&
           launch.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        geometry = windowOfSize("320x200");
    auto shownAfter = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (geometry.empty()) {
        Result ended = launch.get();
        FAIL() << "no 320x200 window was mapped; the start ended with " << ended.exitCode << "\n" << ended.out << ended.err;
    }
    std::cout << "splash window " << geometry << " found " << shownAfter.count() << " ms after the start\n";
    int x = std::stoi(geometry.substr(geometry.find('+') + 1));
    int y = std::stoi(geometry.substr(geometry.rfind('+') + 1));
    // The window is mapped before the library paints it: the screen is read until its middle is
    // the image's red, for as long as the application waits.
    std::string shot = inst.path("screen.png"), middle;
    while (middle.find("#FF0000") == std::string::npos &&
           launch.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        Result taken = runProcess(findProgram("import"), {"import", "-display", display->name(), "-window", "root", shot}, {},
                                  inst.root(), 60);
        ASSERT_EQ(taken.exitCode, 0) << taken.err;
        middle = runProcess(findProgram("convert"),
                            {"convert", shot, "-crop", "1x1+" + std::to_string(x + 160) + "+" + std::to_string(y + 100), "txt:-"},
                            {}, inst.root(), 60)
                     .out;
    }
    EXPECT_NE(middle.find("#FF0000"), std::string::npos) << middle;
    EXPECT_RUN(launch.get(), "splash 320x200 splash.png\nwaiting\n", "", 0);
    // The X server drops an ended client's windows once it has read the closed connection.
    std::string left = windowOfSize("320x200");
    for (int i = 0; i < 40 && !left.empty(); ++i, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
        left = windowOfSize("320x200");
    EXPECT_EQ(left, "");
}

// Every image that cannot be shown starts the application with the output and exit code it has
// without the directive (a missing one adds its warning); so does a launch that ends with
// message 5, whose splash is closed.
TEST_P(SplashRealJdk, WhatCannotBeShownChangesNothing) {
    inst.mkdir("bin/images/directory.png");
    inst.write("bin/images/empty.png", "");
    inst.write("bin/images/text.png", "not an image\n");
    inst.write("bin/images/huge.png", "");
    fs::resize_file(inst.path("bin/images/huge.png"), (std::uintmax_t(64) << 20) + 1);
    ASSERT_EQ(::mkfifo(inst.path("bin/images/fifo.png").c_str(), 0600), 0);
    for (const char* image : {"missing.png", "directory.png", "empty.png", "text.png", "huge.png", "fifo.png", "../splash.png"}) {
        SCOPED_TRACE(image);
        std::string mainClass = image[0] == '.' ? "launchertest.Missing" : "launchertest.SplashProbe";
        configure(mainClass, "");
        Result without = run({"draw"});
        configure(mainClass, std::string("images/") + image);
        std::string warning = image == std::string("missing.png")
                                  ? "WARNING: The splash screen image is missing: " + inst.path("bin/images/missing.png") + "\n"
                                  : "";
        EXPECT_RUN(run({"draw"}), without.out, warning + without.err, without.exitCode);
    }
    EXPECT_EQ(windowOfSize("320x200"), "");
}

INSTANTIATE_TEST_SUITE_P(Installed, SplashRealJdk, ::testing::ValuesIn(runtimesWithSplash()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (char c : fs::path(info.param).filename().string())
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SplashRealJdk);

}  // namespace
}  // namespace process_tests
