// Where the application runs and what it is told of the launcher (SetWorkingDirectory,
// SetLauncherProperties), and the taskbar identity of its windows (SetAppUserModelId), with
// the test VM, which records the directory it is created in.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

struct DirectoryCase {
    const char* name;
    const char* config;  ///< lines after the main class
    std::vector<std::string> args;
    const char* directory;  ///< where the VM is created, below the root
    bool anchored;          ///< the relative paths are taken from bin before the VM moves
    bool properties;        ///< -Dlauncher.executable= and -Dlauncher.start.directory= are given
    const char* missing;    ///< below the root: the directory the launcher could not enter
};

class WorkingDirectory : public ::testing::TestWithParam<DirectoryCase> {};

// Started from a directory of its own, the VM is created where SetWorkingDirectory says, with
// the configuration's relative paths (class path, Java home, an agent) made absolute from bin
// when that is elsewhere. The launcher's properties come after the configuration's path in
// every mode; without them, and in the launcher's directory, the options are today's.
TEST_P(WorkingDirectory, TheVmStartsThereWithTheInstallationsPaths) {
    const DirectoryCase& c = GetParam();
    Installation inst;
    inst.addRuntime();
    inst.write("lib/app.jar", "");
    inst.mkdir("work");
    inst.mkdir("data");
    inst.writeConfig(std::string("SetMainClass test.Main\nAddJavaLibFile ../lib/app.jar\n") +
                     "AddVMOption -javaagent:../lib/agent.jar=x\n" + c.config);
    RunOptions o;
    o.workingDir = inst.path("work");
    o.env = {{"FAKEJVM_DIRECTORY", std::string("1")}};
    std::vector<std::string> args{"-nomsgbox"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string err = c.missing ? "WARNING: Could not set current directory to: " + inst.seen("bin") +
                                      native(std::string("/../") + c.missing) + "\n"
                                : "";
    EXPECT_RUN(inst.run(args, o), "", err, 0);

    std::string from = c.anchored ? inst.seen("bin") + dirSeparator() : "";
    LaunchOptions parts;
    // An option's path is taken as written, separators and all.
    parts.fromFile = {"-javaagent:" + from + "../lib/agent.jar=x"};
    parts.classPath = runtimeClassPath(from + defaultJavaHome());
    parts.classPath->insert(parts.classPath->begin(), from + native("../lib/app.jar"));
    std::vector<std::string> options = expectedOptions(inst, parts);
    if (c.properties)
        options.insert(options.end() - 1, {"-Dlauncher.executable=" + inst.seen("bin/app" + exeSuffix()),
                                           "-Dlauncher.start.directory=" + inst.seen("work")});
    EXPECT_EQ(inst.record(), "directory=" + inst.seen(c.directory) + "\n" + startedRecord(options, "test/Main", {}));
}

INSTANTIATE_TEST_SUITE_P(
    ApplicationDirectory, WorkingDirectory,
    ::testing::Values(
        DirectoryCase{"TheDefaultsChangeNothing", "SetWorkingDirectory launcher\nSetLauncherProperties off\n", {}, "bin",
                      false, false, nullptr},
        DirectoryCase{"PropertiesInTheLaunchersDirectory", "SetLauncherProperties on\n", {}, "bin", false, true, nullptr},
        DirectoryCase{"TheStartDirectory", "SetWorkingDirectory start\nSetLauncherProperties on\n", {}, "work", true, true,
                      nullptr},
        DirectoryCase{"AFolderOfTheCommandLine", "SetWorkingDirectory start\n", {"--SetWorkingDirectory=../data"}, "data",
                      true, false, nullptr},
        DirectoryCase{"AFolderThatIsNotThere", "SetWorkingDirectory ../missing\nSetLauncherProperties on\n", {}, "bin",
                      true, true, "missing"}),
    [](const auto& info) { return std::string(info.param.name); });

// The taskbar identity: SetAppUserModelId's, else a stamped CompanyName's (and ProductName's),
// given before the VM starts and named under -verbose with the system's answer. On Linux the
// directive is taken and nothing is said.
TEST(TaskbarIdentity, TheConfiguredOrTheStampedIdIsNamed) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\nSetAppUserModelId Example.Hello\n");
    std::string started = verboseOptionLines(expectedOptions(inst)) + "JVM path is " + vmLibraryPath() + "\n";
    std::string said = isWindows() ? "AppUserModelID: Example.Hello (0x00000000)\n" : "";
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose"}), said + started, "", 0);
    if (!isWindows()) return;

    // A copy stamped with a company and a product; the command line's id wins over it.
    Result stamped = runProcess(LAUNCHER_STAMP_TOOL,
                                {LAUNCHER_STAMP_TOOL, inst.path("bin/app.exe"), inst.path("bin/hello.exe"),
                                 "--set-version-string", "CompanyName", "Example Ltd", "--set-version-string",
                                 "ProductName", "Hello world"},
                                {}, inst.root(), 60);
    ASSERT_EQ(stamped.exitCode, 0) << stamped.err;
    inst.write("bin/hello.conf", "SetMainClass test.Main\n");
    RunOptions o;
    o.program = "hello.exe";
    LaunchOptions hello;
    hello.configPath = inst.seen("bin/hello.conf");
    started = verboseOptionLines(expectedOptions(inst, hello)) + "JVM path is " + vmLibraryPath() + "\n";
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose"}, o), "AppUserModelID: ExampleLtd.HelloWorld (0x00000000)\n" + started,
               "", 0);
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose", "--SetAppUserModelId=Example.Cli"}, o),
               "AppUserModelID: Example.Cli (0x00000000)\n" + started, "", 0);
}

}  // namespace
}  // namespace process_tests
