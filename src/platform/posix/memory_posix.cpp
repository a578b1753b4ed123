#include "base/path_names.h"
#include "platform/posix/memory_posix.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/memory.h"

namespace platform {

namespace {

/// The first line of a small file of the kernel's; nullopt when it cannot be read.
std::optional<std::string> firstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) return std::nullopt;
    return line;
}

/// The group's limit and every parent's, up to `mount`, the lowest kept in `lowest`.
void lowestLimitUpwards(const std::string& mount, std::string group, const char* fileName,
                        std::optional<unsigned long long>& lowest) {
    while (true) {
        std::optional<std::string> text = firstLine(mount + group + (group == "/" ? "" : "/") + fileName);
        // "max" (v2) and v1's page-rounded 2^63 are no limit; a number only counts whole.
        if (text && !text->empty() && text->find_first_not_of("0123456789") == std::string::npos) {
            unsigned long long limit = std::strtoull(text->c_str(), nullptr, 10);
            if (limit < (1ull << 62) && (!lowest || limit < *lowest)) lowest = limit;
        }
        if (group.empty() || group == "/") return;
        std::size_t start = fileNameStart(group, PathStyle::Posix);  // a control group's path is POSIX-style
        group = start <= 1 ? "/" : group.substr(0, start - 1);
    }
}

}  // namespace

std::optional<unsigned long long> controlGroupMemoryLimit(const std::string& procSelfCgroup,
                                                          const std::string& cgroupRoot) {
    std::optional<unsigned long long> lowest;
    std::istringstream lines(procSelfCgroup);
    for (std::string line; std::getline(lines, line);) {
        // hierarchy-ID:controller-list:path
        std::size_t first = line.find(':'), second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        std::string controllers = line.substr(first + 1, second - first - 1), group = line.substr(second + 1);
        if (group.empty() || group[0] != '/') continue;
        if (line.compare(0, first, "0") == 0 && controllers.empty()) {
            lowestLimitUpwards(cgroupRoot, group, "memory.max", lowest);
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            lowestLimitUpwards(joinPath(cgroupRoot, "memory"), group, "memory.limit_in_bytes", lowest);
        }
    }
    return lowest;
}

std::optional<unsigned long long> physicalMemory() {
    long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return std::nullopt;
    return static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize);
}

std::optional<unsigned long long> memoryLimit() {
    std::ifstream file("/proc/self/cgroup");
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return controlGroupMemoryLimit(text.str(), "/sys/fs/cgroup");
}

}  // namespace platform
