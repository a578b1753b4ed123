// Which configuration file a launch reads: the one named after the executable, found from the
// name it was started by, or the one -conf names.
#include <cctype>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

std::string missingConfigReport(const std::string& configPath) {
    return "Could not load config file: " + configPath + "\n" +
           errorReport("Unable to open the following configuration file:\n[" + configPath + "]");
}

/// `text` with {root} replaced by the installation's root, as the launcher sees it.
std::string withRoot(const std::string& text, const Installation& inst) {
    const std::string marker = "{root}";
    auto at = text.find(marker);
    if (at == std::string::npos) return text;
    return seenPath(text.substr(0, at) + inst.root() + text.substr(at + marker.size()));
}

// ---- Started by full path, relative path or bare name --------------------------------------

struct Start {
    const char* name;
    StartAs startAs;
    const char* workingDir;  // below the installation's root
    // The file as the launcher names it, below the root: the name as typed, when it names the
    // executable from the executable's directory too, else the bare name there.
    const char* config;
};

class StartedAs : public ::testing::TestWithParam<Start> {
protected:
    RunOptions options() const {
        RunOptions o;
        o.startAs = GetParam().startAs;
        o.workingDir = inst.path(GetParam().workingDir);
        return o;
    }
    Installation inst;
};

TEST_P(StartedAs, MissingConfigurationFileEndsWithItsAbsolutePath) {
    inst.mkdir("elsewhere");
    Result r = inst.run({"-nomsgbox"}, options());
    EXPECT_RUN(r, missingConfigReport(inst.seen(GetParam().config)), "", 7);
}

TEST_P(StartedAs, ReadsTheConfigurationBesideTheExecutable) {
    inst.mkdir("elsewhere");
    inst.addRuntime();
    inst.writeConfig("SetMainClass found.Main\n");
    Result r = inst.run({"-nomsgbox", "x"}, options());
    EXPECT_RUN(r, "", "", 0);
    LaunchOptions parts;
    parts.configPath = inst.seen(GetParam().config);
    // Found through PATH: the executable's directory is part of the PATH the VM is given.
    if (GetParam().startAs == StartAs::BareName)
        parts.pathVariable = inst.seen("bin") + listSeparator() + launcherPathVariable();
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "found/Main", {"x"}));
}

INSTANTIATE_TEST_SUITE_P(Launch, StartedAs,
                         ::testing::Values(Start{"FullPathFromElsewhere", StartAs::FullPath, "elsewhere", "bin/app.conf"},
                                           Start{"RelativePathFromRoot", StartAs::RelativePath, "", "bin/app.conf"},
                                           Start{"RelativePathFromElsewhere", StartAs::RelativePath, "elsewhere",
                                                 "bin/../bin/app.conf"},
                                           Start{"BareNameThroughPath", StartAs::BareName, "elsewhere", "bin/app.conf"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The executable's name gives the file's name ---------------------------------------------

struct Naming {
    const char* executable;  // file name in bin
    const char* config;      // the configuration file it reads, in bin
};

class ExecutableName : public ::testing::TestWithParam<Naming> {};

TEST_P(ExecutableName, NamesTheConfigurationFile) {
    Installation inst;
    inst.addExecutable(GetParam().executable);
    RunOptions o;
    o.program = GetParam().executable;
    Result r = inst.run({"-nomsgbox"}, o);
    EXPECT_RUN(r, missingConfigReport(inst.seen(std::string("bin/") + GetParam().config)), "", 7);
}

std::vector<Naming> namings() {
    if (isWindows())
        return {
            {"tool.exe", "tool.conf"},
            // The console variant shares the plain executable's file.
            {"appc.exe", "app.conf"},
            {"APPC.EXE", "APP.conf"},
            // ".exe" in any letter case is the suffix, as Windows file names ignore case.
            {"APP.EXE", "APP.conf"},
            {"App.Exe", "App.conf"},
            // A name that merely ends in c is taken for a console variant.
            {"basic.exe", "basi.conf"},
        };
    return {
        {"tool", "tool.conf"},
        {"APP", "APP.conf"},
        // POSIX has no console variant: appc is a program of its own.
        {"appc", "appc.conf"},
        {"basic", "basic.conf"},
    };
}

INSTANTIATE_TEST_SUITE_P(Launch, ExecutableName, ::testing::ValuesIn(namings()), [](const auto& info) {
    std::string name;
    for (char c : std::string(info.param.executable)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

TEST(ConsoleVariant, ReadsThePlainExecutablesFile) {
    if (!isWindows()) GTEST_SKIP() << "POSIX builds have no console variant";
    Installation inst;
    inst.addExecutable("appc.exe");
    inst.addRuntime();
    inst.writeConfig("SetMainClass shared.Main\n");
    RunOptions o;
    o.program = "appc.exe";
    Result r = inst.run({"-nomsgbox"}, o);
    EXPECT_RUN(r, "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "shared/Main", {}));
}

// ---- -conf and -configure --------------------------------------------------------------------

struct ConfOption {
    const char* name;
    std::vector<std::string> args;
    const char* config;  // the file looked for, below the root; {root} is the root as seen
};

class ConfArgument : public ::testing::TestWithParam<ConfOption> {};

// Started from another directory: a relative value still lies under the executable's.
TEST_P(ConfArgument, ChoosesTheFile) {
    Installation inst;
    inst.mkdir("elsewhere");
    std::vector<std::string> args{"-nomsgbox"};
    for (const auto& argument : GetParam().args) args.push_back(withRoot(argument, inst));
    RunOptions o;
    o.workingDir = inst.path("elsewhere");
    Result r = inst.run(args, o);
    EXPECT_RUN(r, missingConfigReport(withRoot(GetParam().config, inst)), "", 7);
}

INSTANTIATE_TEST_SUITE_P(
    Launch, ConfArgument,
    ::testing::Values(ConfOption{"Relative", {"-conf", "my.conf"}, "{root}/bin/my.conf"},
                      ConfOption{"Configure", {"-configure", "my.conf"}, "{root}/bin/my.conf"},
                      ConfOption{"InSubdirectory", {"-conf", "settings/my.conf"}, "{root}/bin/settings/my.conf"},
                      ConfOption{"LastWins", {"-conf", "a.conf", "x", "-conf", "b.conf"}, "{root}/bin/b.conf"},
                      ConfOption{"Absolute", {"-conf", "{root}/etc/abs.conf"}, "{root}/etc/abs.conf"},
                      ConfOption{"LastArgumentIsIgnored", {"-conf"}, "{root}/bin/app.conf"},
                      ConfOption{"CaseSensitive", {"-CONF", "my.conf"}, "{root}/bin/app.conf"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfFile, IsReadAndItsPathPassedOnUnnormalised) {
    Installation inst;
    inst.addRuntime();
    inst.write("etc/other.conf", "SetMainClass other.Main\n");
    Result r = inst.run({"-nomsgbox", "-conf", "../etc/other.conf", "x"});
    EXPECT_RUN(r, "", "", 0);
    LaunchOptions parts;
    parts.configPath = inst.seen("bin") + native("/../etc/other.conf");
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "other/Main", {"x"}));
}

// The POSIX builds have no message box: every report goes to the console, -nomsgbox or not.
TEST(MessageBox, NoneOnPosix) {
    if (isWindows()) GTEST_SKIP() << "the Windows builds show a message box";
    Installation inst;
    EXPECT_RUN(inst.run({}), missingConfigReport(inst.seen("bin/app.conf")), "", 7);
}

// ---- -nomsgbox anywhere in an argument ---------------------------------------------------------

struct NoMessageBox {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> appArgs;
};

class NoMessageBoxArgument : public ::testing::TestWithParam<NoMessageBox> {};

TEST_P(NoMessageBoxArgument, SwitchesToTheConsole) {
    Installation inst;
    Result r = inst.run(GetParam().args);
    EXPECT_RUN(r, missingConfigReport(inst.seen("bin/app.conf")), "", 7);
}

TEST_P(NoMessageBoxArgument, ReachesNeitherTheApplicationNorTheOptions) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    Result r = inst.run(GetParam().args);
    EXPECT_RUN(r, "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", GetParam().appArgs));
}

INSTANTIATE_TEST_SUITE_P(
    Launch, NoMessageBoxArgument,
    ::testing::Values(NoMessageBox{"Plain", {"-nomsgbox"}, {}},
                      NoMessageBox{"DoubleDash", {"a", "--nomsgbox"}, {"a"}},
                      NoMessageBox{"InsideAWord", {"a", "x-nomsgboxy", "b"}, {"a", "b"}},
                      NoMessageBox{"InAVmOption", {"-J-nomsgbox", "a"}, {"a"}},
                      NoMessageBox{"InADirectiveOverride", {"--addvmoption=-nomsgbox", "a"}, {"a"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace process_tests
