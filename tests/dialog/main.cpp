// The dialog tests' entry point. They run a Windows build's launcher under wine, inside the
// display and wine session that with_display.sh provides (DISPLAY, WINEPREFIX), with the build
// chosen as for the process tests (LAUNCHER_KIND, LAUNCHER_EXE, FAKEJVM_DIR, LAUNCHER_WINE).
// DIALOG_ARTEFACTS names the directory for the screenshots.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "dialog/x11.h"
#include "process/harness.h"

namespace {

bool isFile(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

class WindowTestSetting : public ::testing::Environment {
public:
    void SetUp() override {
        using namespace process_tests;
        const Target& t = target();
        ASSERT_TRUE(isWindows()) << "the dialog is the Windows builds': LAUNCHER_KIND must be win32 or win64";
        ASSERT_TRUE(isFile(t.launcherExe)) << "LAUNCHER_EXE does not name the built launcher: " << t.launcherExe;
        ASSERT_TRUE(isFile(t.fakeJvmDir + "/" + vmLibraryName()))
            << "FAKEJVM_DIR does not hold the test-double VM library: " << t.fakeJvmDir;
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no DISPLAY: run through with_display.sh";
        ASSERT_NE(std::getenv("WINEPREFIX"), nullptr) << "no WINEPREFIX: run through with_display.sh";
        for (const char* tool : {"xdotool", "import", "convert"})
            ASSERT_FALSE(dialog_tests::findProgram(tool).empty()) << tool << " is not installed";
        // Read once, in a run of its own, before any dialog opens.
        launcherPathVariable();
    }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new WindowTestSetting);
    return RUN_ALL_TESTS();
}
