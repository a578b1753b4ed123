// Figure 4: the start-up cache on real applications nobody here wrote. Each application is a
// row of applications() below; each is measured on every runtime of runtimes() that is
// installed: the launcher, installed as the application's own command with SetStartupCache,
// against the JDK's java given the options and class path the launcher gives the VM without
// the cache. To measure another application, add its row.
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "figures.h"
#include "files.h"

namespace bench {

namespace {

/// A real application started through the launcher with its start-up cache on.
struct CacheApplication {
    std::string name;           ///< the launcher's name in bin/, and the prefix of its work directories
    std::string title;          ///< what runs, for the figure's heading
    std::string home;           ///< where the application is installed, named when it is not
    std::string required;       ///< a file or directory without which the figure is skipped
    std::string missing;        ///< why it would be skipped: "Debian's groovy is not installed"
    std::string configuration;  ///< its lines between SetJavaVM and SetMainClass
    std::string mainClass;
    std::vector<std::string> arguments;  ///< of every start
    std::string expectedOut;             ///< what every start must print; stderr stays empty
    double buildJdkBound;   ///< warm cache / java -cp at most, on the build's JDK (OpenJDK 17)
    double temurin25Bound;  ///< the same on Temurin 25 (the AOT cache)
};

std::vector<CacheApplication> applications() {
    const std::string groovy = "/usr/share/groovy";
    return {
        {"groovy", "Debian's groovy -e 'println 1'", groovy, groovy + "/lib", "Debian's groovy is not installed",
         "AddJavaLibPath " + groovy + "/lib\nAddVMOption -Dgroovy.home=" + groovy +
             "\nAddVMOption -Dprogram.name=groovy\n",
         "groovy.ui.GroovyMain", {"-e", "println 1"}, "1\n", 0.65, 0.55},
    };
}

/// A Java runtime the applications run on, and which of their bounds holds there.
struct CacheRuntime {
    std::string name;  ///< the suffix of the work directories
    std::string home;
    double CacheApplication::*bound;
};

/// The build's JDK, and Temurin 25 where it is installed.
std::vector<CacheRuntime> runtimes(const Paths& paths) {
    std::vector<CacheRuntime> found{{"build-jdk", paths.jdk, &CacheApplication::buildJdkBound}};
    const std::string temurin = "/usr/lib/jvm/temurin-25-jdk-amd64";
    if (::access((temurin + "/lib/server/libjvm.so").c_str(), F_OK) == 0)
        found.push_back({"temurin-25", temurin, &CacheApplication::temurin25Bound});
    return found;
}

/// The application on one runtime: the launcher as bin/<name> with the start-up cache on.
struct CacheInstall {
    std::string jdk, bin, launcher, cache;
};

CacheInstall layOut(const Paths& paths, const CacheApplication& application, const CacheRuntime& runtime) {
    std::string root = paths.work + "/" + application.name + "-" + runtime.name;
    CacheInstall install{runtime.home, root + "/bin", root + "/bin/" + application.name, root + "/cache"};
    makeDirs(install.bin);
    linkExecutable(paths.launcher, install.launcher);
    writeFile(install.launcher + ".conf", "SetJavaHome " + runtime.home + "\nSetJavaVM server\n" +
                                              application.configuration + "SetMainClass " + application.mainClass +
                                              "\nSetStartupCache ../cache\n");
    return install;
}

/// The JDK's java with the options and class path the launcher gives the VM without the cache.
Command javaCommand(const CacheApplication& application, const CacheInstall& install, const std::string& scratch) {
    Command verbose{{install.launcher, "--SetStartupCache=off", "-verbose"}, install.bin, {},
                    application.name + " through the launcher with -verbose"};
    verbose.argv.insert(verbose.argv.end(), application.arguments.begin(), application.arguments.end());
    Output output = capture(verbose, scratch);
    Command java{{install.jdk + "/bin/java"}, install.bin, {}, "the JDK's java -cp running " + application.name};
    std::istringstream lines(output.out);
    std::string classPath;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("JNI Option: -Djava.class.path=", 0) == 0)
            classPath = line.substr(30);
        else if (line.rfind("JNI Option: ", 0) == 0)
            java.argv.push_back(line.substr(12));
    }
    if (output.exitCode != 0 || classPath.empty())
        fatal(application.name + "'s -verbose run listed no class path:\n" + output.out + output.err);
    java.argv.insert(java.argv.end(), {"-cp", classPath, application.mainClass});
    java.argv.insert(java.argv.end(), application.arguments.begin(), application.arguments.end());
    return java;
}

/// One application on one runtime: the training starts (cache removed first) and the warm
/// cache, each paired with java -cp in the same rounds.
void cacheFigure(const Paths& paths, const CacheApplication& application, const CacheRuntime& runtime, int rounds,
                 int trainings, Verdicts& verdicts) {
    CacheInstall install = layOut(paths, application, runtime);
    Command java = javaCommand(application, install, paths.work);
    Command launcher{{install.launcher}, install.bin, {}, application.name + " through the launcher"};
    launcher.argv.insert(launcher.argv.end(), application.arguments.begin(), application.arguments.end());
    expectRun(java, application.expectedOut, paths.work);
    std::printf("\n4. Start-up cache: %s on %s\n", application.title.c_str(), runtime.home.c_str());
    // Each training pairs the first start (it trains) and the second (it makes or assembles
    // the cache) with a java -cp start; both must be as quiet as java -cp.
    std::vector<double> first, second;
    for (int t = 0; t < trainings; ++t) {
        removeTree(install.cache);
        double javaSeconds = run(java).seconds;
        first.push_back(timedCheck(launcher, application.expectedOut, paths.work) / javaSeconds);
        second.push_back(timedCheck(launcher, application.expectedOut, paths.work) / javaSeconds);
    }
    Rounds warm = measure({launcher, java}, rounds, 0);
    printRatio("warm cache: launcher / java -cp", warm, 0, 1, application.*runtime.bound, verdicts);
    std::printf("   %-48s %6.3f  (%d run%s; java -cp %.3f s)\n", "training start / java -cp", median(first), trainings,
                trainings == 1 ? "" : "s", median(warm.seconds[1]));
    std::printf("   %-48s %6.3f\n", "second start (makes the cache) / java -cp", median(second));
    printForeignLoad(warm);
}

}  // namespace

void cacheFigures(const Paths& paths, const Settings& settings, Verdicts& verdicts) {
    int rounds = settings.rounds ? settings.rounds : settings.quick ? 2 : 31;
    int trainings = settings.quick ? 1 : 5;
    for (const CacheApplication& application : applications()) {
        if (::access(application.required.c_str(), F_OK) != 0) {
            std::printf("\n4. Start-up cache: skipped, %s (%s)\n", application.missing.c_str(), application.home.c_str());
            continue;
        }
        for (const CacheRuntime& runtime : runtimes(paths))
            cacheFigure(paths, application, runtime, rounds, trainings, verdicts);
    }
}

}  // namespace bench
