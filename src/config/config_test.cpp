// The configuration file reader, the line format and the directives, on real files, real
// directories and real environment variables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "config/app_user_model_id.h"
#include "config/launch_settings.h"
#include "config/line_reader.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/native.h"
#include "support/temp_dir.h"

using testing_support::nat;
using testing_support::natList;
using testing_support::ScopedCurrentDir;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

/// What the reader hands to its handler.
std::vector<std::pair<LineNumber, std::string>> readLines(const std::string& path, bool* opened = nullptr) {
    std::vector<std::pair<LineNumber, std::string>> lines;
    bool ok = readTextLines(path, [&](const std::string& line, LineNumber number) { lines.emplace_back(number, line); });
    if (opened) *opened = ok;
    return lines;
}

struct Captured {
    std::string out, err;
};

template <typename F>
Captured capture(F&& f) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    f();
    Captured c;
    c.out = testing::internal::GetCapturedStdout();
    c.err = testing::internal::GetCapturedStderr();
    return c;
}

/// The class path's entries, sorted where the system's listing order is its own (Windows);
/// POSIX promises sorted listings, so there the order itself is compared.
std::vector<std::string> entriesOf(const std::string& classPath) {
    std::vector<std::string> entries(1);
    for (char c : classPath) {
        if (c == platform::kPathListSeparator)
            entries.emplace_back();
        else
            entries.back() += c;
    }
    if (platform::kNamesIgnoreCase) std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace

TEST(LineReader, GrowsTheBufferGeometricallyAndKeepsNothingButTheLine) {
    std::string line511(511, 'x');
    std::string text = line511 + "\r\n" + "last";
    TextCursor cursor{text};
    std::vector<char> buffer;
    EXPECT_EQ(readLine(buffer, cursor, false), 511);
    EXPECT_EQ(buffer.size(), 1024u);
    EXPECT_EQ(std::string(buffer.data()), line511);
    EXPECT_EQ(readLine(buffer, cursor, true), 4);  // a last line without a line feed
    EXPECT_EQ(std::string(buffer.data()), "last");
    EXPECT_EQ(readLine(buffer, cursor, false), -1);
}

TEST(LineReader, PhysicalLineNumbersLongLinesNulCrlfAndControlZ) {
    TempDir dir;
    std::string longLine(2000, 'y');
    std::string content = std::string("one\r\n\r\n# three\r\n") + longLine + "\n" + std::string("nul\0cut", 7) +
                          "\n\x1a ctrl-z\x1a\r\n\rlast";
    auto lines = readLines(dir.write("c.conf", content));
    // Every system reads the file's bytes alike: the carriage return before a line feed goes,
    // any other stays for the line handler to trim, and Ctrl-Z is a byte like any other.
    std::vector<std::pair<LineNumber, std::string>> expected = {
        {1, "one"}, {3, "# three"}, {4, longLine}, {5, "nul"}, {6, "\x1a ctrl-z\x1a"}, {7, "\rlast"}};
    EXPECT_EQ(lines, expected);
    bool opened = false;
    EXPECT_TRUE(readLines(dir.write("empty.conf"), &opened).empty());
    EXPECT_TRUE(opened);
    readLines(dir / "missing.conf", &opened);
    EXPECT_FALSE(opened);
    readLines(dir.mkdir("a-directory.conf"), &opened);
    EXPECT_FALSE(opened) << "a directory is not a readable configuration file";
}

// Each encoding a configuration file may come in, and what is no text in it.
TEST(LineReader, DecodesByteOrderMarksAndUtf16) {
    const std::string replacement = "\xEF\xBF\xBD";
    auto bytes = [](std::initializer_list<int> values) {
        std::string out;
        for (int v : values) out += static_cast<char>(v);
        return out;
    };
    struct Case {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"ASCII", "SetMainClass a.B\r\n", "SetMainClass a.B\r\n"},
        {"UTF-8", "caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {"UTF-8 mark", "\xEF\xBB\xBF" "caf\xC3\xA9\n", "caf\xC3\xA9\n"},
        {"UTF-8 mark only", "\xEF\xBB\xBF", ""},
        {"UTF-16LE", bytes({0xFF, 0xFE, 'a', 0, 0xE9, 0, '\r', 0, '\n', 0, 0x3D, 0xD8, 0x00, 0xDE, 0x1A, 0}),
         "a\xC3\xA9\r\n\xF0\x9F\x98\x80\x1A"},
        {"UTF-16BE", bytes({0xFE, 0xFF, 0, 'a', 0, 0xE9, 0x20, 0xAC, 0xD8, 0x3D, 0xDE, 0x00, 0, '\n'}),
         "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n"},
        {"UTF-16 NUL", bytes({0xFF, 0xFE, 'a', 0, 0, 0, 'b', 0}), std::string("a\0b", 3)},
        {"lone high surrogate", bytes({0xFF, 0xFE, 0x3D, 0xD8, 'a', 0}), replacement + "a"},
        {"lone low surrogate", bytes({0xFE, 0xFF, 0xDE, 0x00, 0, 'a'}), replacement + "a"},
        {"high surrogate last", bytes({0xFF, 0xFE, 'a', 0, 0x3D, 0xD8}), "a" + replacement},
        {"odd length", bytes({0xFF, 0xFE, 'a', 0, 'b'}), "a" + replacement},
        {"UTF-16 mark only", bytes({0xFE, 0xFF}), ""},
    };
    for (const Case& c : cases) EXPECT_EQ(decodeConfigText(c.in), c.out) << c.name;
    // Without a mark, only bytes that are no UTF-8 are the code page's (POSIX: kept as they are).
    for (std::string invalid : {"caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xC3"})
        EXPECT_EQ(decodeConfigText(invalid), platform::codePageToUtf8(invalid)) << invalid;
}

// UTF-32 and UTF-16 without a mark: a UTF-32 mark, or zero bytes on one side of most pairs;
// a stray NUL in a text of single bytes is no such thing.
TEST(LineReader, TellsWideTextWithoutAMark) {
    struct Case {
        std::string bytes;
        bool wide;
    } cases[] = {
        {std::string("S\0e\0", 4), true},        {std::string("\0S\0e", 4), true},
        {std::string("S\0\0\0", 4), true},      {std::string("\0\0\0S", 4), true},
        {std::string("\xFF\xFE\0\0", 4), true}, {std::string("\0\0\xFE\xFF", 4), true},
        {std::string("\r\0\n\0", 4), true},     {std::string("\xFF\xFES\0\0\0", 6), false},
        {std::string("\xFE\xFF\0S", 4), false},  {std::string("nul\0cut", 7), false},
        {"SetMainClass a.B", false},             {"S", false},
        {"", false},                             {std::string("\xEF\xBB\xBF\0", 4), false},
        {std::string("\0AddVMOption -Dx=1\n", 20), false},
        {std::string("S\0e\0t\0M\0\xE9\0a\0\x42\x30i\0", 16), true},
        {std::string("S\0e\0t\0\x42\x30\x42\x30\x42\x30i\0M\0", 16), false},
    };
    for (const Case& c : cases) EXPECT_EQ(isWideTextWithoutMark(c.bytes), c.wide) << c.bytes.size() << c.bytes;
}

TEST(LineReader, StopsReadingPastTheLimit) {
    TempDir dir;
    std::string path = dir.write("ten.conf", std::string("0123456789"));
    std::string bytes;
    EXPECT_EQ(readFileBytes(path, 10, bytes), FileBytes::kRead);
    EXPECT_EQ(bytes, "0123456789");
    EXPECT_EQ(readFileBytes(path, 9, bytes), FileBytes::kTooLarge);
    EXPECT_EQ(readFileBytes(dir / "missing.conf", 10, bytes), FileBytes::kCannotRead);
    std::string large(200 * 1024, 'z');  // more than one read's worth
    EXPECT_EQ(readFileBytes(dir.write("large.conf", large), large.size(), bytes), FileBytes::kRead);
    EXPECT_EQ(bytes, large);
}

TEST(ConfigLine, FormatOfALine) {
    struct Case {
        const char* line;
        const char* out;
        const char* err;
        const char* mainClass;
    } cases[] = {
        {"SetMainClass a.Main", "", "", "a/Main"},
        {"\t SETMAINCLASS \t b.Main  \r", "", "", "b/Main"},
        {"setmainclass=c.Main", "[line #7][setmainclass=c.Main] is invalid!\n", "", ""},
        {"SetMainClass", "[line #7][SetMainClass] is invalid!\n", "", ""},
        {"# SetMainClass d.Main", "", "", ""},
        {"   ", "", "", ""},
        {"Frobnicate 1", "", "WARNING: Unknown directive: frobnicate\n", ""},
        {"SetMainClass e.Main # note", "", "", "e/Main # note"},
    };
    for (auto& c : cases) {
        LaunchSettings parser;
        Captured out = capture([&] { parser.parseConfigLine(c.line, 7); });
        EXPECT_EQ(out.out, c.out) << c.line;
        EXPECT_EQ(out.err, c.err) << c.line;
        EXPECT_EQ(parser.mainClass, c.mainClass) << c.line;
    }
    // A feature that an empty value turns off takes its name alone as such a line, in any file.
    for (const char* alone : {"SetSplashScreen", "\tsetsplashscreen  ", "SetSingleInstance"}) {
        LaunchSettings settings;
        settings.parseConfigLine("SetSplashScreen splash.png", 1);
        settings.parseConfigLine("SetSingleInstance app.Main.open", 2);
        Captured off = capture([&] { settings.parseConfigLine(alone, 3); });
        EXPECT_EQ(off.out + off.err, "") << alone;
        bool splash = std::string(alone).find("plash") != std::string::npos;
        EXPECT_EQ(settings.splashImage.empty(), splash) << alone;
        EXPECT_EQ(settings.singleInstanceClass.empty(), !splash) << alone;
    }
    // Line numbers beyond 32 bits are reported as they are.
    Captured far = capture([] { LaunchSettings().parseConfigLine("x", LineNumber(1) << 33); });
    EXPECT_EQ(far.out, "[line #8589934592][x] is invalid!\n");
    LaunchSettings parser;
    parser.parseConfigLine("AddVMOption -Dname=a b", 1);
    parser.parseConfigLine("SetJavaVM \"quoted\"", 2);
    EXPECT_EQ(parser.vmOptions, std::vector<std::string>{"-Dname=a b"});
    EXPECT_EQ(parser.vmName, "\"quoted\"");
}

// Only an exit code that a process can end with, and that is no success, asks for a restart;
// another value leaves the one before.
TEST(Directives, RestartExitCodeValues) {
    struct Case {
        const char* value;
        int code;
    } cases[] = {{"1", 1}, {"255", 255}, {"007", 7}, {"0", 5}, {"256", 5}, {"-3", 5}, {"7x", 5}, {"1000", 5}, {"", 5}};
    for (const Case& c : cases) {
        LaunchSettings settings;
        settings.restartExitCode = 5;
        Captured said = capture([&] { settings.applyDirective("SetRestartExitCode", c.value); });
        EXPECT_EQ(settings.restartExitCode, c.code) << c.value;
        EXPECT_EQ(said.err, c.code == 5 ? "WARNING: SetRestartExitCode takes an exit code from 1 to 255, not: " +
                                               std::string(c.value) + "\n"
                                         : "")
            << c.value;
    }
}

TEST(Directives, EffectOnTheRecord) {
    struct Case {
        std::string classPath, nativeCodePath;
        const char* directive;
        std::string value;
        std::string expectClassPath, expectNative, expectJavaHome;
    } cases[] = {
        {"", "", "AddJavaLibFile", "lib/a.jar", nat("lib/a.jar"), "", ""},
        {natList("x.jar;"), "", "addjavalibfile", "y.jar", natList("x.jar;y.jar"), "", ""},
        {"x.jar", "", "ADDJAVALIBFILE", "y.jar", natList("x.jar;y.jar"), "", ""},
        {"", natList("C:/bin;"), "AddNativeCodePath", "../native", "", natList("C:/bin;;../native"), ""},
        {"", "", "AddNativeCodePath", "a/b", "", nat("a/b"), ""},
        {"", "", "SetJavaHome", nat("C:/jdk/"), "", "", nat("C:/jdk")},
        {"", "", "SetJavaHome", nat("C:/jdk//"), "", "", nat("C:/jdk/")},
        {"", "", "SetJavaHome", std::string("C:") + platform::kForeignSeparator + "jdk" + platform::kForeignSeparator, "", "",
         nat("C:/jdk/")},  // a trailing foreign separator is converted, not removed
        {"", "", "SetJavaHome", "", "", "", ""},
    };
    for (auto& c : cases) {
        LaunchSettings parser;
        parser.classPath = c.classPath;
        parser.nativeCodePath = c.nativeCodePath;
        EXPECT_TRUE(parser.applyDirective(c.directive, c.value));
        EXPECT_EQ(parser.classPath, c.expectClassPath) << c.directive << " " << c.value;
        EXPECT_EQ(parser.nativeCodePath, c.expectNative) << c.directive << " " << c.value;
        EXPECT_EQ(parser.configuredJavaHome, c.expectJavaHome) << c.directive << " " << c.value;
    }
    // A chosen home is written as the directive writes one.
    EXPECT_EQ(javaHomeAsSet(std::string("C:") + platform::kForeignSeparator + "jdk" + platform::kDirSeparator), nat("C:/jdk"));
}

// SetStartupCache keeps on, off and a directory written as a path; anything else, and a root,
// leaves the cache off. Relative paths are taken from the current directory.
TEST(Directives, StartupCacheValues) {
    TempDir dir;
    dir.write("bin/x");
    ScopedCurrentDir cwd(dir / "bin");
    std::string up;
    for (int i = 0; i < 40; ++i) up += "../";
    struct Case {
        std::string value, kept;
    } cases[] = {
        {"on", "on"}, {"ON", "ON"}, {"off", ""}, {"Off", ""}, {"", ""},
        {"maybe", ""}, {"false", ""}, {"~/.cache/app", ""}, {"cache", ""}, {"cache/sub", ""}, {".cache", ""},
        {"./cache", nat("./cache")}, {"../cache", nat("../cache")}, {".\\x", nat("./x")},
        {dir.path() + nat("/c"), dir.path() + nat("/c")},
        {up, ""}, {nat("/"), ""}, {nat("/.."), ""}, {nat("/a/.."), ""}, {nat("/a/./"), nat("/a/./")},
#ifdef _WIN32
        {"C:\\", ""}, {"C:/", ""}, {"C:", ""}, {"C:cache", ""}, {"\\\\server\\share\\", ""},
        {"\\\\server\\share\\c", "\\\\server\\share\\c"}, {"D:/c", "D:\\c"},
#endif
    };
    for (auto& c : cases) {
        LaunchSettings parser;
        parser.setStartupCache(c.value);
        EXPECT_EQ(parser.startupCache, c.kept) << c.value;
    }
}

// SetWorkingDirectory takes its two words in any letter case or a folder written as a path,
// SetLauncherProperties on or off, SetAppUserModelId an id the system takes. Anything else
// leaves the record as it was, after one warning.
TEST(Directives, WhereTheApplicationRunsAndWhatItIsTold) {
    const std::string u128(128, 'u');
    std::string emoji64, emoji65;  // each character two UTF-16 units
    for (int i = 0; i < 64; ++i) emoji64 += "\xf0\x9f\x98\x80";
    emoji65 = emoji64 + "\xf0\x9f\x98\x80";
    const auto L = WorkingDirectory::Launcher, S = WorkingDirectory::Start, F = WorkingDirectory::Folder;
    struct Case {
        const char* directive;
        std::string value;
        WorkingDirectory where;
        std::string folder;
        bool properties;
        std::string id;
        bool warns = false;
    } cases[] = {
        // From the record before each case: a folder, properties on, an id.
        {"setworkingdirectory", "START", S, "", true, "Prior.Id"},
        {"SetWorkingDirectory", "Launcher", L, "", true, "Prior.Id"},
        {"SetWorkingDirectory", "./work", F, nat("./work"), true, "Prior.Id"},
        {"SetWorkingDirectory", std::string("..") + platform::kForeignSeparator + "work", F, nat("../work"), true, "Prior.Id"},
        {"SetWorkingDirectory", nat("/srv/work"), F, nat("/srv/work"), true, "Prior.Id"},
        {"SetWorkingDirectory", "strat", F, nat("./prior"), true, "Prior.Id", true},
        {"SetWorkingDirectory", "", F, nat("./prior"), true, "Prior.Id", true},
        {"SetLauncherProperties", "OFF", F, nat("./prior"), false, "Prior.Id"},
        {"SetLauncherProperties", "yes", F, nat("./prior"), true, "Prior.Id", true},
        {"SetAppUserModelId", "Acme.Tools.2", F, nat("./prior"), true, "Acme.Tools.2"},
        {"SetAppUserModelId", "", F, nat("./prior"), true, ""},
        {"SetAppUserModelId", u128, F, nat("./prior"), true, u128},
        {"SetAppUserModelId", emoji64, F, nat("./prior"), true, emoji64},
        {"SetAppUserModelId", u128 + "u", F, nat("./prior"), true, "Prior.Id", true},
        {"SetAppUserModelId", emoji65, F, nat("./prior"), true, "Prior.Id", true},
        {"SetAppUserModelId", "Acme Tools", F, nat("./prior"), true, "Prior.Id", true},
    };
    for (auto& c : cases) {
        LaunchSettings p;
        p.workingDirectory = F;
        p.workingFolder = nat("./prior");
        p.launcherProperties = true;
        p.appUserModelId = "Prior.Id";
        Captured said = capture([&] { EXPECT_TRUE(p.applyDirective(c.directive, c.value)); });
        EXPECT_EQ(p.workingDirectory, c.where) << c.directive << " " << c.value;
        EXPECT_EQ(p.workingFolder, c.folder) << c.directive << " " << c.value;
        EXPECT_EQ(p.launcherProperties, c.properties) << c.directive << " " << c.value;
        EXPECT_EQ(p.appUserModelId, c.id) << c.directive << " " << c.value;
        EXPECT_EQ(said.err.empty(), !c.warns) << c.directive << " " << c.value << ": " << said.err;
    }
    EXPECT_EQ(capture([] { LaunchSettings().setWorkingDirectory("strat"); }).err,
              nat("WARNING: SetWorkingDirectory takes launcher, start, or a folder (absolute, or beginning with ./ or "
                  "../ from the launcher's directory), not: strat\n"));
}

// A stamped company names the application's taskbar identity, with the stamped product after
// it: the letters and digits of each, words joined, at most 128 UTF-16 units, never a
// character cut in two; a product alone names none.
TEST(Directives, DefaultTaskbarIdentityOfAStampedExecutable) {
    const std::string a127(127, 'a');
    struct Case {
        std::optional<std::string> company, product;
        std::string id;
    } cases[] = {
        {std::nullopt, std::nullopt, ""},
        {std::nullopt, "Stamped application", ""},
        {"Example Ltd", std::nullopt, "ExampleLtd"},
        {"Example Ltd", "Hello world", "ExampleLtd.HelloWorld"},
        {"Acme, Inc.", "my-app 2.0 (beta)", "AcmeInc.myApp20Beta"},
        {"Caf\xc3\xa9 cr\xc3\xa8me", "\xc3\x9c" "ber", "Caf\xc3\xa9" "Cr\xc3\xa8me.\xc3\x9c" "ber"},
        {" . ", "Product", ""},
        {std::string(200, 'c'), "P", std::string(128, 'c')},
        {a127, "P", a127},
        {a127.substr(1), "\xf0\x9f\x98\x80", a127.substr(1)},
    };
    for (auto& c : cases) {
        EXPECT_EQ(defaultAppUserModelId(c.company, c.product), c.id)
            << c.company.value_or("(none)") << " / " << c.product.value_or("(none)");
        EXPECT_TRUE(c.id.empty() || isAppUserModelId(c.id)) << c.id;
    }
}

// The record keeps the title; the launch hands it to the messages.
TEST(Directives, ProductTitleIsKeptInTheRecord) {
    LaunchSettings parser;
    std::string defaultTitle = productTitle();
    parser.applyDirective("SetProductTitle", "  My  App");
    EXPECT_EQ(parser.productTitle, "  My  App");
    EXPECT_EQ(productTitle(), defaultTitle);
}

TEST(Directives, ClassNamesVmOptionsAndUpdateClassPath) {
    LaunchSettings p;
    for (const char* line : {"SetMainClass a.b.Main", "SetUpdateMainClass u.Installer", "SetJavaVM Client",
                             "AddVMOption -Xmx256m", "AddVMOption -Xmx256m", "AddVMOption -Dapplication.handle.help=TRUE",
                             "AddVMOption -Dapplication.handle.help=true", "AddVMOption -Dno.shell.integration=true"})
        p.parseConfigLine(line, 1);
    EXPECT_EQ(p.mainClass, "a/b/Main");
    EXPECT_EQ(p.updateMainClass, "u/Installer");
    EXPECT_EQ(p.vmName, "Client");
    EXPECT_EQ(p.vmOptions, (std::vector<std::string>{"-Xmx256m", "-Xmx256m", "-Dapplication.handle.help=TRUE"}));
    EXPECT_TRUE(p.appHandlesHelp);

    struct Case {
        std::string value, expected;
    } paths[] = {
        {std::string("lib/u.jar") + platform::kForeignListSeparator + "lib/v.jar",
         std::string("lib/u.jar") + platform::kPathListSeparator + "lib/v.jar"},  // no slash conversion
#ifdef _WIN32
        {"C:\\u.jar:D:\\v.jar", "C:\\u.jar;D:\\v.jar"},  // drive colons are kept
        {"C:/u.jar:lib/v.jar;D:\\w.jar", "C:/u.jar;lib/v.jar;D:\\w.jar"},
#endif
    };
    for (auto& c : paths) {
        p.setUpdateClassPath(c.value);
        EXPECT_EQ(p.updateClassPath, c.expected);
    }
}

TEST(Directives, AddJavaLibPathListsJarsThenZipsOfARealDirectory) {
    TempDir dir;
    dir.write("ext/b.jar");
    dir.write("ext/a.JAR");
    dir.write("ext/c.zip");
    dir.write("ext/readme.txt");
    dir.write("jars/only.jar");
    dir.write("zips/only.zip");
    dir.mkdir("empty");
    testing_support::ScopedCurrentDir cwd(dir.path());
    struct Case {
        std::string start, directory, expected;
    } cases[] = {
        {"x.jar", "ext", natList("x.jar;ext/a.JAR;ext/b.jar;ext/c.zip")},
        {"x.jar", "ext/", natList("x.jar;ext/a.JAR;ext/b.jar;ext/c.zip")},
        {"x.jar", "empty", natList("x.jar;")},
        {"", "jars", natList("jars/only.jar;")},
        {"", "zips", natList("zips/only.zip")},
        {"", "missing", ""},
    };
    for (auto& c : cases) {
        LaunchSettings p;
        p.classPath = c.start;
        p.addJavaLibPath(c.directory);
        EXPECT_EQ(entriesOf(p.classPath), entriesOf(c.expected)) << c.directory;
    }
}

TEST(Directives, EnvironmentDirectivesReadRealVariables) {
    ScopedEnv myHome("LAUNCHER_TEST_MYHOME", std::nullopt);
    ScopedEnv fallback("HLV_USER_HOME", std::string("D:\\u "));
    ScopedEnv set("LAUNCHER_TEST_SET", std::string(" C:\\tmp "));
    ScopedEnv mixed("Launcher_Test_Mixed", std::string("mixed value"));
    ScopedEnv unset("LAUNCHER_TEST_UNSET", std::nullopt);

    LaunchSettings p;
    p.setUserHomeVariable("LAUNCHER_TEST_MYHOME");
    EXPECT_EQ(p.userHome, "D:\\u");  // fallback, trimmed
    p.userHome = "D:\\old";
    p.setUserHomeVariable("LAUNCHER_TEST_MYHOME");
    EXPECT_EQ(p.userHome, "D:\\old");
    p.setUserHomeVariable("LAUNCHER_TEST_SET");
    EXPECT_EQ(p.userHome, "C:\\tmp");

    p.registerEnvVar("LAUNCHER_TEST_SET");
    p.registerEnvVar("LAUNCHER_TEST_UNSET");
    p.registerEnvVar("LAUNCHER_TEST_MIXED");  // found whatever its letter case
    EXPECT_EQ(p.vmOptions, (std::vector<std::string>{"-Denv.launcher_test_set=\" C:\\tmp \"",
                                                      "-Denv.launcher_test_mixed=\"mixed value\""}));
}

// Defaults land once, when the record is complete, and only where nothing was given.
TEST(Record, DefaultsFillOnlyWhatIsMissing) {
    LaunchSettings fresh;
    EXPECT_TRUE(fresh.classPath.empty() && fresh.vmOptions.empty() && fresh.appArgs.empty());
    EXPECT_FALSE(fresh.updateMode || fresh.appHandlesHelp || fresh.multiInstance || fresh.verbose);
    fresh.applyDefaults();
    EXPECT_EQ(fresh.vmName, "hotspot");
    EXPECT_EQ(fresh.mainClass, "ombrix/ideimpl/IdeMain");

    LaunchSettings given;
    given.parseConfigLine("SetJavaVM server", 1);
    given.parseConfigLine("SetMainClass a.Main", 2);
    given.applyDefaults();
    EXPECT_EQ(given.vmName, "server");
    EXPECT_EQ(given.mainClass, "a/Main");
}

// Every directive is found by its name in any letter case, and only by it.
TEST(Record, DirectivesAreFoundByName) {
    ASSERT_EQ(directives().size(), 26u);
    for (const Directive& directive : directives()) {
        EXPECT_EQ(findDirective(directive.name), &directive);
        EXPECT_EQ(findDirective(lowerCaseCopy(directive.name)), &directive);
        EXPECT_EQ(findDirective(std::string(directive.name) + "x"), nullptr);
        EXPECT_EQ(findDirective(std::string(directive.name).substr(1)), nullptr);
    }
    EXPECT_EQ(findDirective(""), nullptr);
    EXPECT_EQ(findDirective(std::string("SetJavaVM\0", 10)), nullptr);
}
