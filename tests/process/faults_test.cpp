// Faults the launcher survives: configuration files that cannot be read, that are huge or hold
// bytes that are no text; floods of arguments and very long ones; long paths; PATH missing or
// huge; broken jvm.cfg files and VM libraries; an update child that crashes. Each run ends with
// its exact messages and exit code, and the installation holds nothing afterwards but what the
// test put there and what the fake VM recorded.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

// ---- Expected texts and checks ------------------------------------------------------------------

const std::string kUpdateTrace = "updatesFile exists. needToUpdate will return true.\n";
const std::string kUpdateDirectives = "SetUpdateMainClass u.Installer\nSetUpdateClassPath upd.jar\n";

std::string missingConfigReport(const std::string& configPath) {
    return "Could not load config file: " + configPath + "\n" +
           errorReport("Unable to open the following configuration file:\n[" + configPath + "]");
}

std::string cannotLaunch(const std::string& library) {
    return errorReport("Unable to launch the Java Virtual Machine\nLocated at path:\n" + library);
}

std::string cannotFindDefault(const std::string& vm) {
    return "WARNING: Cannot find default VM \"" + vm + "\" at " + defaultJavaHome() + "\n";
}

/// The record of the installer that the update child runs, up to and including main.
std::string installerRecord(const Installation& inst, const std::vector<std::string>& args) {
    LaunchOptions parts;
    parts.classPath = std::vector<std::string>{"upd.jar"};
    return startedRecord(expectedOptions(inst, parts), "u/Installer", args);
}

std::string withoutDestroy(const std::string& record) { return record.substr(0, record.size() - 8); }

/// Compares texts too long to print: their sizes and the first difference, in context.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    std::size_t from = at > 40 ? at - 40 : 0;
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << " (expected), first difference at " << at << ":\n  actual:   ["
                                         << actual.substr(from, 80) << "]\n  expected: [" << expected.substr(from, 80)
                                         << "]";
}

/// Every file and directory below `root`, relative to it.
std::set<std::string> entriesBelow(const std::string& root) {
    std::set<std::string> entries;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        entries.insert(it->path().lexically_relative(root).generic_string());
    return entries;
}

/// Bytes from a fixed seed, of every value except '-' (so that no line of them declares a VM)
/// and Ctrl-Z (which ends a text file for the Windows C runtime).
std::string garbage(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
        if (byte == '-' || byte == '\x1a') byte = '+';
    }
    return bytes;
}

/// ASCII text in UTF-16 of that byte order, after its byte-order mark.
std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
}

/// Each launch of a test starts from a snapshot of the installation: afterwards the only new
/// entry may be the fake VM's record.
class Faults : public ::testing::Test {
protected:
    Faults() : inst("app") {}
    explicit Faults(std::size_t rootLength) : inst("app", "", rootLength) {}

    Result launch(const std::vector<std::string>& args, const RunOptions& options = {}) {
        before_ = entriesBelow(inst.root());
        std::vector<std::string> all{"-nomsgbox"};
        all.insert(all.end(), args.begin(), args.end());
        return inst.run(all, options);
    }

    void expectNothingElseWritten(bool recorded) const {
        std::set<std::string> expected = before_;
        if (recorded) expected.insert("record.txt");
        EXPECT_EQ(entriesBelow(inst.root()), expected) << "entries of the installation after the run";
    }

    Installation inst;

private:
    std::set<std::string> before_;
};

// ---- The configuration file cannot be read ---------------------------------------------------------

TEST_F(Faults, ConfigurationFileThatIsADirectory) {
    inst.addRuntime();
    inst.mkdir("bin/app.conf");
    EXPECT_RUN(launch({}), missingConfigReport(inst.seen("bin/app.conf")), "", 7);
    expectNothingElseWritten(false);
}

TEST_F(Faults, ConfigurationFileWithoutReadPermission) {
    // Permissions do not hold for root, who reads any file: the run would succeed.
    if (::geteuid() == 0) GTEST_SKIP() << "running as root, which reads files whatever their permissions";
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    ASSERT_EQ(::chmod(inst.path("bin/app.conf").c_str(), 0), 0);
    Result r = launch({});
    ::chmod(inst.path("bin/app.conf").c_str(), 0644);
    EXPECT_RUN(r, missingConfigReport(inst.seen("bin/app.conf")), "", 7);
    expectNothingElseWritten(false);
}

// ---- Huge configuration files ------------------------------------------------------------------------

/// The cases that move the most data: run once, against the linux build (Heavy* suites,
/// cmake/test_variants.cmake), not again under every variant and memory checker.
class HeavyFaults : public Faults {};

// 100 MiB of comments, then the directives, which still take effect.
TEST_F(HeavyFaults, HundredMegabyteConfigurationFile) {
    inst.addRuntime();
    const std::string comment = "# " + std::string(97, 'c') + "\n";  // 100 bytes
    std::string content;
    content.reserve(100u * 1024 * 1024 + 64);
    for (std::size_t i = 0; i < 1024u * 1024; ++i) content += comment;
    content += "AddVMOption -Dlast=1\nSetMainClass big.Main\n";
    inst.writeConfig(content);
    content.clear();
    content.shrink_to_fit();

    RunOptions o;
    o.timeoutSeconds = 300;
    EXPECT_RUN(launch({}, o), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Dlast=1"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "big/Main", {}));
    expectNothingElseWritten(true);
}

// A configuration or jvm.cfg that never ends (here /dev/zero) is read up to the reader's limit,
// and the launch stops with the file's name, soon and without running out of memory.
TEST_F(Faults, EndlessConfigurationFileAndJvmCfg) {
    for (bool jvmCfg : {false, true}) {
        SCOPED_TRACE(jvmCfg ? "jvm.cfg" : "configuration file");
        Installation endless("app");
        endless.addRuntime("jre", jvmCfg ? std::nullopt : std::optional<std::string>("-server KNOWN\n"));
        endless.mkdir("jre/lib");
        if (jvmCfg) endless.writeConfig("SetMainClass test.Main\n");
        std::string file = jvmCfg ? "jre/lib/jvm.cfg" : "bin/app.conf";
        fs::create_symlink("/dev/zero", endless.path(file));
        RunOptions o;
        o.timeoutSeconds = 30;
        Result r = endless.run({"-nomsgbox"}, o);
        EXPECT_RUN(r, errorReport("Unable to read the following file, it is larger than 128 MiB:\n[" +
                                  (jvmCfg ? defaultJavaHome() + native("/lib/jvm.cfg") : endless.seen(file)) + "]"),
                   "", 11);
        EXPECT_EQ(endless.record(), "");
    }
}

// A line of 10 MiB reaches the VM whole, and the lines after it are read.
TEST_F(HeavyFaults, TenMegabyteLine) {
    inst.addRuntime();
    const std::string option = "-Dhuge=" + std::string(10u * 1024 * 1024, 'v');
    inst.writeConfig("AddVMOption " + option + "\nSetMainClass big.Main\n");
    RunOptions o;
    o.timeoutSeconds = 300;
    EXPECT_RUN(launch({}, o), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {option};
    EXPECT_TRUE(sameText(inst.record(), startedRecord(expectedOptions(inst, parts), "big/Main", {})));
    expectNothingElseWritten(true);
}

// ---- Bytes that are no text ------------------------------------------------------------------------------

// A NUL byte ends the line's text; other bytes, valid characters or not, are taken as they
// are: in options, in the names of unknown directives and in invalid lines. The main class goes
// to the VM in UTF-8, as JNI reads class names: on Windows a file that is no UTF-8 is read in the
// ANSI code page (1252 here), each of its bytes a character of its own.
TEST_F(Faults, NulBytesAndInvalidSequencesInTheFile) {
    inst.addRuntime();
    const std::string invalid = "\xff\xfe\xc3\x28\xc0\xaf\xed\xa0\x80";
    inst.writeConfig(std::string("\0AddVMOption -Dhidden=1\n", 24) +      // 1: nothing left
                     std::string("AddVM\0Option -Dcut=1\n", 21) +          // 2: a name without value
                     "AddVMOption -Dbytes=" + invalid + "\n" +             // 3
                     "\xff\xfe" "Frob value\n" +                            // 4
                     "\xc3\n" +                                             // 5
                     std::string("SetMainClass caf\xc3\xa9.M\xe9in\0.Other\n", 29));  // 6
    RunOptions o;
    if (isWindows()) o.env["LANG"] = "en_US.UTF-8";
    EXPECT_RUN(launch({}, o), "[line #2][AddVM] is invalid!\n[line #5][\xc3] is invalid!\n",
               "WARNING: Unknown directive: \xff\xfe" "frob\n", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Dbytes=" + invalid};
    const char* mainClass = isWindows() ? "caf\xc3\x83\xc2\xa9/M\xc3\xa9in" : "caf\xc3\xa9/M\xe9in";
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), mainClass, {}));
    expectNothingElseWritten(true);
}

// No argument holds a NUL byte: the system's argument strings end at it. Invalid sequences reach
// the VM's options and the main class as bytes, and main as U+FFFD for each byte that begins
// no character.
TEST_F(Faults, InvalidSequencesInArguments) {
    // Wine makes a Windows program's arguments from the Unix ones through UTF-16, so each
    // invalid sequence arrives as '?' before the launcher sees it: nothing of its own to test.
    if (isWindows()) GTEST_SKIP() << "under wine, invalid sequences become '?' before the launcher sees them";
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    const std::string replacement = "\xef\xbf\xbd";
    EXPECT_RUN(launch({"-J-Draw=\xff\xfe", "--setmainclass=\xff.x", "\xff", "a\xc3", "\xc0\xaf", "\xed\xa0\x80",
                       "ok\xc3\xa9"}),
               "", "", 0);
    LaunchOptions parts;
    parts.fromCommandLine = {"-Draw=\xff\xfe"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "\xff/x",
                                           {replacement, "a" + replacement, replacement + replacement,
                                            replacement + replacement + replacement, "ok\xc3\xa9"}));
    expectNothingElseWritten(true);
}

// ---- Many and long arguments ----------------------------------------------------------------------------

// 10,000 arguments reach the installer that the update child runs and then the application,
// in order. Two characters each, so that all of them fit on a Windows command line.
TEST_F(HeavyFaults, TenThousandArguments) {
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n" + kUpdateDirectives);
    inst.write("lib/deferred-updates.xml", "");
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::vector<std::string> args;
    for (std::size_t i = 0; i < 10000; ++i)
        args.push_back({alphabet[i % alphabet.size()], alphabet[i / alphabet.size() % alphabet.size()]});
    RunOptions o;
    o.timeoutSeconds = 300;
    EXPECT_RUN(launch(args, o), kUpdateTrace, "", 0);
    EXPECT_TRUE(sameText(inst.record(), installerRecord(inst, args) + startedRecord(expectedOptions(inst), "test/Main", args)));
    expectNothingElseWritten(true);
}

/// The longest argument a launch can take: 100,000 characters on POSIX. A Windows command
/// line holds at most 32,767 characters with its terminator, and wine (8.0) starts a 64-bit
/// program only when its command line is 36 characters shorter still. Wine writes the
/// program's path in quotation marks; "-nomsgbox" and two blanks come before the argument.
std::size_t longestArgument(const Installation& inst) {
    if (!isWindows()) return 100000;
    const std::size_t commandLine = target().kind == Kind::Win64 ? 32766 - 36 : 32766;
    const std::size_t program = inst.seen("bin/" + inst.programName() + exeSuffix()).size() + 2;
    return commandLine - program - std::string(" -nomsgbox ").size();
}

struct LongArgument {
    const char* name;
    std::string prefix;      // before the run of characters
    bool toMain;             // an application argument, else a VM option or the main class
};

void PrintTo(const LongArgument& argument, std::ostream* out) { *out << argument.name; }

class LongArguments : public Faults, public ::testing::WithParamInterface<LongArgument> {};

TEST_P(LongArguments, AreHandledWhole) {
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    const std::string argument = GetParam().prefix + std::string(longestArgument(inst) - GetParam().prefix.size(), 'a');
    EXPECT_RUN(launch({argument}), "", "", 0);
    LaunchOptions parts;
    std::string mainClass = "test/Main";
    std::vector<std::string> appArgs;
    if (GetParam().toMain)
        appArgs = {argument};
    else if (GetParam().prefix == "-J")
        parts.fromCommandLine = {argument.substr(2)};
    else
        mainClass = argument.substr(GetParam().prefix.size());
    EXPECT_TRUE(sameText(inst.record(), startedRecord(expectedOptions(inst, parts), mainClass, appArgs)));
    expectNothingElseWritten(true);
}

INSTANTIATE_TEST_SUITE_P(Faults, LongArguments,
                         ::testing::Values(LongArgument{"ApplicationArgument", "x", true},
                                           LongArgument{"VmOption", "-J", false},
                                           LongArgument{"MainClassOverride", "--setmainclass=", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A configuration file named by the longest -conf value: the system refuses the name, and the
// report holds the whole path.
TEST_F(Faults, LongConfigurationPath) {
    inst.addRuntime();
    const std::string name(longestArgument(inst) - std::string("-conf ").size(), 'c');
    EXPECT_RUN(launch({"-conf", name}), missingConfigReport(inst.seen("bin") + dirSeparator() + name), "", 7);
    expectNothingElseWritten(false);
}

/// The longest argument that the update child can be given as well: on Windows its command
/// line (the program's path, the argument, "-update" and the main class override) must fit
/// in 32,766 characters too.
std::size_t longestArgumentToTheChild(const Installation& inst) {
    if (!isWindows()) return longestArgument(inst);
    const std::size_t child = inst.seen("bin/app.exe").size() + std::string(" ").size() +
                              std::string(" -update --SetMainClass=u/Installer").size();
    return std::min(longestArgument(inst), 32766 - child);
}

// The update child gets a long argument whole.
TEST_F(Faults, LongArgumentToTheUpdateChild) {
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n" + kUpdateDirectives);
    inst.write("lib/deferred-updates.xml", "");
    const std::string argument(longestArgumentToTheChild(inst), 'a');
    EXPECT_RUN(launch({argument}), kUpdateTrace, "", 0);
    EXPECT_TRUE(sameText(inst.record(), installerRecord(inst, {argument}) +
                                            startedRecord(expectedOptions(inst), "test/Main", {argument})));
    expectNothingElseWritten(true);
}

// ---- Long paths --------------------------------------------------------------------------------------------

/// The root of an installation whose program wine still starts: 259 characters, less than
/// MAX_PATH, for the program's Windows path. Wine creates no process from a longer image path
/// (it reports the file as not found, and beyond about 300 characters corrupts its own heap),
/// and it starts no 64-bit program from one.
std::size_t rootOfTheLongestStartablePath() {
    return 259 - std::string("Z:").size() - std::string("/bin/app.exe").size();
}

/// The longest installation root: 4,000 characters where the host can start the program from
/// it (every path it hands to the kernel, or to wine, is then still under PATH_MAX, 4096 with
/// its terminator); under wine's 64-bit loader the root of the longest startable path.
std::size_t longestRoot() {
    return target().kind == Kind::Win64 ? rootOfTheLongestStartablePath() : 4000;
}

class LongInstallation : public Faults {
protected:
    LongInstallation() : Faults(longestRoot()) {}
};

// A current directory and configuration path longer than MAX_PATH, a directory listed below
// them, and the VM library loaded through its relative path from there.
TEST_F(LongInstallation, IsHandledWhole) {
    ASSERT_EQ(inst.root().size(), longestRoot());
    inst.addRuntime();
    inst.write("bin/ext/a.jar", "");
    inst.writeConfig("AddJavaLibPath " + inst.seen("bin/ext") + "\nSetMainClass test.Main\n");
    LaunchOptions parts;
    parts.classPath = {inst.seen("bin/ext") + dirSeparator() + "a.jar", runtimeClassPath(defaultJavaHome())[0],
                       runtimeClassPath(defaultJavaHome())[1]};
    std::vector<std::string> options = expectedOptions(inst, parts);
    RunOptions o;
    o.workingDir = fs::temp_directory_path().string();  // wine starts no program in a long one
    EXPECT_RUN(launch({"-verbose"}, o), verboseOptionLines(options) + "JVM path is " + vmLibraryPath() + "\n", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(options, "test/Main", {}));
    expectNothingElseWritten(true);
}

/// The longest installation root from which the update child starts.
std::size_t longestChildRoot() { return isWindows() ? rootOfTheLongestStartablePath() : longestRoot(); }

class LongChildInstallation : public Faults {
protected:
    LongChildInstallation() : Faults(longestChildRoot()) {}
};

TEST_F(LongChildInstallation, StartsTheUpdateChild) {
    if (isWindows()) {
        ASSERT_EQ(inst.seen("bin/app.exe").size(), 259u);
    }
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n" + kUpdateDirectives);
    inst.write("lib/deferred-updates.xml", "");
    EXPECT_RUN(launch({"x"}), kUpdateTrace, "", 0);
    EXPECT_EQ(inst.record(), installerRecord(inst, {"x"}) + startedRecord(expectedOptions(inst), "test/Main", {"x"}));
    expectNothingElseWritten(true);
}

/// The longest working directory, a host path below the installation: 4,000 characters on
/// POSIX. Wine starts a program in no working directory of more than 256 characters (258 as
/// Windows names it: MAX_PATH less a separator and the terminator); it says so and starts it
/// in the Windows directory instead.
std::string longWorkingDirectory(const Installation& inst) {
    std::size_t length = isWindows() ? 256 : 4000;
    std::string directory = inst.path("work");
    while (directory.size() < length) {
        std::size_t left = length - directory.size() - 1;
        std::size_t segment = left > 200 ? (left - 200 < 2 ? 100 : 200) : left;
        directory += "/" + std::string(segment, 'w');
    }
    return directory;
}

// A relative argument naming a file there reaches main as its full path.
TEST_F(Faults, LongWorkingDirectory) {
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    RunOptions o;
    o.workingDir = longWorkingDirectory(inst);
    inst.write(o.workingDir.substr(inst.root().size() + 1) + "/data.txt", "");
    const std::string seen = seenPath(o.workingDir + "/data.txt");
    EXPECT_RUN(launch({"-verbose", "data.txt"}, o),
               "Added sanitized app cmd line arg: " + seen + "\n" + verboseOptionLines(expectedOptions(inst)) +
                   "JVM path is " + vmLibraryPath() + "\n",
               "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {seen}));
    expectNothingElseWritten(true);
}

// ---- PATH --------------------------------------------------------------------------------------------------

TEST_F(Faults, PathUnset) {
    inst.addRuntime();
    inst.writeConfig("AddNativeCodePath native\nSetMainClass test.Main\n");
    RunOptions o;
    o.env = {{"PATH", std::nullopt}};
    EXPECT_RUN(launch({}, o), "", "", 0);
    LaunchOptions parts;
    parts.pathVariable = "";
    parts.libraryEntries = {"native"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {}));
    expectNothingElseWritten(true);
}

// 100,000 characters on POSIX; on Windows the longest value a variable can have, 32,766
// characters, which wine makes of WINEPATH and the prefix's PATH.
TEST_F(Faults, HugePath) {
    inst.addRuntime();
    inst.writeConfig("AddNativeCodePath native\nSetMainClass test.Main\n");
    const std::size_t length = isWindows() ? 32766 - 1 - launcherPathVariable().size() : 100000;
    std::string entries;
    for (std::size_t i = 0; entries.size() < length; ++i)
        entries += (i ? std::string(1, listSeparator()) : "") + native("/nonexistent/p") + std::to_string(i);
    entries.resize(length);
    RunOptions o;
    LaunchOptions parts;
    if (isWindows()) {
        o.env = {{"WINEPATH", entries}};
        parts.pathVariable = entries + listSeparator() + launcherPathVariable();
    } else {
        o.env = {{"PATH", entries}};
        parts.pathVariable = entries;
    }
    parts.libraryEntries = {"native"};
    EXPECT_RUN(launch({}, o), "", "", 0);
    EXPECT_TRUE(sameText(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {})));
    expectNothingElseWritten(true);
}

// ---- jvm.cfg (a missing one: VmSelection.NoJvmCfg) ---------------------------------------------------------

struct BrokenJvmCfg {
    const char* name;
    std::string content;
    std::vector<std::string> libraries;
    std::string err;
    bool started;
};

void PrintTo(const BrokenJvmCfg& cfg, std::ostream* out) { *out << cfg.name; }

class JvmCfgContent : public Faults, public ::testing::WithParamInterface<BrokenJvmCfg> {};

TEST_P(JvmCfgContent, SelectsOnlyWhatItDeclares) {
    inst.addRuntime("jre", GetParam().content, GetParam().libraries);
    inst.writeConfig("SetMainClass test.Main\n");
    Result r = launch({});
    if (GetParam().started) {
        EXPECT_RUN(r, "", GetParam().err, 0);
        EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {}));
    } else {
        EXPECT_RUN(r, errorReport("Unable to find a Java Virtual Machine."), GetParam().err, 2);
    }
    expectNothingElseWritten(GetParam().started);
}

std::vector<BrokenJvmCfg> brokenJvmCfgs() {
    const std::string noVm = cannotFindDefault("hotspot") + "ERROR: Cannot find VM at: " + defaultJavaHome() + "\nAborting!\n";
    std::string manyVms;
    for (int i = 0; i < 10000; ++i) manyVms += "-vm" + std::to_string(i) + " KNOWN\n";
    return {
        {"Empty", "", {"server"}, noVm, false},
        {"BinaryGarbage", garbage(64 * 1024, 1), {"server"}, noVm, false},
        {"EntryAmidGarbage", garbage(32 * 1024, 2) + "\n-hotspot ALIASED_TO -server\n" + garbage(32 * 1024, 3),
         {"server"}, "", true},
        // Ctrl-Z is a byte like any other, on every system.
        {"EntryAfterControlZ", "\x1a\n-hotspot ALIASED_TO -server\n", {"server"}, "", true},
        // Byte-order marks are honoured: UTF-8, and UTF-16 of either byte order.
        {"Utf8Mark", "\xEF\xBB\xBF-hotspot ALIASED_TO -server\n", {"server"}, "", true},
        {"Utf16LeMark", utf16("-hotspot ALIASED_TO -server\r\n", false), {"server"}, "", true},
        {"Utf16BeMark", utf16("-hotspot ALIASED_TO -server", true), {"server"}, "", true},
        // The asked-for VM is not there: every entry is tried in turn, and the last one has its library.
        {"TenThousandVms", manyVms, {"vm9999"}, cannotFindDefault("hotspot") + "         using vm9999 instead.\n", true},
    };
}

INSTANTIATE_TEST_SUITE_P(Faults, JvmCfgContent, ::testing::ValuesIn(brokenJvmCfgs()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The VM library (not a library, one export missing, the other Windows bitness, none at
// all: vm_start_test and vm_selection_test) ------------------------------------------------------------------

/// The file at `path`, or its first `length` bytes.
std::string contentOf(const std::string& path, std::size_t length = std::string::npos) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.substr(0, length);
}

/// A 32-bit library of the system, for a 64-bit POSIX launcher; empty when there is none.
std::string otherBitnessLibrary() {
    if (isWindows() || sizeof(void*) != 8) return "";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/i386-linux-gnu", ec)) {
        std::string header = contentOf(entry.path().string(), 5);
        if (entry.is_regular_file(ec) && entry.path().filename().string().find(".so") != std::string::npos &&
            header == std::string("\x7f" "ELF\x01"))
            return entry.path().string();
    }
    return "";
}

struct BrokenLibrary {
    const char* name;
    std::string err;  // with {lib} for the library's path
};

void PrintTo(const BrokenLibrary& library, std::ostream* out) { *out << library.name; }

class VmLibraryFile : public Faults, public ::testing::WithParamInterface<BrokenLibrary> {
protected:
    /// Puts the broken library of this case in place; false when the system has none.
    bool place(const std::string& file) {
        const std::string full = target().fakeJvmDir + "/" + vmLibraryName();
        const std::string name = GetParam().name;
        if (name == "Truncated") {
            inst.write(file, contentOf(full, fs::file_size(full) / 2));
        } else if (name == "Empty") {
            inst.write(file, "");
        } else if (name == "WithoutCreateJavaVM") {
            fs::create_directories(fs::path(inst.path(file)).parent_path());
            fs::copy_file(target().fakeJvmDir + "/nocreate/" + vmLibraryName(), inst.path(file));
        } else if (name == "OtherBitness") {
            if (otherBitnessLibrary().empty()) return false;
            inst.write(file, contentOf(otherBitnessLibrary()));
        }
        return true;
    }
};

TEST_P(VmLibraryFile, CannotLaunchTheVm) {
    if (GetParam().err.empty()) GTEST_SKIP() << "a case of the POSIX builds";
    inst.addRuntime("jre", std::string("-server KNOWN\n"), {});
    if (!place("jre/" + vmLibraryBelowHome("server"))) GTEST_SKIP() << "no 32-bit library on this system";
    inst.writeConfig("SetMainClass test.Main\nSetJavaVM server\n");
    std::string err = GetParam().err;
    err.replace(err.find("{lib}"), 5, vmLibraryPath());
    EXPECT_RUN(launch({}), cannotLaunch(vmLibraryPath()), err, 3);
    expectNothingElseWritten(false);
}

std::vector<BrokenLibrary> brokenLibraries() {
    const std::string loading = "ERROR: Error loading: {lib}\n";
    return {
        {"Truncated", loading},
        {"Empty", loading},
        {"WithoutCreateJavaVM", "Error: can't find JNI interfaces in: {lib}\n"},
        // The Windows builds' case is VmStart.LibraryOfTheOtherBitnessIsNamedAsSuch.
        {"OtherBitness", isWindows() ? std::string()
                                     : "ERROR: The Java VM library is not a 64-bit library: this 64-bit launcher "
                                       "needs a 64-bit Java runtime.\n" + loading},
    };
}

INSTANTIATE_TEST_SUITE_P(Faults, VmLibraryFile, ::testing::ValuesIn(brokenLibraries()),
                         [](const auto& info) { return std::string(info.param.name); });

// A VM library that is no regular file (a directory, a FIFO, a device) is as good as a missing
// one: the launch neither waits on it nor tries to load it, and takes the next VM that is there.
class VmLibraryNotAFile : public Faults, public ::testing::WithParamInterface<std::string> {};

TEST_P(VmLibraryNotAFile, IsPassedOverLikeAMissingOne) {
    if (isWindows() && GetParam() != "Directory") GTEST_SKIP() << "a case of the POSIX builds";
    inst.addRuntime("jre", std::string("-server KNOWN\n-client KNOWN\n"), {"client"});
    const std::string file = inst.path("jre/" + vmLibraryBelowHome("server"));
    fs::create_directories(fs::path(file).parent_path());
    if (GetParam() == "Directory")
        fs::create_directory(file);
    else if (GetParam() == "Fifo")
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    else
        fs::create_symlink("/dev/zero", file);
    inst.writeConfig("SetMainClass test.Main\nSetJavaVM server\n");
    RunOptions o;
    o.timeoutSeconds = 20;
    EXPECT_RUN(launch({}, o), "", cannotFindDefault("server") + "         using client instead.\n", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {}));
    expectNothingElseWritten(true);
}

INSTANTIATE_TEST_SUITE_P(Faults, VmLibraryNotAFile, ::testing::Values("Directory", "Fifo", "Device"),
                         [](const auto& info) { return info.param; });

// ---- A DLL planted for the VM library -------------------------------------------------------------------

// The VM library imports a DLL that the runtime lacks; a copy of it lies in one folder. The
// loader takes it beside the library or from the runtime's bin, never from the folder the user
// started in nor from the launcher's own (its working directory once it has moved there).
struct PlantedDll {
    const char* name;
    std::string folder;  // below the installation's root
    bool loaded;
};

void PrintTo(const PlantedDll& planted, std::ostream* out) { *out << planted.name; }

class PlantedDependency : public Faults, public ::testing::WithParamInterface<PlantedDll> {};

TEST_P(PlantedDependency, IsTakenOnlyFromTheRuntime) {
    if (!isWindows()) GTEST_SKIP() << "a case of the Windows builds";
    inst.addRuntime("jre", std::string("-server KNOWN\n"), {"server"}, VmLibrary::AbsentDependency);
    inst.writeConfig("SetMainClass test.Main\nSetJavaVM server\n");
    inst.mkdir("start");
    const std::string dll = "launcher-test-absent-runtime.dll";
    fs::copy_file(target().fakeJvmDir + "/planted/" + dll, inst.path(GetParam().folder + "/" + dll));
    RunOptions o;
    o.workingDir = inst.path("start");
    Result r = inst.run({"-nomsgbox"}, o);
    EXPECT_EQ(r.exitCode, GetParam().loaded ? 0 : 3) << r.out << r.err;
    EXPECT_EQ(inst.record(), GetParam().loaded ? startedRecord(expectedOptions(inst), "test/Main", {}) : "");
}

INSTANTIATE_TEST_SUITE_P(Faults, PlantedDependency,
                         ::testing::Values(PlantedDll{"InTheRuntimesBin", "jre/bin", true},
                                           PlantedDll{"BesideTheVmLibrary", "jre/bin/server", true},
                                           PlantedDll{"InTheStartingFolder", "start", false},
                                           PlantedDll{"InTheLaunchersFolder", "bin", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The update child crashes ------------------------------------------------------------------------------

// The child dies of an access violation in the installer's main: its exit code is reported
// (POSIX: 128 + SIGSEGV; Windows: the exception code 0xC0000005 as a signed number) and the
// application still starts.
TEST_F(Faults, UpdateChildCrashes) {
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n" + kUpdateDirectives);
    inst.write("lib/deferred-updates.xml", "");
    RunOptions o;
    o.env = {{"FAKEJVM_MAIN", std::string("crash")}};
    const std::string code = isWindows() ? "-1073741819" : "139";
    EXPECT_RUN(launch({"x"}, o), kUpdateTrace, "ERROR: Failed to install deferred updates. Exit code=" + code + "\n", 0);
    EXPECT_EQ(inst.record(),
              withoutDestroy(installerRecord(inst, {"x"})) + startedRecord(expectedOptions(inst), "test/Main", {"x"}));
    expectNothingElseWritten(true);
}

}  // namespace
}  // namespace process_tests
