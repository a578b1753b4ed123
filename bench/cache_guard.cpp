// What the start-up cache's guard against a start that dies with its cache adds to a warm
// start: the calls a start that uses a cache makes for it (whether the last start died with
// this archive, the mark prepared for the VM's abort hook, the mark cleared at the end), timed
// (what startupCacheEnded does when no start died), timed in the process on a cache laid out as
// a warm start finds it. Prints the median of rounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "vm/startup_cache_files.h"

int main() {
    std::string directory = BENCH_WORK_DIR "/cache-guard";
    platform::makeDirectories(directory);
    startup_cache::CacheFiles files;
    files.proof = directory + "/app-key.ok";
    files.crashed = directory + "/app-key.crashed";
    std::string archive = directory + "/app-key.jsa";
    std::ofstream(archive, std::ios::binary) << std::string(1 << 20, 'a');
    startup_cache::recordProof(files, archive);
    const int kCalls = 2000, kRounds = 21;
    std::vector<double> perStart, cpuPerStart;
    for (int round = 0; round < kRounds; ++round) {
        auto begin = std::chrono::steady_clock::now();
        std::clock_t cpuBegin = std::clock();
        for (int call = 0; call < kCalls; ++call) {
            // As a warm start: no mark found, one prepared, none to clear at its end.
            if (startup_cache::crashesOf(files, archive).withThisArchive) std::abort();
            if (startup_cache::crashRecord(files, archive).empty()) std::abort();
            if (platform::privateFileStamp(files.crashed)) std::abort();
        }
        std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - begin;
        perStart.push_back(took.count() / kCalls);
        cpuPerStart.push_back(1e6 * static_cast<double>(std::clock() - cpuBegin) / CLOCKS_PER_SEC / kCalls);
    }
    // Processor time leaves out the time the process waited while others ran.
    std::sort(perStart.begin(), perStart.end());
    std::sort(cpuPerStart.begin(), cpuPerStart.end());
    std::printf("start-up cache guard on a warm start: %.1f us wall, %.1f us processor (medians of %d rounds of %d)\n",
                perStart[kRounds / 2], cpuPerStart[kRounds / 2], kRounds, kCalls);
    return 0;
}
