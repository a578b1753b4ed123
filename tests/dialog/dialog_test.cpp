// The prompt for java.exe as a person meets it on the Windows builds: the launcher runs under
// wine with an installation whose Java home has no bin\java.exe, its dialog opens on a virtual
// X display, and the mouse and the keyboard answer it. Control positions come from the dialog
// template (dialog units) and the base units of its font, which the size of the window gives.
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "dialog/x11.h"
#include "process/harness.h"
#include "process/java_runtimes.h"

namespace dialog_tests {
namespace {

using process_tests::Installation;
using process_tests::Result;
namespace fs = std::filesystem;

const std::string kCaption = "Ombrix Halverant R7";
constexpr int kLaunchSeconds = 90;
constexpr int kOpenSeconds = 45;

// ---- Dialog template 101, in dialog units ----------------------------------------------

struct Units {
    int x, y, width, height;
};
constexpr Units kDialogSize{0, 0, 247, 54};
constexpr Units kOk{128, 32, 50, 14};
constexpr Units kCancel{69, 32, 50, 14};
constexpr Units kField{13, 15, 167, 12};

// The window system's MulDiv for the positive values here: rounded to the nearest.
int mulDiv(int value, int numerator, int denominator) {
    return (2 * value * numerator + denominator) / (2 * denominator);
}

/// Dialog units to pixels: a horizontal unit is a quarter of the font's average character
/// width, a vertical one an eighth of its height.
struct Layout {
    int baseX = 0;
    int baseY = 0;

    /// The base units under which a client area of the template's size is `width` x `height`.
    static std::optional<Layout> ofClientArea(int width, int height) {
        Layout layout{mulDiv(width, 4, kDialogSize.width), mulDiv(height, 8, kDialogSize.height)};
        Rect client = layout.pixels(kDialogSize);
        if (client.width != width || client.height != height) return std::nullopt;
        return layout;
    }
    Rect pixels(const Units& units) const {
        return {mulDiv(units.x, baseX, 4), mulDiv(units.y, baseY, 8), mulDiv(units.width, baseX, 4),
                mulDiv(units.height, baseY, 8)};
    }
};

// ---- The launch --------------------------------------------------------------------------

std::string display() {
    const char* value = std::getenv("DISPLAY");
    return value ? value : "";
}

std::string artefactDirectory() {
    const char* value = std::getenv("DIALOG_ARTEFACTS");
    std::string directory = value && *value ? value : fs::temp_directory_path().string() + "/launcher-dialog-artefacts";
    fs::create_directories(directory);
    return directory;
}

void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

/// The launcher started with `args` on a thread of its own, so that the test can answer its
/// dialog meanwhile, whose caption is `caption`. Not with -nomsgbox, under which no window
/// opens: a launch that ends with a message shows it in a message box, which closeMessageBox
/// answers.
class Launch {
public:
    explicit Launch(const Installation& inst, const std::string& program = "",
                    const std::vector<std::string>& args = {}, const std::string& caption = kCaption)
        : program_(program.empty() ? inst.programName() + ".exe" : program), caption_(caption) {
        process_tests::RunOptions options;
        options.env["DISPLAY"] = display();
        options.program = program;
        options.timeoutSeconds = kLaunchSeconds;
        result_ = std::async(std::launch::async, [&inst, options, args] { return inst.run(args, options); });
    }
    ~Launch() {
        if (!result_.valid()) return;
        // A test that failed half-way leaves the program's windows open, whatever their
        // caption: cancel them rather than wait for the launch's time-out.
        try {
            for (int attempt = 0; attempt < 3 && !endedWithin(0); ++attempt) {
                for (const Window& window : visibleWindowsOf(program_)) {
                    click(window, 1, 1);
                    key("Escape");
                }
                endedWithin(2000);
            }
        } catch (const std::exception&) {
        }
        result_.wait();
    }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    bool endedWithin(int milliseconds) const {
        return result_.wait_for(std::chrono::milliseconds(milliseconds)) == std::future_status::ready;
    }
    Result result() { return result_.get(); }

    /// The dialog, once it is shown; none when the launch ended first or it did not open in time.
    std::optional<Window> dialog() const {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kOpenSeconds);
        while (std::chrono::steady_clock::now() < deadline) {
            if (auto window = windowNamed(caption_)) {
                pause(500);  // mapped; let it draw its controls
                return windowNamed(caption_);
            }
            if (endedWithin(200)) return std::nullopt;
        }
        return std::nullopt;
    }

    /// The message box that ends the launch, captioned as the dialog was, once `dialog` has
    /// gone; none when the launch ended first or it did not open in time.
    std::optional<Window> messageBox(const Window& dialog) const {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kOpenSeconds);
        while (std::chrono::steady_clock::now() < deadline && !endedWithin(200)) {
            std::optional<Window> box = windowNamed(caption_);
            if (!box || box->id == dialog.id) continue;
            pause(500);  // mapped; let it draw its controls
            return box;
        }
        return std::nullopt;
    }

    /// Answers a message box with its default button.
    static void answer(const Window& box) {
        click(box, 8, 8);
        key("Return");
    }

    /// Waits for the message box that ends the launch (messageBox) and answers it; false when
    /// none appeared.
    bool closeMessageBox(const Window& dialog) const {
        std::optional<Window> box = messageBox(dialog);
        if (box) answer(*box);
        return box.has_value();
    }

    /// The names and sizes of the program's windows on the screen, for failure messages.
    std::string shownWindows() const {
        std::string list;
        for (const Window& window : visibleWindowsOf(program_))
            list += " \"" + window.name + "\" (" + std::to_string(window.width) + " x " +
                    std::to_string(window.height) + ")";
        return list.empty() ? " none" : list;
    }

    const std::string& caption() const { return caption_; }

private:
    std::string program_;
    std::string caption_;
    std::future<Result> result_;
};

class JavaExeDialog : public ::testing::Test {
protected:
    void SetUp() override { inst.writeConfig("SetMainClass test.Main\n"); }

    /// The record of a launch that went on with the runtime at `home` (as the launcher names it).
    std::string startedWith(const std::string& home) const {
        process_tests::LaunchOptions parts;
        parts.classPath = process_tests::runtimeClassPath(home);
        return process_tests::startedRecord(process_tests::expectedOptions(inst, parts), "test/Main", {});
    }

    std::string artefact(const std::string& name) const { return artefactDirectory() + "/" + name; }

    /// The OK button's pixels as they are now, or as they become within a few seconds when
    /// `until` says which look is awaited (the button is drawn again after a change).
    std::string okPixels(const Window& window, const Layout& layout, const std::string& shot,
                         const std::function<bool(const std::string&)>& until = nullptr) const {
        std::string now;
        for (int attempt = 0; attempt < 25; ++attempt) {
            screenshot(shot);
            now = pixels(shot, window, layout.pixels(kOk));
            if (!until || until(now)) break;
            pause(200);
        }
        return now;
    }

    /// Keeps the dialog's picture as the artefact `picture`, answers it with Escape and closes
    /// the message box of the launch's message 8.
    void pictureThenEscape(Launch& launch, const Window& window, const std::string& picture) const {
        const std::string shot = artefact("screen.png");
        screenshot(shot);
        cropToWindow(shot, window, artefact(picture));
        // A click at the client area's lower left corner, away from every control, gives the
        // dialog the keyboard.
        click(window, 8, window.height - 8);
        key("Escape");
        EXPECT_TRUE(launch.closeMessageBox(window)) << "no message box for message 8";
        EXPECT_RUN(launch.result(), "", "", 8);
    }

    Installation inst;
};

#define OPEN_DIALOG(window, launch)                                                                   \
    std::optional<Window> window##_found = (launch).dialog();                                         \
    ASSERT_TRUE(window##_found) << "no window named \"" << (launch).caption() << "\" appeared on " << display() \
                                << "; the program's windows:" << (launch).shownWindows();             \
    const Window& window = *window##_found

#define LAYOUT_OF(layout, window)                                                                 \
    std::optional<Layout> layout##_found = Layout::ofClientArea((window).width, (window).height); \
    ASSERT_TRUE(layout##_found) << "the window is " << (window).width << " x " << (window).height \
                                << " pixels: no base units make that the template's client area"; \
    const Layout& layout = *layout##_found

void typeInto(const Window& window, const Layout& layout, const std::string& text) {
    Rect field = layout.pixels(kField);
    click(window, field.centreX(), field.centreY());
    type(text);
}

// OK does nothing while the field is empty, before anything is typed and after it has been
// rubbed out; with the Java executable's path typed in, OK goes on with that runtime. The keys
// typed after a click reach the dialog after it: a dialog still there when they show has
// outlived the click.
TEST_F(JavaExeDialog, OkWaitsForTextAndThenStartsTheTypedRuntime) {
    inst.addRuntime("rt");
    Launch launch(inst);
    OPEN_DIALOG(window, launch);
    LAYOUT_OF(layout, window);
    Rect ok = layout.pixels(kOk);
    const std::string shot = artefact("screen.png");

    // Without a window manager, the first click on the dialog makes it the active window: let
    // that be a click into the field, which has the focus already.
    Rect field = layout.pixels(kField);
    click(window, field.centreX(), field.centreY());
    pause(300);
    std::string okDisabled = okPixels(window, layout, shot);
    cropToWindow(shot, window, artefact("java-prompt-empty.png"));
    auto changed = [&](const std::string& now) { return now != okDisabled; };

    click(window, ok.centreX(), ok.centreY());
    type("x");
    std::string okEnabled = okPixels(window, layout, shot, changed);
    ASSERT_TRUE(windowNamed(kCaption)) << "a click on OK with an empty field closed the dialog";
    EXPECT_TRUE(okEnabled != okDisabled) << "OK looks the same with text in the field";

    key("BackSpace");
    std::string okAgain = okPixels(window, layout, shot, [&](const std::string& now) { return now == okDisabled; });
    EXPECT_TRUE(okAgain == okDisabled) << "OK does not look disabled again once the field is empty";
    click(window, ok.centreX(), ok.centreY());
    type(inst.seen("rt/bin/java.exe"));
    okPixels(window, layout, shot, changed);
    ASSERT_TRUE(windowNamed(kCaption)) << "a click on OK with an emptied field closed the dialog";
    cropToWindow(shot, window, artefact("java-prompt-typed.png"));

    click(window, ok.centreX(), ok.centreY());
    EXPECT_RUN(launch.result(), "", "", 0);
    EXPECT_EQ(inst.record(), startedWith(inst.seen("rt")));
}

TEST_F(JavaExeDialog, TypedPathWithoutARuntimeEndsWithMessage8ForIt) {
    inst.addRuntime("rt");
    Launch launch(inst);
    OPEN_DIALOG(window, launch);
    LAYOUT_OF(layout, window);
    typeInto(window, layout, inst.seen("nothing/bin/java.exe"));
    pause(300);
    Rect ok = layout.pixels(kOk);
    click(window, ok.centreX(), ok.centreY());

    EXPECT_TRUE(launch.closeMessageBox(window)) << "no message box for message 8";
    EXPECT_RUN(launch.result(), "", "", 8);
    EXPECT_EQ(inst.record(), "");
}

// Cancel throws away what was typed, even the path of a runtime that is there.
TEST_F(JavaExeDialog, CancelEndsWithMessage8WithoutAPath) {
    inst.addRuntime("rt");
    Launch launch(inst);
    OPEN_DIALOG(window, launch);
    LAYOUT_OF(layout, window);
    typeInto(window, layout, inst.seen("rt/bin/java.exe"));
    pause(300);
    Rect cancel = layout.pixels(kCancel);
    click(window, cancel.centreX(), cancel.centreY());

    EXPECT_TRUE(launch.closeMessageBox(window)) << "no message box for message 8";
    EXPECT_RUN(launch.result(), "", "", 8);
    EXPECT_EQ(inst.record(), "");
}

// With a version range that nothing installed fits, the dialog says what the application needs
// in a line above the question (the artefact java-prompt-needs.png shows it; the unit tests of
// the dialog check where the line and the controls are), and a cancel ends with message 8.
TEST_F(JavaExeDialog, SaysWhatTheApplicationNeeds) {
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 99\n");
    Launch launch(inst);
    OPEN_DIALOG(window, launch);
    pictureThenEscape(launch, window, "java-prompt-needs.png");
}

// The dialog as Windows draws it, with its caption bar: wine draws the frame itself for a
// program that its registry marks as undecorated, here bin\framed.exe. Its picture is the
// test's artefact java-prompt.png. Escape answers it as Cancel does.
TEST_F(JavaExeDialog, WithItsFrameItIsShownAndEscapeCancels) {
    const std::string& wine = process_tests::target().wine;
    std::vector<std::string> env{"WINEDEBUG=-all", "PATH=/usr/bin:/bin", "DISPLAY=" + display()};
    for (const char* name : {"WINEPREFIX", "HOME", "USER"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    Result marked =
        process_tests::runProcess(wine,
                                  {wine, "reg", "add", "HKCU\\Software\\Wine\\AppDefaults\\framed.exe\\X11 Driver",
                                   "/v", "Decorated", "/t", "REG_SZ", "/d", "N", "/f"},
                                  env, "/", 60);
    ASSERT_EQ(marked.exitCode, 0) << "wine reg add: " << marked.out << marked.err;
    inst.addExecutable("framed.exe");
    inst.write("bin/framed.conf", "SetMainClass test.Main\n");

    Launch launch(inst, "framed.exe");
    OPEN_DIALOG(window, launch);
    // With its frame, the window is the dialog's whole rectangle: centred on the screen.
    Screen screen = screenSize();
    EXPECT_EQ(window.x, (screen.width >> 1) - (window.width >> 1));
    EXPECT_EQ(window.y, (screen.height >> 1) - (window.height >> 1));
    // The pointer, where an earlier test left it, would light up the button below it.
    movePointer(0, 0);
    pause(300);
    pictureThenEscape(launch, window, "java-prompt.png");
    EXPECT_EQ(inst.record(), "");
}

// ---- The application's title and the message boxes ------------------------------------------

/// Stamps the tree's launcher with the ProductName `title` as the installation's executable.
void stampInto(const Installation& inst, const std::string& title) {
    const char* stamp = std::getenv("LAUNCHER_STAMP");
    ASSERT_TRUE(stamp) << "LAUNCHER_STAMP names no launcher-stamp";
    Result r = process_tests::runProcess(stamp, {stamp, process_tests::target().launcherExe, inst.path("bin/app.exe"),
                                                 "--set-version-string", "ProductName", title},
                                         {"PATH=/usr/bin:/bin"}, "/", 60);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

/// The text of the message box captioned `caption`, as the system holds it ("\r\n" as "\n").
std::string boxText(const std::string& caption) {
    const char* reader = std::getenv("WINDOW_TEXT_EXE");
    if (!reader) return "WINDOW_TEXT_EXE names no window_text.exe";
    const std::string& wine = process_tests::target().wine;
    std::vector<std::string> env{"WINEDEBUG=-all", "PATH=/usr/bin:/bin", "DISPLAY=" + display()};
    for (const char* name : {"WINEPREFIX", "HOME", "USER"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    Result r = process_tests::runProcess(wine, {wine, reader, caption}, env, "/", 60);
    std::string text;
    for (char c : r.out)
        if (c != '\r') text += c;
    return r.exitCode == 0 ? text : "window_text ended with " + std::to_string(r.exitCode) + ": " + r.err;
}

// The prompt's caption is the application's title: the directive's, else a stamped one.
TEST_F(JavaExeDialog, CaptionIsTheApplicationsTitle) {
    for (bool stamped : {false, true}) {
        SCOPED_TRACE(stamped ? "stamped" : "directive");
        std::string title = stamped ? "Stamped Hello" : "Hello  World App";
        if (stamped) stampInto(inst, title);
        inst.writeConfig("SetMainClass test.Main\n" + std::string(stamped ? "" : "SetProductTitle " + title + "\n"));
        Launch launch(inst, "", {}, title);
        OPEN_DIALOG(window, launch);
        click(window, 8, window.height - 8);
        key("Escape");
        EXPECT_TRUE(launch.closeMessageBox(window)) << "no message box captioned " << title;
        EXPECT_RUN(launch.result(), "", "", 8);
    }
}

/// Test runtimes in the wine prefix's Program Files\Java, where the search looks for installed
/// ones, removed again when it ends; no other test of the display's prefix puts any there.
class InstalledRuntimes {
public:
    InstalledRuntimes() {
        const char* prefix = std::getenv("WINEPREFIX");
        folder_ = std::string(prefix ? prefix : "") + "/drive_c/" + programs() + "/Java";
        fs::remove_all(folder_);
    }
    ~InstalledRuntimes() { fs::remove_all(folder_); }
    InstalledRuntimes(const InstalledRuntimes&) = delete;
    InstalledRuntimes& operator=(const InstalledRuntimes&) = delete;

    void add(const std::string& name, const std::string& version) const {
        process_tests::addJavaAt(folder_ + "/" + name, version);
    }
    /// A runtime's home as the launcher names it.
    static std::string seen(const std::string& name) { return "C:\\" + programs() + "\\Java\\" + name; }

private:
    static std::string programs() {
        return process_tests::target().kind == process_tests::Kind::Win32 ? "Program Files (x86)" : "Program Files";
    }
    std::string folder_;
};

// Message 8 after an answer that does not fit, with more runtimes installed than its box can
// name: the box keeps its first line (the answer, whose name lies outside ASCII and the
// system's code page), a "…" line where the first runtimes went, the last of the list, one
// whole runtime a line, and, whole, the lines that say what the application needs and where
// to get Java.
TEST_F(JavaExeDialog, LongMessage8KeepsItsLastLinesInItsBox) {
    InstalledRuntimes installed;
    const std::string answer = "J\u00e4v\u00e5-\u03a9mega 11";
    installed.add(answer, "11.0.2");
    for (const char* name : {"\u00c5ngstr\u00f6m-jdk-11", "\u30c6\u30b9\u30c8-jdk-11", "zulu-\u00df-11"})
        installed.add(name, "11.0.3");
    for (int i = 1; i <= 21; ++i) installed.add("jdk-11.0." + std::to_string(i), "11.0." + std::to_string(i));
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 99\nSetJavaDownloadUrl https://example.com/java\n");

    Launch launch(inst);
    OPEN_DIALOG(window, launch);
    // The field has the focus; a click away from every control gives the dialog the keyboard,
    // and Return answers it as OK does.
    click(window, 8, window.height - 8);
    type(InstalledRuntimes::seen(answer));
    pause(300);
    key("Return");

    std::optional<Window> box = launch.messageBox(window);
    ASSERT_TRUE(box) << "no message box for message 8";
    std::string shown = boxText(kCaption);
    std::string bits = " (11.0.2, " + process_tests::ownArchitecture() + "): too old";
    std::string head = "Cannot find a J2SE SDK installed at path:" + InstalledRuntimes::seen(answer) + ".\n\u2026\n";
    std::string tail = "and 4 more;\n" + InstalledRuntimes::seen(answer) + bits + ".\nThis application needs Java 99 or later, " +
                       process_tests::ownArchitecture() + ".\nGet Java at https://example.com/java\n";
    ASSERT_EQ(shown.substr(0, head.size()), head) << shown;
    ASSERT_GE(shown.size(), head.size() + tail.size()) << shown;
    EXPECT_EQ(shown.substr(shown.size() - tail.size()), tail) << shown;
    std::size_t listed = 0;
    std::string runtime = InstalledRuntimes::seen("jdk-11.0.");
    for (std::size_t at = head.size(); at < shown.size() - tail.size(); at = shown.find('\n', at) + 1, ++listed)
        EXPECT_EQ(shown.compare(at, runtime.size(), runtime), 0) << "a whole runtime a line: " << shown;
    EXPECT_GE(listed, 5u) << shown;
    Launch::answer(*box);
    EXPECT_RUN(launch.result(), "", "", 8);
}

struct Box {
    const char* name;
    process_tests::VmLibrary library;  // None: no runtime and no configuration file
    bool stamped;
    std::string args;  // one argument besides the program's name, or none
    int exitCode;
};

class MessageBoxText : public ::testing::TestWithParam<Box> {};

// A message box is captioned with the application's title and shows, under the message, what
// the launcher found out about the failure, naming the VM library by its full path.
TEST_P(MessageBoxText, ShowsTheTitleAndTheExplanation) {
    using process_tests::VmLibrary;
    const Box& box = GetParam();
    Installation inst;
    std::string title = box.stamped ? "Stamped Hello" : "Given Title";
    if (box.stamped) stampInto(inst, title);
    std::string library = process_tests::vmLibraryPath();
    std::string full = inst.seen("jre/" + process_tests::vmLibraryBelowHome("server"));
    std::string expected = "Unable to launch the Java Virtual Machine\nLocated at path:\n" + library + "\n\n";
    if (box.library == VmLibrary::None) {
        expected = "Unable to open the following configuration file:\n[" + inst.seen("bin/app.conf") + "]";
    } else if (box.library == VmLibrary::AbsentDependency) {
        inst.addRuntime("jre", std::string("-server KNOWN\n"), {"server"}, box.library);
        expected += "A DLL that the Java VM library " + full + " needs cannot be found: launcher-test-absent-runtime.dll";
    } else {
        const char* other = std::getenv("FAKEJVM_OTHER_BITNESS_DIR");
        if (!other || !fs::exists(std::string(other) + "/" + process_tests::vmLibraryName()))
            GTEST_SKIP() << "needs the test-double VM library of the other Windows build";
        inst.addRuntime("jre", std::string("-server KNOWN\n"), {});
        fs::create_directories(fs::path(inst.path("jre/" + process_tests::vmLibraryBelowHome("server"))).parent_path());
        fs::copy_file(std::string(other) + "/" + process_tests::vmLibraryName(),
                      inst.path("jre/" + process_tests::vmLibraryBelowHome("server")));
        std::string bits = process_tests::target().kind == process_tests::Kind::Win32 ? "32" : "64";
        expected += "The Java VM library " + full + " is not a " + bits + "-bit library: this " + bits +
                    "-bit launcher needs a " + bits + "-bit Java runtime.";
    }
    if (box.library != VmLibrary::None) inst.writeConfig("SetMainClass test.Main\nSetJavaVM server\n");
    std::vector<std::string> args;
    if (!box.args.empty()) args.push_back(box.args);
    Launch launch(inst, "", args, title);
    OPEN_DIALOG(window, launch);
    EXPECT_EQ(boxText(title), expected);
    click(window, 8, window.height - 8);
    key("Return");
    EXPECT_TRUE(launch.endedWithin(20000)) << "the box did not close";
    EXPECT_EQ(launch.result().exitCode, box.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Title, MessageBoxText,
    ::testing::Values(Box{"CommandLineTitle", process_tests::VmLibrary::None, false, "--SetProductTitle=Given Title", 7},
                      Box{"StampedTitle", process_tests::VmLibrary::None, true, "", 7},
                      Box{"OtherBitness", process_tests::VmLibrary::Full, false, "--SetProductTitle=Given Title", 3},
                      Box{"AbsentDependency", process_tests::VmLibrary::AbsentDependency, true, "", 3}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dialog_tests
