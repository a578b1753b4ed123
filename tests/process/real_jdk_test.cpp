// The linux build starts real Java classes on every JDK installed under /usr/lib/jvm (and the
// JDK the build used): arguments, system properties, exit codes, exceptions and threads as
// the application sees them.
#include <algorithm>
#include <future>
#include <regex>
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

    std::string config(const std::string& mainClass, const std::string& classes = target().javaClasses) const {
        return "SetJavaHome " + GetParam() + "\nSetJavaVM server\nAddJavaLibFile " + classes + "\nSetMainClass " + mainClass +
               "\nRegisterEnvVar MyVar\n";
    }

    std::string properties(const std::string& classes = target().javaClasses) const {
        return "java.class.path=" + classes + ":" + GetParam() + "/lib/tools.jar:" + GetParam() +
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

// A main class whose static initialiser throws: the exception with its stack trace, as the
// JDK's own launcher shows it, then message 5 as before.
TEST_P(RealJdk, ClassWhoseInitialiserThrows) {
    inst.writeConfig(config("launchertest.BadInit"));
    Result r = inst.run({"-nomsgbox"});
    EXPECT_EQ(r.out, errorReport("Unable to find main class.\nClass specified is: launchertest/BadInit"));
    EXPECT_EQ(r.exitCode, 5);
    const std::string trace = "Exception in thread \"main\" java.lang.ExceptionInInitializerError\n"
                              "Caused by: java.lang.IllegalStateException: no display here\n"
                              "\tat launchertest.BadInit.<clinit>(BadInit.java:";
    EXPECT_EQ(r.err.compare(0, trace.size(), trace), 0) << r.err;
    const std::string last = "ERROR: Can't find launchertest/BadInit\n";
    ASSERT_GE(r.err.size(), last.size());
    EXPECT_EQ(r.err.substr(r.err.size() - last.size()), last) << r.err;
}

// The process ends only after the VM's other non-daemon threads have.
TEST_P(RealJdk, WaitsForNonDaemonThreads) {
    inst.writeConfig(config("launchertest.Worker"));
    EXPECT_RUN(inst.run({"-nomsgbox"}), "main done\nworker done\n", "", 0);
}

/// The names in a directory, sorted; empty when it is missing.
std::vector<std::string> namesIn(const std::string& directory) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory, ec)) names.insert(entry.path().filename().string());
    return {names.begin(), names.end()};
}

/// The names of the cache's files other than the lock, in the form "<ending>" with the hashes
/// left out: "app-key.jsa.part" gives ".jsa.part", "app-key-123.jsa" gives "-N.jsa".
std::vector<std::string> cacheKinds(const std::vector<std::string>& names) {
    std::vector<std::string> kinds;
    for (const std::string& name : names)
        if (name.find(".lock") == std::string::npos)
            kinds.push_back(std::regex_replace(name, std::regex("^[0-9a-f]{8}-[0-9a-f]{16}(-[0-9]+)?"), "$1"));
    for (std::string& kind : kinds) kind = std::regex_replace(kind, std::regex("^-[0-9]+"), "-N");
    return kinds;
}

// One application through the whole life of its cache: trained by the first start (which
// ends through System.exit), used by the next, left alone by a start while another holds it,
// survived when damaged, made again for a changed option, and never seen on the console.
TEST_P(RealJdk, StartupCacheTrainsUsesAndRecovers) {
    bool aot = GetParam().find("-25") != std::string::npos;
    std::string trained = aot ? ".aotconf" : ".jsa.part";
    std::string made = aot ? ".aot" : "-N.jsa";
    std::string cache = inst.path("cache");
    // The runtimes archive classes from jars only: a class directory keeps the cache out.
    inst.writeConfig(config("launchertest.Probe") + "SetStartupCache " + cache + "\n");
    EXPECT_RUN(inst.run({"x"}), "arg[0]=x\n" + properties(), "", 0);
    EXPECT_EQ(cacheKinds(namesIn(cache)), std::vector<std::string>{});
    std::string jar = fs::path(target().javaClasses).parent_path().string() + "/launchertest.jar";
    inst.writeConfig(config("launchertest.Probe", jar) + "SetStartupCache " + cache + "\n");
    auto properties = [&] { return this->properties(jar); };

    // Two starts at once: one trains, the other runs as it would without the cache.
    auto first = std::async(std::launch::async, [&] { return inst.run({"exit=0"}); });
    Result second = inst.run({"exit=0"});
    EXPECT_RUN(first.get(), "arg[0]=exit=0\n" + properties(), "", 0);
    EXPECT_RUN(second, "arg[0]=exit=0\n" + properties(), "", 0);
    EXPECT_EQ(cacheKinds(namesIn(cache)), std::vector<std::string>{trained});

    Result used = inst.run({"-verbose", "x"});
    EXPECT_EQ(used.exitCode, 0);
    EXPECT_NE(used.out.find("Startup cache: using " + cache + "/"), std::string::npos) << used.out;
    EXPECT_EQ(cacheKinds(namesIn(cache)), std::vector<std::string>{made});
    EXPECT_RUN(inst.run({"x"}), "arg[0]=x\n" + properties(), "", 0);

    // A cache cut short: a normal, quiet start.
    for (const std::string& name : namesIn(cache))
        if (name.find(".lock") == std::string::npos) fs::resize_file(fs::path(cache) / name, 4096);
    EXPECT_RUN(inst.run({"x"}), "arg[0]=x\n" + properties(), "", 0);

    // Another option: another cache, and the earlier one is removed.
    std::vector<std::string> before = namesIn(cache);
    EXPECT_RUN(inst.run({"-J-Dchanged=1", "x"}), "arg[0]=x\n" + properties(), "", 0);
    std::vector<std::string> after = namesIn(cache);
    EXPECT_EQ(cacheKinds(after), std::vector<std::string>{trained});
    for (const std::string& name : before) {
        if (name.find(".lock") != std::string::npos) continue;
        EXPECT_EQ(std::count(after.begin(), after.end(), name), 0) << name;
    }

    // Off for one launch, and a place that cannot be made: nothing changes, nothing is written.
    EXPECT_RUN(inst.run({"--SetStartupCache=off", "x"}), "arg[0]=x\n" + properties(), "", 0);
    EXPECT_EQ(namesIn(cache), after);
    inst.write("file", "");
    EXPECT_RUN(inst.run({"--SetStartupCache=" + inst.path("file/cache"), "x"}), "arg[0]=x\n" + properties(), "", 0);
}

INSTANTIATE_TEST_SUITE_P(Linux, RealJdk, ::testing::ValuesIn(installedJdks()), [](const auto& info) {
    std::string name;
    for (char c : fs::path(info.param).filename().string()) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealJdk);

}  // namespace
}  // namespace process_tests
