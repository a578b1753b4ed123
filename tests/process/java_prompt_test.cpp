// Without a runtime at the Java home, the launcher asks for the Java executable. The POSIX
// builds ask on the terminal when standard input is one, else, on a desktop, in its folder
// chooser; the answer's runtime is then used.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

const std::string kQuestion = "Ombrix Halverant R7\nEnter the full pathname for java: ";

std::string noRuntimeAt(const std::string& home) {
    return errorReport("Cannot find a J2SE SDK installed at path:" + home + ".\n");
}

class JavaPrompt : public ::testing::Test {
protected:
    void SetUp() override {
        if (isWindows()) GTEST_SKIP() << "the Windows builds ask in a dialog, driven by the dialog test";
        inst.writeConfig("SetMainClass test.Main\n");
    }

    Result answer(const std::string& typed) {
        RunOptions o;
        o.terminalInput = typed + "\n";
        return inst.run({"-nomsgbox"}, o);
    }

    std::string startedWith(const std::string& home) const {
        LaunchOptions parts;
        parts.classPath = runtimeClassPath(home);
        return startedRecord(expectedOptions(inst, parts), "test/Main", {});
    }

    Installation inst;
};

// The answer's runtime: the directory above bin, or above jre/bin where that is a runtime (a
// JDK with its own jre), else the jre itself.
TEST_F(JavaPrompt, AnswerNamingTheJavaExecutableGivesItsRuntime) {
    struct Case {
        const char* runtime;
        const char* typed;
    } cases[] = {
        {"rt", "rt/bin/java"},
        {"sdk", "sdk/jre/bin/java"},
        {"dir/jre", "dir/jre/bin/java"},
    };
    for (const Case& c : cases) {
        inst.addRuntime(c.runtime);
        std::filesystem::remove(inst.recordFile());
        EXPECT_RUN(answer(inst.seen(c.typed)), "", kQuestion, 0);
        EXPECT_EQ(inst.record(), startedWith(inst.seen(c.runtime))) << c.typed;
    }
}

// An accepted answer is remembered for the user without SetJavaVersion: later starts take it
// without asking while the Java home holds no runtime (one there comes first), until
// --forget-java.
TEST_F(JavaPrompt, AcceptedAnswerServesLaterStartsUntilForgotten) {
    inst.addRuntime("rt");
    struct Step {
        const char* what;
        std::optional<std::string> typed;  // on the terminal; none: no terminal, no question
        std::string out, err;
        int exitCode;
        std::string home;  // the runtime started; empty for none
    } steps[] = {
        {"asked", "rt/bin/java", "", kQuestion, 0, "rt"},
        {"remembered", std::nullopt, "", "", 0, "rt"},
        {"the Java home holds a runtime", std::nullopt, "", "", 0, "jre"},
        {"it holds none again", std::nullopt, "", "", 0, "rt"},
        {"forgotten", std::nullopt, noRuntimeAt(""), "", 8, ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        RunOptions o;
        o.env = {{"XDG_CONFIG_HOME", inst.path("settings")}};
        if (step.typed) o.terminalInput = inst.seen(*step.typed) + "\n";
        if (step.what == std::string("the Java home holds a runtime")) inst.addRuntime();
        if (step.what == std::string("it holds none again")) std::filesystem::remove_all(inst.path("jre"));
        if (step.what == std::string("forgotten")) {
            EXPECT_EQ(inst.run({"--forget-java"}, o).exitCode, 0);
        }
        std::filesystem::remove(inst.recordFile());
        EXPECT_RUN(inst.run({"-nomsgbox"}, o), step.out, step.err, step.exitCode);
        EXPECT_EQ(inst.record(), step.home.empty() ? "" : startedWith(step.home == "jre" ? defaultJavaHome() : inst.seen(step.home)));
    }
}

TEST_F(JavaPrompt, AnswerNamingTheRuntimeItselfIsTakenAsIs) {
    inst.addRuntime("rt");
    EXPECT_RUN(answer(inst.seen("rt")), "", kQuestion, 0);
    EXPECT_EQ(inst.record(), startedWith(inst.seen("rt")));
}

TEST_F(JavaPrompt, AnswerWithoutARuntimeEndsWithMessage8) {
    inst.addRuntime("rt");
    EXPECT_RUN(answer(inst.seen("nothing/bin/java")), noRuntimeAt(inst.seen("nothing")), kQuestion, 8);
    EXPECT_EQ(inst.record(), "");
}

// An empty answer cancels: it is never tested as a Java home, where /bin/java would make the
// root directory the runtime.
TEST_F(JavaPrompt, EmptyAnswerCancels) {
    EXPECT_RUN(answer(""), noRuntimeAt(""), kQuestion, 8);
    EXPECT_EQ(inst.record(), "");
}

// A --SetJavaHome= argument naming a directory without a runtime is applied once more when
// the command line is parsed: the user's right answer still stands.
TEST_F(JavaPrompt, AnswerIsNotUndoneByTheCommandLinesJavaHome) {
    inst.addRuntime("rt");
    RunOptions o;
    o.terminalInput = inst.seen("rt") + "\n";
    EXPECT_RUN(inst.run({"-nomsgbox", "--SetJavaHome=" + inst.seen("none")}, o), "", kQuestion, 0);
    EXPECT_EQ(inst.record(), startedWith(inst.seen("rt")));
}

// What a file manager's "copy as path" gives.
TEST_F(JavaPrompt, AnswerInDoubleQuotesIsTakenWithoutThem) {
    inst.addRuntime("rt");
    EXPECT_RUN(answer("\"" + inst.seen("rt/bin/java") + "\""), "", kQuestion, 0);
    EXPECT_EQ(inst.record(), startedWith(inst.seen("rt")));
}

TEST_F(JavaPrompt, NoQuestionWhenTheRuntimeIsThere) {
    inst.addRuntime();
    EXPECT_RUN(answer(inst.seen("elsewhere/bin/java")), "", "", 0);
    EXPECT_EQ(inst.record(), startedWith(defaultJavaHome()));
}

// Without a terminal, on a desktop, the question is the desktop's folder chooser (zenity, else
// kdialog), and the folder chosen is taken as a typed answer is (the same check then refuses a
// folder without a runtime). Not under -nomsgbox; a cancelled choice ends with message 8 as a
// cancelled question does, as a start without a chooser on PATH does.
TEST_F(JavaPrompt, WithoutATerminalTheDesktopsFolderChooserAsks) {
    inst.addRuntime("rt");
    const std::string heading = defaultTitle() + ": choose the Java folder";
    const std::string zenity = "zenity\n--file-selection\n--directory\n--title=" + heading + "\n";
    const std::string kdialog = "kdialog\n--title\n" + heading + "\n--getexistingdirectory\n";
    struct Case {
        const char* what;
        std::vector<std::string> tools;
        std::string prints;
        int exitCode;
        std::vector<std::string> args;
        bool started;  // with the runtime chosen; else message 8, cancelled
        std::string asked;  // the chooser's arguments; empty: none ran
    } cases[] = {
        {"zenity first", {"zenity", "kdialog"}, inst.seen("rt") + "\n", 0, {}, true, zenity},
        {"kdialog, cancelled", {"kdialog"}, "", 1, {}, false, kdialog},
        {"-nomsgbox", {"zenity"}, inst.seen("rt") + "\n", 0, {"-nomsgbox"}, false, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(inst.path("tools"));
        inst.mkdir("tools");
        std::filesystem::remove(inst.recordFile());
        for (const std::string& tool : c.tools) inst.addDesktopTool("tools", tool, c.prints, c.exitCode);
        RunOptions o;
        o.env = {{"PATH", inst.path("tools") + ":/usr/bin:/bin"}, {"DISPLAY", std::string(":9")}};
        Result r = inst.run(c.args, o);
        if (!c.started) {
            EXPECT_RUN(r, noRuntimeAt(""), "", 8);
            EXPECT_EQ(inst.record(), "") << c.what;
        } else {
            EXPECT_RUN(r, "", "", 0);
            LaunchOptions parts;
            parts.classPath = runtimeClassPath(inst.seen("rt"));
            parts.pathVariable = o.env["PATH"];
            EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "test/Main", {})) << c.what;
        }
        // The chooser first; a message 8 window after it.
        std::string shown = inst.read("tools/shown");
        EXPECT_EQ(shown.substr(0, c.asked.size()), c.asked) << c.what;
        if (c.asked.empty()) {
            EXPECT_EQ(shown, "") << c.what;
        }
    }
}

}  // namespace
}  // namespace process_tests
