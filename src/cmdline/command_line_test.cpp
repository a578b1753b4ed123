// The command-line options against a real record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "config/launch_settings.h"
#include "platform/platform.h"
#include "support/native.h"
#include "support/temp_dir.h"

using testing_support::nat;
using testing_support::TempDir;

namespace {

struct Parsed {
    LaunchSettings record;
    std::string out, err;
};

/// A record before the command line, and the runtime's VMs.
struct Before {
    LaunchSettings record;
    std::vector<VmEntry> vms;
};

/// Reads `args` (the program name is added), applies them to `before`'s record and captures
/// what is written.
Parsed parse(std::vector<std::string> args, const Before& before = Before(), const std::string& start = "") {
    args.insert(args.begin(), "app");
    CommandLine line = readCommandLine(args);
    knowVmNames(line, before.vms);
    Parsed run{before.record, "", ""};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    applyCommandLine(run.record, line, start);
    run.out = testing::internal::GetCapturedStdout();
    run.err = testing::internal::GetCapturedStderr();
    return run;
}

Before withVms(std::vector<VmEntry> table, std::string vmName = "") {
    Before before;
    before.vms = std::move(table);
    before.record.vmName = std::move(vmName);
    return before;
}

using Options = std::vector<std::string>;

}  // namespace

TEST(CommandLine, OptionsAndApplicationArguments) {
    Parsed r = parse({"-Jx", "-J", "--AddVMOption=-Dp=a=b", "--x", "--frob=1", "-update", "-multi", "-migrate", "file",
                   "-mainclass", "b.Main", "-conf", "c.conf", "-tavm", "-server", "--AddJavaSearchPath=/opt/jdk"},
                  withVms({{"server", "server"}}));
    EXPECT_EQ(r.record.vmOptions, (Options{"x", "", "-Dp=a=b"}));
    // The search's overrides were applied before the search ran, once.
    EXPECT_TRUE(r.record.javaSearchPaths.empty());
    EXPECT_EQ(r.err, "WARNING: Unknown directive: frob\n");
    EXPECT_TRUE(r.record.updateMode);
    EXPECT_TRUE(r.record.multiInstance);
    EXPECT_EQ(r.record.mainClass, "b/Main");
    EXPECT_EQ(r.record.vmName, "server");
    EXPECT_EQ(r.record.appArgs, (Options{"-migrate", "file", "-tavm"}));

    Parsed none = parse({});
    EXPECT_TRUE(none.record.appArgs.empty());
    EXPECT_FALSE(none.record.updateMode || none.record.multiInstance || none.record.verbose);
    Parsed last = parse({"-mainclass"});
    EXPECT_TRUE(last.record.mainClass.empty());
    EXPECT_TRUE(last.record.appArgs.empty());
}

TEST(CommandLine, EmptyAndConsumedArguments) {
    LaunchSettings r;
    applyCommandLine(r, readCommandLine({"app", "-nomsgbox", "", "a"}), "");
    EXPECT_EQ(r.appArgs, (Options{"", "a"})) << "the user's empty argument keeps its place";
}

TEST(CommandLine, DebugSetUpFollowsTheVmOfItsMoment) {
    struct Case {
        std::string vmName;
        Options args;
        Options options;
        std::string vmAfter, out;
        Options appArgs;
    } cases[] = {
        {"", {"-debug", "-server"}, {"-XXdebug"}, "server", "", {}},
        {"tavm", {"-uidebug"}, {"-XXdebug"}, "tavm", "", {"-uidebug"}},
        {"server", {"-debug"}, {"-Xdebug", "-Xrunjdwp:transport=dt_socket,server=y,address=4000"}, "server",
         "\n*** Port is 4000 ***\n*** Waiting for JPDA debugger connection\n", {}},
    };
    for (auto& c : cases) {
        Parsed r = parse(c.args, withVms({{"server", "server"}}, c.vmName));
        EXPECT_EQ(r.record.vmOptions, c.options) << c.vmName;
        EXPECT_EQ(r.record.vmName, c.vmAfter) << c.vmName;
        EXPECT_EQ(r.out, c.out) << c.vmName;
        EXPECT_EQ(r.record.appArgs, c.appArgs) << c.vmName;
        EXPECT_TRUE(r.record.multiInstance);
    }
}

TEST(CommandLine, HelpAndVerboseWhenTheApplicationHandlesHelp) {
    for (const char* help : {"-?", "-help", "/help", "/?"}) {
        Parsed r = parse({"-J-Dapplication.handle.help=true", help, "-verbose"});
        EXPECT_EQ(r.record.appArgs, (Options{"-help", "-verbose"})) << help;
        EXPECT_FALSE(r.record.verbose);
    }
}

TEST(CommandLine, VerboseTracesTheArgumentsAfterItAndSanitizesExistingFiles) {
    TempDir start;
    start.write("file.txt");
    std::string sep(1, platform::kDirSeparator);
    // The launch decided from the line that -verbose is the launcher's (launcherTakes).
    Before verbose;
    verbose.record.verbose = true;
    Parsed r = parse({"before", "-verbose", "file.txt", "absent.txt", "-x"}, verbose, start.path());
    EXPECT_EQ(r.record.appArgs, (Options{"before", start.path() + sep + "file.txt", "absent.txt", "-x"}));
    EXPECT_EQ(r.out, "Added sanitized app cmd line arg: " + start.path() + sep +
                         "file.txt\nAdded app cmd line arg: absent.txt\nAdded app cmd line arg: -x\n");
}

TEST(CommandLine, SanitizeArgument) {
    struct Case {
        std::string arg, start, expected;
    } cases[] = {
        {"-x", nat("/w"), "-x"},
        {nat("/abs"), nat("/w"), nat("/abs")},
        {"rel", nat("/w"), nat("/w/rel")},
        {"", nat("/w"), ""},
        {"rel", "", "rel"},
#ifdef _WIN32
        {"C:x", "C:\\w", "C:x"},
        {"/help", "C:\\w", "/help"},
        {"\\x", "C:\\w", "\\x"},
#else
        {"C:x", "/w", "/w/C:x"},
#endif
    };
    for (auto& c : cases) EXPECT_EQ(sanitizeArgument(c.arg, c.start), c.expected) << c.arg;
}

TEST(CommandLine, LongArgumentsAreKeptWhole) {
    std::string longArg(100000, 'a');
    Parsed r = parse({"-J" + longArg, longArg});
    EXPECT_EQ(r.record.vmOptions, Options{longArg});
    EXPECT_EQ(r.record.appArgs, Options{longArg});
}

// What each argument is, read once: the pre-scan's grammar and the option grammar, before and
// after the runtime's VM names are known.
TEST(CommandLine, EveryArgumentIsClassifiedOnce) {
    using K = ArgumentKind;
    struct Case {
        Options args;
        std::vector<VmEntry> vms;
        std::vector<K> kinds;
    } cases[] = {
        {{"-conf", "a.conf", "-mainclass", "m.Main", "--SetJavaVM=x", "--print", "-Jy"},
         {},
         {K::ConfigFile, K::ConfigFileValue, K::MainClass, K::MainClassValue, K::Override, K::Ignored, K::VmOption}},
        {{"-update", "-multi", "-debug", "-uidebug", "-verbose", "/?", "-server", "file"},
         {},
         {K::Update, K::Multi, K::Debug, K::UiDebug, K::Verbose, K::Help, K::Application, K::Application}},
        // A VM's name is an option of its own, and takes no value.
        {{"-server", "-mainclass", "--SetJavaVM=x"}, {{"server", "server"}, {"mainclass", "server"}},
         {K::VmName, K::VmName, K::Override}},
        // The pre-scan's "-nomsgbox" stays taken, even as a value.
        {{"-mainclass", "a-nomsgbox", "b"}, {}, {K::MainClass, K::Consumed, K::Application}},
    };
    for (const Case& c : cases) {
        Options args = c.args;
        args.insert(args.begin(), "app");
        CommandLine line = readCommandLine(args);
        knowVmNames(line, c.vms);
        std::vector<K> kinds;
        for (const Argument& arg : line.arguments) kinds.push_back(arg.kind);
        EXPECT_EQ(kinds, c.kinds) << c.args[0];
    }
}

TEST(CommandLine, OverridesCountAtTheirPhase) {
    CommandLine line = readCommandLine({"app", "--SetJavaVersion=17", "--AddVMOption=-Dx", "--SetUserSettings=off",
                                        "--AddJavaSearchPath=j", "-conf", "--SetJavaSearch=on"});
    LaunchSettings settings;
    applyEarlyOverrides(settings, line, Phase::BeforeUserFile);
    EXPECT_FALSE(settings.userSettings);
    EXPECT_EQ(settings.javaVersionMin, 0);
    applyEarlyOverrides(settings, line, Phase::BeforeSearch);
    EXPECT_EQ(settings.javaVersionMin, 17);
    EXPECT_EQ(settings.javaSearchPaths, Options{"j"});
    EXPECT_EQ(settings.javaSearch, JavaSearchSetting::Unset) << "the value of -conf is no override";
    EXPECT_TRUE(settings.vmOptions.empty());
    applyCommandLine(settings, line, "");
    EXPECT_EQ(settings.vmOptions, Options{"-Dx"});
    EXPECT_EQ(settings.javaSearchPaths, Options{"j"}) << "counted once";

    // The VM asked for counts for the search where it chooses among runtimes: the last of
    // --SetJavaVM= and -server/-client; once the runtime is known, the last VM option, as ever.
    struct VmCase {
        Options args;
        bool searching;
        std::string forSearch, atStart;
    } vmCases[] = {
        {{"-client"}, true, "client", "client"},
        {{"-client"}, false, "", "client"},
        {{"--SetJavaVM=client", "-server"}, true, "server", "server"},
        {{"-server", "--setjavavm=client"}, true, "client", "client"},
        {{"--SetJavaVM=client"}, false, "", "client"},
        // -debug sees the VM chosen so far on the line, not the search's.
        {{"-debug", "--SetJavaVM=server"}, true, "server", "server"},
        {{"-tavm"}, true, "", ""},
        {{"-mainclass", "-client"}, true, "", ""},
    };
    for (const VmCase& c : vmCases) {
        Options args = c.args;
        args.insert(args.begin(), "app");
        CommandLine vmLine = readCommandLine(args);
        LaunchSettings vmSettings;
        if (c.searching) vmSettings.setJavaVersion("17");
        applyEarlyOverrides(vmSettings, vmLine, Phase::BeforeSearch);
        EXPECT_EQ(vmSettings.searchedVmName.value_or(""), c.forSearch) << c.args[0];
        EXPECT_EQ(vmSettings.vmName, "") << c.args[0];
        knowVmNames(vmLine, {{"server", "server"}, {"client", "client"}});
        applyCommandLine(vmSettings, vmLine, "");
        EXPECT_EQ(vmSettings.vmName, c.atStart) << c.args[0];
        if (c.args[0] == "-debug") {
            EXPECT_EQ(vmSettings.vmOptions, Options{"-XXdebug"});
        }
    }
    // The native code path is made before the command line is read: its override is refused.
    const Directive* nativeCodePath = findDirective("AddNativeCodePath");
    ASSERT_NE(nativeCodePath, nullptr);
    EXPECT_EQ(phaseOf(*nativeCodePath), Phase::Refused);
    LaunchSettings refusing;
    applyCommandLine(refusing, readCommandLine({"app", "--AddNativeCodePath=late"}), "");
    EXPECT_EQ(refusing.nativeCodePath, "");

    // Help options and -verbose are the launcher's until help is handed over.
    using K = ArgumentKind;
    struct Case {
        Options args;
        K kind;
        bool handles, launcherTakes;
    } cases[] = {
        {{"-help"}, K::Help, false, true},
        {{"-help"}, K::Help, true, false},
        {{"-J-Dapplication.handle.help=true", "/?"}, K::Help, false, false},
        {{"/?", "-J-Dapplication.handle.help=true"}, K::Help, false, true},
        {{"--addvmoption=-Dapplication.handle.help=true", "-?"}, K::Help, false, false},
        {{"-mainclass", "-help"}, K::Help, false, false},
        {{"-verbose"}, K::Verbose, false, true},
        {{"-verbose"}, K::Verbose, true, false},
        {{"-J-Dapplication.handle.help=true", "-verbose"}, K::Verbose, false, false},
        {{"-conf", "-verbose"}, K::Verbose, false, false},
        {{"-conf", "--print-java"}, K::PrintJava, false, false},
        {{"x", "--print-java"}, K::PrintJava, false, true},
        {{"--print-java=1"}, K::PrintJava, false, false},
        {{"--forget-java"}, K::ForgetJava, false, true},
    };
    for (const Case& c : cases) {
        Options args = c.args;
        args.insert(args.begin(), "app");
        EXPECT_EQ(launcherTakes(readCommandLine(args), c.kind, c.handles), c.launcherTakes) << c.args[0] << " " << c.args.back();
    }
}
