// The start-up cache's options per runtime version, as the VM receives them, on every build:
// the test-double VM is given a Java home whose release file names the version. The cache's
// file names hold hashes; the record shows them as KEY.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "process/harness.h"

namespace process_tests {
namespace {

struct CacheCase {
    const char* name;
    std::optional<std::string> release;  // nullopt: the runtime has no release file
    std::vector<std::string> added;      // "DIR" is the cache directory as the launcher names it
    std::string note;                    // what -verbose says
};

/// `text` with DIR replaced by `directory`, and HELD(name), the name of a file the VM writes at
/// its exit, by the name it is given: on Linux the launcher holds it open and names it through
/// /proc/self/fd, which the record shows as HELD.
std::string withDirectory(std::string text, const std::string& directory) {
    std::size_t at = text.find("DIR");
    if (at != std::string::npos) text.replace(at, 3, directory);
    std::smatch held;
    if (std::regex_search(text, held, std::regex("HELD\\(([^)]*)\\)")))
        text = held.prefix().str() + (isWindows() ? held[1].str() : "HELD") + held.suffix().str();
    return text;
}

/// The record with each cache file's hashes written as KEY, and a held file's name as HELD.
std::string keyed(const std::string& text) {
    std::string keys = std::regex_replace(text, std::regex("[0-9a-f]{8}-[0-9a-f]{16}"), "KEY");
    return std::regex_replace(keys, std::regex("/proc/self/fd/[0-9]+"), "HELD");
}

/// A directory for the cache of `inst` that only the user may write: the Windows builds take
/// only one in the user's profile, here the wine prefix's %LOCALAPPDATA%.
struct CachePlace {
    std::string seen;  ///< as the launcher names it
    std::string host;  ///< as this program reaches it
};
CachePlace privateCacheDirectory(const Installation& inst);

/// The options of a launch of ../lib/app.jar without the cache.
std::vector<std::string> optionsWithApplicationJar(const Installation& inst) {
    LaunchOptions parts;
    parts.classPath = std::vector<std::string>{native("../lib/app.jar")};
    for (const std::string& entry : runtimeClassPath(defaultJavaHome())) parts.classPath->push_back(entry);
    return expectedOptions(inst, parts);
}

CachePlace privateCacheDirectory(const Installation& inst) {
    if (!isWindows()) return {inst.seen("cache"), inst.path("cache")};
    static const std::string local = windowsVariable("LOCALAPPDATA");
    std::string seen = local + "\\launcher-tests\\" + std::filesystem::path(inst.root()).filename().string();
    // "C:\users\..." lies in the prefix's drive_c.
    std::string host = std::string(std::getenv("WINEPREFIX")) + "/drive_c/" + seen.substr(3);
    std::replace(host.begin(), host.end(), '\\', '/');
    return {seen, host};
}

class StartupCacheVersions : public ::testing::TestWithParam<CacheCase> {};

TEST_P(StartupCacheVersions, OptionsOfTheRuntimesMechanism) {
    Installation inst;
    inst.addRuntime();
    if (GetParam().release) inst.write("jre/release", *GetParam().release);
    inst.write("lib/app.jar", "");
    std::string cache = privateCacheDirectory(inst).seen;
    inst.writeConfig("SetMainClass test.Main\nAddJavaLibFile ../lib/app.jar\nSetStartupCache " + cache + "\n");
    std::vector<std::string> options = optionsWithApplicationJar(inst);
    for (const std::string& added : GetParam().added)
        options.insert(options.end() - 1, withDirectory(added, cache + dirSeparator()));
    // One launch shows both: what the VM receives, and the line -verbose adds about the cache.
    Result verbose = inst.run({"-nomsgbox", "-verbose", "a"});
    EXPECT_EQ(verbose.exitCode, 0);
    EXPECT_EQ(verbose.err, "");
    EXPECT_EQ(keyed(inst.record()), startedRecord(options, "test/Main", {"a"}));
    std::string line = streamText("Startup cache: " + withDirectory(GetParam().note, cache + dirSeparator()) + "\n");
    EXPECT_NE(keyed(verbose.out).find(line), std::string::npos) << verbose.out;
    if (isWindows()) std::filesystem::remove_all(privateCacheDirectory(inst).host);
}

std::vector<CacheCase> cacheCases() {
    return {
        {"Java8", std::string("JAVA_VERSION=\"1.8.0_392\"\n"), {}, "not used: the runtime (Java version 8) keeps no class data"},
        {"Java11", std::string("JAVA_VERSION=\"11.0.22\"\n"), {}, "not used: the runtime (Java version 11) keeps no class data"},
        {"NoReleaseFile", std::nullopt, {}, "not used: the runtime (Java version 0) keeps no class data"},
        {"Java17", std::string("IMPLEMENTOR=\"Debian\"\r\nJAVA_VERSION=\"17.0.15\"\r\n"),
         {"-Xshare:auto", "-Xlog:cds*=off", "-XX:DumpLoadedClassList=HELD(DIRKEY.classes)"}, "training, writing DIRKEY.classes"},
        {"Java21", std::string("JAVA_VERSION=\"21.0.5\"\n"),
         {"-Xshare:auto", "-Xlog:cds*=off", "-XX:DumpLoadedClassList=HELD(DIRKEY.classes)"}, "training, writing DIRKEY.classes"},
        {"Java25", std::string("JAVA_VERSION=\"25.0.3\"\n"),
         {"-Xlog:cds*=off", "-Xlog:aot*=off", "-XX:DumpLoadedClassList=HELD(DIRKEY.classes)"}, "training, writing DIRKEY.classes"},
    };
}

INSTANTIATE_TEST_SUITE_P(StartupCache, StartupCacheVersions, ::testing::ValuesIn(cacheCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Off for one launch: the options are exactly those of a launch without the directive, and
// nothing is written. "on" puts the cache in the user's cache directory, named after the
// launcher (the console variant shares it).
TEST(StartupCache, OffForOneLaunchAndTheDefaultPlace) {
    Installation inst;
    inst.addRuntime();
    inst.write("jre/release", "JAVA_VERSION=\"21\"\n");
    inst.write("lib/app.jar", "");
    inst.writeConfig("SetMainClass test.Main\nAddJavaLibFile ../lib/app.jar\nSetStartupCache on\n");
    std::vector<std::string> options = optionsWithApplicationJar(inst);
    RunOptions o;
    // Wine sets LOCALAPPDATA itself: the Windows builds are checked against the prefix's.
    std::string userCache = isWindows() ? windowsVariable("LOCALAPPDATA") : inst.seen("user-cache");
    if (!isWindows()) o.env = {{"XDG_CACHE_HOME", userCache}};
    EXPECT_RUN(inst.run({"-nomsgbox", "--SetStartupCache=OFF", "a"}, o), "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(options, "test/Main", {"a"}));
    EXPECT_FALSE(std::filesystem::exists(inst.path("user-cache")));

    std::remove(inst.recordFile().c_str());
    std::string program = isWindows() ? "appc.exe" : "app";
    if (isWindows()) inst.addExecutable(program);
    o.program = program;
    EXPECT_RUN(inst.run({"-nomsgbox", "a"}, o), "", "", 0);
    std::vector<std::string> cached = options;
    std::string list = withDirectory("HELD(DIRKEY.classes)", userCache + dirSeparator() + "app" + dirSeparator());
    for (const std::string& added : std::vector<std::string>{"-Xshare:auto", "-Xlog:cds*=off", "-XX:DumpLoadedClassList=" + list})
        cached.insert(cached.end() - 1, added);
    EXPECT_EQ(keyed(inst.record()), startedRecord(cached, "test/Main", {"a"}));
}

/// Every file and directory below the installation's root, the VM's record aside.
std::vector<std::string> treeOf(const Installation& inst) {
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(inst.path("")))
        if (entry.path().filename() != "record.txt") entries.push_back(entry.path().string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A value that is neither on, off nor a directory written as a path, and a file system's root,
// are refused with a warning naming them: the launch goes on without the cache and creates
// nothing (no folder named after a typo beside the executable).
TEST(StartupCache, ValuesThatNameNoPlaceForItAreRefused) {
    const std::string sep(1, dirSeparator());
    const std::string kind = "it takes on, off, or a directory (absolute, or beginning with ." + sep + " or .." + sep +
                             " from the launcher's directory)";
    const std::string root = "the root of a file system is no place for it";
    std::string up;
    for (int i = 0; i < 40; ++i) up += "../";
    struct Case {
        std::string value, reason;
    };
    std::vector<Case> cases{{"maybe", kind}, {"false", kind}, {"~/.cache/app", kind}, {"cache", kind},
                            {"cache/sub", kind}, {up, root}};
    for (const std::string& top : isWindows() ? std::vector<std::string>{"C:\\", "\\", "C:/x/.."} : std::vector<std::string>{"/", "/tmp/.."})
        cases.push_back({top, root});
    if (isWindows()) cases.push_back({"C:cache", kind});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Installation inst;
        inst.addRuntime();
        inst.write("jre/release", "JAVA_VERSION=\"21\"\n");
        inst.write("lib/app.jar", "");
        inst.writeConfig("SetMainClass test.Main\nAddJavaLibFile ../lib/app.jar\nSetStartupCache " + c.value + "\n");
        std::vector<std::string> before = treeOf(inst);
        RunOptions o;
        o.env = {{"XDG_CACHE_HOME", inst.path("user-cache")}};
        EXPECT_RUN(inst.run({"-nomsgbox", "a"}, o), "",
                   "WARNING: SetStartupCache " + c.value + ": " + c.reason + "; the start-up cache stays off\n", 0);
        EXPECT_EQ(inst.record(), startedRecord(optionsWithApplicationJar(inst), "test/Main", {"a"}));
        EXPECT_EQ(treeOf(inst), before);
    }
}

// A directory from the launcher's own, written with either separator, is the cache's place.
TEST(StartupCache, ADirectoryFromTheLaunchersOwn) {
    for (std::string value : {"../cache", "..\\cache", "./cache"}) {
        SCOPED_TRACE(value);
        Installation inst;
        inst.addRuntime();
        inst.write("jre/release", "JAVA_VERSION=\"21\"\n");
        inst.write("lib/app.jar", "");
        inst.writeConfig("SetMainClass test.Main\nAddJavaLibFile ../lib/app.jar\nSetStartupCache " + value + "\n");
        EXPECT_RUN(inst.run({"-nomsgbox", "a"}), "", "", 0);
        // The value is taken; whether the cache then uses the place is the cache's own check,
        // which on the Windows builds under wine turns it down.
        if (isWindows()) continue;
        std::vector<std::string> cached = optionsWithApplicationJar(inst);
        for (const std::string& added : std::vector<std::string>{"-Xshare:auto", "-Xlog:cds*=off", "-XX:DumpLoadedClassList=HELD"})
            cached.insert(cached.end() - 1, added);
        EXPECT_EQ(keyed(inst.record()), startedRecord(cached, "test/Main", {"a"}));
        // The list the VM was given lies there.
        std::string directory = inst.path(value[1] == '.' ? "cache" : "bin/cache");
        std::vector<std::string> lists;
        for (const auto& entry : std::filesystem::directory_iterator(directory))
            if (entry.path().extension() == ".classes") lists.push_back(entry.path().string());
        EXPECT_EQ(lists.size(), 1u);
    }
}

/// An installation of app.jar on a runtime whose release file names `version`, with the cache
/// in a private directory.
class CacheLife : public ::testing::Test {
protected:
    void start(const std::string& version) {
        inst.addRuntime();
        inst.write("jre/release", "JAVA_VERSION=\"" + version + "\"\n");
        inst.write("lib/app.jar", "");
        place = privateCacheDirectory(inst);
        std::filesystem::create_directories(place.host);
        inst.writeConfig("SetMainClass test.Main\nAddJavaLibFile ../lib/app.jar\nSetStartupCache " + place.seen + "\n");
    }
    void TearDown() override {
        if (isWindows()) std::filesystem::remove_all(place.host);
    }
    /// What -verbose says about the cache in a start with `options`, the directory written as
    /// DIR/ and the hashes as KEY; the start must end as without the cache.
    /// `whileWorking` runs once the launch has ended, before the cache's work beside it is done.
    std::string note(const std::vector<std::string>& options = {},
                     const std::map<std::string, std::optional<std::string>>& env = {},
                     const std::function<void()>& whileWorking = {}) {
        std::vector<std::string> args{"-nomsgbox", "-verbose"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back("a");
        RunOptions o;
        o.env = env;
        o.timeoutSeconds = 20;
        auto began = std::chrono::steady_clock::now();
        Result r = inst.run(args, o);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        if (whileWorking) whileWorking();
        EXPECT_TRUE(waitForCacheWork(place.host));
        std::smatch found;
        if (!std::regex_search(r.out, found, std::regex("Startup cache: ([^\r\n]*)"))) return "(none)";
        std::string line = found[1].str();
        last = std::regex_search(line, found, std::regex("[0-9a-f]{8}-[0-9a-f]{16}")) ? found[0].str() : last;
        for (std::size_t at; (at = line.find(place.seen + dirSeparator())) != std::string::npos;)
            line.replace(at, place.seen.size() + 1, "DIR/");
        return keyed(line);
    }
    /// Writes a file of the cache with the name of the last key (`ending` after it).
    void plant(const std::string& ending, const std::string& content) const {
        std::ofstream(place.host + "/" + last + ending, std::ios::binary) << content;
    }
    bool present(const std::string& ending) const { return std::filesystem::exists(place.host + "/" + last + ending); }
    std::string content(const std::string& ending) const {
        std::ifstream in(place.host + "/" + last + ending, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    /// A list cut short to nothing (a training start killed at once) is trained again; the
    /// archive of a list the runtime cannot make one from (here: no runtime at all) is not
    /// made, the list goes, and after two such a key trains no more; a cache that the runtime
    /// never proved is removed.
    void listLeftoversAndRefusals(const std::string& version, const std::string& ending);

    Installation inst;
    CachePlace place;
    std::string last;  ///< the hashes of the last cache file -verbose named
    double seconds = 0;  ///< how long the last start took, the cache's work beside it not counted
};

/// A list of classes as the runtimes write one.
const std::string kClassList = "# NOTE: Do not modify this file.\njava/lang/Object\njava/lang/String\n";

void CacheLife::listLeftoversAndRefusals(const std::string& version, const std::string& ending) {
    start(version);
    EXPECT_EQ(note(), "training, writing DIR/KEY.classes");
    plant(".classes", "");
    EXPECT_EQ(note(), "training, writing DIR/KEY.classes");
    for (int refusal = 0; refusal < 2; ++refusal) {
        plant(".classes", kClassList);
        // A worker ended before its making was leaves its mark: that making did not finish, and
        // the first such is made again at once.
        if (refusal == 1) plant(".making", "");
        EXPECT_EQ(note(), "not used this start, making DIR/KEY" + ending + " from the classes the last start loaded");
        EXPECT_FALSE(present(".classes"));
        EXPECT_FALSE(present(".making"));
        EXPECT_FALSE(present(ending + ".part"));
        if (refusal == 0) {
            EXPECT_EQ(note(), "training, writing DIR/KEY.classes");
        }
    }
    EXPECT_EQ(note(), "not used: the runtime refused the caches made for these options");
    std::filesystem::remove(place.host + "/" + last.substr(0, 8) + ".unused");  // as a start that used a cache would
    EXPECT_EQ(note({"-J-Dother=1"}), "training, writing DIR/KEY.classes");
    plant(ending, std::string("\xa2\xab\x0b\xf0", 4) + "by hand");
    plant(".ok", "1 2 3 4\n");
    EXPECT_EQ(note({"-J-Dother=1"}),
              "removed DIR/KEY" + ending + ", changed since the runtime accepted it; training, writing DIR/KEY.classes");
    EXPECT_FALSE(present(ending));
}

TEST_F(CacheLife, AotCacheLeftoversAndRefusals) { listLeftoversAndRefusals("25.0.1", ".aot"); }
TEST_F(CacheLife, ManagedArchiveLeftoversAndRefusals) { listLeftoversAndRefusals("17.0.2", ".jsa"); }

// A making beside a start never holds the start up: with a runtime whose java takes 3 s to make
// the archive, the start that has it made ends as soon as a start without a making does, and a
// later start uses what it made.
TEST_F(CacheLife, AMakingNeverHoldsTheStartUp) {
    start("25.0.1");
    if (isWindows()) {
        std::filesystem::copy_file(std::filesystem::path(target().fakeJvmDir) / "fake_jdk_tool.exe",
                                   inst.path("jre/" + javaExecutable()), std::filesystem::copy_options::overwrite_existing);
    } else {
        inst.write("jre/" + javaExecutable(),
                   "#!/bin/sh\nfor arg; do case $arg in -XX:SharedArchiveFile=*) archive=${arg#*=};; -Xshare:dump) dump=1;; esac; done\n"
                   "[ -z \"$dump\" ] || { sleep \"${LAUNCHER_TEST_MAKING_SECONDS:-0}\"; printf '\\242\\253\\013\\360 stand-in' >\"$archive\"; }\n");
        std::filesystem::permissions(inst.path("jre/" + javaExecutable()), std::filesystem::perms::owner_all);
    }
    const std::map<std::string, std::optional<std::string>> slowMaking{{"LAUNCHER_TEST_MAKING_SECONDS", std::string("3")}};
    EXPECT_EQ(note({}, slowMaking), "training, writing DIR/KEY.classes");
    double training = seconds;
    plant(".classes", kClassList);
    // After makings that did not finish, one waits for a start.
    plant(".unfinished", "1 1\n");
    EXPECT_EQ(note({}, slowMaking), "not used this start, the last making of DIR/KEY.aot did not finish; making it again in 1 start");
    // The system's list of processes names the worker for what it is, not a second copy of
    // the application (a process that has ended shows no command).
    std::set<std::string> workers;
    auto listWorkers = [&] {
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::ifstream comm(entry.path() / "comm"), cmdline(entry.path() / "cmdline");
            std::string name, command;
            if (std::getline(comm, name) && name == "app cache" && std::getline(cmdline, command, '\0') && !command.empty())
                workers.insert(command);
        }
    };
    // Under a runner (valgrind) the system lists the runner's command line instead.
    bool listed = !isWindows() && target().runner.empty();
    EXPECT_EQ(note({}, slowMaking, listed ? listWorkers : std::function<void()>()),
              "not used this start, making DIR/KEY.aot from the classes the last start loaded");
    EXPECT_LT(seconds, training + 1.0);
    if (listed) {
        EXPECT_EQ(workers, std::set<std::string>{"app: cache worker"});
    }
    RecordProperty("training_start_ms", static_cast<int>(training * 1000));
    RecordProperty("making_start_ms", static_cast<int>(seconds * 1000));
    // The VM maps it (its java.vm.info says so): it stays for the next start.
    for (int use = 0; use < 2; ++use) EXPECT_EQ(note({}, slowMaking), "using DIR/KEY.aot");
    // Two starts in a row that died with it stop the key's caches until the mark is removed.
    plant(".crashed", "2 x\n");
    EXPECT_EQ(note(), "not used: 2 starts in a row with the caches made for these options crashed; removing DIR/KEY.crashed "
                      "lets them try again");
    std::filesystem::remove(place.host + "/" + last + ".crashed");
    EXPECT_EQ(note(), "using DIR/KEY.aot");
    // A longer list that a later start wrote has it made anew, after the start that maps it.
    plant(".new.classes", kClassList + "java/lang/Thread\n");
    EXPECT_EQ(note(), "using DIR/KEY.aot; making it anew from the classes a later start loaded");
    EXPECT_FALSE(present(".new.classes"));
    EXPECT_EQ(content(".classes"), kClassList + "java/lang/Thread\n");
    EXPECT_EQ(note(), "using DIR/KEY.aot");
}

// The caches of the three option sets made last stay beside the current one, older ones go.
TEST_F(CacheLife, OptionSets) {
    start("17.0.2");
    std::vector<std::string> keys;
    for (int set = 1; set <= 5; ++set) {
        // As a start that used a cache would: this application's trainings pay back.
        std::filesystem::remove(place.host + "/" + last.substr(0, 8) + ".unused");
        EXPECT_EQ(note({"-J-Dset=" + std::to_string(set)}), "training, writing DIR/KEY.classes");
        plant(".classes", kClassList);
        keys.push_back(last);
    }
    EXPECT_FALSE(std::filesystem::exists(place.host + "/" + keys[0] + ".classes"));
    for (int set = 2; set <= 5; ++set) EXPECT_TRUE(std::filesystem::exists(place.host + "/" + keys[set - 1] + ".classes")) << set;

    // The caches of an application whose configuration file is gone go with the next training;
    // those of one still there stay.
    std::ofstream(place.host + "/0000aaaa.app") << inst.seen("removed.conf");
    std::ofstream(place.host + "/0000bbbb.app") << inst.seen("bin/app.conf");
    for (const char* name : {"0000aaaa-0123456789abcdef.jsa", "0000aaaa.lock", "0000bbbb-0123456789abcdef.jsa"})
        std::ofstream(place.host + "/" + name) << "x";
    std::filesystem::remove(place.host + "/" + last.substr(0, 8) + ".unused");
    EXPECT_EQ(note({"-J-Dset=6"}), "training, writing DIR/KEY.classes");
    for (const char* name : {"0000aaaa.app", "0000aaaa-0123456789abcdef.jsa", "0000aaaa.lock"})
        EXPECT_FALSE(std::filesystem::exists(place.host + "/" + name)) << name;
    EXPECT_TRUE(std::filesystem::exists(place.host + "/0000bbbb-0123456789abcdef.jsa"));
}

// What keeps the cache out of one start, on every build: the user's own sharing or reporting
// settings wherever the VM reads them, a place that cannot be a directory, and a class path
// that holds a directory. The start says why, and writes nothing.
TEST_F(CacheLife, StartsThatKeepItOut) {
    start("17.0.2");
    const std::string sep(1, dirSeparator());
    const std::string underAFile = inst.seen("lib/app.jar") + sep + "cache";
    struct Case {
        std::map<std::string, std::optional<std::string>> env;
        std::vector<std::string> options;
        std::string note;
    };
    const Case cases[] = {
        {{{"JAVA_TOOL_OPTIONS", std::string("-Xshare:auto")}}, {}, "not used: JAVA_TOOL_OPTIONS manage class data sharing"},
        {{{"_JAVA_OPTIONS", std::string("-Xmx64m -XX:AOTCache=x.aot")}}, {}, "not used: _JAVA_OPTIONS manage class data sharing"},
        {{{"JAVA_TOOL_OPTIONS", std::string("-XX:+PrintFlagsFinal")}}, {},
         "not used: JAVA_TOOL_OPTIONS ask for -XX:+PrintFlagsFinal, which the cache would change"},
        {{}, {"-J-Xlog:cds=info"}, "not used: the VM options ask for -Xlog:cds=info, which the cache would change"},
        {{}, {"-J-Xshare:off"}, "not used: the VM options manage class data sharing"},
        {{{"JAVA_TOOL_OPTIONS", std::string("-XX:-UseSharedSpaces")}}, {}, "not used: JAVA_TOOL_OPTIONS manage class data sharing"},
        {{{"_JAVA_OPTIONS", std::string("-XX:AOTMode=off")}}, {}, "not used: _JAVA_OPTIONS manage class data sharing"},
        {{}, {"-J-XX:+UseSharedSpaces"}, "not used: the VM options manage class data sharing"},
        {{}, {"--AddVMOption=-XX:ArchiveClassesAtExit=x.jsa"}, "not used: the VM options manage class data sharing"},
        {{}, {"--SetStartupCache=" + underAFile}, "not used: no directory for it at " + underAFile},
        {{}, {"--AddJavaLibFile=.." + sep + "lib"}, "not used: the class path holds a directory, which the runtime cannot archive"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(note(c.options, c.env), c.note);
        EXPECT_TRUE(std::filesystem::is_empty(place.host)) << c.note;
    }
}

// Starts that each train for other options, and never use what they made, stop training
// after four of them, and train once in every sixteen starts from then on.
TEST_F(CacheLife, BacksOffTrainingThatNeverPaysBack) {
    start("17.0.2");
    for (int set = 1; set <= 4; ++set)
        EXPECT_EQ(note({"-J-Dset=" + std::to_string(set)}), "training, writing DIR/KEY.classes") << set;
    for (int set = 5; set <= 19; ++set)
        EXPECT_EQ(note({"-J-Dset=" + std::to_string(set)}),
                  "not used: none of the application's last 4 caches was used; training again in " + std::to_string(20 - set) +
                      " starts");
    EXPECT_EQ(note({"-J-Dset=20"}), "training, writing DIR/KEY.classes");
    EXPECT_EQ(note({"-J-Dset=21"}), "not used: none of the application's last 4 caches was used; training again in 15 starts");
}

// Linux: a directory others may write in, or another user's, keeps the cache off; a link at
// the lock's name is not followed; a FIFO at a cache file's name does not hold the start up.
TEST_F(CacheLife, PlantedFilesAndOtherUsersDirectories) {
    if (isWindows()) GTEST_SKIP() << "POSIX owners and modes";
    start("17.0.2");
    namespace fs = std::filesystem;
    fs::permissions(place.host, fs::perms::others_write, fs::perm_options::add);
    EXPECT_EQ(note(), "not used: " + place.seen + " is not the user's own, or others may write in it");
    fs::permissions(place.host, fs::perms::others_write, fs::perm_options::remove);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(place.host.c_str(), 65534, 65534), 0);
        EXPECT_EQ(note(), "not used: " + place.seen + " is not the user's own, or others may write in it");
        ASSERT_EQ(::chown(place.host.c_str(), 0, 0), 0);
    }
    EXPECT_TRUE(fs::is_empty(place.host));

    EXPECT_EQ(note(), "training, writing DIR/KEY.classes");
    std::string lock = place.host + "/" + last.substr(0, 8) + ".lock";
    fs::remove(lock);
    fs::create_symlink(inst.path("outside"), lock);
    EXPECT_EQ(note(), "not used: another start is preparing it, or the place cannot be written");
    EXPECT_FALSE(fs::exists(inst.path("outside")));
    fs::remove(lock);
    fs::remove(place.host + "/" + last + ".classes");
    ASSERT_EQ(::mkfifo((place.host + "/" + last + ".classes").c_str(), 0600), 0);
    EXPECT_EQ(note(), "training, writing DIR/KEY.classes");
    EXPECT_TRUE(fs::is_regular_file(place.host + "/" + last + ".classes"));
    // Anything else at the lock's name goes, never followed: that start stays out, the next takes
    // it. A directory goes with what it holds, a link in it without what the link names.
    inst.write("outside/kept", "x");
    for (const std::string kind : {"FIFO", "directory", "full directory"}) {
        // Afresh each time, so that no count of unused caches stops the training.
        for (const auto& entry : fs::directory_iterator(place.host)) fs::remove_all(entry.path());
        ASSERT_EQ(kind == "FIFO" ? ::mkfifo(lock.c_str(), 0600) : ::mkdir(lock.c_str(), 0700), 0);
        if (kind == "full directory") {
            fs::create_directories(lock + "/a/b");
            fs::create_directory_symlink(inst.path("outside"), lock + "/a/outside");
        }
        EXPECT_EQ(note(), "not used: another start is preparing it, or the place cannot be written") << kind;
        EXPECT_FALSE(fs::exists(fs::symlink_status(lock))) << kind;
        EXPECT_EQ(note(), "training, writing DIR/KEY.classes") << kind;
    }
    EXPECT_TRUE(fs::exists(inst.path("outside/kept")));
    // A full directory at the class list's name goes too, and the list is written in its place.
    std::string list = place.host + "/" + last + ".classes";
    for (const auto& entry : fs::directory_iterator(place.host)) fs::remove_all(entry.path());
    fs::create_directories(list + "/a");
    EXPECT_EQ(note(), "training, writing DIR/KEY.classes");
    EXPECT_TRUE(fs::is_regular_file(list));
}

}  // namespace
}  // namespace process_tests
