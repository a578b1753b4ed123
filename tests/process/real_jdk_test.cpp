// The linux build starts real Java classes on every JDK installed under /usr/lib/jvm (and the
// JDK the build used): arguments, system properties, exit codes, exceptions and threads as
// the application sees them.
#include <set>
#include <string>
#include <system_error>

#include <filesystem>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

bool isJdk(const fs::path& home) {
    std::error_code ec;
    return fs::exists(home / "bin/java", ec) && fs::exists(home / "lib/server/libjvm.so", ec) &&
           fs::exists(home / "lib/jvm.cfg", ec);
}

std::vector<std::string> installedJdks() {
    if (isWindows()) return {};
    std::set<std::string> homes;
    std::error_code ec;
    if (!target().jdkHome.empty() && isJdk(target().jdkHome)) homes.insert(fs::canonical(target().jdkHome, ec).string());
    for (const auto& entry : fs::directory_iterator("/usr/lib/jvm", ec))
        if (isJdk(entry.path())) homes.insert(fs::canonical(entry.path(), ec).string());
    return {homes.begin(), homes.end()};
}

class RealJdk : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        ASSERT_FALSE(target().javaClasses.empty()) << "LAUNCHER_JAVA_CLASSES names no class directory";
        inst.writeConfig(config("launchertest.Probe"));
    }

    std::string config(const std::string& mainClass) const {
        return "SetJavaHome " + GetParam() + "\nSetJavaVM server\nAddJavaLibFile " + target().javaClasses +
               "\nSetMainClass " + mainClass + "\nRegisterEnvVar MyVar\n";
    }

    std::string properties() const {
        return "java.class.path=" + target().javaClasses + ":" + GetParam() + "/lib/tools.jar:" + GetParam() +
               "/lib/dt.jar\njava.library.path=" + launcherPathVariable() +
               "\nide.config_pathname=" + inst.seen("bin/app.conf") + "\n";
    }

    Installation inst;
};

TEST_P(RealJdk, MainReceivesTheArgumentsAndProperties) {
    inst.write("work/data.txt", "");
    RunOptions o;
    o.workingDir = inst.path("work");
    o.env = {{"MYVAR", std::string("from the environment")}};
    Result r = inst.run({"-nomsgbox", "first", "with blank", "", "gr\xc3\xbc\xc3\x9f" "e", "data.txt", "property=env.myvar"}, o);
    EXPECT_RUN(r,
               "arg[0]=first\narg[1]=with blank\narg[2]=\narg[3]=gr\\u00fc\\u00dfe\narg[4]=" + inst.seen("work/data.txt") +
                   "\narg[5]=property=env.myvar\n" + properties() + "env.myvar=\"from the environment\"\n",
               "", 0);
}

TEST_P(RealJdk, ExitCodeOfSystemExit) {
    EXPECT_RUN(inst.run({"-nomsgbox", "exit=3"}), "arg[0]=exit=3\n" + properties(), "", 3);
}

TEST_P(RealJdk, UncaughtExceptionIsDescribedAndEndsWithOne) {
    EXPECT_RUN(inst.run({"-nomsgbox", "throw"}), "arg[0]=throw\n" + properties(),
               "Exception in thread \"main\" java.lang.IllegalStateException: thrown on request\n"
               "\tat launchertest.Probe.main(Probe.java:29)\n",
               1);
}

TEST_P(RealJdk, MissingMainClass) {
    inst.writeConfig(config("launchertest.Missing"));
    EXPECT_RUN(inst.run({"-nomsgbox"}), errorReport("Unable to find main class.\nClass specified is: launchertest/Missing"),
               "ERROR: Can't find launchertest/Missing\n", 5);
}

TEST_P(RealJdk, ClassWithoutMain) {
    inst.writeConfig(config("launchertest.NoMain"));
    EXPECT_RUN(inst.run({"-nomsgbox"}), errorReport("Unable to find main class.\nClass specified is: launchertest/NoMain"),
               "ERROR: Can't find Prog.main\n", 5);
}

// The process ends only after the VM's other non-daemon threads have.
TEST_P(RealJdk, WaitsForNonDaemonThreads) {
    inst.writeConfig(config("launchertest.Worker"));
    EXPECT_RUN(inst.run({"-nomsgbox"}), "main done\nworker done\n", "", 0);
}

INSTANTIATE_TEST_SUITE_P(Linux, RealJdk, ::testing::ValuesIn(installedJdks()), [](const auto& info) {
    std::string name;
    for (char c : fs::path(info.param).filename().string()) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealJdk);

}  // namespace
}  // namespace process_tests
