// The start-up cache's choices per runtime version, its directory, and the file operations it
// relies on, on real directories and environment variables.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "support/native.h"
#include "support/temp_dir.h"
#include "vm/startup_cache.h"
#include "vm/startup_cache_files.h"

using testing_support::nat;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

// The runtime's version as the launch reads it from the release file, and the row of the
// mechanisms that serves it (the first version of the row; 0 for none).
TEST(StartupCache, FeatureVersionAndMechanismOfReleaseFiles) {
    struct Case {
        const char* release;
        int version;
        int row;
    };
    const Case cases[] = {
        {"IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_VERSION=\"25.0.3\"\nOS_NAME=\"Linux\"\n", 25, 25},
        {"JAVA_VERSION=\"25\"", 25, 25},
        {"JAVA_VERSION=\"26-ea\"\r\n", 26, 25},
        {"JAVA_VERSION=\"24.0.1\"\n", 24, 13},
        {"JAVA_VERSION=\"19\"\n", 19, 13},
        {"JAVA_VERSION=\"18.0.2\"\n", 18, 13},
        {"JAVA_VERSION=17.0.15\n", 17, 13},
        {"JAVA_VERSION=\"13\"\n", 13, 13},
        {"JAVA_VERSION=\"11.0.22\"\n", 11, 0},
        {"JAVA_VERSION=\"1.8.0_392\"\n", 8, 0},
        {"JAVA_RUNTIME_VERSION=\"25.0.3+9-LTS\"\n", 0, 0},
        {"JAVA_VERSION=\"\"\n", 0, 0},
        {"JAVA_VERSION=\"1.\"", 1, 0},
        {"", 0, 0},
        // A number no runtime states is an unknown version, never the newest.
        {"JAVA_VERSION=\"99999999999999999999\"\n", 0, 0},
        {"JAVA_VERSION=\"1000\"\n", 0, 0},
    };
    TempDir dir;
    std::string home = dir.mkdir("jre");
    for (const Case& c : cases) {
        dir.write("jre/release", c.release);
        RuntimeFacts facts = readRuntimeFacts(home);
        int version = facts.releaseVersion ? facts.releaseVersion->feature() : 0;
        EXPECT_EQ(version, c.version) << c.release;
        const startup_cache::MechanismRow* row = startup_cache::mechanismRow(version);
        EXPECT_EQ(row ? row->from : 0, c.row) << c.release;
    }
    // Runtimes before 25 do not know the "aot" log tags and refuse to start when named.
    EXPECT_EQ(startup_cache::mechanismRow(24)->quiet, (std::vector<std::string>{"-Xshare:auto", "-Xlog:cds*=off"}));
}

TEST(StartupCache, DirectoryOfTheSettingIsPerUserAndPerApplication) {
    TempDir dir;
    std::string launcher = nat(dir.path() + "/bin/app") + platform::kExeSuffix;
    EXPECT_EQ(startupCacheDirectory(nat(dir.path() + "/mine"), launcher), nat(dir.path() + "/mine"));
#ifdef _WIN32
    ScopedEnv local("LOCALAPPDATA", dir.path() + "\\Local\\");
    EXPECT_EQ(startupCacheDirectory("on", launcher), dir.path() + "\\Local\\app");
    // The console variant shares the plain executable's cache.
    EXPECT_EQ(startupCacheDirectory("ON", dir.path() + "\\bin\\appc.exe"), dir.path() + "\\Local\\app");
    ScopedEnv none("LOCALAPPDATA", std::nullopt);
    EXPECT_EQ(startupCacheDirectory("on", launcher), "");
#else
    ScopedEnv xdg("XDG_CACHE_HOME", dir.path() + "/xdg");
    ScopedEnv home("HOME", dir.path() + "/home/");
    EXPECT_EQ(startupCacheDirectory("on", launcher), dir.path() + "/xdg/app");
    ScopedEnv relative("XDG_CACHE_HOME", std::string("relative/cache"));
    EXPECT_EQ(startupCacheDirectory("On", launcher), dir.path() + "/home/.cache/app");
    ScopedEnv noXdg("XDG_CACHE_HOME", std::nullopt);
    ScopedEnv noHome("HOME", std::nullopt);
    EXPECT_EQ(startupCacheDirectory("on", launcher), "");
#endif
}

TEST(StartupCache, FileOperations) {
    TempDir dir;
    std::string deep = nat(dir.path() + "/a/b/c");
    EXPECT_TRUE(platform::makeDirectories(deep));
    EXPECT_TRUE(platform::makeDirectories(deep));
    EXPECT_FALSE(platform::makeDirectories(dir.write("file") + platform::kDirSeparator + "below"));

    std::string from = dir.write("from", "new content");
    std::string to = dir.write("to", "old");
    EXPECT_TRUE(platform::replaceFile(from, to));
    EXPECT_FALSE(platform::exists(from));
    EXPECT_EQ(platform::readFileStart(to, 3), std::optional<std::string>("new"));
    EXPECT_EQ(platform::readFileStart(to, 100), std::optional<std::string>("new content"));
    ASSERT_TRUE(platform::fileStamp(to).has_value());
    EXPECT_EQ(platform::fileStamp(to)->size, 11u);
    EXPECT_FALSE(platform::fileStamp(deep).has_value());
    EXPECT_FALSE(platform::readFileStart(from, 10).has_value());
    EXPECT_TRUE(platform::removeFile(to));
    EXPECT_FALSE(platform::removeFile(to));

    // A second holder, even in the same process, is refused.
    std::string lock = dir / "x.lock";
    EXPECT_TRUE(platform::holdLockUntilExit(lock));
    EXPECT_FALSE(platform::holdLockUntilExit(lock));
    EXPECT_FALSE(platform::holdLockUntilExit(dir / "missing/x.lock"));
}

/// The options a launch of `application` with `release` and `vmOptions` gets, with the cache at
/// `directory`; the class path is the jar dir/app.jar.
std::vector<std::string> optionsFor(const TempDir& dir, const std::string& release, const std::string& directory,
                                    std::vector<std::string> vmOptions = {}, const std::string& application = "app.conf",
                                    const std::string& library = "jre/lib/server/libjvm.so") {
    LaunchSettings settings;
    std::string home = dir.mkdir("jre");
    // Written only when it changes: its time is part of the cache's key.
    if (platform::readFileStart(dir / "jre/release", 1 << 16) != release) dir.write("jre/release", release);
    settings.startupCache = directory;
    settings.classPath = dir / "app.jar";
    settings.applyDefaults();
    appendStartupCacheOptions(settings, readRuntimeFacts(home), dir / library, application, vmOptions);
    return vmOptions;
}

/// The file a training start's -XX:DumpLoadedClassList option names, through the name the
/// launcher holds it open by (Linux: /proc/self/fd/<n>) when it has one; empty for any other option.
std::string listedIn(const std::string& option) {
    const std::string start = "-XX:DumpLoadedClassList=";
    if (option.rfind(start, 0) != 0) return std::string();
    std::string name = option.substr(start.size());
    std::error_code ec;
    std::filesystem::path target = std::filesystem::read_symlink(name, ec);
    return name.rfind("/proc/self/fd/", 0) == 0 && !ec ? target.string() : name;
}

TEST(StartupCache, LaunchesThatKeepTheirOptions) {
    TempDir dir;
    std::string cache = dir / "cache";
    EXPECT_EQ(optionsFor(dir, "JAVA_VERSION=\"11.0.2\"\n", cache, {"-Xmx1g"}), std::vector<std::string>{"-Xmx1g"});
    EXPECT_EQ(optionsFor(dir, "JAVA_VERSION=\"21\"\n", cache, {"-Xshare:off"}), std::vector<std::string>{"-Xshare:off"});
    EXPECT_EQ(optionsFor(dir, "JAVA_VERSION=\"21\"\n", cache, {"-XX:SharedArchiveFile=mine.jsa"}),
              std::vector<std::string>{"-XX:SharedArchiveFile=mine.jsa"});
    // A place that cannot be a directory.
    EXPECT_EQ(optionsFor(dir, "JAVA_VERSION=\"21\"\n", dir.write("plain-file") + platform::kDirSeparator + "cache"),
              std::vector<std::string>{});
    EXPECT_FALSE(platform::exists(cache));

    // The user's own sharing or reporting settings, in the options or the VM's variables.
    struct Setting {
        const char* variable;  // nullptr: the option is the launch's own
        const char* option;
    };
    const Setting settings[] = {{"JAVA_TOOL_OPTIONS", "-Xshare:auto"}, {"_JAVA_OPTIONS", " -Xmx1g  -XX:SharedArchiveFile=x.jsa"},
                                {"JAVA_TOOL_OPTIONS", "-XX:AOTCache=x.aot"}, {"_JAVA_OPTIONS", "-XX:+PrintFlagsFinal"},
                                {nullptr, "-XX:+PrintFlagsFinal"}, {nullptr, "-Xlog:cds=info"}, {nullptr, "-verbose:class"}};
    for (const Setting& setting : settings) {
        ScopedEnv variable(setting.variable ? setting.variable : "UNUSED_BY_THE_VM", std::string(setting.option));
        std::vector<std::string> own = setting.variable ? std::vector<std::string>{"-Xmx1g"}
                                                        : std::vector<std::string>{"-Xmx1g", setting.option};
        EXPECT_EQ(optionsFor(dir, "JAVA_VERSION=\"21\"\n", cache, own), own) << setting.option;
    }
    EXPECT_FALSE(platform::exists(cache));

    std::vector<std::string> options = optionsFor(dir, "JAVA_VERSION=\"21\"\n", cache, {"-Xmx1g"});
    ASSERT_EQ(options.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(options.begin(), options.begin() + 3),
              (std::vector<std::string>{"-Xmx1g", "-Xshare:auto", "-Xlog:cds*=off"}));
    EXPECT_EQ(listedIn(options[3]).rfind(cache + platform::kDirSeparator, 0), 0u) << options[3];
    // The lock this process holds is its own: planning again plans the same.
    EXPECT_EQ(listedIn(optionsFor(dir, "JAVA_VERSION=\"21\"\n", cache, {"-Xmx1g"}).back()), listedIn(options[3]));
}

}  // namespace

namespace {

/// The cache file's name (no directory) that a launch with `vmOptions` is given.
std::string cacheNameFor(const TempDir& dir, const std::string& cache, const std::vector<std::string>& vmOptions,
                         const std::string& library = "jre/lib/server/libjvm.so") {
    std::vector<std::string> options = optionsFor(dir, "JAVA_VERSION=\"21\"\n", dir / cache, vmOptions, "app.conf", library);
    std::string list = options.empty() ? "" : listedIn(options.back());
    return list.substr(list.find_last_of(platform::kDirSeparator) + 1);
}

TEST(StartupCache, KeyFollowsTheOptionsButNotTheEnvironment) {
    TempDir dir;
    std::string base = cacheNameFor(dir, "a", {"-Djava.library.path=/one", "-Denv.x=\"1\"", "-Xmx1g"});
    ASSERT_NE(base, "");
    EXPECT_EQ(cacheNameFor(dir, "b", {"-Djava.library.path=/two", "-Denv.x=\"2\"", "-Xmx1g"}), base);
    std::string other = cacheNameFor(dir, "c", {"-Djava.library.path=/one", "-Denv.x=\"1\"", "-Xmx2g"});
    EXPECT_NE(other, base);
    EXPECT_EQ(other.substr(0, 9), base.substr(0, 9)) << "the same application";
    EXPECT_NE(cacheNameFor(dir, "d", {"-Xmx1g", "-Da=b"}), cacheNameFor(dir, "e", {"-Xmx1g -Da=b"}));
    // What the jar holds, and what the VM's own variables add, name another cache.
    dir.write("app.jar", "version 1");
    std::string first = cacheNameFor(dir, "f", {"-Xmx1g"});
    dir.write("app.jar", "version 2, longer");
    std::string second = cacheNameFor(dir, "g", {"-Xmx1g"});
    EXPECT_NE(second, first);
    ScopedEnv tool("JAVA_TOOL_OPTIONS", std::string("-Xss2m"));
    EXPECT_NE(cacheNameFor(dir, "h", {"-Xmx1g"}), second);
}

// The key follows the files as they are: the VM library the launch loads (not another one of
// the runtime), and a jar copied over in place with its size and time kept (cp -p).
TEST(StartupCache, KeyFollowsTheLoadedLibraryAndEveryChangeOfAJar) {
    TempDir dir;
    dir.write("jre/lib/server/libjvm.so", "server");
    dir.write("jre/lib/client/libjvm.so", "client");
    dir.write("app.jar", "version 1");
    std::string server = cacheNameFor(dir, "a", {}, "jre/lib/server/libjvm.so");
    std::string client = cacheNameFor(dir, "b", {}, "jre/lib/client/libjvm.so");
    EXPECT_NE(server, client);
    dir.write("jre/lib/client/libjvm.so", "client, updated");
    EXPECT_EQ(cacheNameFor(dir, "c", {}, "jre/lib/server/libjvm.so"), server) << "a library the launch does not load";
    dir.write("jre/lib/server/libjvm.so", "server, updated");
    EXPECT_NE(cacheNameFor(dir, "d", {}, "jre/lib/server/libjvm.so"), server);

    std::string before = cacheNameFor(dir, "e", {});
    auto time = std::filesystem::last_write_time(dir / "app.jar");
    dir.write("app.jar", "version 2");
    std::filesystem::last_write_time(dir / "app.jar", time);
    EXPECT_NE(cacheNameFor(dir, "f", {}), before);
}

}  // namespace

namespace {

// A start whose VM dies of a fatal error with the cache it maps marks it: the next start runs
// without it and has it made anew; after two such starts in a row the key uses no cache. A
// start that ends otherwise clears the count.
TEST(StartupCache, ACacheAStartDiedWithIsMadeAnewAndTwoInARowStopIt) {
    TempDir dir;
    const std::string release = "JAVA_VERSION=\"21\"\n";
    std::string list = listedIn(optionsFor(dir, release, dir / "cache").back());
    ASSERT_EQ(list.substr(list.size() - 8), ".classes");
    std::string archive = list.substr(0, list.size() - 8) + ".jsa";
    startup_cache::CacheFiles files;
    files.proof = list.substr(0, list.size() - 8) + ".ok";
    auto proven = [&] {
        std::filesystem::remove(archive);
        std::ofstream(archive, std::ios::binary) << "an archive";
        ASSERT_TRUE(startup_cache::recordProof(files, archive));
    };
    auto uses = [&] { return optionsFor(dir, release, dir / "cache").back() == "-XX:SharedArchiveFile=" + archive; };
    proven();
    EXPECT_TRUE(uses());
    startupCacheCrashed();
    EXPECT_FALSE(uses());
    EXPECT_FALSE(std::filesystem::exists(archive));
    for (bool endedBetween : {true, false}) {
        proven();
        EXPECT_TRUE(uses());
        if (endedBetween) {
            startupCacheEnded();
            EXPECT_TRUE(uses());
        }
        startupCacheCrashed();
    }
    proven();
    EXPECT_EQ(optionsFor(dir, release, dir / "cache"), std::vector<std::string>{});
}

// A making whose child was killed or short of space keeps its list and is tried again, each
// time after more starts.
TEST(StartupCache, MakingsThatDidNotFinishWaitLongerEachTime) {
    TempDir dir;
    startup_cache::CacheFiles files;
    files.unfinished = dir / "x.unfinished";
    EXPECT_EQ(startup_cache::makingDeferred(files), 0);
    for (int wait : {0, 1, 3, 7, 15, 15}) {
        startup_cache::countUnfinished(files);
        int skipped = 0;
        while (skipped < 100 && startup_cache::makingDeferred(files) > 0) ++skipped;
        EXPECT_EQ(skipped, wait);
    }
}

// A worker's job names the making of one key's cache: anything else it is given does nothing.
TEST(StartupCache, AWorkerDoesOnlyTheMakingOfItsKeysFiles) {
    TempDir dir;
    const std::string cache = dir / "cache";
    std::filesystem::create_directories(cache);
    const std::string stem = nat(cache + "/0123abcd-0123456789abcdef");
    const std::vector<std::string> job = {"make-startup-cache", "25", cache, "0123abcd-", "0123456789abcdef", "app.conf",
                                          dir / "no-runtime", "app.jar", stem + ".classes", stem + ".aot", "1", "-Dx=1"};
    struct Case {
        std::size_t word;
        const char* value;
    };
    const Case faults[] = {{0, "make-something"}, {1, "24"}, {1, "2x"}, {3, ""}, {8, "/elsewhere.classes"},
                           {9, "/elsewhere.aot"}, {10, "2"}, {10, "0"}, {10, "-1"}, {10, "99999999999"}};
    for (const Case& fault : faults) {
        std::vector<std::string> faulty = job;
        faulty[fault.word] = fault.value;
        EXPECT_FALSE(runStartupCacheJob(faulty)) << fault.word << " " << fault.value;
    }
    EXPECT_FALSE(runStartupCacheJob({}));
    EXPECT_FALSE(runStartupCacheJob(std::vector<std::string>(job.begin(), job.end() - 2)));
    EXPECT_TRUE(std::filesystem::is_empty(cache));
    // Here the runtime is missing: the making is the runtime's refusal.
    EXPECT_TRUE(runStartupCacheJob(job));
    EXPECT_TRUE(std::filesystem::exists(stem + ".failed"));
}

}  // namespace
