// What the search for an installed Java adds to a start: the launcher started on the null VM
// with the runtime configured (SetJavaHome), and started with SetJavaVersion over 30
// candidate runtimes of one of the application's own places, 29 too old and one that fits.
// Both launches end in the same runtime; the median of the paired differences is the search's
// cost. Prints the figure and fails (exit 1) when it is over 5 ms or a launch fails.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "process.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCandidates = 30;
constexpr int kRounds = 200;
constexpr double kBoundMs = 5.0;

void writeFile(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

/// 30 runtimes below `places`, each with the null VM; the last one is the only Java 17.
void makeRuntimes(const fs::path& places) {
    for (int i = 0; i < kCandidates; ++i) {
        fs::path home = places / ("jdk-" + std::to_string(i));
        writeFile(home / "bin/java", "");
        writeFile(home / "lib/jvm.cfg", "-server KNOWN\n");
        writeFile(home / "release", std::string("JAVA_VERSION=\"") + (i + 1 == kCandidates ? "17.0.1" : "11.0.1") + "\"\n");
        fs::create_directories(home / "lib/server");
        fs::copy_file(BENCH_NULLJVM, home / "lib/server/libjvm.so", fs::copy_options::overwrite_existing);
    }
}

/// Wall time of one launch in milliseconds; negative when it did not end with 0.
double timedLaunch(const std::string& program, const std::string& config) {
    bench::Sample sample = bench::run({{program, "-nomsgbox", "-conf", config}, fs::path(program).parent_path().string(), {}, "java search"});
    return sample.exitCode == 0 ? sample.seconds * 1000 : -1;
}

}  // namespace

int main() {
    fs::path work = fs::path(BENCH_WORK_DIR) / "java-search";
    fs::remove_all(work);
    makeRuntimes(work / "runtimes");
    fs::create_directories(work / "bin");
    std::string program = (work / "bin/app").string();
    fs::copy_file(BENCH_LAUNCHER, program);
    std::string configured = (work / "bin/configured.conf").string();
    std::string searched = (work / "bin/searched.conf").string();
    writeFile(configured, "SetJavaVM server\nSetMainClass Hello\nSetJavaHome " + (work / "runtimes/jdk-29").string() + "\n");
    writeFile(searched, "SetJavaVM server\nSetMainClass Hello\nSetJavaVersion 17\nAddJavaSearchPath " +
                            (work / "runtimes").string() + "/*\n");
    std::vector<double> differences;
    for (int round = 0; round < kRounds; ++round) {
        // Alternating which goes first, so that neither gains from the other's warm caches.
        double a = round % 2 ? timedLaunch(program, configured) : -2;
        double b = timedLaunch(program, searched);
        if (a == -2) a = timedLaunch(program, configured);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "a launch failed\n");
            return 1;
        }
        differences.push_back(b - a);
    }
    std::sort(differences.begin(), differences.end());
    double median = differences[differences.size() / 2];
    std::printf("Java search over %d candidates adds %.3f ms to a start (median of %d pairs; bound %.1f ms)\n",
                kCandidates, median, kRounds, kBoundMs);
    return median <= kBoundMs ? 0 : 1;
}
