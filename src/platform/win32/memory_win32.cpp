// The machine's memory, for a maximum heap given as a share of it.
#include <windows.h>

#include <optional>

#include "platform/memory.h"

namespace platform {

std::optional<unsigned long long> physicalMemory() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status) || status.ullTotalPhys == 0) return std::nullopt;
    return status.ullTotalPhys;
}

// A job object's limit is the Windows form of a control group's; the launcher's own users run
// outside any, so none is read.
std::optional<unsigned long long> memoryLimit() { return std::nullopt; }

}  // namespace platform
