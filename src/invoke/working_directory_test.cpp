// The launch's relative paths taken from the launcher's directory before the VM starts in
// another one.
#include <gtest/gtest.h>

#include <string>

#include "config/launch_settings.h"
#include "invoke/working_directory.h"
#include "support/native.h"
#include "vm/java_home.h"

using testing_support::nat;
using testing_support::natList;

// Each entry of a list is taken from the launcher's directory unless absolute; an empty one,
// which the VM reads as its current directory, is the launcher's directory itself.
TEST(ApplicationDirectory, ListsAreTakenFromTheLauncherDirectory) {
    struct Case {
        std::string list, anchored;
    } cases[] = {
        {"", ""},
        {natList("../lib/a.jar;/abs/b.jar"), natList("/inst/bin/../lib/a.jar;/abs/b.jar")},
        {natList("a.jar;;b.jar"), natList("/inst/bin/a.jar;/inst/bin;/inst/bin/b.jar")},
        {natList(";a.jar;"), natList("/inst/bin;/inst/bin/a.jar;/inst/bin")},
#ifdef _WIN32
        {"C:\\abs\\a.jar;\\\\server\\share\\b.jar;C:c.jar", "C:\\abs\\a.jar;\\\\server\\share\\b.jar;C:c.jar"},
#endif
    };
    for (const auto& c : cases) {
        LaunchSettings settings;
        RuntimeFacts runtime;
        settings.classPath = c.list;
        settings.fixedLibraryPath = c.list;
        anchorAtLauncherDirectory(settings, runtime, nat("/inst/bin"));
        EXPECT_EQ(settings.classPath, c.anchored) << c.list;
        EXPECT_EQ(settings.fixedLibraryPath, c.anchored) << c.list;
    }
}

// The configuration's options that are known to name files have them anchored, and so have the
// record's paths; any other option, the command line's, and the cache's "on" stay as written.
TEST(ApplicationDirectory, OptionsAndPathsThatNameFiles) {
    struct Case {
        std::string option, anchored;
    } cases[] = {
        {"-Xbootclasspath/a:" + natList("../p.jar;/q.jar"), "-Xbootclasspath/a:" + natList("/inst/bin/../p.jar;/q.jar")},
        {"-Xbootclasspath:p.jar", "-Xbootclasspath:" + nat("/inst/bin/p.jar")},
        {"-javaagent:../agent.jar=opt=../x", "-javaagent:" + nat("/inst/bin/") + "../agent.jar=opt=../x"},
        {"-agentpath:" + nat("/abs/a.so"), "-agentpath:" + nat("/abs/a.so")},
        {"-javaagent:=x", "-javaagent:=x"},
        {"-Dconfig=../conf/x", "-Dconfig=../conf/x"},
    };
    LaunchSettings settings;
    RuntimeFacts runtime;
    for (const auto& c : cases) {
        settings.vmOptions.push_back(c.option);
        settings.commandLineVmOptions.push_back(c.option);
    }
    runtime.home = settings.splashImage = settings.startupCache = nat("../jre");
    settings.configPath = nat("/inst/bin/app.conf");
    anchorAtLauncherDirectory(settings, runtime, nat("/inst/bin"));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(settings.vmOptions.at(i), cases[i].anchored);
        EXPECT_EQ(settings.commandLineVmOptions.at(i), cases[i].option);
    }
    for (const std::string* path : {&runtime.home, &settings.splashImage, &settings.startupCache})
        EXPECT_EQ(*path, nat("/inst/bin/../jre"));
    EXPECT_EQ(settings.configPath, nat("/inst/bin/app.conf"));
    settings.startupCache = "On";
    anchorAtLauncherDirectory(settings, runtime, nat("/inst/bin"));
    EXPECT_EQ(settings.startupCache, "On");
}
