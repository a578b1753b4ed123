// The prompt for java.exe, driven through its window messages from a second thread. It needs
// the dialog template in this executable's resources and a display; without a display the
// dialog cannot open and the tests are skipped.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "res/resource.h"

namespace {

std::wstring wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], n);
    return text;
}

/// Runs askForJavaExecutable on a thread of its own and finds its window.
class DialogRun {
public:
    explicit DialogRun(std::string title) : title_(std::move(title)) {
        thread_ = std::thread([this] {
            answer_ = platform::askForJavaExecutable(title_);
            done_ = true;
        });
        for (int i = 0; i < 200 && window_ == nullptr && !done_; ++i) {
            Sleep(50);
            window_ = FindWindowW(L"#32770", wide(title_).c_str());
        }
        // The caption is set while the dialog initialises; a message sent to its thread is
        // handled only once that has finished.
        if (window_ != nullptr) SendMessageA(window_, WM_NULL, 0, 0);
    }
    ~DialogRun() {
        if (thread_.joinable()) {
            if (window_ != nullptr && !done_) PostMessageA(window_, WM_COMMAND, IDCANCEL, 0);
            thread_.join();
        }
    }

    HWND window() const { return window_; }
    HWND item(int id) const { return GetDlgItem(window_, id); }
    void setText(const std::string& text) const {
        std::wstring field = wide(text);
        SendMessageW(item(IDC_JAVA_EXE_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(field.c_str()));
    }
    void press(int id) const { SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    std::optional<std::string> answer() {
        thread_.join();
        return answer_;
    }

private:
    std::string title_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    std::optional<std::string> answer_;
    HWND window_ = nullptr;
};

#define OPEN_DIALOG(run)                                                            \
    if ((run).window() == nullptr) GTEST_SKIP() << "the dialog cannot open here (no display?)"

TEST(JavaExeDialog, OpensCentredWithTheTitleAndOkDisabled) {
    DialogRun run("Launcher test: open");
    OPEN_DIALOG(run);
    char caption[64] = "";
    GetWindowTextA(run.window(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Launcher test: open");

    RECT rect;
    ASSERT_TRUE(GetWindowRect(run.window(), &rect));
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) >> 1) - ((rect.right - rect.left) >> 1));
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) >> 1) - ((rect.bottom - rect.top) >> 1));

    GUITHREADINFO gui;
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(run.window(), nullptr), &gui));
    EXPECT_EQ(gui.hwndFocus, run.item(IDC_JAVA_EXE_PATH));
    EXPECT_FALSE(IsWindowEnabled(run.item(IDOK)));
    EXPECT_TRUE(IsWindowEnabled(run.item(IDCANCEL)));
    EXPECT_TRUE(IsWindowEnabled(run.item(IDC_JAVA_EXE_BROWSE)));
}

TEST(JavaExeDialog, OkFollowsWhetherTheFieldHoldsText) {
    DialogRun run("Launcher test: typing");
    OPEN_DIALOG(run);
    HWND ok = run.item(IDOK);
    const struct {
        const char* text;
        bool okEnabled;
    } steps[] = {{"D", true}, {"D:\\j2sdk", true}, {"", false}, {" ", true}};
    for (const auto& step : steps) {
        run.setText(step.text);
        EXPECT_EQ(IsWindowEnabled(ok) != FALSE, step.okEnabled) << "field: [" << step.text << "]";
    }
}

// Any text, also outside the code page, in the caption and the answer (given back in UTF-8).
TEST(JavaExeDialog, OkGivesTheAnswerAsTyped) {
    const struct {
        const char* title;
        const char* answer;
    } cases[] = {
        {"Launcher test: ok", "D:\\j2sdk\\bin\\java.exe"},
        {"Launcher test: \xce\xa9 \xe6\x97\xa5", "C:\\Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 \xe2\x88\x95\\\xf0\x9f\x98\x80\\bin\\java.exe"},
    };
    for (const auto& c : cases) {
        DialogRun run(c.title);
        OPEN_DIALOG(run);
        run.setText(c.answer);
        run.press(IDOK);
        EXPECT_EQ(run.answer(), std::string(c.answer));
    }
}

TEST(JavaExeDialog, TheAnswerKeepsToItsLimit) {
    DialogRun run("Launcher test: limit");
    OPEN_DIALOG(run);
    EXPECT_EQ(SendMessageA(run.item(IDC_JAVA_EXE_PATH), EM_GETLIMITTEXT, 0, 0), MAX_PATH - 1);
    const std::string text = "C:\\" + std::string(400, 'x');
    run.setText(text);  // a program may put in more than the user can type
    run.press(IDOK);
    EXPECT_EQ(run.answer(), text.substr(0, MAX_PATH - 1));
}

TEST(JavaExeDialog, CancelGivesNoAnswerEvenAfterTyping) {
    DialogRun run("Launcher test: cancel");
    OPEN_DIALOG(run);
    run.setText("D:\\j2sdk");
    run.press(IDCANCEL);
    EXPECT_EQ(run.answer(), std::nullopt);
}

}  // namespace

#endif  // _WIN32
