// The start-up cache's options per runtime version, as the VM receives them, on every build:
// the test-double VM is given a Java home whose release file names the version. The cache's
// file names hold hashes; the record shows them as KEY.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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
std::string privateCacheDirectory(const Installation& inst);

/// The options of a launch of ../lib/app.jar without the cache.
std::vector<std::string> optionsWithApplicationJar(const Installation& inst) {
    LaunchOptions parts;
    parts.classPath = std::vector<std::string>{native("../lib/app.jar")};
    for (const std::string& entry : runtimeClassPath(defaultJavaHome())) parts.classPath->push_back(entry);
    return expectedOptions(inst, parts);
}

/// %LOCALAPPDATA% as the programs of the wine prefix see it.
std::string windowsLocalAppData() {
    std::vector<std::string> env{"WINEDEBUG=-all", "PATH=/usr/bin:/bin"};
    for (const char* name : {"WINEPREFIX", "HOME"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    Result r = runProcess(target().wine, {target().wine, "cmd", "/c", "echo", "%LOCALAPPDATA%"}, env, "/", 60);
    std::string value = r.out;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return value;
}

std::string privateCacheDirectory(const Installation& inst) {
    if (!isWindows()) return inst.seen("cache");
    static const std::string local = windowsLocalAppData();
    return local + "\\launcher-tests\\" + std::filesystem::path(inst.root()).filename().string();
}

class StartupCacheVersions : public ::testing::TestWithParam<CacheCase> {};

TEST_P(StartupCacheVersions, OptionsOfTheRuntimesMechanism) {
    Installation inst;
    inst.addRuntime();
    if (GetParam().release) inst.write("jre/release", *GetParam().release);
    inst.write("lib/app.jar", "");
    std::string cache = privateCacheDirectory(inst);
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
}

std::vector<CacheCase> cacheCases() {
    return {
        {"Java8", std::string("JAVA_VERSION=\"1.8.0_392\"\n"), {}, "not used: the runtime (Java version 8) keeps no class data"},
        {"Java11", std::string("JAVA_VERSION=\"11.0.22\"\n"), {}, "not used: the runtime (Java version 11) keeps no class data"},
        {"NoReleaseFile", std::nullopt, {}, "not used: the runtime (Java version 0) keeps no class data"},
        {"Java17", std::string("IMPLEMENTOR=\"Debian\"\r\nJAVA_VERSION=\"17.0.15\"\r\n"),
         {"-Xshare:auto", "-Xlog:cds*=off", "-XX:ArchiveClassesAtExit=HELD(DIRKEY.jsa.part)"}, "training, writing DIRKEY.jsa.part"},
        {"Java21", std::string("JAVA_VERSION=\"21.0.5\"\n"),
         {"-Xshare:auto", "-Xlog:cds*=off", "-XX:+VerifySharedSpaces", "-XX:+AutoCreateSharedArchive",
          "-XX:SharedArchiveFile=DIRKEY.jsa"},
         "training, writing DIRKEY.jsa"},
        {"Java25", std::string("JAVA_VERSION=\"25.0.3\"\n"),
         {"-Xlog:cds*=off", "-Xlog:aot*=off", "-XX:+UnlockDiagnosticVMOptions", "-XX:-DisplayVMOutput", "-XX:AOTMode=record",
          "-XX:AOTConfiguration=HELD(DIRKEY.aotconf)"},
         "training, writing DIRKEY.aotconf"},
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
    std::string userCache = isWindows() ? windowsLocalAppData() : inst.seen("user-cache");
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
    std::string archive = userCache + dirSeparator() + "app" + dirSeparator() + "KEY.jsa";
    for (const std::string& added : std::vector<std::string>{"-Xshare:auto", "-Xlog:cds*=off", "-XX:+VerifySharedSpaces",
                                                             "-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + archive})
        cached.insert(cached.end() - 1, added);
    EXPECT_EQ(keyed(inst.record()), startedRecord(cached, "test/Main", {"a"}));
}

}  // namespace
}  // namespace process_tests
