// Where output goes. Each Windows tree runs this suite against its console launcher.exe and its
// windowless launcherw.exe: redirected standard handles are used as given by the launcher, the
// application and the update child alike, no console is created when nothing needs one, and a
// failure without -nomsgbox goes to a message box rather than to the console.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

/// True when the executable under test is a windowless (GUI-subsystem) PE image.
bool windowlessUnderTest() {
    std::ifstream in(target().launcherExe, std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto byte = [&](std::size_t at) { return at < image.size() ? static_cast<unsigned char>(image[at]) : 0u; };
    std::size_t pe = byte(0x3C) | byte(0x3D) << 8 | byte(0x3E) << 16;
    return byte(pe + 24 + 68) == 2;  // IMAGE_SUBSYSTEM_WINDOWS_GUI
}

/// What the test-double VM records of its process under FAKEJVM_CONSOLE: no console, and the
/// kind of executable it runs in. Nothing on POSIX.
std::string consoleRecord() {
    if (!isWindows()) return "";
    return std::string("console=no ") + (windowlessUnderTest() ? "windowless" : "console-program") + "\n";
}

RunOptions recordingConsole(const std::string& mainBehaviour = "") {
    RunOptions o;
    o.env = {{"FAKEJVM_CONSOLE", std::string("1")}, {"FAKEJVM_MAIN", mainBehaviour}};
    return o;
}

// The application writes through the system's standard handles, as a Java runtime's System.out
// and System.err do: its lines arrive on the launcher's redirected streams, byte for byte.
TEST(DesktopStreams, ApplicationOutputArrivesThroughRedirectedHandles) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    Result r = inst.run({"-nomsgbox", "a"}, recordingConsole("print:hello from main"));
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.out, "hello from main\n");
    EXPECT_EQ(r.err, "hello from main!\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(inst.record(), consoleRecord() + startedRecord(expectedOptions(inst), "test/Main", {"a"}));
}

// With its output redirected, the launcher prints there and creates no console, whether it has
// something to print (-verbose) or not.
TEST(DesktopStreams, NoConsoleIsCreatedForRedirectedOutput) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}, recordingConsole()), "", "", 0);
    std::vector<std::string> options = expectedOptions(inst);
    EXPECT_EQ(inst.record(), consoleRecord() + startedRecord(options, "test/Main", {}));
    std::filesystem::remove(inst.recordFile());
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose"}, recordingConsole()),
               verboseOptionLines(options) + "JVM path is " + vmLibraryPath() + "\n", "", 0);
    EXPECT_EQ(inst.record(), consoleRecord() + startedRecord(options, "test/Main", {}));
}

// The update child is the same executable, so a windowless parent has a windowless child, and
// the child's output reaches the parent's redirected streams.
TEST(DesktopStreams, UpdateChildIsLikeItsParent) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\nSetUpdateMainClass u.Installer\nSetUpdateClassPath upd.jar\n");
    inst.write("lib/deferred-updates.xml", "");
    Result r = inst.run({"-nomsgbox"}, recordingConsole("print:said"));
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.out, streamText("updatesFile exists. needToUpdate will return true.\n") + "said\nsaid\n");
    EXPECT_EQ(r.err, "said!\nsaid!\n");
    EXPECT_EQ(r.exitCode, 0);
    LaunchOptions installer;
    installer.classPath = std::vector<std::string>{"upd.jar"};
    EXPECT_EQ(inst.record(), consoleRecord() + startedRecord(expectedOptions(inst, installer), "u/Installer", {}) +
                                 consoleRecord() + startedRecord(expectedOptions(inst), "test/Main", {}));
}

// ---- Message boxes ----------------------------------------------------------------------------

struct BoxedFailure {
    const char* name;
    VmLibrary library;  // None: no runtime and no configuration file
    int exitCode;
    std::string errPart;  // a line the launcher writes on stderr before the box
};

class MessageBoxFailure : public ::testing::TestWithParam<BoxedFailure> {};

// Without -nomsgbox a failure is a message box, never an "Error: " line on the console. The tests run
// without a display, where wine cannot create the box's window and says so on stderr when its
// diagnostics are on ("Application tried to create a window"), and the launch ends at once.
TEST_P(MessageBoxFailure, ShowsABoxAndPrintsNothing) {
    if (!isWindows()) GTEST_SKIP() << "the POSIX build has no message box";
    Installation inst;
    if (GetParam().library != VmLibrary::None) {
        inst.addRuntime("jre", std::string("-server KNOWN\n"), {"server"}, GetParam().library);
        inst.writeConfig("SetMainClass test.Main\nSetJavaVM server\n");
    }
    RunOptions o;
    o.env = {{"WINEDEBUG", std::string("err+winediag")}};
    Result r = inst.run({}, o);
    EXPECT_FALSE(r.timedOut);
    // Only the reader's trace of a missing file, which is not a message of the table.
    std::string out = GetParam().library == VmLibrary::None
                          ? streamText("Could not load config file: " + inst.seen("bin/app.conf") + "\n")
                          : "";
    EXPECT_EQ(r.out, out);
    EXPECT_NE(r.err.find("Application tried to create a window"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(GetParam().errPart), std::string::npos) << r.err;
    EXPECT_EQ(r.exitCode, GetParam().exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, MessageBoxFailure,
    ::testing::Values(BoxedFailure{"NoConfiguration", VmLibrary::None, 7, ""},
                      BoxedFailure{"NotALibrary", VmLibrary::NotALibrary, 3, "ERROR: Error loading: "},
                      BoxedFailure{"AbsentDependency", VmLibrary::AbsentDependency, 3,
                                   "ERROR: A DLL that the Java VM library needs cannot be found: "
                                   "launcher-test-absent-runtime.dll\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a terminal, on a desktop, a message also goes to a window of the desktop's own tools:
// the first of zenity, kdialog, notify-send and xmessage on PATH, with the text as one argument.
// The console gets its lines as before. Not with -nomsgbox, nor without a display, nor when a
// terminal sees the start. Stand-ins on PATH record how they were called.
TEST(DesktopMessage, WithoutATerminalGoesToTheFirstDesktopToolOnPath) {
    if (isWindows()) GTEST_SKIP() << "Windows shows its own message box";
    Installation inst;
    const std::string text = "Unable to open the following configuration file:\n[" + inst.seen("bin/app.conf") + "]";
    const std::map<std::string, std::string> shown = {
        {"zenity", "zenity\n--warning\n--no-markup\n--title=Hello\n--text=" + text + "\n"},
        {"kdialog", "kdialog\n--title\nHello\n--sorry\n" + text + "\n"},
        {"notify-send", "notify-send\n--urgency=critical\n--\nHello\n" + text + "\n"},
        {"xmessage", "xmessage\n-title\nHello\n-center\n-buttons\nOK\n-default\nOK\n" + text + "\n"},
    };
    const std::vector<std::string> all = {"zenity", "kdialog", "notify-send", "xmessage"};
    struct Case {
        const char* what;
        std::vector<std::string> tools;
        std::string displayVariable;  // empty: neither DISPLAY nor WAYLAND_DISPLAY
        std::vector<std::string> args;
        bool terminal;
        std::string shownBy;  // empty: no window
    } cases[] = {
        {"every tool", all, "DISPLAY", {}, false, "zenity"},
        {"kdialog first", {"kdialog", "notify-send", "xmessage"}, "DISPLAY", {}, false, "kdialog"},
        {"a notification on Wayland", {"notify-send", "xmessage"}, "WAYLAND_DISPLAY", {}, false, "notify-send"},
        {"xmessage alone", {"xmessage"}, "DISPLAY", {}, false, "xmessage"},
        {"no tool", {}, "DISPLAY", {}, false, ""},
        {"-nomsgbox", all, "DISPLAY", {"-nomsgbox"}, false, ""},
        {"no display", all, "", {}, false, ""},
        {"a terminal", all, "DISPLAY", {}, true, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(inst.path("tools"));
        inst.mkdir("tools");
        for (const std::string& tool : c.tools) inst.addDesktopTool("tools", tool);
        RunOptions o;
        o.env = {{"PATH", inst.path("tools") + ":/usr/bin:/bin"}};
        if (!c.displayVariable.empty()) o.env[c.displayVariable] = std::string(":9");
        if (c.terminal) o.terminalInput = "";
        std::vector<std::string> args = {"--SetProductTitle=Hello"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Result r = inst.run(args, o);
        EXPECT_EQ(r.exitCode, 7) << c.what;
        EXPECT_NE(r.out.find("Error: " + text + "\n"), std::string::npos) << c.what << ": " << r.out;
        std::ifstream in(inst.path("tools/shown"));
        std::string recorded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(recorded, c.shownBy.empty() ? "" : shown.at(c.shownBy)) << c.what;
    }
}

// Under message 5 the window shows why the class could not be had: what its static initialiser
// threw, with its first three frames; nothing more for a class that is not there.
TEST(DesktopMessage, ShowsTheCauseUnderMessage5) {
    if (isWindows()) GTEST_SKIP() << "Windows shows its own message box";
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    inst.addDesktopTool("tools", "zenity");
    const std::string message = "Unable to find main class.\nClass specified is: test/Main";
    struct Case {
        const char* fail;  // FAKEJVM_FAIL
        std::string explanation;
    } cases[] = {
        {"noclass", ""},
        {"initializer", "\n\nCaused by: fake.Failure: thrown by the static initialiser\n\tat test.Main.<clinit>(Main.java:3)"
                        "\n\tat test.Helper.run(Helper.java:7)\n\tat test.Helper.<init>(Helper.java:2)"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(inst.path("tools/shown"));
        RunOptions o;
        o.env = {{"PATH", inst.path("tools") + ":/usr/bin:/bin"}, {"DISPLAY", std::string(":9")},
                 {"FAKEJVM_FAIL", std::string(c.fail)}};
        Result r = inst.run({}, o);
        EXPECT_EQ(r.exitCode, 5) << c.fail;
        EXPECT_EQ(inst.read("tools/shown"),
                  "zenity\n--warning\n--no-markup\n--title=" + defaultTitle() + "\n--text=" + message + c.explanation + "\n")
            << c.fail;
    }
}

}  // namespace
}  // namespace process_tests
