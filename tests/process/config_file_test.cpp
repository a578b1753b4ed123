// How the configuration file is read: line endings, comments, invalid lines and unknown
// directives with their physical line numbers, long lines and literal values.
#include <string>

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

// ---- Line endings ------------------------------------------------------------------------------

struct Layout {
    const char* name;
    const char* lineEnd;
    bool finalLineEnd;
};

class LineLayout : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override { inst.addRuntime(); }
    Installation inst;
};

// Comments and blank lines count: each message names the line's place in the file.
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
        "SETMAINCLASS file.Main",
    };
    std::string content;
    for (std::size_t i = 0; i < lines.size(); ++i)
        content += lines[i] + (i + 1 < lines.size() || GetParam().finalLineEnd ? GetParam().lineEnd : "");
    inst.writeConfig(content);

    Result r = inst.run({"-nomsgbox"});
    EXPECT_RUN(r, "[line #4][SetMainClass] is invalid!\n[line #5][setjavahome=/opt/jdk] is invalid!\n",
               "WARNING: Unknown directive: frobnicate\n", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Da=1 # not a comment"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "file/Main", {}));
}

INSTANTIATE_TEST_SUITE_P(ConfigFile, LineLayout,
                         ::testing::Values(Layout{"LineFeeds", "\n", true},
                                           Layout{"CarriageReturnLineFeeds", "\r\n", true},
                                           Layout{"LineFeedsLastLineUnended", "\n", false},
                                           Layout{"CarriageReturnLineFeedsLastLineUnended", "\r\n", false}),
                         [](const auto& info) { return std::string(info.param.name); });

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
