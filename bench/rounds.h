// What every figure shares: programs timed side by side in rounds, the statistics of their
// ratios, and the lines of the report with their bounds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "process.h"
#include "statistics.h"

namespace bench {

// ---- Rounds --------------------------------------------------------------------------------

/// The times of several commands measured in rounds: each round runs every command once, in
/// an order that changes from round to round (shifted by one each round, and reversed every
/// other round), so that no command always comes first or always follows the same other.
struct Rounds {
    std::vector<std::vector<double>> seconds;     ///< [command][round]
    std::vector<std::vector<double>> peakKb;      ///< [command][round]
    std::vector<std::vector<double>> cpuSeconds;  ///< [command][round]
    double foreignShare = 0;                      ///< share of the CPUs other processes used meanwhile

    /// Per round: the wall time, CPU time or peak memory of command a over command b's.
    std::vector<double> ratios(std::size_t a, std::size_t b) const { return ratiosOf(seconds, a, b); }
    std::vector<double> cpuRatios(std::size_t a, std::size_t b) const { return ratiosOf(cpuSeconds, a, b); }
    std::vector<double> memoryRatios(std::size_t a, std::size_t b) const { return ratiosOf(peakKb, a, b); }
    static std::vector<double> ratiosOf(const std::vector<std::vector<double>>& values, std::size_t a, std::size_t b);
    /// Per round: the wall time of command a less command b's.
    std::vector<double> differences(std::size_t a, std::size_t b) const;
};

/// --dump: every timed sample on stderr.
extern bool dumpSamples;

/// Runs the commands in `warmups` uncounted rounds, then in `rounds` counted ones. A command
/// that exits with another code than 0 ends the benchmark.
Rounds measure(const std::vector<Command>& commands, int rounds, int warmups);

// ---- Reporting -----------------------------------------------------------------------------

/// The bounds met and missed in a run.
struct Verdicts {
    bool quick = false;
    int misses = 0;

    /// "ok", or a marked miss.
    std::string check(bool met);
};

/// What else ran on the machine while a figure was measured.
void printForeignLoad(const Rounds& rounds);

/// One line of a figure: the median wall-time ratio of command a to command b over the
/// rounds, its quartiles, the CPU-time ratio beside it, and the verdict when there is a bound
/// (bound 0: none).
void printRatio(const char* label, const Rounds& rounds, std::size_t a, std::size_t b, double bound,
                Verdicts& verdicts);

}  // namespace bench
