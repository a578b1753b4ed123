#include "platform/command_line_quoting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/windows_command_line.h"

#ifdef _WIN32
#include <windows.h>
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
    // Shift JIS characters whose second byte has the code of a backslash: 0x83 0x5C and 0x95 0x5C.
    {"two-byte characters ending in a backslash code",
     {"C:\\Program Files\\\x95\x5c\\app.exe", "a b\x83\x5c", "\x95\x5c\"q", "x\x83\x5c y\\", "\x83\x5c\x83\x5c"}},
};

// Shift JIS (code page 932): the lead bytes of its two-byte characters.
bool isShiftJisLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc); }

// Whether the start-up code of a code page with these lead bytes could have produced `arg`:
// not when it ends in a lead byte, which would have taken the next byte with it.
bool isWholeText(const std::string& arg, bool (*isLeadByte)(unsigned char)) {
    for (std::size_t i = 0; i < arg.size(); ++i) {
        if (!isLeadByte(static_cast<unsigned char>(arg[i]))) continue;
        if (++i == arg.size()) return false;
    }
    return true;
}

TEST(QuoteWindowsCommandLine, SplitsBackIntoTheSameArguments) {
    for (const RoundTrip& c : kRoundTrips) {
        std::string line = quoteWindowsCommandLine(c.args);
        EXPECT_EQ(testing_support::splitWindowsCommandLine(line), c.args) << c.what << "\n  line: " << line;
        auto whole = [](const std::string& arg) { return isWholeText(arg, isShiftJisLeadByte); };
        if (!std::all_of(c.args.begin(), c.args.end(), whole)) continue;
        std::string dbcsLine = quoteWindowsCommandLine(c.args, isShiftJisLeadByte);
        EXPECT_EQ(testing_support::splitWindowsCommandLine(dbcsLine, isShiftJisLeadByte), c.args)
            << c.what << " (code page 932)\n  line: " << dbcsLine;
    }
}

// A backslash code that is the second byte of a character is no backslash: doubling it
// would give the child a backslash it never had, and before a quotation mark an escaped
// mark that runs the argument into the next ones.
TEST(QuoteWindowsCommandLine, LeavesTwoByteCharactersWhole) {
    struct Case {
        Args args;
        const char* line;
    };
    const Case cases[] = {
        {{"app.exe", "a b\x83\x5c"}, "app.exe \"a b\x83\x5c\""},
        {{"app.exe", "\x83\x5c\"q"}, "app.exe \"\x83\x5c\\\"q\""},
        {{"app.exe", "a b\x83\x5c\\"}, "app.exe \"a b\x83\x5c\\\\\""},
        {{"app.exe", "\x83\x5c"}, "app.exe \x83\x5c"},
        // A lead byte without its second byte: nothing is read past the end.
        {{"app.exe", "a b\x83"}, "app.exe \"a b\x83\""},
    };
    for (const Case& c : cases) EXPECT_EQ(quoteWindowsCommandLine(c.args, isShiftJisLeadByte), c.line);
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
    EXPECT_EQ(testing_support::splitWindowsCommandLine(line), (Args{"C:\\a b.exe", "x y"}));
}

// The launcher's splitter of its own command line, and the one the round trips rely on, held
// to the documented examples of the C runtime.
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
        EXPECT_EQ(testing_support::splitWindowsCommandLine(c.line), c.args) << c.line;
    }
}

#ifdef _WIN32

std::wstring toWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

// The system's own splitter, looked up at run time so that the tests need no extra import.
std::vector<std::wstring> systemSplit(const std::string& line) {
    using CommandLineToArgvWFn = LPWSTR*(WINAPI*)(LPCWSTR, int*);
    HMODULE shell32 = LoadLibraryA("shell32.dll");
    if (shell32 == nullptr) return {};
    auto split = reinterpret_cast<CommandLineToArgvWFn>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "CommandLineToArgvW")));
    std::vector<std::wstring> result;
    int argc = 0;
    std::wstring wide = toWide(line);
    LPWSTR* argv = split != nullptr ? split(wide.c_str(), &argc) : nullptr;
    for (int i = 0; argv != nullptr && i < argc; ++i) result.emplace_back(argv[i]);
    if (argv != nullptr) LocalFree(argv);
    return result;
}

bool isValidInCodePage(const std::string& text) {
    return text.empty() || MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

bool isLeadByteOfCodePage(unsigned char b) { return IsDBCSLeadByte(b) != FALSE; }

// With the code page the system runs under (the tests run under 1252 and under 932).
TEST(QuoteWindowsCommandLine, SplitsBackThroughCommandLineToArgvW) {
    for (const RoundTrip& c : kRoundTrips) {
        // The system takes an empty line for its own program name.
        if (c.args[0].empty()) continue;
        // Bytes that are no text in this code page cannot reach a program's arguments.
        if (!std::all_of(c.args.begin(), c.args.end(), isValidInCodePage)) continue;
        std::vector<std::wstring> expected;
        for (const std::string& arg : c.args) expected.push_back(toWide(arg));
        std::string line = quoteWindowsCommandLine(c.args, isLeadByteOfCodePage);
        EXPECT_EQ(systemSplit(line), expected) << c.what << "\n  line: " << line;
    }
}

#endif

}  // namespace
