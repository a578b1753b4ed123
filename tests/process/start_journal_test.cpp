// The start journal: what a start records of itself, read back with --last-start; its place
// in the user's settings, its switch, and starts that cannot write it or write it at once.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"
#include "process/java_runtimes.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

/// An installation whose user settings folder (and journal) is its own, removed with it.
class StartJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsFolder folder = userSettingsFolder(inst, options);
        folderSeen = folder.seen;
        folderHost = folder.host;
        fs::remove_all(folderHost);
    }
    void TearDown() override { fs::remove_all(folderHost); }

    std::string journalSeen() const { return folderSeen + dirSeparator() + inst.programName() + ".log"; }
    std::string journalHost() const { return folderHost + "/" + inst.programName() + ".log"; }

    Result run(const std::vector<std::string>& args) const { return inst.run(args, options); }
    /// The newest record, as --last-start prints it, without its heading; checks the heading.
    std::string lastRecord() const {
        Result r = run({"--last-start"});
        std::string heading = streamText("The last start recorded in " + journalSeen() + ":\n");
        EXPECT_EQ(r.out.substr(0, heading.size()), heading) << r.out << r.err;
        EXPECT_EQ(r.exitCode, 0);
        return r.out.size() < heading.size() ? std::string() : r.out.substr(heading.size());
    }
    /// Each of `lines` (whole lines, written with "\n") in `record`.
    static void expectLines(const std::string& record, const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            EXPECT_NE(record.find(streamText("\n" + line + "\n")), std::string::npos) << line << "\n---\n" << record;
    }

    /// Writes the journal as another start left it: `count` whole records, then `tail`.
    void writeJournal(int count, const std::string& tail) const {
        fs::create_directories(folderHost);
        fs::permissions(folderHost, fs::perms::owner_all);
        std::ofstream out(journalHost(), std::ios::binary);
        for (int i = 0; i < count; ++i) out << oldRecord(i);
        out << tail;
    }
    static std::string oldRecord(int i) {
        return "start 2026-01-01 00:00:00 UTC\nlauncher: 1.0.0 old " + std::to_string(i) + "\nexit: 9 after 1.0 ms\n\n";
    }
    static std::size_t count(const std::string& text, const std::string& part) {
        std::size_t found = 0;
        for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; ++at) ++found;
        return found;
    }

    Installation inst{uniqueProgramName("sj")};
    RunOptions options;
    std::string folderSeen, folderHost;
};

// A good start, a start whose main class is missing (message 5) and one that finds no Java
// that fits (message 8) each leave a record naming the runtime, the refusals, the message and
// the exit code; the start's own output is what it is without the journal.
TEST_F(StartJournalTest, RecordsTheDecisionsOfEachStart) {
    ASSERT_TRUE(addJava(inst, "jre", "17"));
    inst.writeConfig("SetMainClass test.Main\nAddVMOption -Dfrom=file\n");
    std::string runtimeLine = "runtime: " + defaultJavaHome() + ", version 17";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::optional<std::string> failure;  // FAKEJVM_FAIL
        int exitCode;
        std::vector<std::string> lines;
        std::vector<std::string> absent;
    } cases[] = {
        {"good start", {"-nomsgbox"}, std::nullopt, 0,
         {"launcher: 1.0.0 " + inst.seen("bin/" + inst.programName() + exeSuffix()),
          "configuration: " + inst.seen("bin/" + inst.programName() + ".conf"), runtimeLine,
          "VM library: " + vmLibraryPath(), "VM option: -Dfrom=file",
          "VM option: " + classPathOption(runtimeClassPath(defaultJavaHome()))},
         {"message ", "refused: "}},
        {"message 5", {"-nomsgbox"}, std::string("findclass"), 5,
         {runtimeLine, "message 5: Unable to find main class.", "  Class specified is: test/Main"}, {}},
        {"message 8", {"-nomsgbox", "--SetJavaVersion=99"},
         std::nullopt, 8,
         {"refused: " + defaultJavaHome() + " (17, " + ownArchitecture() + "): too old, from the configured Java home",
          "message 8: Cannot find a J2SE SDK installed at path:."},
         {"runtime: ", "VM library: "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunOptions o = options;
        if (c.failure) o.env["FAKEJVM_FAIL"] = *c.failure;
        Result r = inst.run(c.args, o);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
        if (c.exitCode == 0) EXPECT_RUN(r, "", "", 0);
        std::string record = lastRecord();
        EXPECT_EQ(record.rfind("start ", 0), 0u) << record;
        expectLines(record, c.lines);
        for (const std::string& label : c.absent)
            EXPECT_EQ(record.find("\n" + label), std::string::npos) << label << "\n" << record;
        std::string exitLine = streamText("\nexit: " + std::to_string(c.exitCode) + " after ");
        EXPECT_NE(record.find(exitLine), std::string::npos) << record;
    }
}

// --last-start needs no Java and no configuration file: it says there is no record, and then
// reads the record of the start that failed for want of its configuration.
TEST_F(StartJournalTest, LastStartWithoutJavaOrConfiguration) {
    EXPECT_RUN(run({"--last-start"}), "No start is recorded in " + journalSeen() + ".\n", "", 0);
    Result failed = run({"-nomsgbox"});
    EXPECT_EQ(failed.exitCode, 7);
    std::string record = lastRecord();
    expectLines(record, {"message 7: Unable to open the following configuration file:",
                         "  [" + inst.seen("bin/" + inst.programName() + ".conf") + "]"});
    // The action itself leaves no record.
    lastRecord();
    EXPECT_EQ(hostText(journalHost()).find("start ", 1), std::string::npos) << hostText(journalHost());
}

// SetStartJournal off in the application's file keeps no record, whatever the user's file
// says; the user's file and the command line may turn it off.
TEST_F(StartJournalTest, SetStartJournalOff) {
    inst.addRuntime();
    struct Case {
        const char* name;
        std::string appFile, userFile;
        std::vector<std::string> args;
        bool recorded;
    } cases[] = {
        {"on by default", "", "", {}, true},
        {"application's file", "SetStartJournal off\n", "", {}, false},
        {"user's file cannot turn it on", "SetStartJournal off\n", "SetStartJournal on\n", {}, false},
        {"user's file turns it off", "", "SetStartJournal off\n", {}, false},
        {"command line turns it off", "", "", {"--SetStartJournal=off"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folderHost);
        fs::create_directories(folderHost);
        fs::permissions(folderHost, fs::perms::owner_all);
        if (!c.userFile.empty()) std::ofstream(folderHost + "/" + inst.programName() + ".conf") << c.userFile;
        inst.writeConfig("SetMainClass test.Main\n" + c.appFile);
        std::vector<std::string> args{"-nomsgbox"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_RUN(run(args), "", "", 0);
        EXPECT_EQ(fs::exists(journalHost()), c.recorded);
    }
}

// A journal that cannot be written leaves the start's output and exit code as they are;
// -verbose says why.
TEST_F(StartJournalTest, UnwritableJournalChangesNothing) {
    if (isWindows()) GTEST_SKIP() << "links and owners: the POSIX build";
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    std::string settings = inst.path("settings");
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string why;
    } cases[] = {
        {"folder is a link", [&] {
             fs::remove_all(folderHost);
             fs::create_symlink(inst.path("elsewhere"), folderHost);
         },
         "its folder " + folderSeen + " is a link"},
        {"folder of another user", [&] { ASSERT_EQ(::chown(folderHost.c_str(), 65534, 65534), 0); },
         "its folder " + folderSeen + " is not the user's own, or others may write in it"},
        {"file of another user", [&] {
             std::ofstream(journalHost()) << "start x\n";
             ASSERT_EQ(::chown(journalHost().c_str(), 65534, 65534), 0);
         },
         "it is not a regular file of the user's own that only the user may write"},
        {"folder cannot be made", [&] {
             fs::remove_all(folderHost);
             std::ofstream(folderHost) << "a file where the folder would be";
         },
         "its folder " + folderSeen + " cannot be made"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(settings);
        fs::create_directories(folderHost);
        fs::permissions(folderHost, fs::perms::owner_all);
        fs::create_directories(inst.path("elsewhere"));
        c.make();
        EXPECT_RUN(run({"-nomsgbox"}), "", "", 0);
        Result verbose = run({"-nomsgbox", "-verbose"});
        EXPECT_EQ(verbose.exitCode, 0);
        std::string line = "\nStart journal not written to " + journalSeen() + ": " + c.why + "\n";
        EXPECT_NE(verbose.out.find(line), std::string::npos) << verbose.out;
    }
    fs::remove_all(settings);
}

// Twenty starts at once leave twenty whole records.
TEST_F(StartJournalTest, ConcurrentStartsKeepEveryRecord) {
    if (isWindows()) GTEST_SKIP() << "twenty wine processes at once: the linux build shows the lock";
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    std::vector<std::future<Result>> starts;
    for (int i = 0; i < 20; ++i) starts.push_back(std::async(std::launch::async, [this] { return run({"-nomsgbox"}); }));
    for (auto& start : starts) EXPECT_RUN(start.get(), "", "", 0);
    std::string journal = hostText(journalHost());
    std::size_t heads = journal.rfind("start ", 0) == 0 ? 1 : 0;
    for (std::size_t at = 0; (at = journal.find("\nstart ", at)) != std::string::npos; ++at) ++heads;
    EXPECT_EQ(heads, 20u) << journal;
    // Every record has the lines of the first: none is cut or mixed with another.
    EXPECT_EQ(std::count(journal.begin(), journal.end(), '\n'),
              20 * std::count(journal.begin(), journal.begin() + journal.find("\n\n") + 2, '\n'));
    std::size_t whole = 0;
    for (std::size_t at = 0; (at = journal.find("\nexit: 0 after ", at)) != std::string::npos; ++at) ++whole;
    EXPECT_EQ(whole, 20u) << journal;

    // Twenty more into a journal near its bound, with a torn tail: every new record stays,
    // whole, through the cuts.
    writeJournal(45, "start 2026-01-02 00:00:00 UTC\nlauncher: 1.0.0 torn\n");
    starts.clear();
    for (int i = 0; i < 20; ++i) starts.push_back(std::async(std::launch::async, [this] { return run({"-nomsgbox"}); }));
    for (auto& start : starts) EXPECT_RUN(start.get(), "", "", 0);
    journal = hostText(journalHost());
    EXPECT_EQ(count(journal, "\nexit: 0 after "), 20u) << journal;
    EXPECT_LE(count(journal, "\nexit: "), 50u) << journal;
    EXPECT_EQ(journal.find("torn"), std::string::npos) << journal;
}

// A start that the application ends (System.exit) leaves a record that says so, also where the
// VM's exit goes through a C runtime of its own (Windows: the universal one of today's VMs).
TEST_F(StartJournalTest, AStartTheApplicationEndsIsRecorded) {
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    for (const char* runtime : {"", "ucrtbase"}) {
        if (*runtime && !isWindows()) continue;
        RunOptions o = options;
        o.env["FAKEJVM_MAIN"] = "exit:3";
        o.env["FAKEJVM_EXIT_RUNTIME"] = runtime;
        std::remove(journalHost().c_str());
        EXPECT_EQ(inst.run({"-nomsgbox"}, o).exitCode, 3) << runtime;
        expectLines(lastRecord(), {"ended: inside the application (System.exit, or the VM's own end)"});
    }
}

// A record torn at the journal's end (a start killed while it wrote, a power cut) is no
// record: --last-start shows the newest whole one, and the next start leaves it out.
TEST_F(StartJournalTest, ATornTailIsNoRecord) {
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    for (const std::string& tail : {std::string("start 2026-01-02 00:00:00 UTC\nlauncher: 1.0.0 torn\nexit: 0 af"),
                                     std::string("start 2026-01-02 00:00:00 UTC\nlauncher: 1.0.0 torn\n"),
                                     std::string(7, '\0')}) {
        writeJournal(3, tail);
        EXPECT_EQ(lastRecord(), streamText(oldRecord(2)));
        EXPECT_RUN(run({"-nomsgbox"}), "", "", 0);
        std::string journal = hostText(journalHost());
        EXPECT_EQ(journal.rfind(oldRecord(0) + oldRecord(1) + oldRecord(2) + "start ", 0), 0u) << journal;
        EXPECT_EQ(journal.find("torn"), std::string::npos) << journal;
        EXPECT_EQ(journal.find('\0'), std::string::npos) << journal;
        EXPECT_EQ(count(journal, "\nexit: 0 after "), 1u) << journal;
        EXPECT_EQ(journal.substr(journal.size() - 2), "\n\n");
    }
}

// On the real JDK: the record names the runtime the search chose and its version, and a
// start that no installed runtime fits names each as refused.
TEST(StartJournalRealJdk, NamesTheRuntimeAndTheRefused) {
    if (isWindows()) GTEST_SKIP() << "the machine's own JDKs run under the linux build";
    Installation inst(uniqueProgramName("sj"));
    RunOptions o;
    o.env = {{"XDG_CONFIG_HOME", inst.path("settings")}};
    std::string jdk = fs::canonical(target().jdkHome).string();
    inst.writeConfig("SetJavaVM server\nAddJavaLibFile " + target().javaClasses +
                     "\nSetMainClass launchertest.Probe\nSetJavaHome " + jdk + "\n");
    std::string release = hostText(jdk + "/release");
    std::size_t at = release.find("JAVA_VERSION=\"");
    ASSERT_NE(at, std::string::npos);
    std::string version = release.substr(at + 14, release.find('"', at + 14) - at - 14);
    EXPECT_EQ(inst.run({"-nomsgbox", "property=java.version"}, o).exitCode, 0);
    Result good = inst.run({"--last-start"}, o);
    EXPECT_NE(good.out.find("\nruntime: " + jdk + ", version " + version + "\n"), std::string::npos) << good.out;
    EXPECT_NE(good.out.find("\nVM library: " + jdk + "/lib/server/libjvm.so\n"), std::string::npos) << good.out;
    EXPECT_NE(good.out.find("\nexit: 0 after "), std::string::npos) << good.out;

    EXPECT_EQ(inst.run({"-nomsgbox", "--SetJavaVersion=99"}, o).exitCode, 8);
    Result refused = inst.run({"--last-start"}, o);
    EXPECT_NE(refused.out.find("\nrefused: " + jdk + " (" + version + ", 64-bit): too old, from the configured Java home\n"),
              std::string::npos)
        << refused.out;
    EXPECT_NE(refused.out.find("\nmessage 8: Cannot find a J2SE SDK installed at path:.\n  Java runtimes found: "),
              std::string::npos)
        << refused.out;
    EXPECT_NE(refused.out.find("\nexit: 8 after "), std::string::npos) << refused.out;
}

}  // namespace
}  // namespace process_tests
