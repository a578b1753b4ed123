// The launcher's own options on the command line, the "--<directive>=<value>" overrides and
// what reaches the application.
#include <cctype>
#include <string>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

const std::string kTavmWarning =
    "Warning: The Ombrix Java Virtual Machine Client is not installed.\nProfiling and Optivane will not be "
    "available,\nand Debugging performance will be slower\nthan with TAVM Client.\n";
const std::string kDebugBanner = "\n*** Port is 4000 ***\n*** Waiting for JPDA debugger connection\n";
const std::vector<std::string> kJpdaOptions{"-Xdebug", "-Xrunjdwp:transport=dt_socket,server=y,address=4000"};

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { inst.addRuntime(); }

    void configure(const std::string& extra = "") { inst.writeConfig("SetMainClass test.Main\n" + extra); }

    Result launch(const std::vector<std::string>& args, RunOptions o = {}) {
        std::vector<std::string> all{"-nomsgbox"};
        all.insert(all.end(), args.begin(), args.end());
        return inst.run(all, o);
    }

    std::string started(const LaunchOptions& parts, const std::vector<std::string>& args,
                        const std::string& mainClass = "test/Main") {
        return startedRecord(expectedOptions(inst, parts), mainClass, args);
    }

    Installation inst;
};

// ---- Help ----------------------------------------------------------------------------------------

class HelpOption : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        inst.addRuntime();
        inst.writeConfig("SetMainClass test.Main\n");
    }
    Installation inst;
};

TEST_P(HelpOption, PrintsTheUsageAndEnds) {
    EXPECT_RUN(inst.run({"-nomsgbox", "app-argument", GetParam(), "-J-Dnever=1"}), usageText(), "", 0);
    EXPECT_EQ(inst.record(), "");
}

TEST_P(HelpOption, ReachesAnApplicationThatHandlesHelpAsDashHelp) {
    inst.writeConfig("AddVMOption -Dapplication.handle.help=true\nSetMainClass test.Main\n");
    EXPECT_RUN(inst.run({"-nomsgbox", GetParam(), "-verbose"}), "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {"-help", "-verbose"}));
}

INSTANTIATE_TEST_SUITE_P(CommandLine, HelpOption, ::testing::Values("-help", "-?", "/help", "/?"),
                         [](const auto& info) {
                             std::string name;
                             for (const char* p = info.param; *p; ++p)
                                 name += *p == '-' ? "Dash" : *p == '/' ? "Slash" : *p == '?' ? "Question" : std::string(1, *p);
                             return name;
                         });

// A user without Java can read the help: the usage comes before any runtime is looked for,
// whether the configuration asks for a search or names a home that holds none.
TEST(HelpWithoutJava, PrintsTheUsageWithoutAskingForJava) {
    for (const char* config : {"", "SetJavaVersion 90\n"}) {
        Installation inst;
        inst.writeConfig(std::string("SetMainClass test.Main\n") + config);
        EXPECT_RUN(inst.run({"-nomsgbox", "-help"}), usageText(), "", 0);
    }
}

// The first command a new user types: -help where no configuration file is, beside the
// executable or named by -conf, prints the usage, says which file it looked for, and ends
// with 0; without -help the start still ends with message 7.
TEST(HelpWithoutConfiguration, PrintsTheUsageAndTheFileItLookedFor) {
    Installation inst;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-nomsgbox", "-help"}, {"-nomsgbox", "-conf", "other.conf", "/?"}}) {
        std::string file = inst.seen(args.size() == 2 ? "bin/app.conf" : "bin/other.conf");
        EXPECT_RUN(inst.run(args), usageText() + "No configuration file was found at " + file + "\n", "", 0);
    }
    EXPECT_EQ(inst.run({"-nomsgbox"}).exitCode, 7);
}

TEST_F(CommandLine, VmOptionOnTheCommandLineCanHandHelpToTheApplication) {
    configure();
    EXPECT_RUN(launch({"-?", "-J-Dapplication.handle.help=true", "-?"}), usageText(), "", 0);
    EXPECT_RUN(launch({"-J-Dapplication.handle.help=true", "-?"}), "", "", 0);
    EXPECT_EQ(inst.record(), started({}, {"-help"}));
}

struct Tool {
    std::string executable;
    std::string title;
};

class ToolTitle : public ::testing::TestWithParam<Tool> {};

TEST_P(ToolTitle, HeadsTheUsage) {
    Installation inst;
    inst.addExecutable(GetParam().executable);
    inst.addRuntime();
    std::string name = GetParam().executable.substr(0, GetParam().executable.size() - exeSuffix().size());
    inst.write("bin/" + name + ".conf", "SetMainClass tool.Main\n");
    RunOptions o;
    o.program = GetParam().executable;
    // A stamped ProductName is the application's own name, whatever the executable is called.
    std::string title = stampedTitle().empty() ? GetParam().title : stampedTitle();
    EXPECT_RUN(inst.run({"-nomsgbox", "-help"}, o), usageText(title), "", 0);
}

std::vector<Tool> tools() {
    std::vector<Tool> list{{"dbwork", "Ombrix Tabulon R7"},
                           {"zeaudit", "Ombrix Halverant Audit R7"},
                           {"zemetrics", "Ombrix Halverant Metrics R7"},
                           {"ZEAUDIT", "Ombrix Halverant Audit R7"},
                           {"zeaudit2", "Ombrix Halverant R7"},
                           {"app", "Ombrix Halverant R7"}};
    if (!isWindows()) return list;
    for (auto& tool : list) tool.executable += ".exe";
    list.push_back({"ZEMETRICS.EXE", "Ombrix Halverant Metrics R7"});
    return list;
}

INSTANTIATE_TEST_SUITE_P(CommandLine, ToolTitle, ::testing::ValuesIn(tools()), [](const auto& info) {
    std::string name;
    for (char c : info.param.executable) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

// The application's own title, from the file (blanks inside kept) or from the command line,
// which wins whatever its place among the arguments; it wins over a tool's title and a stamp.
TEST(ProductTitle, TheDirectiveHeadsTheUsage) {
    struct Case {
        const char* executable;
        std::string config;
        std::vector<std::string> args;
        std::string title;
    } cases[] = {
        {"app", "SetProductTitle   Hello  World App  \n", {"-help"}, "Hello  World App"},
        {"zeaudit", "SetProductTitle Hello\n", {"-help"}, "Hello"},
        {"app", "SetProductTitle Hello\n", {"-help", "--SetProductTitle=From the command line"},
         "From the command line"},
        {"app", "", {"--setproducttitle=Lower case", "-help"}, "Lower case"},
        // An empty title gives the launcher's own back.
        {"app", "SetProductTitle Hello\n", {"--SetProductTitle=", "-help"}, defaultTitle()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config + " " + c.args[0]);
        Installation inst;
        std::string executable = c.executable + exeSuffix();
        inst.addExecutable(executable);
        inst.addRuntime();
        inst.write("bin/" + std::string(c.executable) + ".conf", "SetMainClass test.Main\n" + c.config);
        RunOptions o;
        o.program = executable;
        std::vector<std::string> args{"-nomsgbox"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_RUN(inst.run(args, o), usageText(c.title), "", 0);
    }
}

// ---- Application arguments -------------------------------------------------------------------

// A relative name that exists in the user's directory reaches the application as a full path
// there; -verbose traces the arguments that follow it.
TEST_F(CommandLine, VerboseTracesTheArgumentsAfterIt) {
    configure();
    inst.write("work/before.txt", "");
    inst.write("work/file.txt", "");
    inst.mkdir("work/sub");
    RunOptions o;
    o.workingDir = inst.path("work");
    Result r = launch({"before.txt", "-verbose", "file.txt", "missing.txt", "-opt", "sub"}, o);

    std::string work = inst.seen("work") + dirSeparator();
    std::vector<std::string> options = expectedOptions(inst);
    EXPECT_RUN(r,
               "Added sanitized app cmd line arg: " + work + "file.txt\n"
               "Added app cmd line arg: missing.txt\n"
               "Added app cmd line arg: -opt\n"
               "Added sanitized app cmd line arg: " + work + "sub\n" +
                   verboseOptionLines(options) + "JVM path is " + vmLibraryPath() + "\n",
               "", 0);
    EXPECT_EQ(inst.record(),
              startedRecord(options, "test/Main", {work + "before.txt", work + "file.txt", "missing.txt", "-opt", work + "sub"}));
}

TEST_F(CommandLine, ArgumentsReachTheApplicationInOrderWithEmptyOnesInPlace) {
    configure();
    EXPECT_RUN(launch({"a", "", "b c", "-migrate", "-Client", "-tavm", "-multi", ""}), "", "", 0);
    // -tavm is a VM option only when jvm.cfg lists tavm; -multi is the launcher's.
    EXPECT_EQ(inst.record(), started({}, {"a", "", "b c", "-migrate", "-Client", "-tavm", ""}));
}

TEST_F(CommandLine, NonAsciiArgumentsReachTheApplicationIntact) {
    configure();
    // Windows builds read the wide command line: text outside the code page arrives too.
    std::vector<std::string> args{"gr\xc3\xbc\xc3\x9f" "e", "caf\xc3\xa9", "\xf0\x9f\x98\x80 smile"};
    EXPECT_RUN(launch(args), "", "", 0);
    EXPECT_EQ(inst.record(), started({}, args));
}

TEST_F(CommandLine, LongArgumentsAreHandledWhole) {
    configure();
    std::string option = "-Dlong=" + std::string(1500, 'o');
    std::string argument(1500, 'a');
    EXPECT_RUN(launch({"-J" + option, argument, "--setmainclass=" + std::string(1100, 'c')}), "", "", 0);
    LaunchOptions parts;
    parts.fromCommandLine = {option};
    EXPECT_EQ(inst.record(), started(parts, {argument}, std::string(1100, 'c')));
}

// ---- Overrides and VM options -------------------------------------------------------------------

// java.library.path is fixed once the files are read: the command line's native code path does
// not enter it, which a warning says, and the command line's options, a registered variable's
// too, follow it.
TEST_F(CommandLine, DirectiveOverridesApplyInOrderAndUnknownOnesAreReported) {
    configure("AddVMOption -Xmx128m\nRegisterEnvVar LAUNCHER_TEST_VAR\n");
    RunOptions o;
    o.env = {{"LAUNCHER_TEST_VAR", std::string("v")}};
    Result r = launch({"--frob=1", "--setmainclass=b.Main", "--x", "y", "--ADDVMOPTION=-Dp=a=b", "-J-Xmx256m", "-J",
                       "--SetMainClass=c.Main", "--AddNativeCodePath=late", "--RegisterEnvVar=LAUNCHER_TEST_VAR"},
                      o);
    EXPECT_RUN(r, "",
               "WARNING: Unknown directive: frob\nWARNING: --AddNativeCodePath= is not taken from the command line: "
               "java.library.path is made before the command line is read; add the path in the configuration file\n",
               0);
    LaunchOptions parts;
    parts.fromFile = {"-Xmx128m", "-Denv.launcher_test_var=\"v\""};
    parts.fromCommandLine = {"-Dp=a=b", "-Xmx256m", "", "-Denv.launcher_test_var=\"v\""};
    EXPECT_EQ(inst.record(), started(parts, {"y"}, "c/Main"));
}

TEST_F(CommandLine, MainClassOption) {
    configure();
    EXPECT_RUN(launch({"-mainclass", "m.Main", "x"}), "", "", 0);
    EXPECT_EQ(inst.record(), started({}, {"x"}, "m/Main"));
}

TEST_F(CommandLine, MainClassOptionAsLastArgumentIsIgnored) {
    configure();
    EXPECT_RUN(launch({"x", "-mainclass"}), "", "", 0);
    EXPECT_EQ(inst.record(), started({}, {"x"}));
}

TEST_F(CommandLine, VmNamedByJvmCfgIsChosen) {
    inst.addRuntime("jre", std::string("-server KNOWN\n-client KNOWN\n-hotspot ALIASED_TO -server\n"), {"server", "client"});
    configure();
    Result r = launch({"-client", "-verbose"});
    std::vector<std::string> options = expectedOptions(inst);
    EXPECT_RUN(r, verboseOptionLines(options) + "JVM path is " + vmLibraryPath("client") + "\n", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(options, "test/Main", {}));
}

// ---- Debugging -----------------------------------------------------------------------------------

struct Debug {
    const char* name;
    const char* config;  // extra configuration lines
    std::vector<std::string> args;
    std::string out;
    std::string err;
    std::vector<std::string> options;  // from the command line
    std::vector<std::string> appArgs;
};

class DebugOption : public ::testing::TestWithParam<Debug> {};

TEST_P(DebugOption, SetsUpTheVm) {
    Installation inst;
    inst.addRuntime("jre", std::string("-server KNOWN\n-hotspot ALIASED_TO -server\n-client KNOWN\n"), {"server", "client"});
    inst.writeConfig(std::string("SetMainClass test.Main\n") + GetParam().config);
    std::vector<std::string> args{"-nomsgbox"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    EXPECT_RUN(inst.run(args), GetParam().out, GetParam().err, 0);
    LaunchOptions parts;
    parts.fromCommandLine = GetParam().options;
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", GetParam().appArgs));
}

std::vector<Debug> debugCases() {
    const std::string tavmMissing =
        "WARNING: Cannot find default VM \"tavm\" at " + defaultJavaHome() + "\n         using server instead.\n";
    return {
        {"ServerWaitsForTheDebugger", "SetJavaVM server\n", {"-debug"}, kDebugBanner, "", kJpdaOptions, {}},
        {"UiDebugAlsoReachesTheApplication", "SetJavaVM client\n", {"x", "-uidebug"}, kDebugBanner, "", kJpdaOptions,
         {"x", "-uidebug"}},
        // No VM chosen: the debug VM tavm, which this runtime lacks; the launch goes on with the
        // VM found instead, after the warning.
        {"NoVmChoosesTavm", "", {"-debug"}, kTavmWarning, tavmMissing, {"-XXdebug"}, {}},
        {"TavmChosen", "SetJavaVM tavm\n", {"-debug"}, kTavmWarning, tavmMissing, {"-XXdebug"}, {}},
        // The set-up uses the VM of its moment: a later -server does not change it.
        {"VmOfItsMoment", "", {"-debug", "-server"}, "", "", {"-XXdebug"}, {}},
        {"EarlierVmOption", "", {"-client", "-debug"}, kDebugBanner, "", kJpdaOptions, {}},
    };
}

INSTANTIATE_TEST_SUITE_P(CommandLine, DebugOption, ::testing::ValuesIn(debugCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace process_tests
