// What a user may change without writing beside the executable: the user's own settings file,
// the maximum heap computed from the machine, the download page offered when no Java fits,
// and forgetting the remembered Java.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"
#include "process/java_runtimes.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

/// An installation with this user's settings folder of its application, which is removed with it.
class UserSettings : public ::testing::Test {
protected:
    void SetUp() override {
        inst.addRuntime();
        SettingsFolder folder = userSettingsFolder(inst, options);
        folderSeen = folder.seen;
        folderHost = folder.host;
        fs::create_directories(folderHost);
    }
    void TearDown() override { fs::remove_all(folderHost); }

    std::string userFileHost() const { return folderHost + "/" + inst.programName() + ".conf"; }
    std::string userFileSeen() const { return folderSeen + dirSeparator() + inst.programName() + ".conf"; }
    void writeUserFile(const std::string& content) const { std::ofstream(userFileHost(), std::ios::binary) << content; }

    /// A launch whose record holds only what it gave the VM.
    Result run(const std::vector<std::string>& args) const { return run(args, options); }
    Result run(const std::vector<std::string>& args, const RunOptions& o) const {
        fs::remove(inst.recordFile());
        return inst.run(args, o);
    }

    Installation inst{uniqueProgramName("us")};
    RunOptions options;
    std::string folderSeen, folderHost;
};

// ---- The user's file ---------------------------------------------------------------------------

// Set... of the user's file replace the application's, Add... append, and the command line wins.
TEST_F(UserSettings, UserFileCountsBetweenTheApplicationsFileAndTheCommandLine) {
    inst.writeConfig("SetMainClass app.Main\nAddVMOption -Dfrom=app\n");
    writeUserFile("# mine\nSetMainClass user.Main\nAddVMOption -Dfrom=user\n");
    LaunchOptions parts;
    parts.fromFile = {"-Dfrom=app", "-Dfrom=user"};
    EXPECT_RUN(run({"-nomsgbox"}), "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "user/Main", {}));

    Result verbose = run({"-nomsgbox", "-verbose", "--setmainclass=line.Main"});
    EXPECT_EQ(verbose.out.substr(0, verbose.out.find('\n') + 1), streamText("User settings file: " + userFileSeen() + "\n"));
    EXPECT_EQ(verbose.exitCode, 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "line/Main", {}));

    // The command line's SetUserSettings counts before the user's file would be read.
    EXPECT_RUN(run({"-nomsgbox", "--SetUserSettings=off"}), "", "", 0);
    parts.fromFile = {"-Dfrom=app"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "app/Main", {}));
}

// SetUserSettings off keeps the user's file out; what the application's file turned off, the
// user's file does not turn on again.
TEST_F(UserSettings, ApplicationDecidesWhatTheUserFileMaySet) {
    writeUserFile("AddVMOption -Dfrom=user\nSetJavaSearch on\nSetUserSettings off\nAddJavaSearchPath x\n");
    inst.writeConfig("SetMainClass test.Main\nSetUserSettings off\n");
    EXPECT_RUN(run({"-nomsgbox"}), "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {}));

    inst.writeConfig("SetMainClass test.Main\nSetJavaSearch off\n");
    Result r = run({"-nomsgbox", "-verbose"});
    std::string expected = "User settings file: " + userFileSeen() + "\n" +
                           "User settings line #2 left out, the configuration file decides it: SetJavaSearch on\n"
                           "User settings line #3 left out, the configuration file decides it: SetUserSettings off\n"
                           "User settings line #4 left out, the configuration file decides it: AddJavaSearchPath x\n";
    EXPECT_EQ(r.out.substr(0, streamText(expected).size()), streamText(expected));
    LaunchOptions parts;
    parts.fromFile = {"-Dfrom=user"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {}));
}

// A file that another user could have written, or put in its place, is not read.
TEST_F(UserSettings, RefusedWhenAnotherUserMayWriteIt) {
    if (isWindows()) GTEST_SKIP() << "Windows takes the user's profile as the user's own";
    inst.writeConfig("SetMainClass test.Main\n");
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string why;
    } cases[] = {
        {"folder writable by another group", [&] {
             ASSERT_EQ(::chown(folderHost.c_str(), ::geteuid(), 65534), 0);
             fs::permissions(folderHost, fs::perms::group_write, fs::perm_options::add);
         },
         "its folder may be written by other users (chmod go-w " + folderSeen + ")"},
        {"file writable by others", [&] { fs::permissions(userFileHost(), fs::perms::others_write, fs::perm_options::add); },
         "it is not a regular file of yours that only you may write (chmod go-w " + userFileSeen() + ", if it is yours)"},
        {"file of another user", [&] { ASSERT_EQ(::chown(userFileHost().c_str(), 65534, 65534), 0); },
         "it is not a regular file of yours that only you may write (chmod go-w " + userFileSeen() + ", if it is yours)"},
        {"a link", [&] {
             inst.write("elsewhere.conf", "AddVMOption -Dfrom=user\n");
             fs::remove(userFileHost());
             fs::create_symlink(inst.path("elsewhere.conf"), userFileHost());
         },
         "it is not a regular file of yours that only you may write"},
    };
    for (const Case& c : cases) {
        fs::remove_all(folderHost);
        fs::create_directories(folderHost);
        fs::permissions(folderHost, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
        writeUserFile("AddVMOption -Dfrom=user\n");
        c.make();
        SCOPED_TRACE(c.name);
        EXPECT_RUN(run({"-nomsgbox"}), "",
                   "WARNING: The user settings file " + userFileSeen() + " is not read: " + c.why + ".\n", 0);
        EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {}));
    }
}

// A folder and a file that only the user's own private group may write besides the user (the
// umask 002 of systems with user-private groups) are the user's: the file is read. The tests
// run as root, whose group is its own.
TEST_F(UserSettings, TheUsersOwnPrivateGroupMayWrite) {
    if (isWindows() || ::geteuid() != 0) GTEST_SKIP() << "needs a user whose primary group is private: root's";
    inst.writeConfig("SetMainClass test.Main\n");
    writeUserFile("AddVMOption -Dfrom=user\n");
    fs::permissions(folderHost, fs::perms::group_write, fs::perm_options::add);
    fs::permissions(userFileHost(), fs::perms::group_write, fs::perm_options::add);
    EXPECT_RUN(run({"-nomsgbox"}), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Dfrom=user"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {}));
}

// ---- The maximum heap --------------------------------------------------------------------------

/// The machine's memory as the launcher under test reads it.
std::uint64_t machineMemory() {
    return static_cast<std::uint64_t>(::sysconf(_SC_PHYS_PAGES)) * static_cast<std::uint64_t>(::sysconf(_SC_PAGE_SIZE));
}

std::string heapOption(std::uint64_t mebibytes) { return "-Xmx" + std::to_string(mebibytes) + "m"; }

// One -Xmx after the configuration's options, unless a maximum heap is given already: the
// application's SetMaxHeap yields to any, the user's (the user's file, the command line) only to
// the user's own.
TEST_F(UserSettings, MaxHeapInTheVmsOptions) {
    bool narrow = target().kind == Kind::Win32;
    struct Case {
        std::string config, user;
        std::vector<std::string> args;
        std::map<std::string, std::optional<std::string>> env;
        std::vector<std::string> fromFile, fromCommandLine;
        std::optional<std::string> heap;
        std::string err;
    } cases[] = {
        {"SetMaxHeap 512m", "", {}, {}, {}, {}, "-Xmx512m", ""},
        {"SetMaxHeap 8g", "", {}, {}, {}, {}, narrow ? "-Xmx1024m" : "-Xmx8192m", ""},
        {"SetMaxHeap 100% 64m 100m", "", {}, {}, {}, {}, "-Xmx100m", ""},
        {"SetMaxHeap 25% 64m 100000g", "", {}, {}, {}, {},
         heapOption(std::min<std::uint64_t>(machineMemory() / 4 / (1 << 20), narrow ? 1024 : UINT64_MAX)), ""},
        {"SetMaxHeap 512m", "SetMaxHeap 256m", {}, {}, {}, {}, "-Xmx256m", ""},
        {"SetMaxHeap 512m\nAddVMOption -Xmx300m", "", {}, {}, {"-Xmx300m"}, {}, std::nullopt, ""},
        {"SetMaxHeap 512m", "AddVMOption -Xmx200m", {}, {}, {"-Xmx200m"}, {}, std::nullopt, ""},
        {"SetMaxHeap 512m", "", {"-J-Xmx100m"}, {}, {}, {"-Xmx100m"}, std::nullopt, ""},
        {"SetMaxHeap 512m", "", {}, {{"JAVA_TOOL_OPTIONS", std::string("-Xmx128m")}}, {}, {}, std::nullopt, ""},
        {"SetMaxHeap 101%", "", {}, {}, {}, {}, std::nullopt,
         "WARNING: SetMaxHeap takes a share over 0 % and at most 100 %, not: 101%\n"},
        {"SetMaxHeap 25% 8g 512m", "", {}, {}, {}, {}, std::nullopt,
         "WARNING: SetMaxHeap takes a cap that is not below the floor, not: 25% 8g 512m\n"},
        {"SetMaxHeap 2x", "", {}, {}, {}, {}, std::nullopt,
         "WARNING: SetMaxHeap takes a share such as 25% or a size in k, m, g or t, not: 2x\n"},
        {"SetMaxHeap 25% 0m 0m", "", {}, {}, {}, {}, std::nullopt,
         "WARNING: SetMaxHeap takes a floor and a cap over 0, not: 25% 0m 0m\n"},
        // The user's SetMaxHeap wins over the application's -Xmx, which it follows.
        {"AddVMOption -Xmx300m", "SetMaxHeap 256m", {}, {}, {"-Xmx300m"}, {}, "-Xmx256m", ""},
        {"AddVMOption -XX:MaxRAMPercentage=80", "", {"--SetMaxHeap=256m"}, {}, {"-XX:MaxRAMPercentage=80"}, {},
         "-Xmx256m", ""},
        {"SetMaxHeap 512m", "SetMaxHeap 256m\nAddVMOption -Xmx200m", {}, {}, {"-Xmx200m"}, {}, std::nullopt, ""},
        // The application's yields to every setting the VM derives the maximum heap from.
        {"SetMaxHeap 512m", "AddVMOption -XX:MaxRAMPercentage=50", {}, {}, {"-XX:MaxRAMPercentage=50"}, {},
         std::nullopt, ""},
        {"SetMaxHeap 512m", "", {"-J-XX:MaxRAM=4g"}, {}, {}, {"-XX:MaxRAM=4g"}, std::nullopt, ""},
        {"SetMaxHeap 512m", "", {}, {{"JAVA_TOOL_OPTIONS", std::string("-Da=1 \"-XX:MaxRAMFraction=4\"")}}, {}, {},
         std::nullopt, ""},
        {"SetMaxHeap 512m", "", {}, {{"JAVA_TOOL_OPTIONS", std::string("-Dfoo=\"a -Xmx1g\"")}}, {}, {}, "-Xmx512m", ""},
    };
    for (const Case& c : cases) {
        inst.writeConfig("SetMainClass test.Main\n" + c.config + "\n");
        writeUserFile(c.user + "\n");
        RunOptions o = options;
        for (const auto& variable : c.env) o.env[variable.first] = variable.second;
        std::vector<std::string> args{"-nomsgbox"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.config);
        EXPECT_RUN(run(args, o), "", c.err, 0);
        LaunchOptions parts;
        parts.fromFile = c.fromFile;
        parts.fromCommandLine = c.fromCommandLine;
        std::vector<std::string> expected = expectedOptions(inst, parts);
        if (c.heap) expected.insert(expected.end() - 1, *c.heap);
        EXPECT_EQ(inst.record(), startedRecord(expected, "test/Main", {}));
    }
}

// ---- A way to Java -----------------------------------------------------------------------------

// Message 8 ends with the download page; the console's question offers it; only web addresses.
TEST_F(UserSettings, DownloadPageWhenNoJavaFits) {
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 90\nSetJavaDownloadUrl https://example.com/java\n");
    Result r = run({"-nomsgbox"});
    std::string tail = streamText("Get Java at https://example.com/java\n\n");
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    EXPECT_EQ(r.exitCode, 8);

    if (!isWindows()) {
        RunOptions o = options;
        o.terminalInput = "\n";
        EXPECT_EQ(run({"-nomsgbox"}, o).err,
                  "Ombrix Halverant R7\nThis application needs Java 90 or later, 64-bit.\n"
                  "Get Java at https://example.com/java\nEnter the full pathname for java: ");
    }
    // The command line's value counts for message 8 too, checked as the file's is (a refused
    // one leaves the file's); empty, it offers none.
    struct Override {
        std::string url, offered, err;
    } overrides[] = {
        {"https://example.org/get", "https://example.org/get", ""},
        {"ftp://example.org/get", "https://example.com/java",
         "WARNING: SetJavaDownloadUrl takes an https: or http: address, not: ftp://example.org/get\n"},
        {"", "", ""},
    };
    for (const Override& c : overrides) {
        Result o = run({"-nomsgbox", "--SetJavaDownloadUrl=" + c.url});
        std::size_t at = o.out.find("Get Java at ");
        EXPECT_EQ(at == std::string::npos ? "" : o.out.substr(at + 12, o.out.find_first_of("\r\n", at) - at - 12), c.offered);
        EXPECT_EQ(o.err, streamText(c.err));
        EXPECT_EQ(o.exitCode, 8) << c.url;
    }
    inst.writeConfig("SetMainClass test.Main\nSetJavaDownloadUrl file:///C:/setup.exe\n");
    EXPECT_RUN(run({"-nomsgbox"}), "",
               "WARNING: SetJavaDownloadUrl takes an https: or http: address, not: file:///C:/setup.exe\n", 0);
}

/// The remembered answer's file for `configSeen`, named as the launcher names it.
std::string rememberedName(const std::string& configSeen) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : configSeen) hash = (hash ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("java-home-") + text + ".txt";
}

TEST_F(UserSettings, ForgetJavaRemovesTheRememberedAnswer) {
    addJava(inst, "mine", "90.0.1");
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion 90\n");
    std::string config = inst.seen("bin/" + inst.programName() + ".conf");
    std::string file = folderHost + "/" + rememberedName(config);
    std::ofstream(file, std::ios::binary) << "config=" + config + "\nhome=" + inst.seen("mine") + "\n";
    Result found = run({"-nomsgbox", "--print-java"});
    EXPECT_NE(found.out.find("remembered answer"), std::string::npos) << found.out;

    EXPECT_RUN(run({"--forget-java"}), "Forgot the Java remembered for " + config + ": " + inst.seen("mine") + " (" +
                                           folderSeen + dirSeparator() + rememberedName(config) + ")\n", "", 0);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_RUN(run({"--forget-java"}), "No Java is remembered for " + config + ".\n", "", 0);
    // A damaged answer is removed too; what cannot be removed fails the option.
    const std::string seenFile = folderSeen + dirSeparator() + rememberedName(config);
    std::ofstream(file, std::ios::binary) << "no answer";
    EXPECT_RUN(run({"--forget-java"}), "Forgot the Java remembered for " + config + ": (unreadable) (" + seenFile + ")\n", "", 0);
    fs::create_directories(file + "/inside");
    EXPECT_RUN(run({"--forget-java"}), "Could not remove " + seenFile + ".\n", "", 1);
    fs::remove_all(file);
}

// Searching or not, the remembered answer serves a start whose Java home holds no runtime, and
// --print-java reports it; a Java home that holds one comes first.
TEST_F(UserSettings, RememberedAnswerServesWhenTheJavaHomeHoldsNoRuntime) {
    inst.addRuntime("mine");
    std::string config = inst.seen("bin/" + inst.programName() + ".conf");
    std::ofstream(folderHost + "/" + rememberedName(config), std::ios::binary)
        << "config=" + config + "\nhome=" + inst.seen("mine") + "\n";
    struct Case {
        std::string javaHome, started;
    } cases[] = {
        {"SetJavaHome " + inst.seen("none") + "\n", inst.seen("mine")},
        {"", defaultJavaHome()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.javaHome);
        inst.writeConfig("SetMainClass test.Main\n" + c.javaHome);
        EXPECT_RUN(run({"-nomsgbox"}), "", "", 0);
        LaunchOptions parts;
        parts.classPath = runtimeClassPath(c.started);
        EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {}));
        Result reported = run({"-nomsgbox", "--print-java"});
        EXPECT_EQ(reported.out.find("remembered answer") != std::string::npos, c.started == inst.seen("mine")) << reported.out;
    }
}

}  // namespace
}  // namespace process_tests
