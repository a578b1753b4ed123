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
#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// ---- What the build hands over -------------------------------------------------------------

struct Paths {
    std::string launcher = BENCH_LAUNCHER;
    std::string floor = BENCH_FLOOR;
    std::string bare = BENCH_TRUE;
    std::string nullJvm = BENCH_NULLJVM;
    std::string helloClass = BENCH_HELLO_CLASS;
    std::string jdk = BENCH_JDK_HOME;
    std::string work = BENCH_WORK_DIR;
};

struct Settings {
    bool quick = false;
    bool layoutOnly = false;
    int rounds = 0;       // 0: the mode's default
    std::string section;   // "java", "own" or empty for both
    std::string launcher;  // another build of the launcher to measure
};

[[noreturn]] void fatal(const std::string& text) {
    std::fprintf(stderr, "bench: %s\n", text.c_str());
    std::exit(2);
}

// ---- Files ---------------------------------------------------------------------------------

void makeDirs(const std::string& path) {
    std::string partial;
    std::stringstream parts(path);
    std::string part;
    if (!path.empty() && path[0] == '/') partial = "/";
    while (std::getline(parts, part, '/')) {
        if (part.empty()) continue;
        partial += part + "/";
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) fatal("cannot create " + partial);
    }
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

void removeTree(const std::string& path) {
    if (::access(path.c_str(), F_OK) != 0) return;
    if (::nftw(path.c_str(), removeEntry, 32, FTW_DEPTH | FTW_PHYS) != 0) fatal("cannot remove " + path);
}

void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) fatal("cannot write " + path);
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n <= 0) fatal("cannot write " + path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void copyFile(const std::string& from, const std::string& to, mode_t mode) {
    std::ifstream in(from, std::ios::binary);
    if (!in) fatal("cannot read " + from);
    std::stringstream bytes;
    bytes << in.rdbuf();
    writeFile(to, bytes.str(), mode);
}

/// A second name for the launcher, so every installation runs the same file (and the same
/// cached pages); a copy where links are not possible.
void linkExecutable(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) != 0) copyFile(from, to, 0755);
}

// ---- Jars ----------------------------------------------------------------------------------

std::uint32_t crc32(const std::string& data) {
    static std::uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : data) c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

/// A valid jar of stored (uncompressed) entries: a manifest and one resource.
std::string makeJar(const std::vector<std::pair<std::string, std::string>>& entries) {
    const unsigned kDosTime = 0, kDosDate = (45 << 9) | (1 << 5) | 1;  // 2025-01-01
    std::string out, central;
    for (const auto& entry : entries) {
        // Named references, not a structured binding: C++17 lambdas cannot capture those.
        const std::string& name = entry.first;
        const std::string& data = entry.second;
        std::uint32_t offset = static_cast<std::uint32_t>(out.size()), crc = crc32(data);
        auto common = [&](std::string& header) {
            put16(header, 10);  // version needed
            put16(header, 0);   // flags
            put16(header, 0);   // stored
            put16(header, kDosTime);
            put16(header, kDosDate);
            put32(header, crc);
            put32(header, static_cast<std::uint32_t>(data.size()));
            put32(header, static_cast<std::uint32_t>(data.size()));
            put16(header, static_cast<unsigned>(name.size()));
            put16(header, 0);  // extra length
        };
        put32(out, 0x04034b50);
        common(out);
        out += name;
        out += data;
        put32(central, 0x02014b50);
        put16(central, 20);  // made by
        common(central);
        put16(central, 0);  // comment length
        put16(central, 0);  // disk
        put16(central, 0);  // internal attributes
        put32(central, 0);  // external attributes
        put32(central, offset);
        central += name;
    }
    std::uint32_t centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(entries.size()));
    put16(out, static_cast<unsigned>(entries.size()));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

std::string numbered(const char* prefix, long index, const char* suffix) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%05ld%s", prefix, index, suffix);
    return text;
}

// ---- Processes -----------------------------------------------------------------------------

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

/// The child's environment: the driver's, without the variables through which the JDK's
/// own launcher or the VM would pick up options of their own, plus the command's additions.
std::vector<std::string> childEnvironment(const Command& command) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        if (text.rfind("JAVA_TOOL_OPTIONS=", 0) == 0 || text.rfind("_JAVA_OPTIONS=", 0) == 0 ||
            text.rfind("JDK_JAVA_OPTIONS=", 0) == 0 || text.rfind("BENCH_", 0) == 0)
            continue;
        env.push_back(text);
    }
    env.insert(env.end(), command.env.begin(), command.env.end());
    return env;
}

/// Runs the command to its end. Standard output and error go to the named files, or to
/// /dev/null when they are empty.
Sample run(const Command& command, const std::string& outFile = "", const std::string& errFile = "") {
    std::vector<std::string> envText = childEnvironment(command);
    std::vector<char*> argv, envp;
    for (const std::string& arg : command.argv) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    for (const std::string& var : envText) envp.push_back(const_cast<char*>(var.c_str()));
    envp.push_back(nullptr);
    int outFd = ::open(outFile.empty() ? "/dev/null" : outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int errFd = ::open(errFile.empty() ? "/dev/null" : errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int inFd = ::open("/dev/null", O_RDONLY);
    if (outFd < 0 || errFd < 0 || inFd < 0) fatal("cannot open the output files");

    timespec start{}, end{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = ::fork();
    if (pid < 0) fatal("fork failed");
    if (pid == 0) {
        ::dup2(inFd, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        if (::chdir(command.cwd.c_str()) != 0) ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0)
        if (errno != EINTR) fatal("wait4 failed");
    ::clock_gettime(CLOCK_MONOTONIC, &end);
    ::close(outFd);
    ::close(errFd);
    ::close(inFd);

    Sample sample;
    sample.seconds = static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9;
    sample.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    sample.peakKb = usage.ru_maxrss;
    sample.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return sample;
}

/// What a check run printed.
struct Output {
    int exitCode;
    std::string out, err;
};

Output capture(const Command& command, const std::string& scratch) {
    std::string outFile = scratch + "/check.out", errFile = scratch + "/check.err";
    Sample sample = run(command, outFile, errFile);
    return {sample.exitCode, readFile(outFile), readFile(errFile)};
}

std::string describe(const Command& command) {
    std::string text = "(in " + command.cwd + ")";
    for (std::size_t i = 0; i < command.argv.size() && i < 12; ++i) text += " " + command.argv[i];
    if (command.argv.size() > 12) text += " ... (" + std::to_string(command.argv.size()) + " arguments)";
    return text;
}

/// Runs the command once and ends the benchmark unless it exits with 0, prints exactly
/// `expectedOut` and nothing on stderr.
void expectRun(const Command& command, const std::string& expectedOut, const std::string& scratch) {
    Output output = capture(command, scratch);
    if (output.exitCode == 0 && output.out == expectedOut && output.err.empty()) return;
    fatal(command.label + " did not run as expected: " + describe(command) + "\n  exit code " +
          std::to_string(output.exitCode) + "\n  stdout: " + output.out.substr(0, 2000) +
          "\n  expected: " + expectedOut + "  stderr: " + output.err.substr(0, 2000));
}

// ---- Statistics ----------------------------------------------------------------------------

double quantile(std::vector<double> values, double q) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    double at = q * static_cast<double>(values.size() - 1);
    std::size_t low = static_cast<std::size_t>(std::floor(at));
    std::size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

double median(const std::vector<double>& values) { return quantile(values, 0.5); }

/// The standard error of a median, from the spread of the values (1.4826 MAD is the normal
/// deviation; the median's error is about 1.25 times the mean's).
double medianError(const std::vector<double>& values) {
    double m = median(values);
    std::vector<double> deviations;
    for (double v : values) deviations.push_back(std::fabs(v - m));
    return 1.25 * 1.4826 * median(deviations) / std::sqrt(static_cast<double>(values.size()));
}

// ---- The machine ---------------------------------------------------------------------------

std::string loadAverage() {
    std::string text = readFile("/proc/loadavg");
    std::istringstream fields(text);
    std::string one, five, fifteen;
    fields >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

/// The share of the machine's CPU time that was busy during the next half second.
double busyShare() {
    auto sample = [] {
        std::istringstream line(readFile("/proc/stat"));
        std::string cpu;
        line >> cpu;
        std::vector<double> fields;
        double value;
        while (fields.size() < 8 && line >> value) fields.push_back(value);
        double idle = fields.size() > 4 ? fields[3] + fields[4] : 0;
        return std::pair<double, double>(std::accumulate(fields.begin(), fields.end(), 0.0), idle);
    };
    auto [total0, idle0] = sample();
    ::usleep(500000);
    auto [total1, idle1] = sample();
    double total = total1 - total0;
    return total > 0 ? 1.0 - (idle1 - idle0) / total : 0.0;
}

/// CPU seconds the whole machine has been busy since it started, from /proc/stat.
double machineBusySeconds() {
    std::istringstream line(readFile("/proc/stat"));
    std::string cpu;
    line >> cpu;
    double user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    line >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    return (user + nice + system + irq + softirq + steal) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

/// CPU seconds of this driver and of every child it has reaped.
double ownCpuSeconds() {
    auto seconds = [](int who) {
        rusage usage{};
        ::getrusage(who, &usage);
        return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    };
    return seconds(RUSAGE_SELF) + seconds(RUSAGE_CHILDREN);
}

double monotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

/// Watches for CPU time that other processes take while a block of rounds runs: the
/// machine's busy time less this driver's and its children's.
class ForeignLoad {
public:
    void start() {
        wall_ = monotonicSeconds();
        busy_ = machineBusySeconds();
        own_ = ownCpuSeconds();
    }
    double elapsed() const { return monotonicSeconds() - wall_; }
    /// The share of the machine's CPUs that other processes used since start().
    double share() const {
        double foreign = (machineBusySeconds() - busy_) - (ownCpuSeconds() - own_);
        double capacity = elapsed() * static_cast<double>(::sysconf(_SC_NPROCESSORS_ONLN));
        return capacity > 0 ? std::max(0.0, foreign / capacity) : 0.0;
    }

private:
    double wall_ = 0, busy_ = 0, own_ = 0;
};

std::string machineState() {
    char text[128];
    std::snprintf(text, sizeof text, "load %s, %.0f%% of the CPUs busy", loadAverage().c_str(), 100 * busyShare());
    return text;
}

/// The times of several commands measured in rounds: each round runs every command once, in
/// an order that changes from round to round (shifted by one each round, and reversed every
/// other round), so that no command always comes first or always follows the same other.
struct Rounds {
    std::vector<std::vector<double>> seconds;  ///< [command][round]
    std::vector<std::vector<double>> peakKb;   ///< [command][round]
    std::vector<std::vector<double>> cpuSeconds;  ///< [command][round]
    double foreignShare = 0;                   ///< share of the CPUs other processes used meanwhile

    std::vector<double> ratios(std::size_t a, std::size_t b) const { return ratiosOf(seconds, a, b); }
    std::vector<double> cpuRatios(std::size_t a, std::size_t b) const { return ratiosOf(cpuSeconds, a, b); }
    std::vector<double> memoryRatios(std::size_t a, std::size_t b) const { return ratiosOf(peakKb, a, b); }
    static std::vector<double> ratiosOf(const std::vector<std::vector<double>>& values, std::size_t a, std::size_t b) {
        std::vector<double> out;
        for (std::size_t r = 0; r < values[a].size(); ++r)
            out.push_back(values[b][r] > 0 ? values[a][r] / values[b][r] : NAN);
        return out;
    }
    std::vector<double> differences(std::size_t a, std::size_t b) const {
        std::vector<double> out;
        for (std::size_t r = 0; r < seconds[a].size(); ++r) out.push_back(seconds[a][r] - seconds[b][r]);
        return out;
    }
};

bool dumpSamples = false;  // --dump: every timed sample on stderr

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

// ---- Reporting -----------------------------------------------------------------------------

struct Verdicts {
    bool quick = false;
    int misses = 0;

    /// "ok", or a marked miss.
    std::string check(bool met) {
        if (met) return "ok";
        ++misses;
        return quick ? "MISS (quick mode: not enforced)" : "MISS";
    }
};

/// What else ran on the machine while a figure was measured.
void printForeignLoad(const Rounds& rounds) {
    std::printf("   (other processes used %.0f%% of the CPUs meanwhile)\n", 100 * rounds.foreignShare);
}

std::string formatRatio(const std::vector<double>& ratios) {
    char text[96];
    std::snprintf(text, sizeof text, "%6.3f +- %.3f  (quartiles %.3f .. %.3f)", median(ratios), medianError(ratios),
                  quantile(ratios, 0.25), quantile(ratios, 0.75));
    return text;
}

// ---- Installations -------------------------------------------------------------------------

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
    launch.command.env = {kEnvVariable};
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

// ---- The figures ---------------------------------------------------------------------------

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

/// One line of a figure: the median wall-time ratio of command a to command b over the
/// rounds, its quartiles, the CPU-time ratio beside it, and the verdict when there is a bound.
void printRatio(const char* label, const Rounds& rounds, std::size_t a, std::size_t b, double bound,
                Verdicts& verdicts) {
    std::vector<double> wall = rounds.ratios(a, b);
    std::string verdict;
    if (bound > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "<= %.2f  ", bound);
        verdict = text + verdicts.check(median(wall) <= bound);
    }
    std::printf("   %-48s %s  cpu %6.3f  %s\n", label, formatRatio(wall).c_str(), median(rounds.cpuRatios(a, b)),
                verdict.c_str());
}

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

void ownFigures(const Paths& paths, const Settings& settings, int rounds, Verdicts& verdicts) {
    std::vector<long> lineSizes = settings.quick ? std::vector<long>{1000, 10000} : std::vector<long>{1000, 10000, 100000};
    std::vector<long> jarSizes = settings.quick ? std::vector<long>{100, 1000} : std::vector<long>{100, 1000, 10000};
    std::vector<long> argSizes = settings.quick ? std::vector<long>{10, 100, 1000} : std::vector<long>{10, 100, 1000, 10000};
    std::vector<long> jarDirs = {0, 100, 1000, 10000};
    OwnInstall install = layOutOwn(paths, jarDirs);
    std::string scratch = paths.work;

    OwnLaunch base = writeOwnConfig(install, paths, "base", kHeaderLines, 0);
    OwnLaunch main = writeOwnConfig(install, paths, "main", 1000, 1000);
    writeOwnConfig(install, paths, "profile", 100000, 10000);  // for bench/profile.sh
    Command bare{{paths.bare}, install.bin, {kEnvVariable}, "the bare program"};
    if (settings.layoutOnly) {
        std::printf("laid out %s: bin/profile reads a 100,000-line configuration over 10,000 jars\n",
                    install.root.c_str());
        return;
    }
    checkOwn(base, scratch);
    checkOwn(main, scratch);
    expectRun(bare, "", scratch);

    std::printf("\n2. The launcher's own work, on a VM library that costs nothing (%d rounds, alternating)\n", rounds);
    Rounds result = measure({main.command, bare, base.command}, rounds, 3);
    std::printf("   %-48s %-44s  %-10s\n", "", "wall time: median +- its error", "CPU time");
    printRatio("1,000 lines, 1,000 jars / bare process start", result, 0, 1, 0, verdicts);
    printRatio("5 lines, no jars / bare process start", result, 2, 1, 0, verdicts);
    std::printf("   %-48s %6.3f  (%.0f KiB against %.0f KiB)\n", "peak memory, 1,000 lines and jars / bare",
                median(result.memoryRatios(0, 1)), median(result.peakKb[0]), median(result.peakKb[1]));
    printForeignLoad(result);

    std::printf("\n3. Scaling of the launcher's own work: each size against the base launch, %d pairs each\n", rounds);
    std::vector<OwnLaunch> lines, jars, args;
    for (long size : lineSizes) {
        OwnLaunch launch = writeOwnConfig(install, paths, "lines-" + std::to_string(size), size, 0);
        launch.units = size - kHeaderLines;
        checkOwn(launch, scratch);
        lines.push_back(launch);
    }
    for (long size : jarSizes) {
        OwnLaunch launch = writeOwnConfig(install, paths, "jars-" + std::to_string(size), kHeaderLines, size);
        launch.units = size;
        checkOwn(launch, scratch);
        jars.push_back(launch);
    }
    for (long size : argSizes) {
        OwnLaunch launch = base;
        std::vector<std::string> extra = applicationArguments(size);
        launch.command.argv.insert(launch.command.argv.end(), extra.begin(), extra.end());
        launch.command.label = "base with " + std::to_string(size) + " arguments";
        launch.arguments = size;
        launch.units = size;
        checkOwn(launch, scratch);
        args.push_back(launch);
    }
    ForeignLoad load;
    load.start();
    std::printf("   configuration lines (after the 5-line header; no jars)\n");
    printScale("lines", "line", scale(lines, base, rounds), verdicts);
    std::printf("   jars in the AddJavaLibPath directory (5-line configuration)\n");
    printScale("jars", "jar", scale(jars, base, rounds), verdicts);
    std::printf("   application arguments (5-line configuration, no jars)\n");
    printScale("arguments", "argument", scale(args, base, rounds), verdicts);
    std::printf("   (other processes used %.0f%% of the CPUs meanwhile)\n", 100 * load.share());
}

// ---- Start-up cache on a real application --------------------------------------------------

const char kGroovyHome[] = "/usr/share/groovy";

/// The wall time of one run whose output is checked as expectRun checks it.
double timedCheck(const Command& command, const std::string& expectedOut, const std::string& scratch) {
    std::string outFile = scratch + "/check.out", errFile = scratch + "/check.err";
    Sample sample = run(command, outFile, errFile);
    std::string out = readFile(outFile), err = readFile(errFile);
    if (sample.exitCode != 0 || out != expectedOut || !err.empty())
        fatal(command.label + " did not run as expected: " + describe(command) + "\n  exit code " +
              std::to_string(sample.exitCode) + "\n  stdout: " + out.substr(0, 2000) + "\n  stderr: " + err.substr(0, 2000));
    return sample.seconds;
}

/// Debian's Groovy on one JDK: the launcher as bin/groovy with the start-up cache on, the
/// jars of the package as its class path, GroovyMain as its main class.
struct GroovyInstall {
    std::string jdk, bin, launcher, cache;
};

GroovyInstall layOutGroovy(const Paths& paths, const std::string& jdk, const std::string& name) {
    GroovyInstall install{jdk, paths.work + "/" + name + "/bin", "", paths.work + "/" + name + "/cache"};
    makeDirs(install.bin);
    install.launcher = install.bin + "/groovy";
    linkExecutable(paths.launcher, install.launcher);
    writeFile(install.bin + "/groovy.conf", "SetJavaHome " + jdk + "\nSetJavaVM server\nAddJavaLibPath " + kGroovyHome +
                                                "/lib\nAddVMOption -Dgroovy.home=" + kGroovyHome +
                                                "\nAddVMOption -Dprogram.name=groovy\nSetMainClass groovy.ui.GroovyMain\n"
                                                "SetStartupCache ../cache\n");
    return install;
}

/// The JDK's java with the options and class path the launcher gives the VM without the cache.
Command groovyJavaCommand(const GroovyInstall& install, const std::string& scratch) {
    Command verbose{{install.launcher, "--SetStartupCache=off", "-verbose", "-e", "println 1"}, install.bin, {},
                    "groovy through the launcher with -verbose"};
    Output output = capture(verbose, scratch);
    Command java{{install.jdk + "/bin/java"}, install.bin, {}, "the JDK's java -cp running groovy"};
    std::istringstream lines(output.out);
    std::string classPath;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("JNI Option: -Djava.class.path=", 0) == 0)
            classPath = line.substr(30);
        else if (line.rfind("JNI Option: ", 0) == 0)
            java.argv.push_back(line.substr(12));
    }
    if (output.exitCode != 0 || classPath.empty()) fatal("groovy's -verbose run listed no class path:\n" + output.out + output.err);
    java.argv.insert(java.argv.end(), {"-cp", classPath, "groovy.ui.GroovyMain", "-e", "println 1"});
    return java;
}

/// One JDK: the training starts (cache removed first) and the warm cache, each paired with
/// java -cp in the same rounds.
void groovyFigure(const Paths& paths, const std::string& jdk, const std::string& name, double bound, int rounds,
                  int trainings, Verdicts& verdicts) {
    GroovyInstall install = layOutGroovy(paths, jdk, name);
    Command java = groovyJavaCommand(install, paths.work);
    Command launcher{{install.launcher, "-e", "println 1"}, install.bin, {}, "groovy through the launcher"};
    expectRun(java, "1\n", paths.work);
    std::printf("\n4. Start-up cache: Debian's groovy -e 'println 1' on %s\n", jdk.c_str());
    // Each training pairs the first start (it trains) and the second (it makes or assembles
    // the cache) with a java -cp start; both must be as quiet as java -cp.
    std::vector<double> first, second;
    for (int t = 0; t < trainings; ++t) {
        removeTree(install.cache);
        double javaSeconds = run(java).seconds;
        first.push_back(timedCheck(launcher, "1\n", paths.work) / javaSeconds);
        second.push_back(timedCheck(launcher, "1\n", paths.work) / javaSeconds);
    }
    Rounds warm = measure({launcher, java}, rounds, 0);
    printRatio("warm cache: launcher / java -cp", warm, 0, 1, bound, verdicts);
    std::printf("   %-48s %6.3f  (%d run%s; java -cp %.3f s)\n", "training start / java -cp", median(first), trainings,
                trainings == 1 ? "" : "s", median(warm.seconds[1]));
    std::printf("   %-48s %6.3f\n", "second start (makes the cache) / java -cp", median(second));
    printForeignLoad(warm);
}

void cacheFigures(const Paths& paths, const Settings& settings, Verdicts& verdicts) {
    if (::access((std::string(kGroovyHome) + "/lib").c_str(), F_OK) != 0) {
        std::printf("\n4. Start-up cache: skipped, Debian's groovy is not installed (%s)\n", kGroovyHome);
        return;
    }
    int rounds = settings.rounds ? settings.rounds : settings.quick ? 2 : 31;
    int trainings = settings.quick ? 1 : 5;
    groovyFigure(paths, paths.jdk, "groovy-build-jdk", 0.65, rounds, trainings, verdicts);
    const std::string temurin = "/usr/lib/jvm/temurin-25-jdk-amd64";
    if (::access((temurin + "/lib/server/libjvm.so").c_str(), F_OK) == 0)
        groovyFigure(paths, temurin, "groovy-temurin-25", 0.55, rounds, trainings, verdicts);
}

}  // namespace

int main(int argc, char** argv) {
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
    Paths paths;
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
    long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("Launcher benchmark, %s mode: every figure is a median of paired or rotated rounds in this run\n",
                settings.quick ? "quick (bounds reported, not enforced)" : "full (bounds enforced)");
    // Other work on the machine disturbs the figures less when the benchmark runs ahead of it.
    errno = 0;
    bool raised = ::setpriority(PRIO_PROCESS, 0, -10) == 0;
    std::printf("machine: %ld CPUs; at start: %s; benchmark priority: %s\n", cpus, machineState().c_str(),
                raised ? "nice -10" : "normal");
    std::fflush(stdout);

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
