// jvm.cfg, the runtime check, the prompt's answer and the VM selection, on real runtime
// directories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "messages/messages.h"
#include "platform/java_places.h"
#include "platform/platform.h"
#include "support/native.h"
#include "support/temp_dir.h"
#include "vm/java_home.h"
#include "vm/runtime_check.h"
#include "vm/vm_selection.h"

using testing_support::nat;
using testing_support::TempDir;

namespace {

std::vector<VmEntry> tableOf(const std::string& content) {
    TempDir dir;
    std::optional<std::vector<VmEntry>> table = readJvmCfg(dir.write("jvm.cfg", content));
    EXPECT_TRUE(table.has_value());
    return table.value_or(std::vector<VmEntry>());
}

/// A runtime with the VM libraries of the given directories ("" for one directly in the
/// library directory).
std::string makeRuntime(const TempDir& dir, const std::vector<std::string>& vmDirectories) {
    std::string home = dir.mkdir("jre");
    dir.write(std::string("jre") + platform::kJavaExecutable);
    for (const std::string& d : vmDirectories) {
        std::string library = platform::vmLibraryCandidates(home, d).front();
        dir.write(library.substr(dir.path().size() + 1));
    }
    return home;
}

struct Selection {
    bool ok;
    std::string path, err;
};

Selection select(const std::string& home, const std::string& vmName, const std::vector<VmEntry>& table) {
    VmChoice choice = selectVm(home, vmName, table);
    return {!choice.libraryPath.empty(), choice.libraryPath, choice.warnings};
}

}  // namespace

TEST(JvmCfg, LineForms) {
    struct Case {
        std::string line;
        std::vector<VmEntry> entries;
    } cases[] = {
        {"-server KNOWN", {{"server", "server"}}},
        {"-hotspot ALIASED_TO -client", {{"hotspot", "client"}}},
        {"-classic WARN", {{"classic", "hotspot"}}},
        {"-native ERROR", {{"native", ""}}},
        {"-green IGNORE", {}},
        {"-client", {{"client", "client"}}},
        {"  -client\tknown extra  ", {{"client", "client"}}},
        {"- client KNOWN", {}},
        {"-", {{"", ""}}},
        {"-x ALIASED_TO", {{"x", "aliased_to"}}},
        {"-x ALIASED_TO -y -z", {{"x", "y -z"}}},
        {"-Server known", {{"Server", "Server"}}},
        {"server KNOWN", {}},
        {"# -server KNOWN", {}},
        {"   ", {}},
    };
    for (auto& c : cases) EXPECT_EQ(tableOf(c.line + "\n"), c.entries) << c.line;
    EXPECT_EQ(tableOf("-a KNOWN\n-a KNOWN\r\n-b ERROR"), (std::vector<VmEntry>{{"a", "a"}, {"a", "a"}, {"b", ""}}));
}

TEST(RuntimeCheck, AnswerEndings) {
    struct Case {
        std::string answer, home;
    } cases[] = {
        {nat("D:/j2sdk/bin/") + "java" + (platform::kExeSuffix), nat("D:/j2sdk")},
        {nat("D:/j2sdk/jre/bin/") + "java" + platform::kExeSuffix, nat("D:/j2sdk")},
        {nat("D:/j2sdk"), nat("D:/j2sdk")},
        {nat("D:/j2sdk/"), nat("D:/j2sdk/")},
        {nat("D:/J2SDK/BIN/JAVA") + (platform::kExeSuffix[0] ? ".EXE" : ""), nat("D:/J2SDK/BIN/JAVA") + (platform::kExeSuffix[0] ? ".EXE" : "")},
        {std::string("D:") + platform::kForeignSeparator + "bin" + platform::kForeignSeparator + "java" +
             platform::kExeSuffix,
         std::string("D:") + platform::kForeignSeparator + "bin" + platform::kForeignSeparator + "java" +
             platform::kExeSuffix},
    };
    for (auto& c : cases) EXPECT_EQ(javaHomeFromAnswer(c.answer), c.home) << c.answer;
}

TEST(RuntimeCheck, HasJavaExeAndMessage8WithoutAPrompt) {
    TempDir dir;
    std::string home = makeRuntime(dir, {});
    EXPECT_TRUE(hasJavaExe(home));
    EXPECT_FALSE(hasJavaExe(dir.path()));
    LaunchSettings p;
    p.configuredJavaHome = home;
    RuntimeFacts facts = ensureJavaRuntime(p, false);
    EXPECT_EQ(facts.home, home);
    // Where the prompt is a window it would wait for a person; the cancelled window is
    // exercised by the dialog tests under a virtual display.
    if (platform::kHasMessageBox) return;
    p.configuredJavaHome = dir / "nowhere";
    try {
        ensureJavaRuntime(p, false);  // the test's standard input is no terminal: the prompt is cancelled
        ADD_FAILURE() << "no runtime accepted";
    } catch (const JavaLauncherException& e) {
        EXPECT_EQ(e.messageIndex, 8);
        EXPECT_EQ(e.argument, "");
    }
}

TEST(VmSelection, PassesAndMessages) {
    TempDir dir;
    std::string home = makeRuntime(dir, {"client", "server", ""});
    auto lib = [&](const std::string& d) { return platform::vmLibraryCandidates(home, d).front(); };
    struct Case {
        std::string vmName;
        std::vector<VmEntry> table;
        bool ok;
        std::string path, err;
    } cases[] = {
        {"hotspot", {{"hotspot", "client"}, {"client", "client"}}, true, lib("client"), ""},
        {"server", {{"client", "client"}, {"server", "server"}}, true, lib("server"), ""},
        {"classic", {{"classic", "hotspot"}, {"client", "client"}}, true, lib("client"),
         "WARNING: Cannot find default VM \"classic\" at " + home + "\n         using client instead.\n"},
        {"native", {{"native", ""}, {"client", "client"}}, false, "", "ERROR: native VM is not supported.\n"},
        {"Client", {{"client", "client"}}, true, lib("client"),
         "WARNING: Cannot find default VM \"Client\" at " + home + "\n         using client instead.\n"},
        {"server", {{"server", "missing"}, {"server", "server"}}, true, lib("server"), ""},
        {"x", {{"x", "missing"}, {"n", ""}}, true, lib(""),
         "WARNING: Cannot find default VM \"x\" at " + home + "\n         using  instead.\n"},
        {"hotspot", {}, false, "",
         "WARNING: Cannot find default VM \"hotspot\" at " + home + "\nERROR: Cannot find VM at: " + home +
             "\nAborting!\n"},
    };
    for (auto& c : cases) {
        Selection s = select(home, c.vmName, c.table);
        EXPECT_EQ(s.ok, c.ok) << c.vmName;
        EXPECT_EQ(s.path, c.path) << c.vmName;
        EXPECT_EQ(s.err, c.err) << c.vmName;
    }
}
