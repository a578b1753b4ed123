// Which VM library a launch loads: jvm.cfg read into the VM table, the VM asked for, the
// fallback to any usable VM, and their messages.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

std::string cannotFindDefault(const std::string& vm) {
    return "WARNING: Cannot find default VM \"" + vm + "\" at " + defaultJavaHome() + "\n";
}
std::string usingInstead(const std::string& directory) { return "         using " + directory + " instead.\n"; }

struct Selection {
    const char* name;
    std::optional<std::string> jvmCfg;      // lib/jvm.cfg; none when nullopt
    std::vector<std::string> libraries;      // VM directories that hold the library
    std::string config;                      // extra configuration lines
    std::string err;
    std::optional<std::string> chosen;       // the VM directory loaded; nullopt: no VM found
};

class VmSelection : public ::testing::TestWithParam<Selection> {};

TEST_P(VmSelection, LoadsTheChosenLibrary) {
    const Selection& s = GetParam();
    Installation inst;
    inst.addRuntime("jre", s.jvmCfg, s.libraries);
    inst.writeConfig("SetMainClass test.Main\n" + s.config);
    std::vector<std::string> options = expectedOptions(inst);
    Result r = inst.run({"-nomsgbox", "-verbose"});
    if (s.chosen) {
        EXPECT_RUN(r, verboseOptionLines(options) + "JVM path is " + vmLibraryPath(*s.chosen) + "\n", s.err, 0);
        EXPECT_EQ(inst.record(), startedRecord(options, "test/Main", {}));
    } else {
        EXPECT_RUN(r, verboseOptionLines(options) + errorReport("Unable to find a Java Virtual Machine."), s.err, 2);
        EXPECT_EQ(inst.record(), "");
    }
}

std::vector<Selection> selections() {
    return {
        {"AliasOfTheDefault", std::string("-server KNOWN\n-hotspot ALIASED_TO -server\n"), {"server"}, "", "",
         std::string("server")},
        {"DefaultMissingFallsBackToTheFirstUsable", std::string("-client KNOWN\n-server KNOWN\n"), {"server"}, "",
         cannotFindDefault("hotspot") + usingInstead("server"), std::string("server")},
        {"NoJvmCfg", std::nullopt, {"server"}, "",
         "WARNING: Could not find jvm.cfg!\n" + cannotFindDefault("hotspot") + "ERROR: Cannot find VM at: " +
             defaultJavaHome() + "\nAborting!\n",
         std::nullopt},
        {"NotSupported", std::string("-hotspot ERROR\n-server KNOWN\n"), {"server"}, "",
         "ERROR: hotspot VM is not supported.\n", std::nullopt},
        {"AskedForAndPresent", std::string("-client KNOWN\n-server KNOWN\n"), {"client", "server"}, "SetJavaVM server\n", "",
         std::string("server")},
        {"AskedForAndMissing", std::string("-server KNOWN\n-client KNOWN\n"), {"client"}, "SetJavaVM server\n",
         cannotFindDefault("server") + usingInstead("client"), std::string("client")},
        {"VmNamesAreCaseSensitive", std::string("-client KNOWN\n"), {"client"}, "SetJavaVM Client\n",
         cannotFindDefault("Client") + usingInstead("client"), std::string("client")},
        {"WarnUsesTheHotspotDirectory", std::string("-classic WARN\n"), {"hotspot"}, "SetJavaVM classic\n", "",
         std::string("hotspot")},
        {"IgnoredLinesDeclareNothing", std::string("-green IGNORE\n-server KNOWN\n"), {"green", "server"},
         "SetJavaVM green\n", cannotFindDefault("green") + usingInstead("server"), std::string("server")},
        {"SecondEntryOfTheSameName", std::string("-server KNOWN\n-server ALIASED_TO -client\n"), {"client"},
         "SetJavaVM server\n", "", std::string("client")},
        {"LinesAreTrimmedAndKeywordsIgnoreCase",
         std::string("# the VMs of this runtime\r\n\r\n   -server\tknown extra  \r\n\t-hotspot  Aliased_To  -server \r\n"),
         {"server"}, "", "", std::string("server")},
        {"QuotesArePartOfTheName", std::string("-server KNOWN\n"), {"server"}, "SetJavaVM \"server\"\n",
         cannotFindDefault("\"server\"") + usingInstead("server"), std::string("server")},
        {"NoUsableVm", std::string("-server KNOWN\n-client KNOWN\n"), {}, "",
         cannotFindDefault("hotspot") + "ERROR: Cannot find VM at: " + defaultJavaHome() + "\nAborting!\n", std::nullopt},
    };
}

INSTANTIATE_TEST_SUITE_P(VmSelection, VmSelection, ::testing::ValuesIn(selections()),
                         [](const auto& info) { return std::string(info.param.name); });

// A runtime may keep jvm.cfg in its architecture's directory.
TEST(JvmCfg, ArchitectureDirectoryIsTheFallback) {
    Installation inst;
    inst.addRuntime("jre", std::nullopt, {"server"});
    inst.write("jre/lib/" + archDirectory() + "/jvm.cfg", "-hotspot ALIASED_TO -server\n");
    inst.writeConfig("SetMainClass test.Main\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}), "", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {}));
}

// Only one jvm.cfg is read: the architecture's is not consulted when lib/jvm.cfg opens.
TEST(JvmCfg, ArchitectureFileIsNotReadWhenTheMainOneOpens) {
    Installation inst;
    inst.addRuntime("jre", std::string("-server KNOWN\n"), {"server", "client"});
    inst.write("jre/lib/" + archDirectory() + "/jvm.cfg", "-hotspot ALIASED_TO -client\n");
    inst.writeConfig("SetMainClass test.Main\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}), "", cannotFindDefault("hotspot") + usingInstead("server"), 0);
}

// POSIX runtimes of the older layout keep the VM library in lib/ARCH/<vm>.
TEST(VmLibraryLayout, ArchitectureDirectoryOnPosix) {
    if (isWindows()) GTEST_SKIP() << "Windows runtimes keep the library in bin\\<vm>";
    Installation inst;
    inst.addRuntime("jre", std::string("-server KNOWN\n"), {});
    inst.placeVmLibrary("jre/lib/" + archDirectory() + "/server/" + vmLibraryName(), VmLibrary::Full);
    inst.writeConfig("SetMainClass test.Main\nSetJavaVM server\n");
    std::vector<std::string> options = expectedOptions(inst);
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose"}),
               verboseOptionLines(options) + "JVM path is " + defaultJavaHome() + "/lib/" + archDirectory() +
                   "/server/" + vmLibraryName() + "\n",
               "", 0);
}

TEST(Tavm, MissingTavmLibraryIsOnlyAWarning) {
    Installation inst;
    inst.addRuntime("jre", std::string("-tavm KNOWN\n-server KNOWN\n"), {"server"});
    inst.writeConfig("SetMainClass test.Main\nSetJavaVM tavm\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}),
               "Warning: The Ombrix Java Virtual Machine Client is not installed.\nProfiling and Optivane will not be "
               "available,\nand Debugging performance will be slower\nthan with TAVM Client.\n",
               cannotFindDefault("tavm") + usingInstead("server"), 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {}));
}

TEST(Tavm, PresentTavmLibraryIsUsed) {
    Installation inst;
    inst.addRuntime("jre", std::string("-server KNOWN\n-tavm KNOWN\n"), {"server", "tavm"});
    inst.writeConfig("SetMainClass test.Main\n");
    std::vector<std::string> options = expectedOptions(inst);
    EXPECT_RUN(inst.run({"-nomsgbox", "-tavm", "-verbose"}),
               verboseOptionLines(options) + "JVM path is " + vmLibraryPath("tavm") + "\n", "", 0);
}

}  // namespace
}  // namespace process_tests
