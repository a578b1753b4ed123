// The memory the POSIX port reads for the maximum heap.
#pragma once

#include <optional>
#include <string>

namespace platform {

/// The lowest memory limit of the control groups that `procSelfCgroup` (the text of
/// /proc/self/cgroup) names, below `cgroupRoot` (normally /sys/fs/cgroup): cgroup v2's
/// memory.max ("max" is none) and v1's memory.limit_in_bytes of the group and each parent.
/// nullopt when no limit is set or none can be read.
std::optional<unsigned long long> controlGroupMemoryLimit(const std::string& procSelfCgroup,
                                                          const std::string& cgroupRoot);

}  // namespace platform
