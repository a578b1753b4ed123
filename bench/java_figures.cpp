// Figure 1: a Java hello-world through the launcher, against the floor (the least a program
// does to run a Java class in its own process) and the JDK's java given the same options.
#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "figures.h"
#include "files.h"

namespace bench {

namespace {

const char kHelloOutput[] = "Hello from the benchmark\n";

/// The real Java application: the launcher as bin/hello, a class directory, 50 jars.
struct RealInstall {
    std::string root, bin, launcher;
    std::vector<std::string> jars;  ///< relative to bin
};

RealInstall layOutReal(const Paths& paths) {
    RealInstall install;
    install.root = paths.work + "/real";
    install.bin = install.root + "/bin";
    makeDirs(install.bin);
    makeDirs(install.root + "/classes");
    makeDirs(install.root + "/lib");
    copyFile(paths.helloClass, install.root + "/classes/Hello.class", 0644);
    for (long i = 1; i <= 50; ++i) {
        std::string name = numbered("lib-", i, ".jar");
        std::string manifest = "Manifest-Version: 1.0\r\nCreated-By: launcher benchmark\r\n\r\n";
        std::string resource = numbered("resource of jar ", i, "\n");
        writeFile(install.root + "/lib/" + name,
                  makeJar({{"META-INF/MANIFEST.MF", manifest}, {numbered("bench/res-", i, ".txt"), resource}}));
        install.jars.push_back("../lib/" + name);
    }
    install.launcher = install.bin + "/hello";
    linkExecutable(paths.launcher, install.launcher);
    writeFile(install.bin + "/hello.conf",
              "# Hello world on the installed JDK: a class directory, the jars of ../lib and a few\n"
              "# options that leave the VM's own start-up work as it is.\n"
              "SetJavaHome " + paths.jdk + "\n"
              "SetJavaVM server\n"
              "SetMainClass Hello\n"
              "AddJavaLibFile ../classes\n"
              "AddJavaLibPath ../lib\n"
              "AddVMOption -Xss1m\n"
              "AddVMOption -Djava.awt.headless=true\n"
              "AddVMOption -Dbench.application=hello\n"
              "AddVMOption -Dbench.mode=timing\n");
    return install;
}

/// The JNI options the launcher gives the VM, as its -verbose lines list them.
std::vector<std::string> launcherOptions(const RealInstall& install, const std::string& scratch) {
    Command verbose{{install.launcher, "-verbose"}, install.bin, {}, "the launcher with -verbose"};
    Output output = capture(verbose, scratch);
    std::vector<std::string> options;
    std::istringstream lines(output.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("JNI Option: ", 0) == 0) options.push_back(line.substr(12));
    if (output.exitCode != 0 || options.empty() || options.back().rfind("-Djava.class.path=", 0) != 0)
        fatal("the launcher's -verbose run listed no class-path option:\n" + output.out + output.err);
    return options;
}

}  // namespace

void javaFigures(const Paths& paths, int rounds, Verdicts& verdicts) {
    RealInstall install = layOutReal(paths);
    std::string scratch = paths.work;
    std::vector<std::string> options = launcherOptions(install, scratch);
    std::string classPath = options.back().substr(std::string("-Djava.class.path=").size());
    options.pop_back();

    // The floor passes only -Djava.class.path, with the class path the launcher composes:
    // any program that starts this application hands the VM that class path, and the VM's
    // work on it is no part of the launcher's cost. The
    // floor with the class directory alone and the floor with all of the launcher's options
    // show where the time goes.
    std::string libjvm = paths.jdk + "/lib/server/libjvm.so";
    Command launcher{{install.launcher}, install.bin, {}, "the launcher"};
    Command floor{{paths.floor, libjvm, classPath, "Hello"}, install.bin, {}, "the floor program"};
    Command java{{paths.jdk + "/bin/java"}, install.bin, {}, "the JDK's java"};
    java.argv.insert(java.argv.end(), options.begin(), options.end());
    java.argv.insert(java.argv.end(), {"-cp", classPath, "Hello"});
    Command floorClasses{{paths.floor, libjvm, "../classes", "Hello"}, install.bin, {},
                         "the floor program with the class directory alone"};
    Command floorAll = floor;
    floorAll.argv.insert(floorAll.argv.end(), options.begin(), options.end());
    floorAll.label = "the floor program with the launcher's options";

    // The jars must be ones the VM reads without complaint: with them ahead of the class
    // directory the class loader opens every one, and finds the resource of the last.
    std::string jarsFirst;
    for (const std::string& jar : install.jars) jarsFirst += jar + ":";
    Command readsJars{{paths.jdk + "/bin/java", "-cp", jarsFirst + "../classes", "Hello", "--resource",
                       "bench/res-00050.txt"},
                      install.bin, {}, "the JDK's java over the benchmark's jars"};
    expectRun(readsJars, "found bench/res-00050.txt\n", scratch);
    for (const Command* command : {&launcher, &floor, &java, &floorClasses, &floorAll})
        expectRun(*command, kHelloOutput, scratch);

    std::printf("\n1. Java hello-world, time to main and back, on %s (%d rounds, order rotated)\n",
                paths.jdk.c_str(), rounds);
    std::printf("   configuration: a class directory, AddJavaLibPath over 50 jars, 4 AddVMOption lines,\n"
                "   SetJavaVM server: the VM receives %zu options, the class path has %zu entries\n",
                options.size() + 1,
                static_cast<std::size_t>(std::count(classPath.begin(), classPath.end(), ':') + 1));
    Rounds result = measure({launcher, floor, java, floorClasses, floorAll}, rounds, 3);
    std::printf("   %-48s %-44s  %-10s  %s\n", "", "wall time: median +- its error", "CPU time", "bound");
    printRatio("launcher / floor", result, 0, 1, 1.02, verdicts);
    printRatio("launcher / java -cp", result, 0, 2, 1.00, verdicts);
    std::printf("   where the time goes:\n");
    printRatio("floor / floor with the class directory alone", result, 1, 3, 0, verdicts);
    printRatio("floor with the launcher's other options / floor", result, 4, 1, 0, verdicts);
    printRatio("launcher / floor with all the same options", result, 0, 4, 0, verdicts);
    printRatio("java -cp / floor", result, 2, 1, 0, verdicts);
    std::printf("   %-48s %6.3f  (launcher %.1f MiB)\n", "peak memory launcher / floor",
                median(result.memoryRatios(0, 1)), median(result.peakKb[0]) / 1024);
    printForeignLoad(result);
}

}  // namespace bench
