// Figures 2 and 3: the launcher's own work, on a VM library that costs nothing (the tests' VM
// library built as the null VM), against a bare process start, and how it grows with
// configuration lines, jars and application arguments.
#include <cstdio>
#include <string>
#include <vector>

#include "figures.h"
#include "files.h"
#include "machine.h"

namespace bench {

namespace {

/// One installation on the null VM: bin/<name> and bin/<name>.conf.
struct OwnLaunch {
    Command command;
    long options = 0;           ///< JNI options the VM must receive
    long classPathEntries = 0;  ///< non-empty class-path entries the VM must receive
    long arguments = 0;         ///< application arguments main must receive
    long units = 0;             ///< lines, jars or arguments this launch adds to the base
};

struct OwnInstall {
    std::string root, bin;
};

/// The Java runtime the null VM stands in: bin/java, lib/jvm.cfg, lib/server/libjvm.so.
OwnInstall layOutOwn(const Paths& paths, const std::vector<long>& jarCounts) {
    OwnInstall install;
    install.root = paths.work + "/own";
    install.bin = install.root + "/bin";
    makeDirs(install.bin);
    makeDirs(install.root + "/classes");
    makeDirs(install.root + "/jdk/bin");
    makeDirs(install.root + "/jdk/lib/server");
    writeFile(install.root + "/jdk/bin/java", "", 0755);
    writeFile(install.root + "/jdk/lib/jvm.cfg", "-server KNOWN\n-client IGNORE\n");
    copyFile(paths.nullJvm, install.root + "/jdk/lib/server/libjvm.so", 0755);
    for (long count : jarCounts) {
        std::string dir = install.root + "/lib-" + std::to_string(count);
        makeDirs(dir);
        // The launcher lists the names only; the null VM never opens them.
        for (long i = 1; i <= count; ++i) writeFile(dir + numbered("/lib-", i, ".jar"), "");
    }
    return install;
}

const int kHeaderLines = 5;
const char kEnvVariable[] = "BENCH_APP_SETTING=some value";

/// A configuration of `totalLines` lines (at least the five header lines) over the jars of
/// ../lib-<jars>. The lines after the header mix what real files hold: comments, blank
/// lines, options, class-path entries, native paths, an environment variable, a repeated
/// main class, names in other letter cases and tab-separated values.
OwnLaunch writeOwnConfig(const OwnInstall& install, const Paths& paths, const std::string& name, long totalLines,
                         long jars) {
    OwnLaunch launch;
    std::string text;
    text += "SetJavaHome ../jdk\n";
    text += "SetJavaVM server\n";
    text += "SetMainClass bench.Hello\n";
    text += "AddJavaLibFile ../classes\n";
    text += "AddJavaLibPath ../lib-" + std::to_string(jars) + "\n";
    launch.classPathEntries = 1 + jars + 2;  // classes, the jars, the runtime's tools.jar and dt.jar
    launch.options = 3;                      // the library path, the configuration path, the class path
    for (long line = kHeaderLines; line < totalLines; ++line) {
        long i = line - kHeaderLines;
        switch (i % 10) {
            case 0: text += "# Settings group " + std::to_string(i / 10) + ": options, paths and a comment\n"; break;
            case 1: text += "AddVMOption -Dbench.option." + std::to_string(i) + "=value-" + std::to_string(i) + "\n";
                    ++launch.options; break;
            case 2: text += "AddJavaLibFile ../classes/extra-" + std::to_string(i) + ".jar\n";
                    ++launch.classPathEntries; break;
            case 3: text += "\n"; break;
            case 4: text += "AddNativeCodePath ../native/dir-" + std::to_string(i) + "\n"; break;
            case 5: text += "  AddVMOption\t-Dbench.spaced." + std::to_string(i) + "=a b c  \r\n";
                    ++launch.options; break;
            case 6: text += "RegisterEnvVar BENCH_APP_SETTING\n"; ++launch.options; break;
            case 7: text += "SetMainClass bench.Hello\n"; break;
            case 8: text += "addjavalibfile ../lib-extra/x-" + std::to_string(i) + ".jar\n";
                    ++launch.classPathEntries; break;
            default: text += "ADDVMOPTION -Xss1m\n"; ++launch.options; break;
        }
    }
    writeFile(install.bin + "/" + name + ".conf", text);
    std::string executable = install.bin + "/" + name;
    linkExecutable(paths.launcher, executable);
    launch.command.argv = {executable};
    launch.command.cwd = install.bin;
    // The start journal goes to the installation's own settings folder, not the user's.
    launch.command.env = {kEnvVariable, "XDG_CONFIG_HOME=" + install.root + "/settings"};
    launch.command.label = name;
    return launch;
}

/// `count` application arguments: mostly relative file names (which the launcher resolves
/// against the start directory and tests for existence), every tenth an option-like text.
std::vector<std::string> applicationArguments(long count) {
    std::vector<std::string> args;
    for (long i = 0; i < count; ++i)
        args.push_back(i % 10 == 9 ? numbered("-app-flag-", i, "") : numbered("document-", i, ".txt"));
    return args;
}

std::string expectedNullVmLine(const OwnLaunch& launch) {
    return "nulljvm options=" + std::to_string(launch.options) + " classpath=" +
           std::to_string(launch.classPathEntries) + " main=bench/Hello args=" + std::to_string(launch.arguments) +
           " set=" + std::to_string(launch.arguments) + "\n";
}

void checkOwn(const OwnLaunch& launch, const std::string& scratch) {
    Command checked = launch.command;
    checked.env.push_back("FAKEJVM_NULL_REPORT=1");
    expectRun(checked, expectedNullVmLine(launch), scratch);
}

struct ScaleRow {
    long units = 0;
    double ratio = 0;        ///< wall time against the base launch
    double wallPerUnit = 0;  ///< median paired wall-time difference per unit
    double cpuPerUnit = 0;   ///< median paired CPU-time difference per unit
    double cpuError = 0;     ///< its standard error
    bool resolved = false;   ///< the CPU difference is more than three standard errors
    double extraKb = 0;
};

/// Each launch against the base launch, in pairs. The cost per unit is the median paired
/// difference divided by the units the launch adds. Growth is judged on CPU time, which
/// does not count the time a process waits while others run; wall time is shown beside it.
std::vector<ScaleRow> scale(const std::vector<OwnLaunch>& launches, const OwnLaunch& base, int rounds) {
    std::vector<ScaleRow> rows;
    for (const OwnLaunch& launch : launches) {
        Rounds result = measure({launch.command, base.command}, rounds, 2);
        std::vector<double> cpu;
        for (std::size_t r = 0; r < result.cpuSeconds[0].size(); ++r)
            cpu.push_back(result.cpuSeconds[0][r] - result.cpuSeconds[1][r]);
        ScaleRow row;
        double units = static_cast<double>(launch.units);
        row.units = launch.units;
        row.ratio = median(result.ratios(0, 1));
        row.wallPerUnit = median(result.differences(0, 1)) / units;
        row.cpuPerUnit = median(cpu) / units;
        row.cpuError = medianError(cpu) / units;
        row.resolved = row.cpuPerUnit > 3 * row.cpuError;
        row.extraKb = median(result.peakKb[0]) - median(result.peakKb[1]);
        rows.push_back(row);
    }
    return rows;
}

void printScale(const char* what, const char* unit, const std::vector<ScaleRow>& rows, Verdicts& verdicts) {
    std::string perUnit = std::string("per ") + unit;
    std::printf("   %10s  %-7s  %-13s  %-30s  %-7s  %s\n", what, "x base", ("wall " + perUnit).c_str(),
                ("CPU " + perUnit).c_str(), "growth", "memory per unit");
    const ScaleRow* reference = nullptr;
    for (const ScaleRow& row : rows)
        if (row.resolved && !reference) reference = &row;
    for (const ScaleRow& row : rows) {
        char cpu[64], growth[32];
        std::snprintf(cpu, sizeof cpu, "%7.1f ns +- %.1f%s", row.cpuPerUnit * 1e9, row.cpuError * 1e9,
                      row.resolved ? "" : " unresolved");
        if (reference && row.resolved)
            std::snprintf(growth, sizeof growth, "%.2f x", row.cpuPerUnit / reference->cpuPerUnit);
        else
            std::snprintf(growth, sizeof growth, "-");
        std::printf("   %10ld  %6.3f   %7.1f ns     %-30s  %-7s  %.0f bytes\n", row.units, row.ratio,
                    row.wallPerUnit * 1e9, cpu, growth, row.extraKb * 1024 / static_cast<double>(row.units));
    }
    const ScaleRow& largest = rows.back();
    if (!reference || !largest.resolved || reference == &largest) {
        std::printf("   linearity: fewer than two sizes resolved  %s\n", verdicts.check(false).c_str());
        return;
    }
    double growth = largest.cpuPerUnit / reference->cpuPerUnit;
    std::printf("   linearity: CPU cost per %s at %ld is %.2f x that at %ld (bound 2.00)  %s\n", unit, largest.units,
                growth, reference->units, verdicts.check(growth <= 2.0).c_str());
}

/// Figure 2: the 1,000-line launch over 1,000 jars and the base launch against a bare process.
void ownWorkFigure(const OwnLaunch& main, const Command& bare, const OwnLaunch& base, int rounds, Verdicts& verdicts) {
    std::printf("\n2. The launcher's own work, on a VM library that costs nothing (%d rounds, alternating)\n", rounds);
    Rounds result = measure({main.command, bare, base.command}, rounds, 3);
    std::printf("   %-48s %-44s  %-10s\n", "", "wall time: median +- its error", "CPU time");
    printRatio("1,000 lines, 1,000 jars / bare process start", result, 0, 1, 0, verdicts);
    printRatio("5 lines, no jars / bare process start", result, 2, 1, 0, verdicts);
    std::printf("   %-48s %6.3f  (%.0f KiB against %.0f KiB)\n", "peak memory, 1,000 lines and jars / bare",
                median(result.memoryRatios(0, 1)), median(result.peakKb[0]), median(result.peakKb[1]));
    printForeignLoad(result);
}

/// The start journal's cost on a warm start: the base launch, whose journal has reached its
/// bound of records already, against the same launch with the journal turned off, in pairs.
void journalFigure(const OwnLaunch& base, const std::string& scratch, int rounds) {
    OwnLaunch off = base;
    off.command.argv.push_back("--SetStartJournal=off");
    off.command.label = "base, journal off";
    checkOwn(off, scratch);
    // Warm: the folder is there and the journal at its bounds, as a used application's is:
    // each start appends its record, and one in every dozen or so cuts the journal down.
    for (int i = 0; i < 60; ++i) checkOwn(base, scratch);
    std::printf("\n2b. The start journal on a warm start: the base launch against it with the journal off, %d pairs\n",
                rounds);
    Rounds result = measure({base.command, off.command}, rounds, 2);
    std::vector<double> cpu;
    for (std::size_t r = 0; r < result.cpuSeconds[0].size(); ++r)
        cpu.push_back(result.cpuSeconds[0][r] - result.cpuSeconds[1][r]);
    std::vector<double> wall = result.differences(0, 1);
    std::printf("   journal on less off: wall %.3f ms +- %.3f, CPU %.3f ms +- %.3f (goal: under 0.3 ms)\n",
                median(wall) * 1e3, medianError(wall) * 1e3, median(cpu) * 1e3, medianError(cpu) * 1e3);
    printForeignLoad(result);
}

/// The scaling series, each launch checked: configuration lines (no jars), jars (5-line
/// configuration), and application arguments added to the base launch.
struct Series {
    std::vector<OwnLaunch> lines, jars, args;
};

Series scalingSeries(const OwnInstall& install, const Paths& paths, const OwnLaunch& base, bool quick) {
    std::vector<long> lineSizes = quick ? std::vector<long>{1000, 10000} : std::vector<long>{1000, 10000, 100000};
    std::vector<long> jarSizes = quick ? std::vector<long>{100, 1000} : std::vector<long>{100, 1000, 10000};
    std::vector<long> argSizes = quick ? std::vector<long>{10, 100, 1000} : std::vector<long>{10, 100, 1000, 10000};
    Series series;
    for (long size : lineSizes) {
        OwnLaunch launch = writeOwnConfig(install, paths, "lines-" + std::to_string(size), size, 0);
        launch.units = size - kHeaderLines;
        series.lines.push_back(launch);
    }
    for (long size : jarSizes) {
        OwnLaunch launch = writeOwnConfig(install, paths, "jars-" + std::to_string(size), kHeaderLines, size);
        launch.units = size;
        series.jars.push_back(launch);
    }
    for (long size : argSizes) {
        OwnLaunch launch = base;
        std::vector<std::string> extra = applicationArguments(size);
        launch.command.argv.insert(launch.command.argv.end(), extra.begin(), extra.end());
        launch.command.label = "base with " + std::to_string(size) + " arguments";
        launch.arguments = size;
        launch.units = size;
        series.args.push_back(launch);
    }
    for (const std::vector<OwnLaunch>* launches : {&series.lines, &series.jars, &series.args})
        for (const OwnLaunch& launch : *launches) checkOwn(launch, paths.work);
    return series;
}

/// Figure 3: each size of each series against the base launch.
void scalingFigure(const OwnInstall& install, const Paths& paths, const OwnLaunch& base, bool quick, int rounds,
                   Verdicts& verdicts) {
    std::printf("\n3. Scaling of the launcher's own work: each size against the base launch, %d pairs each\n", rounds);
    Series series = scalingSeries(install, paths, base, quick);
    ForeignLoad load;
    load.start();
    std::printf("   configuration lines (after the 5-line header; no jars)\n");
    printScale("lines", "line", scale(series.lines, base, rounds), verdicts);
    std::printf("   jars in the AddJavaLibPath directory (5-line configuration)\n");
    printScale("jars", "jar", scale(series.jars, base, rounds), verdicts);
    std::printf("   application arguments (5-line configuration, no jars)\n");
    printScale("arguments", "argument", scale(series.args, base, rounds), verdicts);
    std::printf("   (other processes used %.0f%% of the CPUs meanwhile)\n", 100 * load.share());
}

}  // namespace

void ownFigures(const Paths& paths, const Settings& settings, int rounds, Verdicts& verdicts) {
    OwnInstall install = layOutOwn(paths, {0, 100, 1000, 10000});
    OwnLaunch base = writeOwnConfig(install, paths, "base", kHeaderLines, 0);
    OwnLaunch main = writeOwnConfig(install, paths, "main", 1000, 1000);
    writeOwnConfig(install, paths, "profile", 100000, 10000);  // for bench/profile.sh
    Command bare{{paths.bare}, install.bin, {kEnvVariable}, "the bare program"};
    if (settings.layoutOnly) {
        std::printf("laid out %s: bin/profile reads a 100,000-line configuration over 10,000 jars\n",
                    install.root.c_str());
        return;
    }
    checkOwn(base, paths.work);
    checkOwn(main, paths.work);
    expectRun(bare, "", paths.work);
    ownWorkFigure(main, bare, base, rounds, verdicts);
    journalFigure(base, paths.work, rounds);
    scalingFigure(install, paths, base, settings.quick, rounds, verdicts);
}

}  // namespace bench
