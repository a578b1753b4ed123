// How the configuration file is read: encodings, line endings, comments, invalid lines and
// unknown directives with their physical line numbers, long lines and literal values.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

class ConfigFile : public ::testing::Test {
protected:
    void SetUp() override { inst.addRuntime(); }

    Result launch(const std::vector<std::string>& args = {}) {
        std::vector<std::string> all{"-nomsgbox"};
        all.insert(all.end(), args.begin(), args.end());
        return inst.run(all);
    }

    Installation inst;
};

// ---- Encodings ---------------------------------------------------------------------------------

/// The code points of UTF-8 text (written correctly by the tests themselves).
std::vector<char32_t> codePoints(const std::string& utf8) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        points.push_back(c);
        i += length;
    }
    return points;
}

std::string utf16(const std::string& utf8, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    auto unit = [&](char32_t u) {
        char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
    };
    for (char32_t c : codePoints(utf8)) {
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string utf16le(const std::string& utf8) { return utf16(utf8, false); }
std::string utf16be(const std::string& utf8) { return utf16(utf8, true); }
std::string utf8Marked(const std::string& utf8) { return "\xEF\xBB\xBF" + utf8; }
std::string asWritten(const std::string& utf8) { return utf8; }
/// The Windows builds' code page under wine (1252, where Latin-1 letters are their own code
/// points); the POSIX build's "code page" is UTF-8.
std::string inCodePage(const std::string& utf8) {
    if (!isWindows()) return utf8;
    std::string out;
    for (char32_t c : codePoints(utf8)) out += static_cast<char>(c);
    return out;
}

// ---- Line endings ------------------------------------------------------------------------------

struct Layout {
    const char* name;
    const char* lineEnd;
    bool finalLineEnd;
    std::string (*encode)(const std::string& utf8) = asWritten;
};

class LineLayout : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override { inst.addRuntime(); }
    Installation inst;
};

// Comments and blank lines count: each message names the line's place in the file, whatever
// the file's encoding. Ctrl-Z is a byte like any other.
TEST_P(LineLayout, ReportsInvalidLinesAndUnknownDirectivesAndAppliesTheRest) {
    const std::vector<std::string> lines{
        "# comments, an empty line and a line of blanks come first",
        "",
        "  \t  ",
        "SetMainClass",
        "setjavahome=/opt/jdk",
        "Frobnicate 1",
        "\tAddVMOption\t-Da=1 # not a comment   ",
        "   # an indented comment",
        "AddVMOption -Dctrl.z=\x1a|\x1a",
        "SETMAINCLASS file.Main",
    };
    std::string content;
    for (std::size_t i = 0; i < lines.size(); ++i)
        content += lines[i] + (i + 1 < lines.size() || GetParam().finalLineEnd ? GetParam().lineEnd : "");
    inst.writeConfig(GetParam().encode(content));

    Result r = inst.run({"-nomsgbox"});
    EXPECT_RUN(r, "[line #4][SetMainClass] is invalid!\n[line #5][setjavahome=/opt/jdk] is invalid!\n",
               "WARNING: Unknown directive: frobnicate\n", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Da=1 # not a comment", "-Dctrl.z=\x1a|\x1a"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "file/Main", {}));
}

INSTANTIATE_TEST_SUITE_P(ConfigFile, LineLayout,
                         ::testing::Values(Layout{"LineFeeds", "\n", true},
                                           Layout{"CarriageReturnLineFeeds", "\r\n", true},
                                           Layout{"LineFeedsLastLineUnended", "\n", false},
                                           Layout{"CarriageReturnLineFeedsLastLineUnended", "\r\n", false},
                                           Layout{"Utf8MarkLineFeeds", "\n", true, utf8Marked},
                                           Layout{"Utf16LeCarriageReturnLineFeeds", "\r\n", true, utf16le},
                                           Layout{"Utf16LeLineFeedsLastLineUnended", "\n", false, utf16le},
                                           Layout{"Utf16BeCarriageReturnLineFeeds", "\r\n", true, utf16be},
                                           Layout{"Utf16BeLineFeedsLastLineUnended", "\n", false, utf16be}),
                         [](const auto& info) { return std::string(info.param.name); });

// Text beyond ASCII gives the same settings in the code page, in UTF-8 with or without a mark
// and in UTF-16 of either byte order. On the POSIX build that is the UTF-8 text itself; the
// Windows builds hand the VM their own representation of it, the same for every encoding.
TEST_F(ConfigFile, EveryEncodingGivesTheSameSettings) {
    const std::string text = "AddVMOption -Dtext=Gr\xC3\xBC\xC3\x9F" "e caf\xC3\xA9 \xC2\xB5\r\n"
                             "SetMainClass caf\xC3\xA9.M\xC3\xA4in\r\n";
    struct Encoding {
        const char* name;
        std::string (*encode)(const std::string& utf8);
    } encodings[] = {{"code page", inCodePage}, {"UTF-8", asWritten},     {"UTF-8 with mark", utf8Marked},
                     {"UTF-16LE", utf16le},      {"UTF-16BE", utf16be}};
    std::string first;
    for (const Encoding& encoding : encodings) {
        SCOPED_TRACE(encoding.name);
        std::remove(inst.recordFile().c_str());
        inst.writeConfig(encoding.encode(text));
        EXPECT_RUN(launch(), "", "", 0);
        if (first.empty()) first = inst.record();
        EXPECT_EQ(inst.record(), first);
    }
    if (isWindows()) return;
    LaunchOptions parts;
    parts.fromFile = {"-Dtext=Gr\xC3\xBC\xC3\x9F" "e caf\xC3\xA9 \xC2\xB5"};
    EXPECT_EQ(first, startedRecord(expectedOptions(inst, parts), "caf\xC3\xA9/M\xC3\xA4in", {}));
}

// UTF-32, with or without its mark, and UTF-16 without one are no text the launcher reads: it
// says so once, naming the file, and reads nothing of it (not single letters for settings).
TEST_F(ConfigFile, WideTextWithoutAMarkIsWarnedAboutAndNotRead) {
    const std::string text = "AddVMOption -Dx=1\r\nSetMainClass a.B\r\n";
    auto utf32 = [&](bool bigEndian, bool marked) {
        std::string out = marked ? (bigEndian ? std::string("\0\0\xFE\xFF", 4) : std::string("\xFF\xFE\0\0", 4)) : "";
        for (char c : text) out += bigEndian ? std::string(3, '\0') + c : c + std::string(3, '\0');
        return out;
    };
    struct Encoding {
        const char* name;
        std::string bytes;
    } encodings[] = {{"UTF-16LE", utf16le(text).substr(2)}, {"UTF-16BE", utf16be(text).substr(2)},
                     {"UTF-32LE", utf32(false, false)},      {"UTF-32BE", utf32(true, false)},
                     {"UTF-32LE marked", utf32(false, true)}, {"UTF-32BE marked", utf32(true, true)}};
    for (const Encoding& encoding : encodings) {
        SCOPED_TRACE(encoding.name);
        std::remove(inst.recordFile().c_str());
        inst.writeConfig(encoding.bytes);
        EXPECT_RUN(launch({"-mainclass", "c.D"}), "",
                   "WARNING: " + inst.seen("bin/app.conf") +
                       " is in UTF-32, or in UTF-16 without a byte-order mark, and is not read: save it as UTF-8.\n",
                   0);
        EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "c/D", {}));
    }
}

// A configuration that a pipe delivers, as the shell's -conf <(generate) gives it, is read to
// its end.
TEST_F(ConfigFile, ConfigurationFromAPipe) {
    if (isWindows()) GTEST_SKIP() << "a POSIX shell's process substitution";
    inst.write("bin/piped", "#!/bin/bash\n"
                            "exec 3< <(printf 'AddVMOption -Dfrom=pipe\\nSetMainClass pipe.Main\\n')\n"
                            "exec \"$(dirname \"$0\")/app\" \"$@\" -conf /dev/fd/3\n");
    ASSERT_EQ(::chmod(inst.path("bin/piped").c_str(), 0755), 0);
    RunOptions o;
    o.program = "piped";
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Dfrom=pipe"};
    parts.configPath = "/dev/fd/3";
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "pipe/Main", {}));
}

// A FIFO at the configuration's name that nothing writes to holds no start up: it reads as an
// empty configuration.
TEST_F(ConfigFile, AFifoWithoutAWriterReadsAsEmpty) {
    if (isWindows()) GTEST_SKIP() << "POSIX FIFOs";
    inst.write("bin/app.conf", "");
    Result empty = launch({});
    std::filesystem::remove(inst.path("bin/app.conf"));
    ASSERT_EQ(::mkfifo(inst.path("bin/app.conf").c_str(), 0600), 0);
    EXPECT_RUN(launch({}), empty.out, empty.err, empty.exitCode);
}

// ---- Long lines --------------------------------------------------------------------------------

// Lines around the reader's growth steps (512, 1024, 2048 bytes) are read whole, and reading
// goes on after them.
TEST_F(ConfigFile, LongLinesAreReadWhole) {
    std::string content;
    LaunchOptions parts;
    for (std::size_t length : {510u, 511u, 512u, 513u, 1023u, 1024u, 2000u, 4100u}) {
        std::string option = "-Dlen" + std::to_string(length) + "=";
        std::string line = "AddVMOption " + option;
        option += std::string(length - line.size(), 'x');
        line += std::string(length - line.size(), 'x');
        ASSERT_EQ(line.size(), length);
        content += line + "\n";
        parts.fromFile.push_back(option);
    }
    content += "AddVMOption -Dafter=1\nSetMainClass last.Line";  // no final line feed
    parts.fromFile.push_back("-Dafter=1");
    inst.writeConfig(content);

    EXPECT_RUN(launch(), "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "last/Line", {}));
}

TEST_F(ConfigFile, LineIsCutAtANulByte) {
    inst.writeConfig(std::string("AddVMOption -Dnul=ab") + '\0' + "cd\nSetMainClass a.B\n");
    EXPECT_RUN(launch(), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Dnul=ab"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "a/B", {}));
}

// ---- Values ----------------------------------------------------------------------------------------

TEST_F(ConfigFile, ValuesAreTakenLiterally) {
    inst.writeConfig(
        "AddVMOption -Dq=\"quoted\" $HOME %PATH% \\n\n"
        "AddVMOption   -Dname=a b  \n"
        "SetMainClass a.b.Main\n");
    EXPECT_RUN(launch(), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Dq=\"quoted\" $HOME %PATH% \\n", "-Dname=a b"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "a/b/Main", {}));
}

TEST_F(ConfigFile, EmptyFileStartsTheDefaultMainClass) {
    inst.writeConfig("");
    EXPECT_RUN(launch(), "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "ombrix/ideimpl/IdeMain", {}));
}

// Options keep their order and their duplicates; the two flags the launcher knows are taken
// out, other spellings of them are ordinary options.
TEST_F(ConfigFile, OptionsKeepOrderAndDuplicates) {
    inst.writeConfig(
        "AddVMOption -Xmx256m\n"
        "AddVMOption -Dno.shell.integration=true\n"
        "AddVMOption -Dapplication.handle.help=TRUE\n"
        "AddVMOption -Xmx256m\n"
        "SetMainClass m.Main\n");
    EXPECT_RUN(launch(), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Xmx256m", "-Dapplication.handle.help=TRUE", "-Xmx256m"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "m/Main", {}));
}

// The class path and the native code path: file entries in order, the runtime's jars, then
// the command line's; slashes turned into the system's separator.
TEST_F(ConfigFile, PathDirectivesComposeTheClassAndLibraryPaths) {
    inst.write("bin/ext/a.jar", "");
    inst.write("bin/ext/B.ZIP", "");
    inst.write("bin/ext/readme.txt", "");
    inst.writeConfig(
        "AddJavaLibFile lib/first.jar\n"
        "AddJavaLibPath ext\n"
        "AddNativeCodePath ../native\n"
        "AddNativeCodePath native2\n"
        "AddJavaLibPath empty-dir\n"
        "SetMainClass p.Main\n");
    inst.mkdir("bin/empty-dir");
    EXPECT_RUN(launch({"--addjavalibfile=late/last.jar"}), "", "", 0);
    LaunchOptions parts;
    parts.libraryEntries = {native("../native"), "native2"};
    // An empty listing leaves the separator that preceded it, and nothing doubles it.
    parts.classPath = {native("lib/first.jar"), native("ext/a.jar"), native("ext/B.ZIP"),
                       runtimeClassPath(defaultJavaHome())[0], runtimeClassPath(defaultJavaHome())[1],
                       native("late/last.jar")};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "p/Main", {}));
}

TEST_F(ConfigFile, RegisteredVariablesBecomeQuotedProperties) {
    inst.writeConfig(
        "RegisterEnvVar MyVar\n"
        "RegisterEnvVar LAUNCHER_UNSET_VARIABLE\n"
        "RegisterEnvVar EMPTY_VAR\n"
        "SetMainClass e.Main\n");
    RunOptions o;
    o.env = {{"MYVAR", std::string(" spaced value ")}, {"EMPTY_VAR", std::string()}};
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Denv.myvar=\" spaced value \""};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "e/Main", {}));
}

// Where names keep their case (Linux), the name as written wins over those that differ from it
// in case only; without it, such a one is taken.
TEST_F(ConfigFile, RegisteredVariableIsLookedUpByItsExactNameFirst) {
    if (isWindows()) GTEST_SKIP() << "Windows variable names ignore case: there is only one";
    inst.writeConfig("RegisterEnvVar MyVar\nRegisterEnvVar Other_Var\nSetMainClass e.Main\n");
    RunOptions o;
    o.env = {{"MYVAR", std::string("upper")},
             {"MyVar", std::string("exact")},
             {"myvar", std::string("lower")},
             {"OTHER_VAR", std::string("only")}};
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Denv.myvar=\"exact\"", "-Denv.other_var=\"only\""};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "e/Main", {}));
}

// The installation root's bin directory joins the library path after the file's entries.
TEST_F(ConfigFile, InstallationRootBinDirectoryIsInTheLibraryPath) {
    inst.writeConfig("AddNativeCodePath ../native\nSetMainClass o.Main\n");
    RunOptions o;
    o.env = {{"OMBRIX_HOME", inst.seen("ombrix") + dirSeparator()}};
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", "", 0);
    LaunchOptions parts;
    parts.libraryEntries = {native("../native"), inst.seen("ombrix/bin")};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "o/Main", {}));
}

}  // namespace
}  // namespace process_tests
