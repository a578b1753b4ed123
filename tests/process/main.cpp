// The process tests' entry point: checks that the build under test is there and, for the
// Windows builds, keeps one wineserver alive for the whole run, so that each launch starts
// quickly and no server started by a launch holds on to its output pipes.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace {

bool isFile(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

class BuildUnderTest : public ::testing::Environment {
public:
    void SetUp() override {
        using namespace process_tests;
        const Target& t = target();
        ASSERT_TRUE(isFile(t.launcherExe)) << "LAUNCHER_EXE does not name the built launcher: " << t.launcherExe;
        ASSERT_TRUE(isFile(t.fakeJvmDir + "/" + vmLibraryName()))
            << "FAKEJVM_DIR does not hold the test-double VM library: " << t.fakeJvmDir;
        // An empty LAUNCHER_WINE: the checks of a Windows build's files alone, which start nothing.
        if (!isWindows() || t.wine.empty()) return;
        const char* server = std::getenv("LAUNCHER_WINESERVER");
        wineserver_ = server ? server : "/usr/bin/wineserver";
        std::vector<std::string> env = wineEnvironment();
        const char* prefix = std::getenv("WINEPREFIX");
        if (!prefix || !isFile(std::string(prefix) + "/system.reg")) {
            // A first run creates the prefix; its server then ends and saves the registry.
            runProcess(t.wine, {t.wine, "cmd", "/c", "exit"}, env, "/", 300, std::nullopt, true);
            runProcess(wineserver_, {wineserver_, "-w"}, env, "/", 120, std::nullopt, true);
        }
        // Exit code 0: this run started the server; 2: one was already running.
        Result started = runProcess(wineserver_, {wineserver_, "-p"}, env, "/", 60, std::nullopt, true);
        startedServer_ = started.exitCode == 0;
        // The first program of a server session starts wine's services, which inherit its
        // output and live as long as the server: let that output go nowhere.
        runProcess(t.wine, {t.wine, "cmd", "/c", "exit"}, env, "/", 300, std::nullopt, true);
        launcherPathVariable();
    }

    void TearDown() override {
        if (startedServer_)
            process_tests::runProcess(wineserver_, {wineserver_, "-k"}, wineEnvironment(), "/", 60);
    }

private:
    static std::vector<std::string> wineEnvironment() {
        std::vector<std::string> env{"WINEDEBUG=-all", "PATH=/usr/local/bin:/usr/bin:/bin"};
        for (const char* name : {"WINEPREFIX", "HOME", "USER"})
            if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
        return env;
    }

    std::string wineserver_;
    bool startedServer_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new BuildUnderTest);
    return RUN_ALL_TESTS();
}
