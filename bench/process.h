// Starting the programs the benchmark measures: one run, timed, and the check that a run did
// what it should.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct Command {
    std::vector<std::string> argv;  ///< argv[0] is the program's path
    std::string cwd;
    std::vector<std::string> env;  ///< added to the driver's environment
    std::string label;
};

struct Sample {
    double seconds = 0;
    double cpuSeconds = 0;  ///< user and system time of all the process's threads
    long peakKb = 0;
    int exitCode = -1;
};

/// Runs the command to its end with fork/exec and wait4: its wall time from the monotonic
/// clock, its CPU time and peak memory from the rusage. Standard input is /dev/null; standard
/// output and error go to the named files, or to /dev/null when they are empty. The child's
/// environment is the driver's without the variables through which the JDK's launcher or
/// the VM would pick up options of their own, plus the command's additions.
Sample run(const Command& command, const std::string& outFile = "", const std::string& errFile = "");

/// What a check run printed.
struct Output {
    int exitCode = -1;
    std::string out, err;
};

/// Runs the command once with its output captured in files of the scratch directory.
Output capture(const Command& command, const std::string& scratch);

/// The command for a message: its directory and its first arguments.
std::string describe(const Command& command);

/// Runs the command once and ends the benchmark unless it exits with 0, prints exactly
/// `expectedOut` and on stderr exactly `expectedErr` (nothing, unless named).
void expectRun(const Command& command, const std::string& expectedOut, const std::string& scratch,
               const std::string& expectedErr = "");

/// The same check, for a run that is timed as well: its wall time.
double timedCheck(const Command& command, const std::string& expectedOut, const std::string& scratch,
                  const std::string& expectedErr = "");

}  // namespace bench
