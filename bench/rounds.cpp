// Programs timed side by side in rounds, the statistics of their ratios, and the report.
#include "rounds.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "files.h"
#include "machine.h"

namespace bench {

std::vector<double> Rounds::ratiosOf(const std::vector<std::vector<double>>& values, std::size_t a, std::size_t b) {
    std::vector<double> out;
    for (std::size_t r = 0; r < values[a].size(); ++r)
        out.push_back(values[b][r] > 0 ? values[a][r] / values[b][r] : NAN);
    return out;
}

std::vector<double> Rounds::differences(std::size_t a, std::size_t b) const {
    std::vector<double> out;
    for (std::size_t r = 0; r < seconds[a].size(); ++r) out.push_back(seconds[a][r] - seconds[b][r]);
    return out;
}

bool dumpSamples = false;

Rounds measure(const std::vector<Command>& commands, int rounds, int warmups) {
    Rounds result;
    result.seconds.resize(commands.size());
    result.peakKb.resize(commands.size());
    result.cpuSeconds.resize(commands.size());
    std::size_t n = commands.size();
    ForeignLoad load;
    for (int r = -warmups; r < rounds; ++r) {
        if (r == 0) load.start();
        std::vector<std::size_t> order(n);
        std::size_t round = static_cast<std::size_t>(r + warmups);
        for (std::size_t k = 0; k < n; ++k) order[k] = (k + round / 2) % n;
        if (round % 2) std::reverse(order.begin(), order.end());
        for (std::size_t index : order) {
            Sample sample = run(commands[index]);
            if (sample.exitCode != 0)
                fatal(commands[index].label + " exited with " + std::to_string(sample.exitCode) + ": " +
                      describe(commands[index]));
            if (r < 0) continue;
            if (dumpSamples)
                std::fprintf(stderr, "sample round %d %s %.6f s %ld KiB\n", r, commands[index].label.c_str(),
                             sample.seconds, sample.peakKb);
            result.seconds[index].push_back(sample.seconds);
            result.peakKb[index].push_back(static_cast<double>(sample.peakKb));
            result.cpuSeconds[index].push_back(sample.cpuSeconds);
        }
    }
    result.foreignShare = load.share();
    return result;
}

std::string Verdicts::check(bool met) {
    if (met) return "ok";
    ++misses;
    return quick ? "MISS (quick mode: not enforced)" : "MISS";
}

void printForeignLoad(const Rounds& rounds) {
    std::printf("   (other processes used %.0f%% of the CPUs meanwhile)\n", 100 * rounds.foreignShare);
}

namespace {

std::string formatRatio(const std::vector<double>& ratios) {
    char text[96];
    std::snprintf(text, sizeof text, "%6.3f +- %.3f  (quartiles %.3f .. %.3f)", median(ratios), medianError(ratios),
                  quantile(ratios, 0.25), quantile(ratios, 0.75));
    return text;
}

}  // namespace

void printRatio(const char* label, const Rounds& rounds, std::size_t a, std::size_t b, double bound,
                Verdicts& verdicts) {
    std::vector<double> wall = rounds.ratios(a, b);
    std::string verdict;
    if (bound > 0) {
        char text[64];
        double allowed = boundWithNoise(wall, bound);
        std::snprintf(text, sizeof text, "<= %.2f (+ noise: %.3f)  ", bound, allowed);
        verdict = text + verdicts.check(median(wall) <= allowed);
    }
    std::printf("   %-48s %s  cpu %6.3f  %s\n", label, formatRatio(wall).c_str(), median(rounds.cpuRatios(a, b)),
                verdict.c_str());
}

}  // namespace bench
