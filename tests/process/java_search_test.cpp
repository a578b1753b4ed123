// Finding an installed runtime that fits the application's Java versions: the order of the
// sources, the choice inside one, what --print-java and -verbose say, and message 8 when
// nothing fits. Test runtimes carry the test-double VM library and a release file.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"
#include "process/java_runtimes.h"

namespace fs = std::filesystem;

namespace process_tests {

namespace {

struct SearchCase {
    const char* name;
    std::string range;
    std::vector<std::string> places;  // AddJavaSearchPath values, below the root
    std::vector<Runtime> runtimes;
    std::string chosenPlace;
    std::string chosen;  // below the root
    std::string version;
};

void PrintTo(const SearchCase& c, std::ostream* out) { *out << c.name; }

class JavaSearchOwnPlaces : public ::testing::TestWithParam<SearchCase> {};

TEST_P(JavaSearchOwnPlaces, ChoosesTheNewestFittingRuntimeOfTheFirstPlaceThatHasOne) {
    const SearchCase& c = GetParam();
    Installation inst;
    for (const Runtime& runtime : c.runtimes)
        if (!addJava(inst, runtime.home, runtime.version, runtime.library))
            GTEST_SKIP() << "no test VM library of the other architecture";
    std::string config = "SetMainClass test.Main\nSetJavaVersion " + c.range + "\n";
    for (const std::string& place : c.places) config += "AddJavaSearchPath " + inst.seen(place) + "\n";
    inst.writeConfig(config);
    std::string source = "AddJavaSearchPath " + inst.seen(c.chosenPlace);
    EXPECT_RUN(inst.run({"-nomsgbox", "--print-java"}), javaReport(inst.seen(c.chosen), c.version, source), "", 0);
    EXPECT_EQ(inst.record(), "") << "no VM is started";
    // -verbose says why each runtime passed over was.
    std::string verbose = inst.run({"-nomsgbox", "-verbose", "--print-java"}).out;
    for (const Runtime& runtime : c.runtimes) {
        std::string verdict = runtime.library == RuntimeLibrary::OtherArchitecture ? ": other architecture"
                              : runtime.library == RuntimeLibrary::None           ? ": no VM library for the VM asked for"
                                                                                  : "";
        if (verdict.empty()) continue;
        std::size_t at = verbose.find("Java candidate: " + inst.seen(runtime.home) + " from " + source + ": version ");
        ASSERT_NE(at, std::string::npos) << verbose;
        std::string line = verbose.substr(at, verbose.find('\n', at) - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_EQ(line.substr(line.size() - std::min(line.size(), verdict.size())), verdict) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JavaSearchOwnPlaces,
    ::testing::Values(
        SearchCase{"NewestInsideTheRange", "17-21", {"rt/*"},
                   {{"rt/a", "11.0.2"}, {"rt/b", "17.0.2"}, {"rt/c", "21.0.1"}, {"rt/d", "25"}}, "rt/*", "rt/c", "21.0.1"},
        SearchCase{"NewestOfOneFeature", "17", {"rt/*"}, {{"rt/a", "17.0.15"}, {"rt/b", "17.0.8"}}, "rt/*", "rt/a", "17.0.15"},
        SearchCase{"FirstPlaceWinsOverANewerLaterOne", "17", {"first/*", "second/*"},
                   {{"first/x", "17.0.2"}, {"second/y", "21"}}, "first/*", "first/x", "17.0.2"},
        SearchCase{"EmptyPlaceIsPassed", "17", {"none/*", "second/*"}, {{"second/y", "21"}}, "second/*", "second/y", "21"},
        SearchCase{"SingleDirectory", "1.8", {"jdk8"}, {{"jdk8", "1.8.0_392"}}, "jdk8", "jdk8", "1.8.0_392"},
        SearchCase{"OtherArchitectureIsPassedOver", "17", {"rt/*"},
                   {{"rt/new", "21", RuntimeLibrary::OtherArchitecture}, {"rt/old", "17"}}, "rt/*", "rt/old", "17"},
        SearchCase{"MissingVmLibraryIsPassedOver", "17", {"rt/*"},
                   {{"rt/new", "21", RuntimeLibrary::None}, {"rt/old", "17"}}, "rt/*", "rt/old", "17"},
        SearchCase{"FolderNameWithoutReleaseFile", "17", {"rt/*"}, {{"rt/jdk-21.0.1+12", ""}, {"rt/b", "17"}},
                   "rt/*", "rt/jdk-21.0.1+12", "21.0.1"},
        SearchCase{"UnknownVersionDoesNotFitARange", "17", {"rt/*"}, {{"rt/mystery", ""}, {"rt/b", "17"}}, "rt/*", "rt/b", "17"},
        // A made-up version beyond every real one is unknown, not the newest.
        SearchCase{"VersionAbove999IsUnknown", "17", {"rt/*"},
                   {{"rt/huge", "99999999999999999999"}, {"rt/jdk-99999999999999999999", ""}, {"rt/b", "17"}}, "rt/*",
                   "rt/b", "17"}),
    [](const auto& info) { return std::string(info.param.name); });

class JavaSearch : public ::testing::Test {
protected:
    Installation inst;
};

// A configured home that fits is taken as it is: the -verbose lines show that it is the only
// candidate examined, although a newer runtime waits in the application's own place.
TEST_F(JavaSearch, ConfiguredHomeThatFitsIsTheOnlyOneExamined) {
    addJava(inst, "jre", "17.0.2");
    addJava(inst, "rt/newer", "21");
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 17\nAddJavaSearchPath " + inst.seen("rt") + "/*\n");
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose", "--print-java"}),
               "Java candidate: " + defaultJavaHome() + " from the configured Java home: version 17.0.2, " +
                   ownArchitecture() + ": chosen\n" + javaReport(defaultJavaHome(), "17.0.2", "the configured Java home"),
               "", 0);
    // And the launch itself is what it is without the search.
    EXPECT_RUN(inst.run({"-nomsgbox"}), "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {}));
}

// The chosen runtime is the Java home for the whole launch: its VM library, its tools.jar and
// dt.jar. A --SetJavaHome= naming a directory without a runtime does not undo the choice.
TEST_F(JavaSearch, ChoiceIsTheJavaHomeOfTheLaunch) {
    addJava(inst, "rt/jdk17", "17.0.2");
    inst.writeConfig("SetMainClass test.Main\nAddJavaSearchPath " + inst.seen("rt") + "/*\n");
    std::string home = inst.seen("rt/jdk17");
    EXPECT_RUN(inst.run({"-nomsgbox", "--SetJavaVersion=17", "--SetJavaHome=" + inst.seen("none"), "x"}), "", "", 0);
    LaunchOptions parts;
    parts.classPath = runtimeClassPath(home);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {"x"}));
}

// The value of -conf names the file, whatever it reads: the search it asks for is not verbose.
TEST_F(JavaSearch, VerboseAsTheConfigurationsNameIsNoOption) {
    addJava(inst, "jre", "17.0.2");
    inst.write("bin/-verbose", "SetMainClass test.Main\nSetJavaVersion 17\n");
    EXPECT_RUN(inst.run({"-nomsgbox", "-conf", "-verbose", "--print-java"}),
               javaReport(defaultJavaHome(), "17.0.2", "the configured Java home"), "", 0);
}

TEST_F(JavaSearch, WithoutTheDirectivesNothingIsSearched) {
    addJava(inst, "rt/jdk17", "17.0.2");
    inst.writeConfig("SetMainClass test.Main\nAddJavaSearchPath " + inst.seen("rt") + "/*\n");
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose"}),
               errorReport("Cannot find a J2SE SDK installed at path:.\n"), "", 8);
    // Switched off, a version alone searches nowhere either.
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 17\nSetJavaSearch off\nAddJavaSearchPath " + inst.seen("rt") +
                     "/*\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}), errorReport("Cannot find a J2SE SDK installed at path:.\n"), "", 8);
}

TEST_F(JavaSearch, JavaHomeVariableComesAfterTheOwnPlaces) {
    addJava(inst, "jh", "17.0.2");
    addJava(inst, "rt/own", "17.0.1");
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 17\n");
    RunOptions o;
    o.env = {{"JAVA_HOME", inst.seen("jh")}};
    EXPECT_RUN(inst.run({"-nomsgbox", "--print-java"}, o), javaReport(inst.seen("jh"), "17.0.2", "JAVA_HOME"), "", 0);
    EXPECT_RUN(inst.run({"-nomsgbox", "--print-java", "--AddJavaSearchPath=" + inst.seen("rt") + "/*"}, o),
               javaReport(inst.seen("rt/own"), "17.0.1", "AddJavaSearchPath " + inst.seen("rt") + native("/*")), "", 0);
}

// Nothing fits: message 8 says what was found and why each did not fit; --print-java ends the
// same way, and no question is asked.
TEST_F(JavaSearch, NothingFitsSaysWhatWasFound) {
    addJava(inst, "rt/a", "17.0.2");
    addJava(inst, "rt/b", "21", RuntimeLibrary::None);
    addJava(inst, "rt/jdk-90.0.1", "", RuntimeLibrary::None);
    inst.mkdir("rt/empty");
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 90-91\nAddJavaSearchPath " + inst.seen("rt") + "/*\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-nomsgbox"}, {"-nomsgbox", "--print-java"}}) {
        Result r = inst.run(args);
        std::string expected = "Error: Cannot find a J2SE SDK installed at path:.\nJava runtimes found: " + inst.seen("rt/a") +
                               " (17.0.2, " + ownArchitecture() + "): too old; " + inst.seen("rt/b") +
                               " (21, " + ownArchitecture() + "): too old; " + inst.seen("rt/jdk-90.0.1") +
                               " (90.0.1, architecture unknown): no VM library for the VM asked for";
        EXPECT_EQ(r.out.substr(0, streamText(expected).size()), streamText(expected));
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exitCode, 8);
    }
}

TEST_F(JavaSearch, VerboseNamesEveryCandidateAndItsVerdict) {
    addJava(inst, "rt/a", "11");
    addJava(inst, "rt/b", "17.0.2");
    addJava(inst, "rt/c", "17.0.1");
    addJava(inst, "rt/d", "25");
    inst.addRuntime("rt/e", std::string("-server KNOWN\n"), {});
    inst.writeConfig("SetMainClass test.Main\nSetJavaVM server\nSetJavaVersion 17-21\nAddJavaSearchPath " + inst.seen("rt") +
                     "/*\n");
    std::string from = " from AddJavaSearchPath " + inst.seen("rt") + native("/*") + ": version ";
    std::string bits = ", " + ownArchitecture() + ": ";
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose", "--print-java"}),
               "Java candidate: " + defaultJavaHome() + " from the configured Java home: version unknown, architecture "
               "unknown: no runtime marker\n" +
                   "Java candidate: " + inst.seen("rt/a") + from + "11" + bits + "too old\n" +
                   "Java candidate: " + inst.seen("rt/b") + from + "17.0.2" + bits + "chosen\n" +
                   "Java candidate: " + inst.seen("rt/c") + from + "17.0.1" + bits + "fits\n" +
                   "Java candidate: " + inst.seen("rt/d") + from + "25" + bits + "too new\n" +
                   "Java candidate: " + inst.seen("rt/e") + from +
                   "unknown, architecture unknown: no VM library for the VM server\n" +
                   javaReport(inst.seen("rt/b"), "17.0.2", "AddJavaSearchPath " + inst.seen("rt") + native("/*")),
               "", 0);
}

// The command line's VM counts for the choice as the file's does: --SetJavaVM= and -server or
// -client pass over a runtime whose jvm.cfg lacks that VM, the last of them wins, and message 8
// names the VM each runtime lacks.
TEST_F(JavaSearch, CommandLinesVmCountsForTheChoice) {
    inst.addRuntime("rt/jdk-21", std::string("-server KNOWN\n"), {"server"});
    inst.addRuntime("rt/jdk-17", std::string("-server KNOWN\n-client KNOWN\n"), {"server", "client"});
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 17\nAddJavaSearchPath " + inst.seen("rt") + "/*\n");
    std::string source = "AddJavaSearchPath " + inst.seen("rt") + native("/*");
    struct Case {
        std::vector<std::string> args;
        const char* chosen;
    } cases[] = {
        {{}, "rt/jdk-21"},
        {{"-client", "--setjavavm=server"}, "rt/jdk-21"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"-nomsgbox", "--print-java"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string version = std::string(c.chosen).substr(7);
        EXPECT_RUN(inst.run(args), javaReport(inst.seen(c.chosen), version, source), "", 0);
    }
    // -client alone chooses the runtime that has it, and the start uses its client VM.
    EXPECT_RUN(inst.run({"-nomsgbox", "-client", "x"}), "", "", 0);
    LaunchOptions parts;
    parts.classPath = runtimeClassPath(inst.seen("rt/jdk-17"));
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {"x"}));
    Result r = inst.run({"-nomsgbox", "--SetJavaVM=zero"});
    std::string expected = "Error: Cannot find a J2SE SDK installed at path:.\nJava runtimes found: " +
                           inst.seen("rt/jdk-17") + " (17, architecture unknown): no VM library for the VM zero; " +
                           inst.seen("rt/jdk-21") + " (21, architecture unknown): no VM library for the VM zero";
    EXPECT_EQ(r.out.substr(0, streamText(expected).size()), streamText(expected));
    EXPECT_EQ(r.exitCode, 8);
}

// A directive value that is no version or no switch is reported and changes nothing.
TEST_F(JavaSearch, UnreadableValuesAreReported) {
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion seventeen\nSetJavaSearch maybe\nSetUserSettings maybe\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}), "",
               "WARNING: SetJavaVersion takes a Java version or a range such as 17 or 11-21, not: seventeen\n"
               "WARNING: SetJavaSearch takes on or off, not: maybe\n"
               "WARNING: SetUserSettings takes on or off, not: maybe\n",
               0);
}

// The java on PATH is the last place looked at; only absolute PATH entries count.
TEST_F(JavaSearch, JavaOnPathIsTheLastPlace) {
    if (isWindows()) GTEST_SKIP() << "wine gives Windows programs a PATH of its own";
    addJava(inst, "p/jdk99", "99.0.1");
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 99\n");
    RunOptions o;
    o.env = {{"PATH", "bin:" + inst.path("p/jdk99/bin") + ":/usr/bin:/bin"}};
    EXPECT_RUN(inst.run({"-nomsgbox", "--print-java"}, o), javaReport(inst.path("p/jdk99"), "99.0.1", "PATH"), "", 0);
}

// When nothing fits, the question says what is needed; a right answer is remembered for this
// user and this configuration, and asked for again once its runtime is gone.
TEST_F(JavaSearch, RightAnswerIsRememberedUntilItsRuntimeIsGone) {
    if (isWindows()) GTEST_SKIP() << "the Windows builds ask in a dialog, or on a console the tests have not";
    addJava(inst, "mine", "90.0.1");
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 90\n");
    const std::string question =
        "Ombrix Halverant R7\nThis application needs Java 90 or later, 64-bit.\nEnter the full pathname for java: ";
    const std::string cancelled = "Error: Cannot find a J2SE SDK installed at path:.\n";
    RunOptions o;
    o.env = {{"XDG_CONFIG_HOME", inst.path("settings")}};
    o.terminalInput = inst.seen("mine") + "\n";
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", question, 0);
    LaunchOptions parts;
    parts.classPath = runtimeClassPath(inst.seen("mine"));
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {}));

    o.terminalInput = "\n";  // asked again, this would cancel
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose", "--print-java"}, o),
               "Java candidate: " + defaultJavaHome() +
                   " from the configured Java home: version unknown, architecture unknown: no runtime marker\n"
                   "Java candidate: " + inst.seen("mine") + " from remembered answer: version 90.0.1, 64-bit: chosen\n" +
                   javaReport(inst.seen("mine"), "90.0.1", "remembered answer"),
               "", 0);
    // Another configuration of the same user has its own answer, none yet.
    inst.write("bin/other.conf", "SetMainClass test.Main\nSetJavaVersion 90\n");
    Result other = inst.run({"-nomsgbox", "-conf", inst.path("bin/other.conf")}, o);
    EXPECT_EQ(other.err, question);
    EXPECT_EQ(other.exitCode, 8);

    fs::remove_all(inst.path("mine"));
    Result r = inst.run({"-nomsgbox"}, o);
    EXPECT_EQ(r.out.substr(0, cancelled.size()), cancelled);
    EXPECT_EQ(r.err, question);
    EXPECT_EQ(r.exitCode, 8);
}

// An answer outside the range is refused, said why, and not remembered.
TEST_F(JavaSearch, AnswerOutsideTheRangeIsRefused) {
    if (isWindows()) GTEST_SKIP() << "the Windows builds ask in a dialog, or on a console the tests have not";
    addJava(inst, "old", "11.0.2");
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 90\n");
    RunOptions o;
    o.env = {{"XDG_CONFIG_HOME", inst.path("settings")}};
    o.terminalInput = inst.seen("old") + "\n";
    Result r = inst.run({"-nomsgbox"}, o);
    std::string refused = "Error: Cannot find a J2SE SDK installed at path:" + inst.seen("old") + ".\nJava runtimes found: ";
    EXPECT_EQ(r.out.substr(0, refused.size()), refused);
    EXPECT_NE(r.out.find(inst.seen("old") + " (11.0.2, 64-bit): too old.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.exitCode, 8);
    // No answer is remembered (the folder holds the start journal's files only).
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(inst.path("settings/app"), ec))
        EXPECT_NE(entry.path().filename().string().rfind("java-home-", 0), 0u) << entry.path();
}

// After a refused answer, message 8 names each runtime once, the answer last with why it did not
// fit (whatever the folder holds), and what the application needs, as the question said.
TEST_F(JavaSearch, RefusedAnswerIsNamedOnceWithWhatIsNeeded) {
    if (isWindows()) GTEST_SKIP() << "the Windows builds ask in a dialog, or on a console the tests have not";
    addJava(inst, "rt/old", "11.0.2");
    inst.mkdir("empty");
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 90\nAddJavaSearchPath " + inst.seen("rt") + "/*\n");
    struct Case {
        std::string answer, entry;
    } cases[] = {
        {"rt/old", inst.seen("rt/old") + " (11.0.2, 64-bit): too old"},
        {"empty", inst.seen("empty") + " (version unknown, architecture unknown): no runtime marker"},
    };
    for (const Case& c : cases) {
        RunOptions o;
        o.env = {{"XDG_CONFIG_HOME", inst.path("settings")}};
        o.terminalInput = inst.seen(c.answer) + "\n";
        Result r = inst.run({"-nomsgbox"}, o);
        std::size_t list = r.out.find("\nJava runtimes found: ");
        ASSERT_NE(list, std::string::npos) << r.out;
        std::string found = r.out.substr(list);
        std::string old = inst.seen("rt/old") + " (";
        EXPECT_EQ(found.find(old), found.rfind(old)) << "named once: " << r.out;
        std::string ending = c.entry + ".\nThis application needs Java 90 or later, " + ownArchitecture() + ".\n\n";
        EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), ending.size())), ending) << r.out;
        EXPECT_EQ(r.exitCode, 8);
    }
}

}  // namespace
}  // namespace process_tests

namespace process_tests {
namespace {

/// Where the damaged runtime lies, with its jvm.cfg no regular file.
struct NotAFileCase {
    const char* name;
    std::string where;   // "jdks": ~/.jdks/*; "place": an AddJavaSearchPath; "home": the configured one
    bool fifo;           // a FIFO; else a link to a device that never ends
};

class JvmCfgNotAFile : public ::testing::TestWithParam<NotAFileCase> {
protected:
    Installation inst;
};

// A jvm.cfg that is a FIFO or a device, in any runtime the search examines, is passed over at
// once: no wait for a writer, nothing read. The search goes on to the runtime that fits.
TEST_P(JvmCfgNotAFile, IsPassedOverWithoutWaiting) {
    if (isWindows()) GTEST_SKIP() << "FIFOs and device links are the POSIX builds' cases";
    const NotAFileCase& c = GetParam();
    std::string damaged = c.where == "home" ? "jre" : c.where == "jdks" ? "home/.jdks/a91" : "rt/a91";
    std::string good = c.where == "jdks" ? "home/.jdks/b90" : "rt/b90";
    addJava(inst, damaged, "91");
    addJava(inst, good, "90.0.1");
    std::string cfg = inst.path(damaged + "/lib/jvm.cfg");
    fs::remove(cfg);
    if (c.fifo)
        ASSERT_EQ(::mkfifo(cfg.c_str(), 0600), 0);
    else
        fs::create_symlink("/dev/zero", cfg);
    inst.mkdir("home");
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 90-91\n" +
                     (c.where == "jdks" ? std::string() : "AddJavaSearchPath " + inst.seen("rt") + "/*\n"));
    RunOptions o;
    o.env = {{"HOME", inst.path("home")}};
    o.timeoutSeconds = 20;
    std::string source = c.where == "jdks" ? "folder " + inst.seen("home") + native("/.jdks/*")
                                           : "AddJavaSearchPath " + inst.seen("rt") + native("/*");
    Result r = inst.run({"-nomsgbox", "--print-java"}, o);
    EXPECT_FALSE(r.timedOut);
    EXPECT_RUN(r, javaReport(inst.seen(good), "90.0.1", source), "", 0);
}

INSTANTIATE_TEST_SUITE_P(
    JavaSearch, JvmCfgNotAFile,
    ::testing::Values(NotAFileCase{"FifoInJdksFolder", "jdks", true}, NotAFileCase{"FifoInSearchPlace", "place", true},
                      NotAFileCase{"FifoInConfiguredHome", "home", true},
                      NotAFileCase{"DeviceInSearchPlace", "place", false}),
    [](const auto& info) { return std::string(info.param.name); });

// The launch's own jvm.cfg as a FIFO: the launcher goes on as without one, instead of waiting
// for ever.
TEST(JvmCfgOfTheLaunch, FifoIsPassedOver) {
    if (isWindows()) GTEST_SKIP() << "FIFOs are the POSIX builds' case";
    Installation inst;
    inst.addRuntime("jre", std::nullopt);
    inst.mkdir("jre/lib");
    std::string cfg = inst.path("jre/lib/jvm.cfg");
    ASSERT_EQ(::mkfifo(cfg.c_str(), 0600), 0);
    inst.writeConfig("SetMainClass test.Main\n");
    RunOptions o;
    o.timeoutSeconds = 20;
    Result r = inst.run({"-nomsgbox", "-verbose"}, o);
    EXPECT_FALSE(r.timedOut);
    EXPECT_NE(r.err.find("WARNING: Could not find jvm.cfg!\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace process_tests

namespace process_tests {
namespace {

/// The remembered answers' files below `root`, as paths relative to it.
std::vector<std::string> rememberedFiles(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.path().filename().string().rfind("java-home-", 0) == 0)
            files.push_back(fs::relative(entry.path(), root).generic_string());
    return files;
}

// The answer is kept in a folder of the application's own inside the user's settings, whatever
// the configuration is named: "..", "." or a relative HOME never steer it elsewhere.
TEST(RememberedAnswerFolder, StaysInsideTheUsersSettings) {
    if (isWindows()) GTEST_SKIP() << "the Windows builds ask in a dialog, or on a console the tests have not";
    struct Case {
        const char* config;     // in bin
        bool relativeHome;      // HOME relative, no XDG_CONFIG_HOME
        const char* expected;   // the answer's folder below the installation, "" for none
    } cases[] = {
        {"app.conf", false, "settings/inner/app"},
        {"...conf", false, "settings/inner/app-"},
        {"..conf", false, "settings/inner/app-"},
        {"app.conf", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.config) + (c.relativeHome ? " relative HOME" : ""));
        Installation inst;
        addJava(inst, "mine", "90.0.1");
        inst.write("bin/" + std::string(c.config), "SetMainClass test.Main\nSetJavaVersion 90\n");
        inst.mkdir("settings/inner");
        RunOptions o;
        if (c.relativeHome)
            o.env = {{"HOME", std::string("home")}, {"XDG_CONFIG_HOME", std::nullopt}};
        else
            o.env = {{"XDG_CONFIG_HOME", inst.path("settings/inner")}};
        o.terminalInput = inst.seen("mine") + "\n";
        Result r = inst.run({"-nomsgbox", "-conf", inst.path("bin/" + std::string(c.config))}, o);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        std::vector<std::string> files = rememberedFiles(inst.root());
        if (std::string(c.expected).empty()) {
            EXPECT_EQ(files, std::vector<std::string>{});
            continue;
        }
        ASSERT_EQ(files.size(), 1u);
        std::string folder = fs::path(files[0]).parent_path().generic_string();
        EXPECT_EQ(folder.substr(0, std::strlen(c.expected)), c.expected);
        EXPECT_EQ(folder.size(), std::string(c.expected) == "settings/inner/app" ? 18u : 35u) << folder;
    }
}

}  // namespace
}  // namespace process_tests
