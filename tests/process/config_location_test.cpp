// Which configuration file a launch reads: the one named after the executable, found from the
// name it was started by, or the one -conf names.
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace fs = std::filesystem;

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
            // A name that merely ends in c is taken for a console variant while neither file
            // is there; c.exe leaves no plain executable's name.
            {"basic.exe", "basi.conf"},
            {"c.exe", "c.conf"},
            {"cc.exe", "c.conf"},
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

// A name ending in c reads its own file when that is there and the plain executable's is not;
// with both there, or only the plain one's, the plain one's as before.
struct ConfigChoice {
    const char* executable;
    std::vector<std::string> present;  // configuration files in bin
    const char* read;                  // the one the launch reads
};

TEST(ConsoleVariant, ReadsItsOwnFileOnlyWhenThePlainOneIsMissing) {
    std::vector<ConfigChoice> cases = {
        {"basic", {"basic.conf"}, "basic.conf"},
        {"basic", {"basic.conf", "basi.conf"}, isWindows() ? "basi.conf" : "basic.conf"},
        {"appc", {"app.conf"}, isWindows() ? "app.conf" : nullptr},
        {"appc", {"appc.conf"}, "appc.conf"},
        {"appc", {"app.conf", "appc.conf"}, isWindows() ? "app.conf" : "appc.conf"},
        {"c", {"c.conf"}, "c.conf"},
        {"cc", {"c.conf", "cc.conf"}, isWindows() ? "c.conf" : "cc.conf"},
        {"cc", {"cc.conf"}, "cc.conf"},
        {"ABC", {"ABC.conf"}, "ABC.conf"},
        {"ABC", {"AB.conf"}, isWindows() ? "AB.conf" : nullptr},
    };
    for (const ConfigChoice& c : cases) {
        std::string executable = c.executable + (isWindows() ? std::string(".EXE") : std::string());
        if (isWindows() && std::string(c.executable) != "ABC") executable = c.executable + exeSuffix();
        SCOPED_TRACE(executable + " beside " + c.present[0] + (c.present.size() > 1 ? " and " + c.present[1] : ""));
        Installation inst;
        inst.addExecutable(executable);
        inst.addRuntime();
        for (const std::string& file : c.present)
            inst.write("bin/" + file, "SetMainClass " + file.substr(0, file.size() - 5) + "_conf.Main\n");
        RunOptions o;
        o.program = executable;
        Result r = inst.run({"-nomsgbox"}, o);
        if (!c.read) {  // POSIX: the executable's own name, which is not there
            EXPECT_RUN(r, missingConfigReport(inst.seen("bin/" + std::string(c.executable) + ".conf")), "", 7);
            continue;
        }
        std::string read = c.read;
        LaunchOptions parts;
        parts.configPath = inst.seen("bin/" + read);
        EXPECT_RUN(r, "", "", 0);
        EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), read.substr(0, read.size() - 5) + "_conf/Main", {}));
    }
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
                      // Its value is the file's name whatever it reads: "-verbose" is no option there.
                      ConfOption{"OptionAsItsValue", {"-conf", "-verbose"}, "{root}/bin/-verbose"},
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

// ---- Started through a symbolic link (POSIX) -------------------------------------------------

// bin/app is a link to the executable opt/bin/app. The configuration beside the link is read
// when there is one, else the one beside the executable; the default Java home is taken from
// the executable's directory either way. By full path, relative path or PATH alike.
class StartedThroughALink : public ::testing::TestWithParam<std::tuple<StartAs, bool>> {
protected:
    void SetUp() override {
        if (isWindows()) GTEST_SKIP() << "symbolic links are followed on the POSIX builds";
        inst.mkdir("opt/bin");
        fs::rename(inst.path("bin/app"), inst.path("opt/bin/app"));
        fs::create_symlink(inst.path("opt/bin/app"), inst.path("bin/app"));
        inst.addRuntime("opt/jre");
    }
    Installation inst;
};

TEST_P(StartedThroughALink, ReadsTheConfigurationBesideTheLinkElseBesideTheExecutable) {
    const auto [startAs, besideLink] = GetParam();
    const std::string executableDirectory = fs::canonical(inst.path("opt/bin")).string();
    inst.write("opt/bin/app.conf", "SetMainClass executable.Main\n");
    if (besideLink) inst.writeConfig("SetMainClass link.Main\n");
    RunOptions o;
    o.startAs = startAs;
    EXPECT_RUN(inst.run({"-nomsgbox", "x"}, o), "", "", 0);
    LaunchOptions parts;
    parts.configPath = besideLink ? inst.seen("bin/app.conf") : executableDirectory + "/app.conf";
    if (startAs == StartAs::BareName) parts.pathVariable = inst.seen("bin") + listSeparator() + launcherPathVariable();
    EXPECT_EQ(inst.record(),
              startedRecord(expectedOptions(inst, parts), besideLink ? "link/Main" : "executable/Main", {"x"}));
}

std::string linkCaseName(const ::testing::TestParamInfo<std::tuple<StartAs, bool>>& info) {
    const char* names[] = {"FullPath", "RelativePath", "BareName"};
    return std::string(names[static_cast<int>(std::get<0>(info.param))]) +
           (std::get<1>(info.param) ? "ConfigurationBesideTheLink" : "NoneBesideTheLink");
}

INSTANTIATE_TEST_SUITE_P(Launch, StartedThroughALink,
                         ::testing::Combine(::testing::Values(StartAs::FullPath, StartAs::RelativePath,
                                                              StartAs::BareName),
                                            ::testing::Bool()),
                         linkCaseName);

// ---- Linux without /proc: the executable found by its program name ----------------------------

/// True when the launcher is built with AddressSanitizer (linked in or imported), whose run
/// time reads its memory map from /proc and does not work without it.
bool launcherIsSanitized() {
    std::ifstream in(target().launcherExe, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.find("__asan_init") != std::string::npos;
}

struct NoProc {
    const char* name;
    const char* argv0;  // the program name it is started by; {root} is the root
    bool found;         // whether that name designates the executable
};

// Started in elsewhere/deeper, where ../jre is no runtime and nowhere.conf is a configuration:
// neither may stand in for the executable's own.
class WithoutProc : public ::testing::TestWithParam<NoProc> {
protected:
    void SetUp() override {
        if (isWindows()) GTEST_SKIP() << "Windows always names the executable";
        if (!target().runner.empty()) GTEST_SKIP() << "the runner needs /proc";
        if (launcherIsSanitized()) GTEST_SKIP() << "the sanitizers need /proc";
        if (runProcess("/usr/bin/unshare", {"unshare", "-m", "true"}, {}, "/", 30).exitCode != 0)
            GTEST_SKIP() << "no private mount namespace here (unshare -m needs root)";
        inst.addRuntime();
        inst.writeConfig("SetMainClass test.Main\n");
        inst.write("elsewhere/deeper/nowhere.conf", "SetJavaHome ../../jre\nSetMainClass wrong.Main\n");
    }
    Installation inst;
};

TEST_P(WithoutProc, TheProgramNameLeadsToTheExecutable) {
    const std::string path = inst.seen("bin") + ":" + launcherPathVariable();
    std::string argv0 = withRoot(GetParam().argv0, inst);
    // A private mount namespace in which /proc is an empty file system; bash's exec -a gives
    // the launcher the program name.
    const std::string script =
        "mount -t tmpfs none /proc || exit 99; name=$1; shift; exec -a \"$name\" \"$@\"";
    Result r = runProcess("/usr/bin/unshare",
                          {"unshare", "-m", "/bin/bash", "-c", script, "bash", argv0, inst.path("bin/app"),
                           "-nomsgbox", "x"},
                          {"PATH=" + path, "LANG=C.UTF-8", "FAKEJVM_RECORD=" + inst.recordFile()},
                          inst.path("elsewhere/deeper"), 60);
    if (!GetParam().found) {
        EXPECT_RUN(r, errorReport("Unable to find the launcher's own directory.\nStarted as: " + argv0), "", 12);
        EXPECT_EQ(inst.record(), "");
        return;
    }
    EXPECT_RUN(r, "", "", 0);
    LaunchOptions parts;
    parts.pathVariable = path;
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {"x"}));
}

INSTANTIATE_TEST_SUITE_P(Launch, WithoutProc,
                         ::testing::Values(NoProc{"FullPath", "{root}/bin/app", true},
                                           NoProc{"RelativePath", "../../bin/app", true},
                                           NoProc{"BareNameThroughPath", "app", true},
                                           NoProc{"BareNameNotOnPath", "nowhere", false},
                                           NoProc{"RelativePathToNothing", "gone/app", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace process_tests
