#include "platform/command_line_quoting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "platform/unicode_text.h"
#include "platform/win32/wide_text.h"
#endif

namespace {

using Args = std::vector<std::string>;

struct RoundTrip {
    const char* what;
    Args args;
};

// Argument vectors that must survive being joined into one command line and split again.
const RoundTrip kRoundTrips[] = {
    {"plain words", {"app.exe", "-conf", "x.conf", "file.txt"}},
    {"program path with blanks",
     {"C:\\Program Files\\app\\bin\\app.exe", "-update", "--SetMainClass=a/b/Main"}},
    {"program path ending in a backslash", {"C:\\Program Files\\app\\", "x"}},
    {"program path with a trailing backslash and no blank", {"C:\\app\\", "x"}},
    {"empty arguments in their places", {"app.exe", "", "x", "", ""}},
    {"empty program name", {"", "x"}},
    {"blanks", {"app.exe", "a b", " ", "  lead", "trail  "}},
    {"tabs", {"app.exe", "a\tb", "\t"}},
    {"quotation marks", {"app.exe", "\"", "a\"b", "\"quoted\"", "\"\"", "x\"\"y"}},
    {"trailing backslashes", {"app.exe", "C:\\dir\\", "C:\\dir with blank\\", "\\\\", "a b\\\\"}},
    {"backslashes before quotation marks", {"app.exe", "a\\\"b", "a\\\\\"b", "\\\"", "x \\\\\\\"y"}},
    {"backslashes elsewhere", {"app.exe", "\\\\server\\share\\a b", "a\\b", "\\"}},
    {"non-ASCII bytes", {"C:\\Programme\\\xe4pp.exe", "\xe9t\xe9", "\xc3\xa9 \xc3\xa0", "\x80\xff"}},
    {"other white space", {"app.exe", "line\nbreak", "v\vtab", "cr\r"}},
    {"option with a quoted value",
     {"app.exe", "-Denv.temp=\"C:\\tmp\\\"", "--SetJavaHome=C:\\Program Files\\Java\\"}},
    // Bytes that are no UTF-8 (Shift JIS characters whose second byte has the code of a
    // backslash) are bytes like any other.
    {"non-UTF-8 bytes with the code of a backslash",
     {"C:\\Program Files\\\x95\x5c\\app.exe", "a b\x83\x5c", "\x95\x5c\"q", "x\x83\x5c y\\", "\x83\x5c\x83\x5c"}},
};

TEST(QuoteWindowsCommandLine, SplitsBackIntoTheSameArguments) {
    for (const RoundTrip& c : kRoundTrips) {
        std::string line = quoteWindowsCommandLine(c.args);
        EXPECT_EQ(splitWindowsCommandLine(line), c.args) << c.what << "\n  line: " << line;
    }
}

TEST(QuoteWindowsCommandLine, QuotesOnlyWhatNeedsIt) {
    struct Case {
        Args args;
        const char* line;
    };
    const Case cases[] = {
        {{}, ""},
        {{"app.exe"}, "app.exe"},
        {{"app.exe", "a", "b\\c", "C:\\dir\\"}, "app.exe a b\\c C:\\dir\\"},
        {{"C:\\Program Files\\a.exe", "x"}, "\"C:\\Program Files\\a.exe\" x"},
        // The program name's backslashes are literal even before the closing quote.
        {{"C:\\my dir\\", "x"}, "\"C:\\my dir\\\" x"},
        {{"app.exe", ""}, "app.exe \"\""},
        {{"app.exe", "a b\\"}, "app.exe \"a b\\\\\""},
        {{"app.exe", "a\"b"}, "app.exe \"a\\\"b\""},
        {{"app.exe", "a\\\"b"}, "app.exe \"a\\\\\\\"b\""},
    };
    for (const Case& c : cases) EXPECT_EQ(quoteWindowsCommandLine(c.args), c.line);
}

// A program name cannot hold a quotation mark; the rest of the line must still be intact.
TEST(QuoteWindowsCommandLine, LeavesQuotationMarksOutOfTheProgramName) {
    std::string line = quoteWindowsCommandLine({"C:\\a \"b\".exe", "x y"});
    EXPECT_EQ(splitWindowsCommandLine(line), (Args{"C:\\a b.exe", "x y"}));
}

// The launcher's splitter of its own command line, held to the documented examples of the C
// runtime (and, under wine, the round trips below to the system's own splitter).
TEST(SplitWindowsCommandLine, FollowsTheRuntimeRules) {
    struct Case {
        const char* line;
        Args args;
    };
    const Case cases[] = {
        {"", {}},
        {"app.exe", {"app.exe"}},
        {"\"C:\\Program Files\\a.exe\" x", {"C:\\Program Files\\a.exe", "x"}},
        {"\"C:\\dir\\\" x", {"C:\\dir\\", "x"}},
        {"C:\\a\\b\\\"c d", {"C:\\a\\b\\\"c", "d"}},
        {"p \"a b c\" d e", {"p", "a b c", "d", "e"}},
        {"p \"ab\\\"c\" \"\\\\\" d", {"p", "ab\"c", "\\", "d"}},
        {"p a\\\\\\b d\"e f\"g h", {"p", "a\\\\\\b", "de fg", "h"}},
        {"p a\\\\\\\"b c d", {"p", "a\\\"b", "c", "d"}},
        {"p a\\\\\\\\\"b c\" d e", {"p", "a\\\\b c", "d", "e"}},
        {"p \"a\"\"b\" c", {"p", "a\"b", "c"}},
        {"p \t a \t\t b  ", {"p", "a", "b"}},
        {"p \"\" \"\"", {"p", "", ""}},
        {" a", {"", "a"}},
        {"p \"unterminated arg", {"p", "unterminated arg"}},
        {"\"unterminated name", {"unterminated name"}},
        {"\"C:\\\xc3\xa9 \xe2\x88\x95\" \"\xce\xa9 \xef\xbc\x82\" \xf0\x9f\x98\x80\\\"",
         {"C:\\\xc3\xa9 \xe2\x88\x95", "\xce\xa9 \xef\xbc\x82", "\xf0\x9f\x98\x80\""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitWindowsCommandLine(c.line), c.args) << c.line;
    }
}

#ifdef _WIN32

// The system's own splitter, looked up at run time so that the tests need no extra import.
std::vector<std::wstring> systemSplit(const std::string& line) {
    using CommandLineToArgvWFn = LPWSTR*(WINAPI*)(LPCWSTR, int*);
    HMODULE shell32 = LoadLibraryA("shell32.dll");
    if (shell32 == nullptr) return {};
    auto split = reinterpret_cast<CommandLineToArgvWFn>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "CommandLineToArgvW")));
    std::vector<std::wstring> result;
    int argc = 0;
    std::wstring wide = platform::toWide(line);
    LPWSTR* argv = split != nullptr ? split(wide.c_str(), &argc) : nullptr;
    for (int i = 0; argv != nullptr && i < argc; ++i) result.emplace_back(argv[i]);
    if (argv != nullptr) LocalFree(argv);
    return result;
}

// Only text reaches a program's arguments: bytes that are no UTF-8 do not.
bool isUtf8(const std::string& text) {
    return unicode_text::utf16ToUtf8(unicode_text::utf8ToUtf16(text)) == text;
}

// The launcher's texts are UTF-8; the system splits the wide command line made from them.
TEST(QuoteWindowsCommandLine, SplitsBackThroughCommandLineToArgvW) {
    for (const RoundTrip& c : kRoundTrips) {
        // The system takes an empty line for its own program name.
        if (c.args[0].empty()) continue;
        if (!std::all_of(c.args.begin(), c.args.end(), isUtf8)) continue;
        std::vector<std::wstring> expected;
        for (const std::string& arg : c.args) expected.push_back(platform::toWide(arg));
        std::string line = quoteWindowsCommandLine(c.args);
        EXPECT_EQ(systemSplit(line), expected) << c.what << "\n  line: " << line;
    }
}

#endif

}  // namespace
