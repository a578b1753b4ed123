// The state of the machine around the figures, from /proc.
#include "machine.h"

#include <sys/resource.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <sstream>
#include <utility>
#include <vector>

#include "files.h"

namespace bench {

namespace {

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

}  // namespace

void ForeignLoad::start() {
    wall_ = monotonicSeconds();
    busy_ = machineBusySeconds();
    own_ = ownCpuSeconds();
}

double ForeignLoad::elapsed() const { return monotonicSeconds() - wall_; }

double ForeignLoad::share() const {
    double foreign = (machineBusySeconds() - busy_) - (ownCpuSeconds() - own_);
    double capacity = elapsed() * static_cast<double>(::sysconf(_SC_NPROCESSORS_ONLN));
    return capacity > 0 ? std::max(0.0, foreign / capacity) : 0.0;
}

std::string machineState() {
    char text[128];
    std::snprintf(text, sizeof text, "load %s, %.0f%% of the CPUs busy", loadAverage().c_str(), 100 * busyShare());
    return text;
}

}  // namespace bench
