// Creating the VM and calling main: what the VM receives, and every way the start can fail.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

const std::string kMainLookup = "findclass=test/Main\n";
const std::string kMethodLookup = "method=main ([Ljava/lang/String;)V\n";
const std::string kStringLookup = "findclass=java/lang/String\n";
const std::string kDestroy = "destroy\n";

std::string outOfMemory() { return errorReport("Out of memory, unable to invoke application."); }
std::string noMainClass(const std::string& name) {
    return errorReport("Unable to find main class.\nClass specified is: " + name);
}
std::string cannotLaunch(const std::string& library) {
    return errorReport("Unable to launch the Java Virtual Machine\nLocated at path:\n" + library);
}

// ---- The VM fails on request ----------------------------------------------------------------------

struct VmFailure {
    const char* name;
    const char* fail;  // FAKEJVM_FAIL
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int exitCode;
    std::string recordAfterCreation;  // what the VM saw after its creation, its destruction included
};

class FailingVm : public ::testing::TestWithParam<VmFailure> {};

// A VM once created is destroyed on the way to the report.
TEST_P(FailingVm, EndsWithItsMessage) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    RunOptions o;
    o.env = {{"FAKEJVM_FAIL", std::string(GetParam().fail)}};
    std::vector<std::string> args{"-nomsgbox"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    EXPECT_RUN(inst.run(args, o), GetParam().out, GetParam().err, GetParam().exitCode);
    EXPECT_EQ(inst.record(), creationRecord(expectedOptions(inst)) + GetParam().recordAfterCreation);
}

std::vector<VmFailure> vmFailures() {
    return {
        {"Creation", "create", {"a"},
         errorReport("Unable to create an instance of the Java Virtual Machine\nLocated at path:\n" + vmLibraryPath()), "", 4,
         ""},
        {"MainClass", "findclass", {"a"}, noMainClass("test/Main"), "ERROR: Can't find test/Main\n", 5, kMainLookup + kDestroy},
        {"MainMethod", "method", {"a"}, noMainClass("test/Main"), "ERROR: Can't find Prog.main\n", 5,
         kMainLookup + kMethodLookup + kDestroy},
        // A class that is not there is all message 5 says; a missing superclass is named first.
        {"ClassNotThere", "noclass", {"a"}, noMainClass("test/Main"), "ERROR: Can't find test/Main\n", 5,
         kMainLookup + "findclass=java/lang/NoClassDefFoundError\n" + kDestroy},
        {"SuperclassNotThere", "superclass", {"a"}, noMainClass("test/Main"),
         "Caused by: java.lang.NoClassDefFoundError: test/Base\nERROR: Can't find test/Main\n", 5,
         kMainLookup + "findclass=java/lang/NoClassDefFoundError\n" + kDestroy},
        // What the class's static initialiser threw is printed before the message, which stays.
        {"StaticInitialiser", "initializer", {"a"}, noMainClass("test/Main"),
         "Exception in thread \"main\" java.lang.ExceptionInInitializerError\n"
         "Caused by: fake.Failure: thrown by the static initialiser\nERROR: Can't find test/Main\n",
         5, kMainLookup + "findclass=java/lang/NoClassDefFoundError\n" + kDestroy},
        {"ArgumentArray", "array", {}, outOfMemory(), "ERROR: Out of memory\n", 6,
         kMainLookup + kMethodLookup + kStringLookup + kDestroy},
        {"ArgumentString", "string", {"a", "b"}, outOfMemory(), "ERROR: Out of memory\n", 6,
         kMainLookup + kMethodLookup + kStringLookup + kDestroy},
    };
}

INSTANTIATE_TEST_SUITE_P(VmStart, FailingVm, ::testing::ValuesIn(vmFailures()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VmStart, ArrayOfNoArgumentsNeedsNoArgumentString) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    RunOptions o;
    o.env = {{"FAKEJVM_FAIL", std::string("string")}};
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {}));
}

// ---- How main ends ----------------------------------------------------------------------------------

struct MainEnd {
    const char* name;
    const char* behaviour;  // FAKEJVM_MAIN
    std::string err;
    int exitCode;
    bool destroyed;
};

class MainEnding : public ::testing::TestWithParam<MainEnd> {};

TEST_P(MainEnding, GivesTheExitCode) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    RunOptions o;
    o.env = {{"FAKEJVM_MAIN", std::string(GetParam().behaviour)}};
    EXPECT_RUN(inst.run({"-nomsgbox", "a"}, o), "", GetParam().err, GetParam().exitCode);
    std::string expected = startedRecord(expectedOptions(inst), "test/Main", {"a"});
    if (!GetParam().destroyed) expected.resize(expected.size() - std::string("destroy\n").size());
    EXPECT_EQ(inst.record(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    VmStart, MainEnding,
    ::testing::Values(MainEnd{"Returns", "", "", 0, true},
                      // An exception escaping main is described and ends the process with 1.
                      MainEnd{"Throws", "throw", "Exception in thread \"main\" fake.Failure: thrown by main\n", 1, true},
                      MainEnd{"ExitsWithThree", "exit:3", "", 3, false},
                      MainEnd{"ExitsWithZero", "exit:0", "", 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The VM library -----------------------------------------------------------------------------------

struct Library {
    const char* name;
    VmLibrary kind;
    std::string err;  // with {lib} for the library path
};

class BrokenLibrary : public ::testing::TestWithParam<Library> {};

TEST_P(BrokenLibrary, CannotLaunchTheVm) {
    if ((GetParam().kind == VmLibrary::AbsentDependency || GetParam().kind == VmLibrary::AbsentIndirectly) &&
        !isWindows())
        GTEST_SKIP() << "the test-double VM library with an absent dependency is built for Windows";
    Installation inst;
    inst.addRuntime("jre", std::string("-server KNOWN\n"), {"server"}, GetParam().kind);
    inst.writeConfig("SetMainClass test.Main\nSetJavaVM server\n");
    std::string library = vmLibraryPath();
    std::string err = GetParam().err;
    err.replace(err.find("{lib}"), 5, library);
    EXPECT_RUN(inst.run({"-nomsgbox"}), cannotLaunch(library), err, 3);
    // With -verbose the option lines and the library's path come first, also on failure.
    std::vector<std::string> options = expectedOptions(inst);
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose"}),
               verboseOptionLines(options) + "JVM path is " + library + "\n" + cannotLaunch(library), err, 3);
    EXPECT_EQ(inst.record(), "");
}

INSTANTIATE_TEST_SUITE_P(VmStart, BrokenLibrary,
                         ::testing::Values(Library{"NotALibrary", VmLibrary::NotALibrary, "ERROR: Error loading: {lib}\n"},
                                           Library{"OneExportOnly", VmLibrary::OneExport,
                                                   "Error: can't find JNI interfaces in: {lib}\n"},
                                           // The DLL the loader could not find, by name.
                                           Library{"AbsentDependency", VmLibrary::AbsentDependency,
                                                   "ERROR: A DLL that the Java VM library needs cannot be found: "
                                                   "launcher-test-absent-runtime.dll\nERROR: Error loading: {lib}\n"},
                                           // Found in the runtime's bin, its own import is not.
                                           Library{"AbsentIndirectly", VmLibrary::AbsentIndirectly,
                                                   "ERROR: A DLL that the Java VM library needs cannot be found: "
                                                   "launcher-test-absent-runtime.dll\nERROR: Error loading: {lib}\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A VM library of the other bitness, the commonest mistake with a 32-bit launcher.
TEST(VmStart, LibraryOfTheOtherBitnessIsNamedAsSuch) {
    const char* other = std::getenv("FAKEJVM_OTHER_BITNESS_DIR");
    if (!isWindows() || !other) GTEST_SKIP() << "needs the test-double VM library of the other Windows build";
    Installation inst;
    inst.addRuntime("jre", std::string("-server KNOWN\n"), {});
    std::filesystem::create_directories(std::filesystem::path(inst.path("jre/" + vmLibraryBelowHome("server"))).parent_path());
    std::filesystem::copy_file(std::string(other) + "/" + vmLibraryName(), inst.path("jre/" + vmLibraryBelowHome("server")),
                               std::filesystem::copy_options::overwrite_existing);
    inst.writeConfig("SetMainClass test.Main\nSetJavaVM server\n");
    std::string bits = target().kind == Kind::Win32 ? "32" : "64";
    EXPECT_RUN(inst.run({"-nomsgbox"}), cannotLaunch(vmLibraryPath()),
               "ERROR: The Java VM library is not a " + bits + "-bit library: this " + bits + "-bit launcher needs a " +
                   bits + "-bit Java runtime.\nERROR: Error loading: " + vmLibraryPath() + "\n",
               3);
}

// ---- The Java home ----------------------------------------------------------------------------------

// No runtime and no one to ask (no terminal, no window system): message 8 with the empty
// answer, never the root directory taken for a runtime.
TEST(JavaHome, MissingRuntimeEndsWithMessage8) {
    Installation inst;
    inst.writeConfig("SetMainClass test.Main\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}), errorReport("Cannot find a J2SE SDK installed at path:.\n"), "", 8);
    EXPECT_EQ(inst.record(), "");
}

TEST(JavaHome, SetInTheFileWithATrailingSeparator) {
    Installation inst;
    inst.addRuntime("rt");
    inst.writeConfig("SetJavaHome " + inst.seen("rt") + dirSeparator() + "\nSetMainClass test.Main\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}), "", "", 0);
    LaunchOptions parts;
    parts.classPath = runtimeClassPath(inst.seen("rt"));
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {}));
}

// The command line's Java home beats the file's: it is in force when the runtime is checked,
// jvm.cfg read and the runtime's jars added, so the file's runtime need not exist. Windows
// builds take it lower-cased there, which names the same directory; POSIX file names are
// case-sensitive, so the POSIX build takes it as typed. The VM library is found under the
// home as typed.
TEST(JavaHome, CommandLineBeatsTheFile) {
    Installation inst;
    inst.addRuntime("Runtime");
    inst.writeConfig("SetJavaHome " + inst.seen("missing") + "\nSetMainClass test.Main\n");
    std::string home = inst.seen("Runtime");
    LaunchOptions parts;
    parts.classPath = runtimeClassPath(isWindows() ? asciiLower(home) : home);
    std::vector<std::string> options = expectedOptions(inst, parts);
    EXPECT_RUN(inst.run({"-nomsgbox", "--setjavahome=" + home, "-verbose"}),
               verboseOptionLines(options) + "JVM path is " + vmLibraryPath("server", home) + "\n", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(options, "test/Main", {}));
}

// ---- Update mode ----------------------------------------------------------------------------------------

TEST(UpdateMode, StartsTheInstallerWithItsClassPath) {
    Installation inst;
    inst.addRuntime();
    // The foreign list separator becomes the system's; a drive letter's colon stays.
    std::string given = isWindows() ? "lib\\u.jar:C:\\v.jar:w.jar" : "lib/u.jar;lib/v.jar";
    std::vector<std::string> expected =
        isWindows() ? std::vector<std::string>{"lib\\u.jar", "C:\\v.jar", "w.jar"} : std::vector<std::string>{"lib/u.jar", "lib/v.jar"};
    inst.writeConfig("SetMainClass test.Main\nSetUpdateMainClass u.Installer\nSetUpdateClassPath " + given + "\n");
    EXPECT_RUN(inst.run({"-nomsgbox", "-update", "x"}), "", "", 0);
    LaunchOptions parts;
    parts.classPath = expected;
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "u/Installer", {"x"}));
}

TEST(UpdateMode, WithoutAnInstallerClassNoClassIsFound) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    EXPECT_RUN(inst.run({"-nomsgbox", "-update"}), noMainClass(""), "ERROR: Can't find \n", 5);
    LaunchOptions parts;
    parts.classPath = std::vector<std::string>{};
    EXPECT_EQ(inst.record(), creationRecord(expectedOptions(inst, parts)) + "findclass=\n" + kDestroy);
}

}  // namespace
}  // namespace process_tests
