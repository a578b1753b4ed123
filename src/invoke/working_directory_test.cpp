// Where the application runs, and the launch's relative paths taken from the launcher's
// directory before the VM starts elsewhere.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "invoke/working_directory.h"
#include "support/native.h"
#include "vm/java_home.h"

using testing_support::nat;
using testing_support::natList;

namespace {

const std::string kLauncher = nat("/inst/bin");

}  // namespace

// Each entry of a list is taken from the launcher's directory unless absolute; an empty one,
// which the VM reads as its current directory, is the launcher's directory itself.
TEST(ApplicationDirectory, ListsAreTakenFromTheLauncherDirectory) {
    struct Case {
        std::string list, anchored;
    } cases[] = {
        {"", ""},
        {natList("../lib/a.jar;/abs/b.jar"), natList("/inst/bin/../lib/a.jar;/abs/b.jar")},
        {natList("a.jar;;b.jar"), natList("/inst/bin/a.jar;/inst/bin;/inst/bin/b.jar")},
        {natList("a.jar;"), natList("/inst/bin/a.jar;/inst/bin")},
        {natList(";a.jar"), natList("/inst/bin;/inst/bin/a.jar")},
#ifdef _WIN32
        {"C:\\abs\\a.jar;\\\\server\\share\\b.jar;C:c.jar", "C:\\abs\\a.jar;\\\\server\\share\\b.jar;C:c.jar"},
#endif
    };
    for (const auto& c : cases) {
        LaunchSettings settings;
        RuntimeFacts runtime;
        settings.classPath = c.list;
        settings.fixedLibraryPath = c.list;
        anchorAtLauncherDirectory(settings, runtime, kLauncher);
        EXPECT_EQ(settings.classPath, c.anchored) << c.list;
        EXPECT_EQ(settings.fixedLibraryPath, c.anchored) << c.list;
    }
}

// The configuration's options that are known to name files have them anchored; any other
// option, and the command line's, stay as written.
TEST(ApplicationDirectory, OptionsThatNameFilesAreAnchored) {
    struct Case {
        std::string option, anchored;
    } cases[] = {
        {"-Xbootclasspath/a:" + natList("../p.jar;/q.jar"), "-Xbootclasspath/a:" + natList("/inst/bin/../p.jar;/q.jar")},
        {"-Xbootclasspath/p:p.jar", "-Xbootclasspath/p:" + nat("/inst/bin/p.jar")},
        {"-Xbootclasspath:p.jar", "-Xbootclasspath:" + nat("/inst/bin/p.jar")},
        {"-javaagent:" + nat("../agent.jar=opt=../x"), "-javaagent:" + nat("/inst/bin/../agent.jar=opt=../x")},
        {"-agentpath:" + nat("lib/a.so"), "-agentpath:" + nat("/inst/bin/lib/a.so")},
        {"-javaagent:" + nat("/abs/agent.jar"), "-javaagent:" + nat("/abs/agent.jar")},
        {"-javaagent:=x", "-javaagent:=x"},
        {"-Dconfig=" + nat("../conf/x"), "-Dconfig=" + nat("../conf/x")},
        {"-Xmx1g", "-Xmx1g"},
    };
    LaunchSettings settings;
    RuntimeFacts runtime;
    for (const auto& c : cases) {
        settings.vmOptions.push_back(c.option);
        settings.commandLineVmOptions.push_back(c.option);
    }
    anchorAtLauncherDirectory(settings, runtime, kLauncher);
    ASSERT_EQ(settings.vmOptions.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(settings.vmOptions[i], cases[i].anchored);
        EXPECT_EQ(settings.commandLineVmOptions[i], cases[i].option);
    }
}

// The home, the configuration, the splash image and a cache folder are anchored; the cache's
// "on" is a word, not a folder.
TEST(ApplicationDirectory, PathsOfTheRecordAndTheRuntime) {
    struct Case {
        std::string path, anchored;
    } cases[] = {
        {"", ""},
        {nat("../jre"), nat("/inst/bin/../jre")},
        {"splash.png", nat("/inst/bin/splash.png")},
        {nat("/opt/jdk"), nat("/opt/jdk")},
    };
    for (const auto& c : cases) {
        LaunchSettings settings;
        RuntimeFacts runtime;
        runtime.home = settings.configPath = settings.splashImage = settings.startupCache = c.path;
        anchorAtLauncherDirectory(settings, runtime, kLauncher);
        for (const std::string* anchored : {&runtime.home, &settings.configPath, &settings.splashImage, &settings.startupCache})
            EXPECT_EQ(*anchored, c.anchored) << c.path;
    }
    LaunchSettings on;
    RuntimeFacts runtime;
    on.startupCache = "On";
    anchorAtLauncherDirectory(on, runtime, kLauncher);
    EXPECT_EQ(on.startupCache, "On");
}

TEST(ApplicationDirectory, ChosenBySetWorkingDirectory) {
    struct Case {
        const char* value;
        std::optional<std::string> directory;
    } cases[] = {
        {"launcher", std::nullopt},
        {"start", nat("/home/ann/work")},
        {"../data", nat("/inst/bin/../data")},
        {"/srv/data", nat("/srv/data")},
    };
    for (const auto& c : cases) {
        LaunchSettings settings;
        settings.startDirectory = nat("/home/ann/work");
        settings.setWorkingDirectory(nat(c.value));
        EXPECT_EQ(applicationDirectory(settings, kLauncher), c.directory) << c.value;
    }
}
