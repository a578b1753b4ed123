// The launcher's benchmark. Every figure is a ratio of two programs timed side by side in the
// same run: alternating (or rotating) order, the median of many rounds. The programs are
// started with fork/exec and reaped with wait4, which gives the wall time of each process and
// its peak resident memory.
//
//   bench_driver [--quick] [--rounds N] [--only java|own|cache] [--launcher PATH] [--dump] [--layout-only]
//
// Full mode enforces the bounds (exit code 1 when one is missed); --quick runs fewer rounds
// and sizes and only marks misses. A launch that does not do what it should (wrong output,
// wrong exit code, a VM that did not receive what the configuration says) ends the run with
// exit code 2 in either mode. --only runs one group of figures, --launcher measures another
// build of the launcher than the one this tree built, --dump writes every sample
// on stderr, and --layout-only lays out the installations and stops, for profiling
// (bench/profile.sh).
//
// The figures live in a file each by what they measure (see figures.h); the rounds, their
// statistics and the report lines they share are in rounds.h.
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "figures.h"
#include "files.h"
#include "machine.h"

using namespace bench;

namespace {

Settings parseSettings(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--quick")
            settings.quick = true;
        else if (arg == "--layout-only")
            settings.layoutOnly = true;
        else if (arg == "--rounds" && i + 1 < argc)
            settings.rounds = std::atoi(argv[++i]);
        else if (arg == "--launcher" && i + 1 < argc)
            settings.launcher = argv[++i];
        else if (arg == "--dump")
            dumpSamples = true;
        else if (arg == "--only" && i + 1 < argc)
            settings.section = argv[++i];
        else
            fatal("usage: bench_driver [--quick] [--rounds N] [--only java|own|cache] [--launcher PATH] [--dump] [--layout-only]");
    }
    return settings;
}

/// The heading: the mode, the machine, and whether the benchmark runs ahead of other work.
void printHeading(const Settings& settings) {
    long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("Launcher benchmark, %s mode: every figure is a median of paired or rotated rounds in this run\n",
                settings.quick ? "quick (bounds reported, not enforced)" : "full (bounds enforced)");
    // Other work on the machine disturbs the figures less when the benchmark runs ahead of it.
    errno = 0;
    bool raised = ::setpriority(PRIO_PROCESS, 0, -10) == 0;
    std::printf("machine: %ld CPUs; at start: %s; benchmark priority: %s\n", cpus, machineState().c_str(),
                raised ? "nice -10" : "normal");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings = parseSettings(argc, argv);
    Paths paths{BENCH_LAUNCHER, BENCH_FLOOR, BENCH_TRUE, BENCH_NULLJVM, BENCH_HELLO_CLASS, BENCH_JDK_HOME, BENCH_WORK_DIR};
    if (!settings.launcher.empty()) paths.launcher = settings.launcher;
    removeTree(paths.work);
    makeDirs(paths.work);
    Verdicts verdicts;
    verdicts.quick = settings.quick;
    if (settings.layoutOnly) {
        ownFigures(paths, settings, 0, verdicts);
        return 0;
    }

    int javaRounds = settings.rounds ? settings.rounds : settings.quick ? 11 : 101;
    int ownRounds = settings.rounds ? settings.rounds : settings.quick ? 15 : 61;
    printHeading(settings);
    if (settings.section.empty() || settings.section == "java") javaFigures(paths, javaRounds, verdicts);
    std::fflush(stdout);
    if (settings.section != "java" && settings.section != "cache") ownFigures(paths, settings, ownRounds, verdicts);
    std::fflush(stdout);
    if (settings.section.empty() || settings.section == "cache") cacheFigures(paths, settings, verdicts);

    std::printf("\nat end: %s\n", machineState().c_str());
    if (verdicts.misses == 0)
        std::printf("all bounds met\n");
    else
        std::printf("%d bound(s) missed%s\n", verdicts.misses, settings.quick ? " (quick mode: not enforced)" : "");
    return verdicts.misses > 0 && !settings.quick ? 1 : 0;
}
