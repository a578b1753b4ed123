// The state of the machine around the figures: other work on a shared machine widens them,
// so the report says how busy it was.
#pragma once

#include <string>

namespace bench {

/// "load <1-, 5- and 15-minute averages>, N% of the CPUs busy", the share measured over the
/// next half second.
std::string machineState();

/// Watches for CPU time that other processes take while a block of rounds runs: the
/// machine's busy time less this driver's and its children's.
class ForeignLoad {
public:
    void start();
    double elapsed() const;
    /// The share of the machine's CPUs that other processes used since start().
    double share() const;

private:
    double wall_ = 0, busy_ = 0, own_ = 0;
};

}  // namespace bench
