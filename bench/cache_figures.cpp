// Figure 4: the start-up cache on real applications nobody here wrote. Each application is a
// row of applications() below; each is measured on every runtime of runtimes() that is
// installed: the launcher, installed as the application's own command with SetStartupCache,
// against the JDK's java given the options and class path the launcher gives the VM without
// the cache. To measure another application, add its row.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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
    std::string expectedOut;  ///< what every start must print, and nothing on stderr; empty: what java -cp prints on both
    double buildJdkBound;   ///< warm cache / java -cp at most, on the build's JDK (OpenJDK 17); 0: none
    double temurin25Bound;  ///< the same on Temurin 25 (the AOT cache)
    double handBound;       ///< warm cache / java with an archive made by hand at most; 0: not measured
    bool quick;             ///< measured in quick mode too
};

/// A build of one class from scratch, for Ant; its build file.
std::string oneClassBuild(const Paths& paths) {
    std::string project = paths.work + "/one-class-build";
    makeDirs(project + "/src");
    writeFile(project + "/src/One.java", "public class One { public static void main(String[] a) { System.out.println(42); } }\n");
    writeFile(project + "/build.xml",
              "<project name=\"one\" default=\"compile\">\n  <target name=\"compile\">\n"
              "    <delete dir=\"classes\" quiet=\"true\"/>\n    <mkdir dir=\"classes\"/>\n"
              "    <javac srcdir=\"src\" destdir=\"classes\" includeantruntime=\"false\"/>\n  </target>\n</project>\n");
    return project + "/build.xml";
}

std::vector<CacheApplication> applications(const Paths& paths) {
    const std::string groovy = "/usr/share/groovy", ant = "/usr/share/ant", maven = "/usr/share/maven";
    // As Debian's scripts start them (Ant's request for a security manager left out: Java 24
    // and later refuse it, and neither -version nor javac needs one).
    const std::string antLines = "AddJavaLibFile " + ant + "/lib/ant-launcher.jar\nAddVMOption -Dant.home=" + ant +
                                 "\nAddVMOption -Dant.library.dir=" + ant + "/lib\n";
    const std::string antMain = "org.apache.tools.ant.launch.Launcher";
    return {
        {"groovy", "Debian's groovy -e 'println 6*7'", groovy, groovy + "/lib", "Debian's groovy is not installed",
         "AddJavaLibPath " + groovy + "/lib\nAddVMOption -Dgroovy.home=" + groovy +
             "\nAddVMOption -Dprogram.name=groovy\n",
         "groovy.ui.GroovyMain", {"-e", "println 6*7"}, "42\n", 0.60, 0.55, 1.05, true},
        {"ant", "Debian's ant -version", ant, ant + "/lib/ant-launcher.jar", "Debian's ant is not installed", antLines,
         antMain, {"-version"}, "", 0, 0, 1.05, false},
        {"ant-build", "Debian's ant -S: a build of one class", ant, ant + "/lib/ant-launcher.jar",
         "Debian's ant is not installed", antLines, antMain, {"-S", "-f", oneClassBuild(paths)}, "", 0, 0, 1.05, false},
        {"mvn", "Debian's mvn -v", maven, maven + "/boot/plexus-classworlds-2.x.jar", "Debian's maven is not installed",
         "AddJavaLibFile " + maven + "/boot/plexus-classworlds-2.x.jar\nAddVMOption -Dclassworlds.conf=" + maven +
             "/bin/m2.conf\nAddVMOption -Dmaven.home=" + maven + "\nAddVMOption -Dlibrary.jansi.path=" + maven +
             "/lib/jansi-native\nAddVMOption -Dmaven.multiModuleProjectDirectory=" + paths.work + "\n",
         "org.codehaus.plexus.classworlds.launcher.Launcher", {"-v"}, "", 0, 0, 1.05, false},
    };
}

/// A Java runtime the applications run on, and which of their bounds holds there.
struct CacheRuntime {
    std::string name;  ///< the suffix of the work directories
    std::string home;
    double CacheApplication::*bound;
    bool aot;  ///< the runtime's best archive is an AOT cache (Java 25), else a dynamic archive
};

/// The build's JDK, and Temurin 25 where it is installed.
std::vector<CacheRuntime> runtimes(const Paths& paths) {
    std::vector<CacheRuntime> found{{"build-jdk", paths.jdk, &CacheApplication::buildJdkBound, false}};
    const std::string temurin = "/usr/lib/jvm/temurin-25-jdk-amd64";
    if (::access((temurin + "/lib/server/libjvm.so").c_str(), F_OK) == 0)
        found.push_back({"temurin-25", temurin, &CacheApplication::temurin25Bound, true});
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

/// `java` with `options` before its own, under another label.
Command withOptions(Command java, const std::vector<std::string>& options, const std::string& label) {
    java.argv.insert(java.argv.begin() + 1, options.begin(), options.end());
    java.label = label;
    return java;
}

/// java with an archive made by hand from one start of the same command, in the runtime's
/// best way: a dynamic archive, or on Java 25 an AOT cache (recorded, then assembled).
Command handArchive(const Command& java, bool aot, const std::string& directory) {
    const std::string quiet = aot ? "-Xlog:aot*=off" : "-Xlog:cds*=off";
    if (!aot) {
        std::string archive = directory + "/hand.jsa";
        run(withOptions(java, {"-XX:ArchiveClassesAtExit=" + archive, quiet}, "java writing a dynamic archive"));
        if (::access(archive.c_str(), F_OK) != 0) fatal("java wrote no dynamic archive: " + describe(java));
        return withOptions(java, {"-XX:SharedArchiveFile=" + archive, quiet}, "java with a dynamic archive made by hand");
    }
    std::string configuration = directory + "/hand.aotconf", cache = directory + "/hand.aot";
    run(withOptions(java, {"-XX:AOTMode=record", "-XX:AOTConfiguration=" + configuration, quiet}, "java recording"));
    // The assembly has the same options and class path, and no main class.
    Command create = java;
    auto classPath = std::find(create.argv.begin(), create.argv.end(), std::string("-cp"));
    if (classPath == create.argv.end()) fatal("no -cp in " + describe(java));
    create.argv.erase(classPath + 2, create.argv.end());
    run(withOptions(create, {"-XX:AOTMode=create", "-XX:AOTConfiguration=" + configuration, "-XX:AOTCache=" + cache, quiet},
                    "java assembling an AOT cache"));
    if (::access(cache.c_str(), F_OK) != 0) fatal("java assembled no AOT cache: " + describe(create));
    return withOptions(java, {"-XX:AOTCache=" + cache, quiet}, "java with an AOT cache made by hand");
}

/// Waits until no process holds a lock of the cache in `directory` (the archive is made beside
/// the start that found a list of classes); the seconds it took.
double awaitCacheWork(const std::string& directory) {
    auto begun = std::chrono::steady_clock::now();
    if (DIR* entries = ::opendir(directory.c_str())) {
        while (const struct dirent* entry = ::readdir(entries)) {
            std::string name = entry->d_name;
            if (name.size() < 5 || name.compare(name.size() - 5, 5, ".lock") != 0) continue;
            int fd = ::open((directory + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            for (int waited = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0 && waited < 3000; ++waited) ::usleep(10000);
            ::close(fd);
        }
        ::closedir(entries);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
}

/// One application on one runtime: the training starts (cache removed first), each paired
/// with java -cp, then the warm cache against java -cp and, where the row asks, against java
/// with an archive made by hand, in the same rounds.
void cacheFigure(const Paths& paths, const CacheApplication& application, const CacheRuntime& runtime, int rounds,
                 int trainings, Verdicts& verdicts) {
    CacheInstall install = layOut(paths, application, runtime);
    Command java = javaCommand(application, install, paths.work);
    Command launcher{{install.launcher}, install.bin, {}, application.name + " through the launcher"};
    launcher.argv.insert(launcher.argv.end(), application.arguments.begin(), application.arguments.end());
    std::string expected = application.expectedOut, expectedErr;
    if (expected.empty()) {
        // Maven's console library writes its colour resets on stderr whatever it is told.
        Output plain = capture(java, paths.work);
        expected = plain.out;
        expectedErr = plain.err;
    }
    expectRun(java, expected, paths.work, expectedErr);
    std::printf("\n4. Start-up cache: %s on %s\n", application.title.c_str(), runtime.home.c_str());
    // Each training pairs the first start (it lists the classes it loads) and the second (the
    // runtime makes the archive beside it) with a java -cp start; both must be as quiet as
    // java -cp. The making is waited for after the second start.
    std::vector<double> first, second, extra, making;
    for (int t = 0; t < trainings; ++t) {
        removeTree(install.cache);
        double javaSeconds = run(java).seconds;
        first.push_back(timedCheck(launcher, expected, paths.work, expectedErr) / javaSeconds);
        awaitCacheWork(install.cache);
        second.push_back(timedCheck(launcher, expected, paths.work, expectedErr) / javaSeconds);
        making.push_back(awaitCacheWork(install.cache) / javaSeconds);
        extra.push_back(first.back() + second.back() - 2);
    }
    std::vector<Command> commands{launcher, java};
    if (application.handBound > 0) {
        commands.push_back(handArchive(java, runtime.aot, install.cache + "/.."));
        expectRun(commands.back(), expected, paths.work, expectedErr);
    }
    Rounds warm = measure(commands, rounds, 0);
    printRatio("warm cache: launcher / java -cp", warm, 0, 1, application.*runtime.bound, verdicts);
    if (application.handBound > 0) {
        printRatio(runtime.aot ? "warm: launcher / java, AOT cache made by hand" : "warm: launcher / java, archive made by hand",
                   warm, 0, 2, application.handBound, verdicts);
        printRatio("java with the hand-made one / java -cp", warm, 2, 1, 0, verdicts);
    }
    std::printf("   %-48s %6.3f  (%d run%s; java -cp %.3f s)\n", "training start / java -cp", median(first), trainings,
                trainings == 1 ? "" : "s", median(warm.seconds[1]));
    std::printf("   %-48s %6.3f\n", "second start (the archive made beside) / java -cp", median(second));
    std::printf("   %-48s %6.3f  <= 2.50 (+ noise: %.3f)  %s\n", "extra cost of the first two starts / java -cp",
                median(extra), boundWithNoise(extra, 2.5), verdicts.check(median(extra) <= boundWithNoise(extra, 2.5)).c_str());
    std::printf("   %-48s %6.3f  (after the second start ends; nobody waits)\n", "making and proving the archive / java -cp",
                median(making));
    printForeignLoad(warm);
}

}  // namespace

void cacheFigures(const Paths& paths, const Settings& settings, Verdicts& verdicts) {
    int rounds = settings.rounds ? settings.rounds : settings.quick ? 2 : 31;
    int trainings = settings.quick ? 1 : 5;
    for (const CacheApplication& application : applications(paths)) {
        if (settings.quick && !application.quick) continue;
        if (::access(application.required.c_str(), F_OK) != 0) {
            std::printf("\n4. Start-up cache: skipped, %s (%s)\n", application.missing.c_str(), application.home.c_str());
            continue;
        }
        for (const CacheRuntime& runtime : runtimes(paths))
            cacheFigure(paths, application, runtime, rounds, trainings, verdicts);
    }
}

}  // namespace bench
