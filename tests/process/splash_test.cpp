// The splash screen on the test runtime, every build: the stand-in splash library records its
// calls among the VM's events (order, file loaded, scaled variant, close); an image or runtime
// it cannot use leaves the launch exactly as without the directive.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "process/harness.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

const std::string kPng = "\x89PNG\r\n\x1a\n not decoded by the stand-in";

std::string loaded(const std::string& file) {
    return "SplashLoadFile " + file + "\nSplashSetFileJarName " + file + " null\n";
}

/// The VM's record of a plain start, with the splash closed once the VM has ended (not when
/// main returns: the application's first window may come later, from another thread).
std::string startedClosing(const Installation& inst) {
    return startedRecord(expectedOptions(inst), "test/Main", {}) + "SplashClose\n";
}

// Init, the image by its full path (or the variant the library finds for the display's
// scale, when every name it could open there passes the image's check, and which gives way to
// the image when it is none), then close when the VM has ended; nothing without the directive,
// with an empty value on the command line, or in the update child.
TEST(Splash, CallsTheRuntimesLibraryOnlyWhenAskedFor) {
    struct Case {
        std::vector<std::string> args;
        const char* scale;    // FAKESPLASH_SCALE
        const char* variant;  // present beside splash.png
        const char* content;  // the variant's: an image, a text, "fifo" or "directory"
        std::string calls;    // before the image is loaded; '@' is the variant's full name
        bool splash;
    } cases[] = {
        {{}, "", "", "", "", true},
        {{}, "2", "splash@2x.png", "png", "SplashSetScaleFactor 2\n", true},
        {{}, "1.5", "splash@150pct.png", "png", "SplashSetScaleFactor 1.5\n", true},
        {{}, "2", "", "", "", true},
        {{}, "2", "splash@2x.png", "text", "SplashSetScaleFactor 2\nSplashLoadFile @\nSplashSetScaleFactor 1\n", true},
        {{}, "2", "splash@2x.png", "directory", "", true},
        {{}, "2", "splash@2x.png", "fifo", "", true},
        {{"--SetSplashScreen="}, "", "", "", "", false},
        {{"-update"}, "", "", "", "", false},
    };
    for (const Case& c : cases) {
        std::string content = c.content;
        if (isWindows() && content == "fifo") continue;
        Installation inst;
        inst.addRuntime();
        inst.addSplashLibrary();
        inst.write("bin/splash.png", kPng);
        std::string variant = std::string("bin/") + c.variant;
        if (content == "png" || content == "text") inst.write(variant, content == "png" ? kPng : "not an image\n");
        if (content == "directory") inst.mkdir(variant);
        if (content == "fifo") {
            EXPECT_EQ(::mkfifo(inst.path(variant).c_str(), 0600), 0);
        }
        inst.writeConfig("SetMainClass test.Main\nSetUpdateMainClass test.Main\nSetSplashScreen splash.png\n");
        std::vector<std::string> args = {"-nomsgbox"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunOptions o;
        o.env = {{"FAKESPLASH_SCALE", std::string(c.scale)}};
        SCOPED_TRACE(std::string(c.variant) + " " + content);
        EXPECT_RUN(inst.run(args, o), "", "", 0);
        std::string calls = c.calls;
        if (calls.find('@') != std::string::npos) calls.replace(calls.find('@'), 1, inst.seen(variant));
        std::string file = inst.seen(content == "png" ? variant : "bin/splash.png");
        if (c.splash)
            EXPECT_EQ(inst.record(), "SplashInit\n" + calls + loaded(file) + startedClosing(inst)) << c.scale;
        else
            EXPECT_EQ(inst.record().find("Splash"), std::string::npos) << inst.record();
    }
}

// A launch that fails before main closes the splash before its message appears.
TEST(Splash, ClosedBeforeTheLaunchersMessage) {
    Installation inst;
    inst.addRuntime();
    inst.addSplashLibrary();
    inst.write("bin/splash.png", kPng);
    inst.writeConfig("SetMainClass test.Main\nSetSplashScreen splash.png\n");
    RunOptions o;
    o.env = {{"FAKEJVM_FAIL", std::string("findclass")}, {"FAKESPLASH_CLOSE_NOTE", std::string("1")}};
    EXPECT_RUN(inst.run({"-nomsgbox"}, o),
               "(splash closed)\n" + errorReport("Unable to find main class.\nClass specified is: test/Main"),
               "ERROR: Can't find test/Main\n", 5);
}

// An image the splash cannot use, or a runtime without the library, starts the application
// exactly as without the directive; -verbose says why, and a missing file also warns.
TEST(Splash, WhatCannotBeShownLeavesTheLaunchAsItWas) {
    struct Case {
        std::string name, why, err, calls;
    };
    std::vector<Case> cases = {
        {"missing", "the image is missing", "WARNING: The splash screen image is missing: @\n", ""},
        {"directory", "the image is not a regular file", "", ""},
        {"empty", "the image is empty", "", ""},
        {"huge", "the image is larger than 64 MiB", "", ""},
        {"text", "the runtime's splash library cannot show the image, which is no image it reads or has no display", "", "SplashInit\nSplashLoadFile @\nSplashClose\n"},
        {"headless", "the runtime has no splash library", "", ""},
    };
    if (!isWindows()) cases.push_back({"fifo", "the image is not a regular file", "", ""});
    for (Case& c : cases) {
        Installation inst;
        inst.addRuntime();
        if (c.name != "headless") inst.addSplashLibrary();
        inst.writeConfig("SetMainClass test.Main\nSetSplashScreen image.png\n");
        std::string image = inst.path("bin/image.png");
        inst.write("bin/image.png", c.name == "empty" ? "" : c.name == "text" ? "not an image\n" : kPng);
        if (c.name == "missing" || c.name == "directory" || c.name == "fifo") fs::remove(image);
        if (c.name == "directory") fs::create_directories(image);
        if (c.name == "huge") fs::resize_file(image, (std::uintmax_t(64) << 20) + 1);
        if (c.name == "fifo") {
            EXPECT_EQ(::mkfifo(image.c_str(), 0600), 0);
        }
        for (std::string* text : {&c.err, &c.calls})
            if (text->find('@') != std::string::npos) text->replace(text->find('@'), 1, inst.seen("bin/image.png"));
        EXPECT_RUN(inst.run({"-nomsgbox"}), "", c.err, 0);
        EXPECT_EQ(inst.record(), c.calls + startedRecord(expectedOptions(inst), "test/Main", {})) << c.name;
        Result verbose = inst.run({"-nomsgbox", "-verbose"});
        EXPECT_NE(verbose.out.find("No splash screen: " + c.why + " ("), std::string::npos) << c.name << verbose.out;
    }
}

}  // namespace
}  // namespace process_tests
