// The linux build starts real Java classes on every JDK installed under /usr/lib/jvm (and the
// JDK the build used): arguments, system properties, exit codes, exceptions and threads as
// the application sees them.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <map>
#include <optional>
#include <future>
#include <regex>
#include <set>
#include <string>
#include <system_error>

#include <filesystem>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/memory.h"
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

/// A test's name for a JDK: its directory's name in letters, digits and '_'.
std::string jdkTestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : fs::path(info.param).filename().string()) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
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

// An application that stages a deferred update and ends with SetRestartExitCode's code is
// started again with the same arguments, after the installer has run, and then ends with 0.
TEST_P(RealJdk, RestartOnTheExitCodeInstallsTheStagedUpdateFirst) {
    inst.writeConfig(config("launchertest.Restart") + "SetUpdateMainClass launchertest.RestartInstaller\n"
                     "SetUpdateClassPath " + target().javaClasses + "\nSetRestartExitCode 7\n");
    EXPECT_RUN(inst.run({"-nomsgbox", "a", "b c"}),
               "main a|b c\nupdatesFile exists. needToUpdate will return true.\ninstall\nmain a|b c installed\n", "", 0);
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

// A main class that is there but cannot be had: the cause is named before message 5 (a missing
// class on a line of its own, what the initialiser threw with its stack trace), and a window
// of the desktop shows it under the message, the thrown one with its first frames.
TEST_P(RealJdk, CauseOfAClassThatCannotBeHadIsNamed) {
    struct Case {
        const char* mainClass;
        std::string errStart;  // then the stack trace, when it is a thrown one's
        bool traced;
        std::string explanation;
    } cases[] = {
        // Its superclass is not on the class path.
        {"launchertest.Dependent", "Caused by: java.lang.NoClassDefFoundError: launchertest/Dependency\n", false,
         "Caused by: java.lang.NoClassDefFoundError: launchertest/Dependency"},
        {"launchertest.BadInit", "Exception in thread \"main\" java.lang.ExceptionInInitializerError\n", true,
         "Caused by: java.lang.IllegalStateException: no display here\n\tat launchertest.BadInit.<clinit>(BadInit.java:8)"},
    };
    fs::create_directories(inst.path("partial/launchertest"));
    fs::copy_file(target().javaClasses + "/launchertest/Dependent.class", inst.path("partial/launchertest/Dependent.class"));
    inst.addDesktopTool("tools", "zenity");
    RunOptions o;
    o.env = {{"PATH", inst.path("tools") + ":/usr/bin:/bin"}, {"DISPLAY", std::string(":9")}};
    for (const Case& c : cases) {
        std::string slashed = std::regex_replace(c.mainClass, std::regex("\\."), "/");
        inst.writeConfig(config(c.mainClass, slashed == "launchertest/Dependent" ? inst.seen("partial") : target().javaClasses));
        fs::remove(inst.path("tools/shown"));
        Result r = inst.run({}, o);
        std::string message = "Unable to find main class.\nClass specified is: " + slashed;
        EXPECT_EQ(r.out, errorReport(message)) << c.mainClass;
        EXPECT_EQ(r.exitCode, 5) << c.mainClass;
        EXPECT_EQ(r.err.compare(0, c.errStart.size(), c.errStart), 0) << r.err;
        const std::string last = "ERROR: Can't find " + slashed + "\n";
        EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), last.size())), last) << r.err;
        if (!c.traced) {
            EXPECT_EQ(r.err, c.errStart + last);
        }
        EXPECT_EQ(inst.read("tools/shown"), "zenity\n--warning\n--no-markup\n--title=" + defaultTitle() + "\n--text=" +
                                                message + "\n\n" + c.explanation + "\n");
    }
}

// The process ends only after the VM's other non-daemon threads have.
TEST_P(RealJdk, WaitsForNonDaemonThreads) {
    inst.writeConfig(config("launchertest.Worker"));
    EXPECT_RUN(inst.run({"-nomsgbox"}), "main done\nworker done\n", "", 0);
}

// SetWorkingDirectory: the application runs in the directory the user started from, or in a
// folder of the configuration, where user.dir points and relative names are found, while the
// runtime and the classes the configuration names from bin (../jre, ../classes, which name
// nothing from those directories) still start it. SetLauncherProperties names the executable
// and the start directory in either mode.
TEST_P(RealJdk, RunsInTheDirectoryTheConfigurationGivesIt) {
    fs::create_directory_symlink(GetParam(), inst.path("jre"));
    fs::create_directory_symlink(target().javaClasses, inst.path("classes"));
    struct Case {
        const char* value;
        const char* directory;
    } cases[] = {{"start", "work/deep"}, {"../data/deep", "data/deep"}};
    for (const Case& c : cases) {
        inst.write(std::string(c.directory) + "/notes.txt", std::string("in ") + c.directory);
        inst.writeConfig(std::string("SetJavaVM server\nAddJavaLibFile ../classes\nSetMainClass launchertest.Probe\n") +
                         "SetLauncherProperties on\nSetWorkingDirectory " + c.value + "\n");
        RunOptions o;
        o.workingDir = inst.path("work/deep");
        Result r = inst.run({"-nomsgbox", "read=notes.txt", "property=user.dir", "property=launcher.executable",
                             "property=launcher.start.directory"},
                            o);
        std::string bin = inst.seen("bin/..");
        EXPECT_RUN(r,
                   "arg[0]=read=notes.txt\narg[1]=property=user.dir\narg[2]=property=launcher.executable\n"
                   "arg[3]=property=launcher.start.directory\njava.class.path=" +
                       bin + "/classes:" + bin + "/jre/lib/tools.jar:" + bin + "/jre/lib/dt.jar\njava.library.path=" +
                       launcherPathVariable() + "\nide.config_pathname=" + inst.seen("bin/app.conf") +
                       "\nuser.dir=" + inst.seen(c.directory) + "\nlauncher.executable=" + inst.seen("bin/app") +
                       "\nlauncher.start.directory=" + inst.seen("work/deep") + "\nnotes.txt holds in " + c.directory + "\n",
                   "", 0);
    }
}

/// The names in a directory, sorted; empty when it is missing.
std::vector<std::string> namesIn(const std::string& directory) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory, ec)) names.insert(entry.path().filename().string());
    return {names.begin(), names.end()};
}

/// The maximum heap Probe reports, in bytes; 0 when it reports none.
double reportedMaxMemory(const std::string& out) {
    std::smatch found;
    return std::regex_search(out, found, std::regex("maxMemory=([0-9]+)")) ? std::stod(found[1]) : 0;
}

/// A memory control group of 512 MiB below this process's own (cgroup v1, where root may make
/// one); empty where none can be made.
std::string limitedControlGroup() {
    std::ifstream self("/proc/self/cgroup");
    std::string line, group;
    while (std::getline(self, line))
        if (line.find(":memory:") != std::string::npos) group = line.substr(line.find(":memory:") + 8);
    if (group.empty()) return std::string();
    std::string path = "/sys/fs/cgroup/memory" + (group == "/" ? std::string() : group) + "/launcher-test-" +
                       std::to_string(::getpid());
    std::error_code ec;
    fs::create_directory(path, ec);
    std::ofstream(path + "/memory.limit_in_bytes") << (512 << 20) << "\n";
    std::ifstream written(path + "/memory.limit_in_bytes");
    long long limit = 0;
    if (!(written >> limit) || limit != (512 << 20)) {
        fs::remove(path, ec);
        return std::string();
    }
    return path;
}

// SetMaxHeap 25%: the application's maximum heap is a quarter of the machine's memory, and
// under a control group's lower limit a quarter of that.
/// True when the launcher under test is built with AddressSanitizer.
bool sanitizedLauncher() {
    std::ifstream in(target().launcherExe, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.find("__asan_init") != std::string::npos;
}

TEST_P(RealJdk, MaxHeapIsAShareOfTheMachinesMemory) {
    // The sanitizers' shadow memory does not fit the memory limit this test sets.
    if (sanitizedLauncher()) GTEST_SKIP() << "the sanitizers' shadow memory exceeds the test's memory limit";
    inst.writeConfig(config("launchertest.Probe") + "SetMaxHeap 25%\n");
    Result r = inst.run({"-nomsgbox", "maxmemory"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    double memory = static_cast<double>(::sysconf(_SC_PHYS_PAGES)) * static_cast<double>(::sysconf(_SC_PAGE_SIZE));
    // This process's own control group may hold less (a container's limit).
    if (std::optional<unsigned long long> limit = platform::memoryLimit()) memory = std::min(memory, static_cast<double>(*limit));
    double quarter = memory / 4;
    EXPECT_NEAR(reportedMaxMemory(r.out), quarter, quarter * 0.05) << r.out;

    std::string group = limitedControlGroup();
    if (group.empty()) GTEST_SKIP() << "no memory control group can be made here";
    Result limited = runProcess("/bin/sh",
                                {"/bin/sh", "-c", "echo $$ > " + group + "/cgroup.procs && exec \"$0\" \"$@\"",
                                 inst.path("bin/app"), "-nomsgbox", "maxmemory"},
                                {"PATH=/usr/bin:/bin"}, inst.root(), 120);
    std::error_code ec;
    fs::remove(group, ec);
    ASSERT_EQ(limited.exitCode, 0) << limited.err;
    EXPECT_NEAR(reportedMaxMemory(limited.out), 128.0 * (1 << 20), 128.0 * (1 << 20) * 0.05) << limited.out;
}

/// The names of the cache's files of one key (not the application's lock and records), in the
/// form "<ending>" with the hashes left out: "app-key.new.classes" gives ".new.classes".
std::vector<std::string> cacheKinds(const std::vector<std::string>& names) {
    std::vector<std::string> kinds;
    std::regex keyed("^[0-9a-f]{8}-[0-9a-f]{16}");
    for (const std::string& name : names)
        if (std::regex_search(name, keyed)) kinds.push_back(std::regex_replace(name, keyed, ""));
    return kinds;
}

// One application through the whole life of its cache: trained by the first start (which
// ends through System.exit), used by the next, left alone by a start while another holds it,
// survived when damaged, made again for a changed option, and never seen on the console.
TEST_P(RealJdk, StartupCacheTrainsUsesAndRecovers) {
    bool aot = GetParam().find("-25") != std::string::npos;
    std::vector<std::string> made = aot ? std::vector<std::string>{".aot", ".classes", ".ok"}
                                        : std::vector<std::string>{".classes", ".jsa", ".ok"};
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
    EXPECT_EQ(cacheKinds(namesIn(cache)), std::vector<std::string>{".classes"});

    // The next start is made beside; the one after uses the cache.
    EXPECT_RUN(inst.run({"x"}), "arg[0]=x\n" + properties(), "", 0);
    ASSERT_TRUE(waitForCacheWork(cache));
    Result used = inst.run({"-verbose", "x"});
    EXPECT_EQ(used.exitCode, 0);
    EXPECT_NE(used.out.find("Startup cache: using " + cache + "/"), std::string::npos) << used.out;
    EXPECT_EQ(cacheKinds(namesIn(cache)), made);
    EXPECT_RUN(inst.run({"x"}), "arg[0]=x\n" + properties(), "", 0);

    // A cache cut short: a normal, quiet start, and one made anew beside it.
    for (const std::string& name : namesIn(cache))
        if (name.find(".lock") == std::string::npos) fs::resize_file(fs::path(cache) / name, 4096);
    EXPECT_RUN(inst.run({"x"}), "arg[0]=x\n" + properties(), "", 0);
    ASSERT_TRUE(waitForCacheWork(cache));

    // Another option: another cache, and the earlier one stays for the starts without it.
    std::vector<std::string> before = namesIn(cache);
    for (int round = 0; round < 2; ++round) {
        EXPECT_RUN(inst.run({"-J-Dchanged=1", "x"}), "arg[0]=x\n" + properties(), "", 0);
        ASSERT_TRUE(waitForCacheWork(cache));
    }
    std::vector<std::string> after = namesIn(cache);
    for (const std::string& name : before) EXPECT_EQ(std::count(after.begin(), after.end(), name), 1) << name;
    EXPECT_EQ(cacheKinds(after).size(), cacheKinds(before).size() * 2);
    EXPECT_NE(inst.run({"-J-Dchanged=1", "-verbose", "x"}).out.find("Startup cache: using"), std::string::npos);
    Result earlier = inst.run({"-verbose", "x"});
    EXPECT_NE(earlier.out.find("Startup cache: using"), std::string::npos) << earlier.out;
    after = namesIn(cache);

    // Off for one launch, and a place that cannot be made: nothing changes, nothing is written.
    EXPECT_RUN(inst.run({"--SetStartupCache=off", "x"}), "arg[0]=x\n" + properties(), "", 0);
    EXPECT_EQ(namesIn(cache), after);
    inst.write("file", "");
    EXPECT_RUN(inst.run({"--SetStartupCache=" + inst.path("file/cache"), "x"}), "arg[0]=x\n" + properties(), "", 0);
}

/// The line -verbose prints about the cache, without its end of line; empty when none.
std::string cacheNote(const Result& r) {
    std::smatch found;
    return std::regex_search(r.out, found, std::regex("Startup cache: ([^\n]*)")) ? found[1].str() : std::string();
}

/// `text` without what differs between two starts alike: the numbers (times, addresses, the
/// base address the runtime picks for its archive at random, how far it moves its heap). The
/// names, paths and switches that the cache would change stay. Runs of blanks count as one:
/// the VM aligns its flag table by the width of values that vary from start to start.
std::string steady(const std::string& text) {
    return std::regex_replace(std::regex_replace(text, std::regex("0x[0-9a-f]+|[0-9]+"), "#"), std::regex(" +"), " ");
}

/// An application of one jar, lib/hello.jar (a copy of `version` of the Hello class), with the
/// cache in cache/.
class RealJdkCache : public RealJdk {
protected:
    void SetUp() override {
        install(1);
        inst.writeConfig("SetJavaHome " + GetParam() + "\nSetJavaVM server\nAddJavaLibFile " + inst.path("lib/hello.jar") +
                         "\nSetMainClass launchertest.Hello\nSetStartupCache " + inst.path("cache") + "\n");
    }
    /// Writes version `version` over lib/hello.jar, in place, as an installer or cp does.
    void install(int version) {
        std::string jar = fs::path(target().javaClasses).parent_path().string() + "/hello-" + std::to_string(version) + ".jar";
        inst.mkdir("lib");
        fs::copy_file(jar, inst.path("lib/hello.jar"), fs::copy_options::overwrite_existing);
    }
    /// A start with -verbose that says "hello v<version>" and ends with 0; its cache line.
    std::string start(int version, const std::vector<std::string>& args = {}) {
        std::vector<std::string> all{"-verbose"};
        all.insert(all.end(), args.begin(), args.end());
        Result r = inst.run(all);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(waitForCacheWork(inst.path("cache")));
        std::string said = "hello v" + std::to_string(version) + "\n";
        EXPECT_TRUE(r.out.size() >= said.size() && r.out.compare(r.out.size() - said.size(), said.size(), said) == 0) << r.out;
        return cacheNote(r);
    }
    /// Three starts: the first trains, the second has the cache made, the third uses it; the
    /// archive it uses, or empty when it does not.
    std::string madeAndUsed() {
        start(1);
        start(1);
        std::string note = start(1);
        EXPECT_EQ(note.rfind("using ", 0), 0u) << note;
        return note.rfind("using ", 0) == 0 ? note.substr(6) : std::string();
    }
    /// The archive made last, the one file the runtime maps.
    std::string archive() const {
        std::string newest;
        for (const std::string& name : namesIn(inst.path("cache")))
            if (std::regex_search(name, std::regex("\\.(aot|jsa)$")) &&
                (newest.empty() || fs::last_write_time(inst.path("cache/" + name)) > fs::last_write_time(newest)))
                newest = inst.path("cache/" + name);
        return newest;
    }
};

// A jar replaced in place runs its new classes from the next start on; a cache damaged where
// it lies is never mapped: that start runs without it and trains again, and the one after
// uses a new cache.
TEST_P(RealJdkCache, FollowsTheJarAndNeverMapsADamagedCache) {
    EXPECT_EQ(start(1).rfind("training, writing ", 0), 0u);
    EXPECT_EQ(start(1).rfind("not used this start, making ", 0), 0u);
    EXPECT_EQ(start(1).rfind("using ", 0), 0u);
    install(2);
    EXPECT_EQ(start(2).rfind("training, writing ", 0), 0u);
    EXPECT_EQ(start(2).rfind("not used this start, making ", 0), 0u);
    EXPECT_EQ(start(2).rfind("using ", 0), 0u);
    for (double at : {0.5, 0.9}) {
        std::string file = archive();
        ASSERT_NE(file, "");
        std::fstream damaged(file, std::ios::in | std::ios::out | std::ios::binary);
        damaged.seekp(static_cast<std::streamoff>(fs::file_size(file) * at));
        damaged.write(std::string(64, '\x5a').data(), 64);
        damaged.close();
        std::string note = start(2);
        EXPECT_EQ(note, "removed " + file + ", changed since the runtime accepted it; not used this start, making " + file +
                            " from the classes the last start loaded");
        EXPECT_EQ(start(2).rfind("using ", 0), 0u);
    }
}

// A jar copied over in place with its size and its time kept (cp -p) runs its new classes.
TEST_P(RealJdkCache, FollowsAJarCopiedOverWithItsTimeKept) {
    ASSERT_NE(madeAndUsed(), "");
    auto size = fs::file_size(inst.path("lib/hello.jar"));
    auto time = fs::last_write_time(inst.path("lib/hello.jar"));
    install(2);
    fs::last_write_time(inst.path("lib/hello.jar"), time);
    EXPECT_EQ(fs::file_size(inst.path("lib/hello.jar")), size);
    EXPECT_EQ(start(2).rfind("training, writing ", 0), 0u);
}

/// The processes whose command line names `text`.
std::vector<int> processesNaming(const std::string& text) {
    std::vector<int> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        std::ifstream file(entry.path() / "cmdline", std::ios::binary);
        std::string line;
        try {
            line.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        } catch (const std::ios_base::failure&) {
            continue;  // the process ended while its command line was read
        }
        if (line.find(text) != std::string::npos) found.push_back(std::atoi(entry.path().filename().c_str()));
    }
    return found;
}

// A start killed while it trains leaves a list of what it loaded so far: the cache is made from
// it. A start killed while the cache is made beside it leaves the work to finish on its own.
TEST_P(RealJdkCache, StartsKilledWhileTheyTrainOrMakeTheCache) {
    RunOptions o;
    o.timeoutSeconds = 3;
    EXPECT_TRUE(inst.run({"sleep=60000"}, o).timedOut);
    o.timeoutSeconds = 2;
    EXPECT_TRUE(inst.run({"sleep=60000"}, o).timedOut);
    EXPECT_TRUE(waitForCacheWork(inst.path("cache")));
    EXPECT_EQ(processesNaming(inst.path("cache")), std::vector<int>{});
    // What the killed starts left is made into a cache by now or by the next start.
    std::string note;
    for (int round = 0; round < 3 && note.rfind("using ", 0) != 0; ++round) note = start(1);
    EXPECT_EQ(note.rfind("using ", 0), 0u) << note;
}

// A start whose VM dies of a fatal error with the cache it maps (a damaged archive would do
// that) costs one failed start: the next runs without the cache and has it made anew. A kill by
// the user is no such death. After two in a row the cache stays out until its mark is removed.
TEST_P(RealJdkCache, AStartThatDiesWithItsCache) {
    // AddressSanitizer takes the VM's fatal signal for its own report: the VM's abort hook never runs.
    if (sanitizedLauncher()) GTEST_SKIP() << "AddressSanitizer handles the crash before the VM does";
    std::string archive = madeAndUsed();
    ASSERT_NE(archive, "");
    RunOptions o;
    o.timeoutSeconds = 3;
    EXPECT_TRUE(inst.run({"sleep=60000"}, o).timedOut);
    EXPECT_EQ(start(1), "using " + archive);
    EXPECT_NE(inst.run({"crash"}).exitCode, 0);
    EXPECT_EQ(start(1), "removed " + archive + ", a start with it crashed; not used this start, making " + archive +
                            " from the classes the last start loaded");
    EXPECT_NE(inst.run({"crash"}).exitCode, 0);
    std::string mark = archive.substr(0, archive.rfind('.')) + ".crashed";
    EXPECT_EQ(start(1), "not used: 2 starts in a row with the caches made for these options crashed; removing " + mark +
                            " lets them try again");
    fs::remove(mark);
    EXPECT_EQ(start(1), "using " + archive);
}

// A making whose child is killed (by the system's out-of-memory killer, say) is no refusal by
// the runtime: it is made again at a later start, after one more start each time.
TEST_P(RealJdkCache, AMakingKilledTwiceIsMadeLater) {
    EXPECT_EQ(start(1).rfind("training, writing ", 0), 0u);
    std::string making;
    for (int kill = 0; kill < 2; ++kill) {
        auto started = std::async(std::launch::async, [&] { return start(1); });
        bool killed = false;
        for (int waited = 0; !killed && waited < 3000; ++waited) {
            for (int pid : processesNaming("-XX:SharedClassListFile=" + inst.path("cache"))) killed = ::kill(pid, SIGKILL) == 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(killed);
        making = started.get();
        EXPECT_EQ(making.rfind("not used this start, making ", 0), 0u) << making;
        EXPECT_TRUE(waitForCacheWork(inst.path("cache")));
    }
    std::string archive = making.substr(28, making.find(" from the classes") - 28);
    EXPECT_EQ(start(1), "not used this start, the last making of " + archive + " did not finish; making it again in 1 start");
    EXPECT_EQ(start(1), making);
    EXPECT_EQ(start(1), "using " + archive);
}

// A training start ends as the application does, whatever happens to the cache's files: its
// folder deleted meanwhile (as the documentation says to clear it), or a disk that fills up
// (a file size limit here). A thread dump asked for while it runs is printed.
TEST_P(RealJdkCache, TrainingNeverChangesTheOutcome) {
    auto training = std::async(std::launch::async, [&] { return inst.run({"sleep=4000"}); });
    for (int waited = 0; waited < 100 && namesIn(inst.path("cache")).size() < 2; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    fs::remove_all(inst.path("cache"));
    EXPECT_RUN(training.get(), "hello v1\n", "", 0);
    EXPECT_EQ(start(1).rfind("training, writing ", 0), 0u);

    fs::remove_all(inst.path("cache"));
    struct rlimit unlimited, small;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    small = unlimited;
    small.rlim_cur = 4096;
    ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the writer
    ::setrlimit(RLIMIT_FSIZE, &small);
    Result full = inst.run({"-verbose", "xml"});
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    ::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(full.exitCode, 0);
    EXPECT_EQ(full.err, "");
    EXPECT_EQ(cacheNote(full).rfind("training, writing ", 0), 0u) << full.out;
    EXPECT_EQ(full.out.substr(full.out.size() - 9), "hello v1\n");

    fs::remove_all(inst.path("cache"));
    auto dumped = std::async(std::launch::async, [&] { return inst.run({"sleep=3000"}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    for (int pid : processesNaming(inst.path("bin/app"))) ::kill(pid, SIGQUIT);
    Result r = dumped.get();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Full thread dump"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"main\""), std::string::npos);
    EXPECT_TRUE(waitForCacheWork(inst.path("cache")));
    EXPECT_EQ(start(1).rfind("not used this start, making ", 0), 0u);
}

// A cache that the runtime accepted when it was made, but that a start's VM does not map (for
// reasons of the runtime's own; here its header is damaged and its proof rewritten to fit) is
// noticed from the runtime's answer: that start runs as without it, and the next one has it
// made anew.
TEST_P(RealJdkCache, ACacheTheVmDeclinesIsMadeAnew) {
    std::string archive = madeAndUsed();
    ASSERT_NE(archive, "");
    {
        std::fstream damaged(archive, std::ios::in | std::ios::out | std::ios::binary);
        damaged.write("\x5a\x5a\x5a\x5a", 4);
    }
    struct stat info;
    ASSERT_EQ(::stat(archive.c_str(), &info), 0);
    auto nanoseconds = [](const struct timespec& t) { return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec; };
    std::ofstream(archive.substr(0, archive.rfind('.')) + ".ok")
        << info.st_size << " " << nanoseconds(info.st_mtim) << " " << nanoseconds(info.st_ctim) << " " << info.st_ino << "\n";
    EXPECT_EQ(start(1), "using " + archive);
    EXPECT_EQ(start(1), "not used this start, making " + archive + " from the classes the last start loaded");
    EXPECT_EQ(start(1), "using " + archive);
}

// The cache grows with what the application loads: one start in sixteen of those that find it
// lists its classes without it, and the next start has the cache made anew from that list
// when it names more classes than the cache holds; otherwise the cache stays as it is.
TEST_P(RealJdkCache, GrowsWithWhatTheApplicationLoads) {
    std::string archive = madeAndUsed();
    ASSERT_NE(archive, "");
    std::string list = archive.substr(0, archive.rfind('.')) + ".classes";
    std::string uses = archive.substr(0, archive.rfind('-')) + ".uses";
    auto classes = [&] {
        std::ifstream file(list);
        return std::count(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>(), '\n');
    };
    auto before = classes();
    // The fifteen starts that used it before are written down; the sixteenth lists.
    std::ofstream(uses) << "15";
    EXPECT_EQ(start(1, {"xml"}), "not used this start, listing the classes the application loads now in " +
                                     archive.substr(0, archive.rfind('.')) + ".new.classes");
    EXPECT_EQ(start(1), "using " + archive + "; making it anew from the classes a later start loaded");
    EXPECT_GT(classes(), before + 100);
    EXPECT_EQ(start(1, {"xml"}), "using " + archive);
    auto grown = classes();
    std::ofstream(uses) << "15";
    start(1);
    EXPECT_EQ(start(1), "using " + archive);
    EXPECT_EQ(classes(), grown);
}

// The user's own settings of the VM, in its environment variables or the options: the start
// is the same as without the cache, to the byte, and the cache keeps out.
TEST_P(RealJdkCache, TheUsersOwnSharingAndReportingSettingsWin) {
    struct Case {
        std::map<std::string, std::optional<std::string>> env;
        std::vector<std::string> args;
        std::string note;
    };
    const Case cases[] = {
        {{{"JAVA_TOOL_OPTIONS", std::string("-Xshare:auto")}}, {}, "not used: JAVA_TOOL_OPTIONS manage class data sharing"},
        {{{"_JAVA_OPTIONS", std::string("-Xshare:off")}}, {}, "not used: _JAVA_OPTIONS manage class data sharing"},
        {{{"JAVA_TOOL_OPTIONS", std::string("-XX:SharedArchiveFile=" + inst.path("mine.jsa"))}}, {},
         "not used: JAVA_TOOL_OPTIONS manage class data sharing"},
        {{{"JAVA_TOOL_OPTIONS", std::string("-XX:-UseSharedSpaces")}}, {}, "not used: JAVA_TOOL_OPTIONS manage class data sharing"},
        {{}, {"-J-XX:+PrintFlagsFinal"}, "not used: the VM options ask for -XX:+PrintFlagsFinal, which the cache would change"},
        {{}, {"-J-Xlog:cds=info"}, "not used: the VM options ask for -Xlog:cds=info, which the cache would change"},
    };
    for (const Case& c : cases) {
        RunOptions o;
        o.env = c.env;
        std::vector<std::string> args = c.args;
        Result cached = inst.run(args, o);
        args.insert(args.begin(), "--SetStartupCache=off");
        Result plain = inst.run(args, o);
        EXPECT_EQ(cached.exitCode, 0);
        EXPECT_EQ(cached.out.find("hello v1"), cached.out.size() - 9);
        // Logging with times and the archives' random base address differ from start to start.
        EXPECT_EQ(steady(cached.out), steady(plain.out));
        EXPECT_EQ(steady(cached.err), steady(plain.err));
        args[0] = "-verbose";
        EXPECT_EQ(cacheNote(inst.run(args, o)), c.note);
    }
    EXPECT_EQ(namesIn(inst.path("cache")), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Linux, RealJdkCache, ::testing::ValuesIn(installedJdks()), jdkTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealJdkCache);

INSTANTIATE_TEST_SUITE_P(Linux, RealJdk, ::testing::ValuesIn(installedJdks()), jdkTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealJdk);

}  // namespace
}  // namespace process_tests
