// The prompt for java.exe, driven through its window messages from a second thread. It needs
// the dialog template in this executable's resources and a display; without a display the
// dialog cannot open and the tests are skipped.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "platform/user_interface.h"
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
    explicit DialogRun(std::string title, std::string need = std::string(), std::string url = std::string())
        : title_(std::move(title)), need_(std::move(need)), url_(std::move(url)) {
        thread_ = std::thread([this] {
            answer_ = platform::askForJavaExecutable(title_, need_, true, url_);
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
    std::string need_;
    std::string url_;
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

// The download button, between what is needed and the question, opens the page with the
// system's handler of its address: here a stand-in registered for a scheme of the test's own,
// which writes the address it is given to a file.
TEST(JavaExeDialog, GetJavaOpensThePageWithTheSystemsHandler) {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    std::wstring file = std::wstring(temp) + L"launcher-test-url.txt";
    DeleteFileW(file.c_str());
    HKEY scheme = nullptr, command = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"launcher-test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scheme, nullptr), 0);
    RegSetValueExW(scheme, L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    std::wstring line = L"cmd.exe /c echo %1>\"" + file + L"\"";
    ASSERT_EQ(RegCreateKeyExW(scheme, L"shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &command, nullptr), 0);
    RegSetValueExW(command, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(line.c_str()),
                   static_cast<DWORD>((line.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(command);

    DialogRun run("Launcher test: get java", "Launcher test needs Java 90.", "launcher-test:page");
    std::string written;
    if (run.window() != nullptr) {
        ASSERT_NE(run.item(IDC_JAVA_GET), nullptr);
        RECT button, field;
        GetWindowRect(run.item(IDC_JAVA_GET), &button);
        GetWindowRect(run.item(IDC_JAVA_EXE_PATH), &field);
        EXPECT_LE(button.bottom, field.top);
        run.press(IDC_JAVA_GET);
        for (int i = 0; i < 200 && written.empty(); ++i) {
            Sleep(50);
            if (FILE* f = _wfopen(file.c_str(), L"rb")) {
                char buffer[256] = "";
                written.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
                std::fclose(f);
            }
        }
    }
    RegDeleteTreeW(scheme, nullptr);
    RegCloseKey(scheme);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, L"launcher-test");
    OPEN_DIALOG(run);
    EXPECT_EQ(written.substr(0, written.find_first_of("\r\n")), "launcher-test:page");
    DialogRun plain("Launcher test: no page");
    ASSERT_NE(plain.window(), nullptr);
    EXPECT_EQ(plain.item(IDC_JAVA_GET), nullptr);
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

/// The window's rectangle in its parent's client coordinates.
RECT placeIn(HWND parent, HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// What the application needs is said in a line of its own above the question, which moves
// down with every other control; the dialog grows by as much and stays centred.
TEST(JavaExeDialog, SaysWhatTheApplicationNeedsAboveTheQuestion) {
    DialogRun plain("Launcher test: plain");
    OPEN_DIALOG(plain);
    RECT plainOuter, plainField = placeIn(plain.window(), plain.item(IDC_JAVA_EXE_PATH));
    GetWindowRect(plain.window(), &plainOuter);
    plain.press(IDCANCEL);
    plain.answer();

    const std::string need = "This application needs Java 17 or later, 64-bit.";
    DialogRun run("Launcher test: need", need);
    OPEN_DIALOG(run);
    HWND line = nullptr;
    wchar_t text[128];
    for (HWND child = GetWindow(run.window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetWindowTextW(child, text, 128) > 0 && std::wstring(text) == wide(need)) line = child;
    ASSERT_NE(line, nullptr) << "no line with the need";
    RECT outer, field = placeIn(run.window(), run.item(IDC_JAVA_EXE_PATH)), said = placeIn(run.window(), line);
    GetWindowRect(run.window(), &outer);
    int shift = field.top - plainField.top;
    EXPECT_GT(shift, 0);
    EXPECT_LE(said.bottom, field.top);
    EXPECT_EQ(outer.bottom - outer.top, plainOuter.bottom - plainOuter.top + shift);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) >> 1) - ((outer.bottom - outer.top) >> 1));
}

// Where no window may open (-nomsgbox) and standard input is no console, nothing is asked.
TEST(JavaExeDialog, NoWindowWhereWindowsAreNotAllowed) {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) GTEST_SKIP() << "standard input is a console";
    EXPECT_EQ(platform::askForJavaExecutable("Launcher test: none", "", false), std::nullopt);
    EXPECT_EQ(FindWindowW(L"#32770", L"Launcher test: none"), nullptr);
}

}  // namespace

#endif  // _WIN32
