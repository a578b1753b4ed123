// The launcher driver's pure parts and the configuration file location on real directories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "launcher/java_launcher.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "support/native.h"
#include "support/temp_dir.h"

using testing_support::nat;
using testing_support::natList;
using testing_support::ScopedCurrentDir;
using testing_support::ScopedEnv;
using testing_support::TempDir;

TEST(Messages, TableTextsAndFormatting) {
    struct Case {
        int index;
        std::string argument, expected;
    } cases[] = {
        {7, "C:\\a.conf", "Unable to open the following configuration file:\n[C:\\a.conf]"},
        {8, "", "Cannot find a J2SE SDK installed at path:.\n"},
        {2, "ignored", "Unable to find a Java Virtual Machine."},
        {3, "%s%s", "Unable to launch the Java Virtual Machine\nLocated at path:\n%s%s"},  // not re-expanded
        {5, "a/Main", "Unable to find main class.\nClass specified is: a/Main"},
        {11, "/x/app.conf", "Unable to read the following file, it is larger than 128 MiB:\n[/x/app.conf]"},
        {12, "app", "Unable to find the launcher's own directory.\nStarted as: app"},
        {13, "C:\\\xc5\xbc", "Unable to give the Java Virtual Machine the following text:\n[C:\\\xc5\xbc]\n"
                               "The system's code page cannot represent some of its characters, and no short (8.3) "
                               "name of a file stands in for it."},
        {kMessageCount, "x", ""},
        {-1, "x", ""},
    };
    for (auto& c : cases) EXPECT_EQ(formatMessage(JavaLauncherException(c.index, c.argument)), c.expected) << c.index;
}

// A message box shows the launcher's explanation under the message; the console gets the
// explanation where the failure was met, so formatMessage leaves it out.
TEST(Messages, BoxTextHoldsTheExplanation) {
    JavaLauncherException plain(3, "..\\jre\\bin\\server\\jvm.dll");
    EXPECT_EQ(messageBoxText(plain), formatMessage(plain));
    JavaLauncherException explained(3, "x.dll", "", "A DLL that the Java VM library C:\\x.dll needs cannot be found: y.dll");
    EXPECT_EQ(formatMessage(explained), "Unable to launch the Java Virtual Machine\nLocated at path:\nx.dll");
    EXPECT_EQ(messageBoxText(explained), "Unable to launch the Java Virtual Machine\nLocated at path:\nx.dll\n\n"
                                         "A DLL that the Java VM library C:\\x.dll needs cannot be found: y.dll");
}

TEST(Messages, ProductTitleByToolName) {
    struct Case {
        const char* program;
        const char* title;
    } cases[] = {
        {"C:\\tools\\ZEAUDIT.EXE", "Ombrix Halverant Audit R7"},
        {"zeaudit2.exe", "Ombrix Halverant R7"},
        {"dbwork", "Ombrix Tabulon R7"},
        {"/opt/x/bin/zemetrics", "Ombrix Halverant Metrics R7"},
        {"D:zemetrics.exe", "Ombrix Halverant Metrics R7"},
        {"app", "Ombrix Halverant R7"},
        {"", "Ombrix Halverant R7"},
        {"dbwork.exe.exe", "Ombrix Halverant R7"},
    };
    for (auto& c : cases) EXPECT_EQ(titleForProgram(c.program), c.title) << c.program;
}

TEST(Driver, ConfigFileLocationFromNameConfAndPath) {
    TempDir dir;
    std::string exe = std::string("app") + platform::kExeSuffix;
    dir.write("bin/" + exe);
    dir.write("other/tool" + std::string(platform::kExeSuffix));
    ScopedCurrentDir cwd(dir / "bin");
    std::string bin = dir / "bin";
    std::string sep(1, platform::kDirSeparator);

    struct Case {
        std::string program, expected;
    } cases[] = {
        {bin + sep + exe, bin + sep + "app.conf"},                 // full path
        {"app", bin + sep + "app.conf"},                           // bare name in the directory
        {nat("elsewhere/") + exe, bin + sep + "app.conf"},         // a relative path from another directory
        {"missing", bin + sep + "missing.conf"},                   // not found anywhere
        {"tool", dir / "other" + sep + "tool.conf"},              // found through PATH
    };
    std::string path = natList("/nonexistent;;") + dir / "other";
    ScopedEnv pathVar("PATH", path);
    for (auto& c : cases) {
        JavaLauncher launcher;  // moves to the test binary's directory
        ScopedCurrentDir back(bin);
        EXPECT_EQ(launcher.getConfigFilePath(c.program), c.expected) << c.program;
    }

    JavaLauncher launcher;
    ScopedCurrentDir back(bin);
    launcher.setConfigFilePath("settings/my.conf");
    EXPECT_EQ(launcher.getConfigFilePath("app"), bin + sep + nat("settings/my.conf"));
    launcher.setConfigFilePath(nat("/abs/x.conf"));
    EXPECT_EQ(launcher.getConfigFilePath("app"), nat("/abs/x.conf"));
#ifdef _WIN32
    launcher.setConfigFilePath("D:/x/y.conf");
    EXPECT_EQ(launcher.getConfigFilePath("app"), "D:\\x\\y.conf");
    launcher.setConfigFilePath("\\\\server\\share\\a.conf");
    EXPECT_EQ(launcher.getConfigFilePath("app"), "\\\\server\\share\\a.conf");
#endif
}

TEST(Driver, PrescanTakesNomsgboxAnywhereAndTheLastConf) {
    std::vector<std::string> storage = {"app", "x-nomsgboxy", "-conf", "a.conf", "", "-conf", "b.conf", "-conf"};
    CommandLine line = readCommandLine(storage);
    auto isConsumed = [&](std::size_t i) { return line.arguments[i - 1].kind == ArgumentKind::Consumed; };
    JavaLauncher launcher;
    noMessageBox = false;
    launcher.takePrescan(line);
    EXPECT_TRUE(noMessageBox);
    EXPECT_TRUE(isConsumed(1));
    EXPECT_FALSE(isConsumed(4)) << "a user's empty argument is not consumed";
    // The relative value lies under the executable's directory, where the launcher moved.
    EXPECT_EQ(launcher.getConfigFilePath("app"), directoryOf(*platform::ownExecutablePath()) + "b.conf");
    noMessageBox = false;

    std::vector<std::string> child = updateChildArguments(line, "u/Installer");
    // The dangling "-conf" at the end would take the child's "-update" as its file.
    std::vector<std::string> expected = {std::string("app") + platform::kExeSuffix, "-conf", "a.conf", "", "-conf",
                                         "b.conf", "-update", "--SetMainClass=u/Installer"};
    EXPECT_EQ(child, expected);
}

// Only an option that would take the child's "-update" as its value is left out: one that is
// itself a value stays, and leaving one out can leave the one before it dangling.
TEST(Driver, UpdateChildLeavesOutOnlyDanglingOptions) {
    struct Case {
        std::vector<std::string> args, kept;
        bool mainclassIsAVm;  // jvm.cfg lists a VM named "mainclass"
    } cases[] = {
        {{"a", "-configure"}, {"a"}, false},
        {{"-conf", "-conf"}, {"-conf", "-conf"}, false},
        {{"-conf", "-mainclass"}, {"-conf", "-mainclass"}, false},
        {{"x", "-mainclass", "-conf"}, {"x"}, false},  // -conf dangles for the pre-scan, then -mainclass
        {{"-mainclass", "-mainclass"}, {"-mainclass", "-mainclass"}, false},
        {{"-J-conf", "--conf=x", "-configured"}, {"-J-conf", "--conf=x", "-configured"}, false},
        {{"x", "-mainclass"}, {"x", "-mainclass"}, true},  // it chooses that VM
    };
    for (auto& c : cases) {
        std::vector<VmEntry> vms;
        if (c.mainclassIsAVm) vms = {{"mainclass", "server"}};
        std::vector<std::string> storage = c.args;
        storage.insert(storage.begin(), "app");
        std::vector<std::string> expected = c.kept;
        expected.insert(expected.begin(), std::string("app") + platform::kExeSuffix);
        expected.push_back("-update");
        expected.push_back("--SetMainClass=u/I");
        EXPECT_EQ(updateChildArguments(readCommandLine(storage), "u/I", vms), expected)
            << c.args.back();
    }
}
