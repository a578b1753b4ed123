// Versions, ranges, what a candidate directory holds, the ranking inside one source and the
// remembered answer, on real directories.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/libraries.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "support/temp_dir.h"
#include "vm/java_search.h"

#ifndef _WIN32
#include <unistd.h>
#endif

using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

/// The start of this test program, which holds the header of a library of the launcher's own
/// architecture.
std::string ownArchitectureHeader() {
    std::ifstream in(platform::ownExecutablePath().value_or(std::string()), std::ios::binary);
    std::string bytes(4096, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

/// A runtime at `relative` below `dir`: the marker, a jvm.cfg, a library for each VM
/// directory and, when `version` is not empty, a release file stating it.
std::string makeRuntime(const TempDir& dir, const std::string& relative, const std::string& version,
                        const std::string& jvmCfg = "-server KNOWN\n", const std::vector<std::string>& vms = {"server"}) {
    std::string home = dir.mkdir(relative);
    dir.write(relative + platform::kJavaExecutable);
    dir.write(relative + "/lib/jvm.cfg", jvmCfg);
    if (!version.empty()) dir.write(relative + "/release", "IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"" + version + "\"\n");
    for (const std::string& vm : vms)
        dir.write(platform::vmLibraryCandidates(home, vm).front().substr(dir.path().size() + 1), ownArchitectureHeader());
    return home;
}

}  // namespace

TEST(JavaVersion, FromReleaseFilesAndNames) {
    struct Case {
        std::string text;
        bool inName;
        std::vector<int> numbers;  // empty: no version
    } cases[] = {
        {"1.8.0_392", false, {8, 0, 392}}, {"17.0.15", false, {17, 0, 15}},  {"25", false, {25}},
        {"jdk-17.0.8+7", false, {}},        {"jdk-17.0.8+7", true, {17, 0, 8}}, {"jdk1.8.0_392", true, {8, 0, 392}},
        {"zulu-17", true, {17}},            {"temurin-25-jdk-amd64", true, {25}}, {"current", true, {}},
        {"1", false, {1}},                  {"", false, {}},
        // Above 999, or past what an int holds, a version is unknown rather than the newest.
        {"999.1", false, {999, 1}},         {"1000", false, {}},                {"1.1000", false, {}},
        {"99999999999999999999", false, {}}, {"jdk-99999999999999999999", true, {}},
        {"17.0.12345678901", false, {}},
    };
    for (const Case& c : cases) {
        std::optional<JavaVersion> v = c.inName ? versionInName(c.text) : parseJavaVersion(c.text);
        EXPECT_EQ(v ? v->numbers : std::vector<int>{}, c.numbers) << c.text;
    }
    EXPECT_TRUE(isNewer(*parseJavaVersion("17.0.15"), *parseJavaVersion("17.0.8")));
    EXPECT_FALSE(isNewer(*parseJavaVersion("17"), *parseJavaVersion("17.0.1")));
}

TEST(JavaVersion, Ranges) {
    struct Case {
        std::string text;
        int min, max;  // min 0: refused
    } cases[] = {
        {"17", 17, 0}, {"17-21", 17, 21}, {"1.8", 8, 0},  {"1.8-11", 8, 11}, {"21-17", 0, 0},
        {"17-", 0, 0}, {"-17", 0, 0},     {"abc", 0, 0},  {"17x", 0, 0},     {"", 0, 0},
        {"0", 0, 0},   {"11.0.2", 11, 0}, {"17 - 21", 0, 0}, {"17-1000", 0, 0},
    };
    for (const Case& c : cases) {
        std::optional<VersionRange> r = parseVersionRange(c.text);
        EXPECT_EQ(r ? r->min : 0, c.min) << c.text;
        EXPECT_EQ(r ? r->max : 0, c.max) << c.text;
    }
}

TEST(JavaCandidateCheck, Verdicts) {
    TempDir dir;
    makeRuntime(dir, "fits", "17.0.2");
    makeRuntime(dir, "old", "1.8.0_392");
    makeRuntime(dir, "new", "25");
    makeRuntime(dir, "jdk-21.0.1", "");
    makeRuntime(dir, "unknown", "");
    makeRuntime(dir, "clientonly", "17", "-client KNOWN\n", {"client"});
    makeRuntime(dir, "errorvm", "17", "-server ERROR\n-client KNOWN\n", {"server"});
    makeRuntime(dir, "nolibrary", "17", "-server KNOWN\n", {});
    dir.mkdir("nomarker/lib");
    struct Case {
        std::string home;
        std::string vm;
        Verdict verdict;
        std::string version;
    } cases[] = {
        {"fits", "", Verdict::Fits, "17.0.2"},
        {"old", "", Verdict::TooOld, "1.8.0_392"},
        {"new", "", Verdict::TooNew, "25"},
        {"jdk-21.0.1", "", Verdict::Fits, "21.0.1"},  // no release file: the folder's name
        {"unknown", "", Verdict::VersionUnknown, ""},
        {"clientonly", "", Verdict::Fits, "17"},       // no VM asked for: any with its library
        {"clientonly", "server", Verdict::NoVmLibrary, "17"},
        {"errorvm", "server", Verdict::NoVmLibrary, "17"},
        {"nolibrary", "", Verdict::NoVmLibrary, "17"},
        {"nomarker", "", Verdict::NoMarker, ""},
        {"absent", "", Verdict::NoMarker, ""},
    };
    for (const Case& c : cases) {
        JavaCandidate candidate = examineJavaHome(dir / c.home, "test", c.home, JavaRequest{{11, 21}, c.vm});
        EXPECT_EQ(candidate.verdict, c.verdict) << c.home << " " << c.vm;
        EXPECT_EQ(candidate.version ? candidate.version->text : "", c.version) << c.home;
        if (c.verdict == Verdict::Fits) {
            EXPECT_EQ(candidate.architecture, platform::kOwnArchitecture) << c.home;
        }
    }
    // Without a range, a runtime of unknown version fits.
    EXPECT_EQ(examineJavaHome(dir / "unknown", "test", "unknown", JavaRequest{}).verdict, Verdict::Fits);
}

TEST(JavaCandidateCheck, NewestFittingOfTheFirstSourceThatHasOne) {
    TempDir dir;
    makeRuntime(dir, "own/a", "17.0.8");
    makeRuntime(dir, "own/b", "21.0.2");
    makeRuntime(dir, "own/c", "25");  // too new
    makeRuntime(dir, "own/d", "17.0.15");
    makeRuntime(dir, "later/e", "21.0.9");
    std::string sep(1, platform::kDirSeparator);
    JavaSearch search(JavaRequest{{17, 21}, ""}, false);
    std::optional<JavaCandidate> chosen =
        search.searchInstalled({dir / "none" + sep + "*", dir / "own" + sep + "*", dir / "later" + sep + "*"});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->home, platform::resolvedPath(dir / "own/b").value_or(""));
    EXPECT_EQ(chosen->source, "AddJavaSearchPath " + dir / "own" + sep + "*");
    // A single directory is a source of its own, before the pattern after it.
    JavaSearch single(JavaRequest{{17, 21}, ""}, false);
    chosen = single.searchInstalled({dir / "own/a", dir / "own" + sep + "*"});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->version->text, "17.0.8");
}

// Message 8's list names 20 runtimes and counts the rest, whatever a machine holds.
TEST(JavaCandidateCheck, FoundSummaryListsTwentyRuntimes) {
    TempDir dir;
    JavaSearch search(JavaRequest{{90, 0}, ""}, false);
    for (int i = 10; i < 33; ++i) search.tryHome(makeRuntime(dir, "jdk-" + std::to_string(i), ""), "test");
    search.tryHome(dir.mkdir("empty"), "test");
    std::string summary = search.foundSummary();
    EXPECT_EQ(summary.rfind("Java runtimes found: ", 0), 0u) << summary;
    std::size_t listed = 0;
    for (std::size_t at = 0; (at = summary.find(": too old", at)) != std::string::npos; ++at) ++listed;
    EXPECT_EQ(listed, 20u) << summary;
    const std::string end = "too old; and 3 more.\n";
    EXPECT_EQ(summary.substr(summary.size() - std::min(summary.size(), end.size())), end);
}

TEST(RememberedJava, KeptForExactlyOneConfiguration) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.path());
    ScopedEnv appData("APPDATA", dir.path());
    std::string config = dir / "inst/bin/app.conf";
    EXPECT_FALSE(rememberedJavaHome(config));
    ASSERT_TRUE(rememberJavaHome(config, dir / "jdk"));
    EXPECT_EQ(rememberedJavaHome(config).value_or(""), dir / "jdk");
    EXPECT_FALSE(rememberedJavaHome(dir / "other/bin/app.conf"));
    // The same file name holding another configuration's path, or a damaged text, is ignored.
    std::string sep(1, platform::kDirSeparator);
    std::vector<std::string> files = {dir.path() + sep + "app"};
    for (const std::string& damaged : {std::string("config=") + dir / "x.conf" + "\nhome=/j\n",
                                       "config=" + config + "\nhome=", "config=" + config + "\nhome=\n", std::string()}) {
        ASSERT_TRUE(rememberJavaHome(config, dir / "jdk"));
        std::string file;
        for (const std::string& name : platform::findFiles(files[0], "*.txt")) file = files[0] + sep + name;
        ASSERT_FALSE(file.empty());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
        EXPECT_FALSE(rememberedJavaHome(config)) << damaged;
    }
}

#ifndef _WIN32
// The answer decides which VM library is loaded: one that another user could have written or
// pointed elsewhere is no answer of this user's.
TEST(RememberedJava, OnlyAFileOfTheUsersOwnCounts) {
    namespace fs = std::filesystem;
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.path());
    std::string config = dir / "inst/bin/app.conf";
    using Spoil = void (*)(const fs::path& file);
    const std::pair<const char*, Spoil> cases[] = {
        {"a link", [](const fs::path& file) {
             fs::rename(file, file.parent_path().parent_path() / "elsewhere.txt");
             fs::create_symlink(file.parent_path().parent_path() / "elsewhere.txt", file);
         }},
        {"mode 666", [](const fs::path& file) { fs::permissions(file, fs::perms(0666)); }},
        {"a folder others may write in",
         [](const fs::path& file) { fs::permissions(file.parent_path(), fs::perms::others_write, fs::perm_options::add); }},
        {"another user's", [](const fs::path& file) { ASSERT_EQ(::lchown(file.c_str(), 65534, 65534), 0); }},
    };
    for (const auto& c : cases) {
        if (std::string(c.first) == "another user's" && ::geteuid() != 0) continue;
        fs::remove_all(dir / "app");
        ASSERT_TRUE(rememberJavaHome(config, dir / "jdk"));
        std::vector<std::string> files = platform::findFiles(dir / "app", "*.txt");
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(rememberedJavaHome(config)) << c.first;
        c.second(fs::path(dir / "app") / files[0]);
        EXPECT_FALSE(rememberedJavaHome(config)) << c.first;
    }
}
#endif
