// What a start costs that hands its arguments to the running instance of its application,
// against a plain start of the same application (-multi) on the build's JDK: paired rounds in
// alternating order, the median of each. Prints the figures and fails (exit 1) when the
// forwarding start's median is over 50 ms or a launch fails.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

extern char** environ;

namespace {

constexpr int kRounds = 51;
constexpr double kBoundMs = 50.0;

pid_t spawn(const std::string& program, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

/// Wall time of one launch in milliseconds; negative when it did not end with 0.
double timedLaunch(const std::string& program, const std::vector<std::string>& args) {
    auto start = std::chrono::steady_clock::now();
    pid_t child = spawn(program, args);
    int status = -1;
    bool ran = child > 0 && waitpid(child, &status, 0) == child;
    auto end = std::chrono::steady_clock::now();
    if (!ran || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double, std::milli>(end - start).count();
}

bool socketAppears(const fs::path& directory) {
    for (int i = 0; i < 400; ++i) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(directory, ec))
            if (entry.path().extension() == ".sock") return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    fs::path work = fs::path(BENCH_WORK_DIR) / "single-instance";
    fs::remove_all(work);
    fs::create_directories(work / "bin");
    ::mkdir((work / "run").c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", (work / "run").c_str(), 1);
    std::string program = (work / "bin/app").string();
    fs::copy_file(BENCH_LAUNCHER, program);
    std::ofstream(work / "bin/app.conf") << "SetJavaHome " BENCH_JDK_HOME "\nSetJavaVM server\nAddJavaLibFile "
                                         << fs::path(BENCH_FORWARDED_CLASS).parent_path().string()
                                         << "\nSetMainClass Forwarded\nSetSingleInstance Forwarded.open\n";
    pid_t instance = spawn(program, {program, "-nomsgbox", "stay"});
    if (instance <= 0 || !socketAppears(work / "run")) {
        std::fprintf(stderr, "the running instance did not start\n");
        return 1;
    }
    // Beside them, a program that does nothing: what starting any process costs on this machine.
    std::vector<double> forwarded, plain, bare;
    bool failed = false;
    for (int round = 0; round < kRounds && !failed; ++round) {
        // Alternating which goes first, so that neither gains from the other's warm caches.
        for (int turn = 0; turn < 2; ++turn) {
            bool forwarding = (round + turn) % 2 == 0;
            double ms = timedLaunch(program, {program, "-nomsgbox", forwarding ? "file.txt" : "-multi"});
            failed = failed || ms < 0;
            (forwarding ? forwarded : plain).push_back(ms);
        }
        bare.push_back(timedLaunch(BENCH_TRUE, {BENCH_TRUE}));
    }
    ::kill(instance, SIGKILL);
    ::waitpid(instance, nullptr, 0);
    if (failed) {
        std::fprintf(stderr, "a launch failed\n");
        return 1;
    }
    double forwarding = median(forwarded);
    std::printf("Forwarding start: %.1f ms, plain start of the same application: %.1f ms, a program that does nothing: "
                "%.1f ms (medians of %d paired rounds; bound %.0f ms)\n",
                forwarding, median(plain), median(bare), kRounds, kBoundMs);
    return forwarding <= kBoundMs ? 0 : 1;
}
