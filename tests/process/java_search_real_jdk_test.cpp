// The search for an installed runtime on the machine's own JDKs under /usr/lib/jvm: a range
// picks the one the application can run on, and the application runs on it. Each test needs
// the runtimes of the feature versions it names and is skipped where they are not installed.
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

struct InstalledJdk {
    std::string home;     // its links resolved
    std::string version;  // the release file's JAVA_VERSION
};

/// The JDKs under /usr/lib/jvm with a release file, a runtime marker and a server VM, by
/// feature version.
std::map<int, InstalledJdk> installedByFeature() {
    std::map<int, InstalledJdk> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/jvm", ec)) {
        fs::path home = fs::canonical(entry.path(), ec);
        if (ec || !fs::exists(home / "bin/java") || !fs::exists(home / "lib/server/libjvm.so")) continue;
        std::ifstream release(home / "release");
        std::smatch match;
        for (std::string line; std::getline(release, line);) {
            static const std::regex versionLine("^JAVA_VERSION=\"(([0-9]+)[^\"]*)\"");
            if (std::regex_search(line, match, versionLine))
                found[std::stoi(match[2])] = {home.string(), match[1]};
        }
    }
    return found;
}

class JavaSearchRealJdk : public ::testing::Test {
protected:
    void SetUp() override {
        if (isWindows()) GTEST_SKIP() << "the machine's own JDKs run under the linux build";
        inst.writeConfig("SetJavaVM server\nAddJavaLibFile " + target().javaClasses + "\nSetMainClass launchertest.Probe\n");
    }

    /// True when a JDK of each feature version is installed.
    bool need(std::initializer_list<int> features) {
        for (int feature : features)
            if (!jdks.count(feature)) return false;
        return true;
    }

    /// "java.class.path=" as Probe prints it when the application runs on `home`.
    std::string classPathLine(const std::string& home) const {
        return "java.class.path=" + target().javaClasses + ":" + home + "/lib/tools.jar:" + home + "/lib/dt.jar\n";
    }

    Installation inst;
    std::map<int, InstalledJdk> jdks = installedByFeature();
};

// The application runs on the runtime the range leads to: 21 or later only 25 fits, up to 17
// only 17.
TEST_F(JavaSearchRealJdk, RangeChoosesTheRuntimeTheApplicationRunsOn) {
    if (!need({17, 25})) GTEST_SKIP() << "needs JDK 17 and 25 under /usr/lib/jvm";
    for (const auto& [range, feature] : {std::pair<std::string, int>{"21", 25}, {"11-17", 17}}) {
        // The runtime's class-file version: 44 more than its feature version.
        Result r = inst.run({"-nomsgbox", "--SetJavaVersion=" + range, "property=java.class.version"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find(classPathLine(jdks[feature].home)), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("java.class.version=" + std::to_string(feature + 44) + ".0\n"), std::string::npos)
            << r.out;
    }
}

// Nothing fits: no runtime starts, and message 8 names both and why each was refused.
TEST_F(JavaSearchRealJdk, NoneFitsJava26AndBothAreNamed) {
    if (!need({17, 25})) GTEST_SKIP() << "needs JDK 17 and 25 under /usr/lib/jvm";
    if (jdks.rbegin()->first >= 26) GTEST_SKIP() << "a JDK 26 or later is installed";
    Result r = inst.run({"-nomsgbox", "--SetJavaVersion=26"});
    EXPECT_EQ(r.exitCode, 8);
    EXPECT_EQ(r.out.rfind("Error: Cannot find a J2SE SDK installed at path:.\nJava runtimes found: ", 0), 0u) << r.out;
    for (int feature : {17, 25})
        EXPECT_NE(r.out.find(jdks[feature].home + " (" + jdks[feature].version + ", 64-bit): too old"), std::string::npos)
            << r.out;
}

// JAVA_HOME comes before the usual folders: its 17 wins although /usr/lib/jvm has a newer one
// that fits.
TEST_F(JavaSearchRealJdk, JavaHomeVariableWinsOverTheUsualFolders) {
    if (!need({17, 25})) GTEST_SKIP() << "needs JDK 17 and 25 under /usr/lib/jvm";
    RunOptions o;
    o.env = {{"JAVA_HOME", jdks[17].home}};
    EXPECT_RUN(inst.run({"-nomsgbox", "--SetJavaVersion=17-25", "--print-java"}, o),
               "home: " + jdks[17].home + "\nversion: " + jdks[17].version + "\narchitecture: 64-bit\nfound: JAVA_HOME\n", "",
               0);
    Result r = inst.run({"-nomsgbox", "--SetJavaVersion=17-25"}, o);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(classPathLine(jdks[17].home)), std::string::npos) << r.out;
}

}  // namespace
}  // namespace process_tests
