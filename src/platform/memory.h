// The memory of the machine and of the control group the launcher runs in.
#pragma once

#include <optional>

namespace platform {

/// The machine's physical memory in bytes (Windows: GlobalMemoryStatusEx; POSIX: sysconf);
/// nullopt when the system cannot say.
std::optional<unsigned long long> physicalMemory();

/// The memory limit of the control group this process runs in, the lowest of its own and its
/// parents' (Linux: cgroup v2 memory.max, v1 memory.limit_in_bytes); nullopt where there is
/// none, or no such groups.
std::optional<unsigned long long> memoryLimit();

}  // namespace platform
