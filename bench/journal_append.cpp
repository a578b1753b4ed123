// What the start journal costs a start, timed in the process: a start's record of the usual
// size appended to a journal already at its bounds, as every warm start of a used application
// finds it; the cuts that come once in every stretch of appends are counted in. Prints the
// medians of rounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "launcher/start_journal.h"
#include "platform/files.h"

int main() {
    std::string directory = BENCH_WORK_DIR "/journal-append";
    platform::removeTree(directory);
    if (!platform::makeDirectories(directory)) return 2;
    std::string file = directory + "/app.log";
    // The record of the benchmark's base launch on the null VM, of about 600 bytes.
    std::string record = "start 2026-12-10 09:14:03 UTC\nlauncher: 1.0.0 /opt/app/bin/app\n"
                         "configuration: /opt/app/bin/app.conf\n"
                         "user settings: /home/ann/.config/app/app.conf not there\n"
                         "runtime: /opt/app/jre, version 17.0.9\nVM library: /opt/app/jre/lib/server/libjvm.so\n";
    for (const char* option : {"-Xss1m", "-Dbench.one=1", "-Dbench.two=2", "-Dbench.three=3",
                               "-Djava.class.path=/opt/app/lib/app.jar:/opt/app/classes"})
        record += std::string("VM option: ") + option + "\n";
    record += "startup cache: off\nsingle instance: off\nsplash screen: none\nexit: 0 after 1.2 ms\n\n";
    for (int i = 0; i < 60; ++i)
        if (!appendToJournal(file, record).empty()) return 2;
    const int kCalls = 2000, kRounds = 21;
    std::vector<double> perStart, cpuPerStart;
    for (int round = 0; round < kRounds; ++round) {
        auto begin = std::chrono::steady_clock::now();
        std::clock_t cpuBegin = std::clock();
        for (int call = 0; call < kCalls; ++call)
            if (!appendToJournal(file, record).empty()) return 2;
        std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - begin;
        perStart.push_back(took.count() / kCalls);
        cpuPerStart.push_back(1e6 * static_cast<double>(std::clock() - cpuBegin) / CLOCKS_PER_SEC / kCalls);
    }
    // Processor time leaves out the time the process waited while others ran.
    std::sort(perStart.begin(), perStart.end());
    std::sort(cpuPerStart.begin(), cpuPerStart.end());
    std::printf("start journal, a %zu-byte record to a full journal: %.1f us wall (%.1f to %.1f), %.1f us processor "
                "(%.1f to %.1f): medians and quartiles of %d rounds of %d\n",
                record.size(), perStart[kRounds / 2], perStart[kRounds / 4], perStart[kRounds * 3 / 4],
                cpuPerStart[kRounds / 2], cpuPerStart[kRounds / 4], cpuPerStart[kRounds * 3 / 4], kRounds, kCalls);
    platform::removeTree(directory);
    return 0;
}
