// Deferred updates: a marker file makes the launcher run a copy of itself in update mode,
// which starts the installer class, before it starts the application.
#include <string>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

const std::string kTrace = "updatesFile exists. needToUpdate will return true.\n";

class DeferredUpdates : public ::testing::Test {
protected:
    void SetUp() override { inst.addRuntime(); }

    void configure(const std::string& extra) { inst.writeConfig("SetMainClass test.Main\n" + extra); }

    std::string application(const std::vector<std::string>& args) const {
        return startedRecord(expectedOptions(inst), "test/Main", args);
    }

    std::string installer(const std::vector<std::string>& args) const {
        LaunchOptions parts;
        parts.classPath = std::vector<std::string>{"upd.jar"};
        return startedRecord(expectedOptions(inst, parts), "u/Installer", args);
    }

    static constexpr const char* kUpdateDirectives = "SetUpdateMainClass u.Installer\nSetUpdateClassPath upd.jar\n";
    Installation inst;
};

TEST_F(DeferredUpdates, NoMarkerStartsOnlyTheApplication) {
    configure(kUpdateDirectives);
    EXPECT_RUN(inst.run({"-nomsgbox", "a"}), "", "", 0);
    EXPECT_EQ(inst.record(), application({"a"}));
}

// The child gets the user's arguments exactly, blanks and empty ones included, but not the
// consumed -nomsgbox.
TEST_F(DeferredUpdates, MarkerInTheInstallationRunsTheInstallerFirst) {
    configure(kUpdateDirectives);
    inst.write("lib/deferred-updates.xml", "<updates/>\n");
    EXPECT_RUN(inst.run({"a b", "-nomsgbox", "", "c"}), kTrace, "", 0);
    EXPECT_EQ(inst.record(), installer({"a b", "", "c"}) + application({"a b", "", "c"}));
}

// The child is started by its full path, which may hold blanks, and receives quotation marks
// and backslashes as the user typed them.
TEST(DeferredUpdatesChild, GetsExactArgumentsFromAPathWithBlanks) {
    Installation inst("app", "Program Files");
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\nSetUpdateMainClass u.Installer\nSetUpdateClassPath upd.jar\n");
    inst.write("lib/deferred-updates.xml", "");
    std::vector<std::string> args{"say \"hi\"", "dir\\", "a\\\"b", "two  blanks"};
    std::vector<std::string> all{"-nomsgbox"};
    all.insert(all.end(), args.begin(), args.end());
    EXPECT_RUN(inst.run(all), kTrace, "", 0);
    LaunchOptions installerParts;
    installerParts.classPath = std::vector<std::string>{"upd.jar"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, installerParts), "u/Installer", args) +
                                 startedRecord(expectedOptions(inst), "test/Main", args));
}

// On Windows an executable named in capitals (APP.EXE) is its own module and starts its child.
TEST(DeferredUpdatesChild, StartsFromAnUpperCaseExecutableName) {
    if (!isWindows()) GTEST_SKIP() << "only Windows has the .exe suffix";
    Installation inst("APP");
    inst.addExecutable("APP.EXE");
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\nSetUpdateMainClass u.Installer\nSetUpdateClassPath upd.jar\n");
    inst.write("lib/deferred-updates.xml", "");
    RunOptions o;
    o.program = "APP.EXE";
    EXPECT_RUN(inst.run({"-nomsgbox", "x"}, o), kTrace, "", 0);
    LaunchOptions installerParts;
    installerParts.classPath = std::vector<std::string>{"upd.jar"};
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, installerParts), "u/Installer", {"x"}) +
                                 startedRecord(expectedOptions(inst), "test/Main", {"x"}));
}

TEST_F(DeferredUpdates, MarkerInTheUserHomeRunsTheInstallerWithoutTrace) {
    configure(std::string("SetUserHomeVariable MY_APP_HOME\n") + kUpdateDirectives);
    inst.write("home/lib/deferred-updates.xml", "");
    RunOptions o;
    o.env = {{"MY_APP_HOME", inst.seen("home")}};
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", "", 0);
    EXPECT_EQ(inst.record(), installer({}) + application({}));
}

TEST_F(DeferredUpdates, InstallerFailureIsReportedAndTheApplicationStillStarts) {
    configure(kUpdateDirectives);
    inst.write("lib/deferred-updates.xml", "");
    RunOptions o;
    o.env = {{"FAKEJVM_MAIN", std::string("exit:3")}};  // the installer and the application
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), kTrace, "ERROR: Failed to install deferred updates. Exit code=3\n", 3);
    auto withoutDestroy = [](std::string record) { return record.substr(0, record.size() - 8); };
    EXPECT_EQ(inst.record(), withoutDestroy(installer({})) + withoutDestroy(application({})));
}

struct Missing {
    const char* name;
    const char* directives;
    const char* warning;
};

class MissingDirective : public ::testing::TestWithParam<Missing> {};

TEST_P(MissingDirective, IsWarnedAboutAndTheApplicationStarts) {
    Installation inst;
    inst.addRuntime();
    inst.writeConfig(std::string("SetMainClass test.Main\n") + GetParam().directives);
    inst.write("lib/deferred-updates.xml", "");
    EXPECT_RUN(inst.run({"-nomsgbox"}), kTrace, GetParam().warning, 0);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst), "test/Main", {}));
}

INSTANTIATE_TEST_SUITE_P(
    DeferredUpdates, MissingDirective,
    ::testing::Values(
        Missing{"Both", "", "WARNING: There are deferred updates but UpdateMainClass directive is not set\n"},
        Missing{"MainClass", "SetUpdateClassPath upd.jar\n",
                "WARNING: There are deferred updates but UpdateMainClass directive is not set\n"},
        Missing{"ClassPath", "SetUpdateMainClass u.Installer\n",
                "WARNING: There are deferred updates but UpdateClassPath directive is not set\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// With a VM named "update" in jvm.cfg the child's "-update" chooses that VM; the child is an
// update child all the same: it runs the installer once and starts no child of its own.
TEST_F(DeferredUpdates, ChildStartsNoChildWhenJvmCfgNamesAnUpdateVm) {
    inst.addRuntime("jre", std::string("-server KNOWN\n-hotspot ALIASED_TO -server\n-update ALIASED_TO -server\n"));
    configure(kUpdateDirectives);
    inst.write("lib/deferred-updates.xml", "");
    RunOptions o;
    o.timeoutSeconds = 30;
    EXPECT_RUN(inst.run({"-nomsgbox", "a"}, o), kTrace, "", 0);
    EXPECT_EQ(inst.record(), installer({"a"}) + application({"a"}));
}

// A last option that lacks its value did nothing in the parent; the child, where "-update"
// would follow it, does not get it.
class DanglingOption : public DeferredUpdates, public ::testing::WithParamInterface<std::string> {};

TEST_P(DanglingOption, DoesNotReachTheChild) {
    configure(kUpdateDirectives);
    inst.write("lib/deferred-updates.xml", "");
    EXPECT_RUN(inst.run({"-nomsgbox", "a", GetParam()}), kTrace, "", 0);
    EXPECT_EQ(inst.record(), installer({"a"}) + application({"a"}));
}

INSTANTIATE_TEST_SUITE_P(DeferredUpdates, DanglingOption, ::testing::Values("-conf", "-configure", "-mainclass"),
                         [](const auto& info) { return info.param.substr(1); });

// The parent marks its child by a variable of one name; on POSIX, where names differ by their
// letter case, the same name in another case is someone else's and makes no update child.
class ChildVariable : public DeferredUpdates, public ::testing::WithParamInterface<std::string> {};

TEST_P(ChildVariable, MakesAnUpdateChildOnlyUnderItsOwnName) {
    configure(kUpdateDirectives);
    RunOptions o;
    o.env[GetParam()] = "1";
    EXPECT_RUN(inst.run({"-nomsgbox", "a"}, o), "", "", 0);
    bool child = isWindows() || GetParam() == "HLV_UPDATE_CHILD";
    EXPECT_EQ(inst.record(), child ? installer({"a"}) : application({"a"}));
}

INSTANTIATE_TEST_SUITE_P(DeferredUpdates, ChildVariable,
                         ::testing::Values("HLV_UPDATE_CHILD", "hlv_update_child", "Hlv_Update_Child"));

TEST_F(DeferredUpdates, UpdateModeDoesNotLookForTheMarker) {
    configure(kUpdateDirectives);
    inst.write("lib/deferred-updates.xml", "");
    EXPECT_RUN(inst.run({"-nomsgbox", "-update"}), "", "", 0);
    EXPECT_EQ(inst.record(), installer({}));
}

}  // namespace
}  // namespace process_tests
