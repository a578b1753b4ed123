// Without a runtime at the Java home, the launcher asks for the Java executable. The POSIX
// builds ask on the terminal when standard input is one; the answer's runtime is then used.
#include <string>

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

TEST_F(JavaPrompt, AnswerNamingTheJavaExecutableGivesTheRuntimeAboveBin) {
    inst.addRuntime("rt");
    EXPECT_RUN(answer(inst.seen("rt/bin/java")), "", kQuestion, 0);
    EXPECT_EQ(inst.record(), startedWith(inst.seen("rt")));
}

TEST_F(JavaPrompt, AnswerBelowAJreDirectoryGivesTheDirectoryAboveIt) {
    inst.addRuntime("sdk");
    EXPECT_RUN(answer(inst.seen("sdk/jre/bin/java")), "", kQuestion, 0);
    EXPECT_EQ(inst.record(), startedWith(inst.seen("sdk")));
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

}  // namespace
}  // namespace process_tests
