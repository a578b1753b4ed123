#include "vm/max_heap.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdlib>

#include "config/launch_settings.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/memory.h"
#include "platform/processes.h"

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

std::string mebibytesText(std::uint64_t bytes) { return std::to_string(bytes / kMiB) + " MiB"; }

}  // namespace


std::optional<std::uint64_t> computeMaxHeapMiB(const MaxHeapRequest& request, const MemoryFacts& facts) {
    std::uint64_t bytes = request.fixedBytes;
    if (request.sharePercent > 0) {
        std::optional<std::uint64_t> memory = facts.physical;
        if (facts.limit && (!memory || *facts.limit < *memory)) memory = facts.limit;
        if (!memory) return std::nullopt;
        bytes = static_cast<std::uint64_t>(static_cast<long double>(*memory) * request.sharePercent / 100);
    }
    if (request.floorBytes && bytes < request.floorBytes) bytes = request.floorBytes;
    if (request.capBytes && bytes > request.capBytes) bytes = request.capBytes;
    std::uint64_t mebibytes = bytes / kMiB;
    if (facts.narrowAddressSpace && mebibytes > kNarrowHeapCapMiB) mebibytes = kNarrowHeapCapMiB;
    return mebibytes < kLeastHeapMiB ? kLeastHeapMiB : mebibytes;
}

std::string maxHeapReport(const std::string& setting, const MemoryFacts& facts, std::optional<std::uint64_t> mebibytes) {
    std::string text = "Max heap: ";
    text += mebibytes ? "-Xmx" + std::to_string(*mebibytes) + "m" : std::string("none, the memory size is unknown");
    text += " from SetMaxHeap " + setting + "; physical memory ";
    text += facts.physical ? mebibytesText(*facts.physical) : std::string("unknown");
    if (facts.limit) text += ", control group limit " + mebibytesText(*facts.limit);
    if (facts.narrowAddressSpace) text += ", 32-bit cap " + std::to_string(kNarrowHeapCapMiB) + " MiB";
    return text + "\n";
}

std::vector<std::string> optionsOfVariable(const std::string& variable) {
    std::vector<std::string> options;
    std::string option;
    bool inOption = false;
    char quote = 0;
    for (char c : variable) {
        if (quote) {
            if (c == quote) quote = 0;
            else option += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inOption = true;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            if (inOption) options.push_back(option);
            option.clear();
            inOption = false;
        } else {
            option += c;
            inOption = true;
        }
    }
    if (inOption) options.push_back(option);
    return options;
}

bool setsMaxHeap(const std::vector<std::string>& options, const std::vector<std::string>& variables) {
    auto isMaxHeap = [](const std::string& option) {
        for (const char* start : {"-Xmx", "-XX:MaxHeapSize=", "-XX:MaxRAMPercentage=", "-XX:MaxRAM=", "-XX:MaxRAMFraction="})
            if (startsWith(option, start)) return true;
        return false;
    };
    for (const std::string& option : options)
        if (isMaxHeap(option)) return true;
    for (const std::string& variable : variables)
        for (const std::string& option : optionsOfVariable(variable))
            if (isMaxHeap(option)) return true;
    return false;
}

void appendMaxHeapOption(const LaunchSettings& settings, std::vector<std::string>& options) {
    if (!settings.maxHeap) return;
    const MaxHeapRequest& request = *settings.maxHeap;
    std::vector<std::string> variables;
    for (const char* name : {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"})
        if (std::optional<std::string> value = platform::getEnvExactName(name)) variables.push_back(*value);
    // The application's options are the first of its file's; the user's file's follow them,
    // then the command line's.
    std::size_t applicationCount = std::min(settings.applicationVmOptionCount.value_or(settings.vmOptions.size()),
                                            settings.vmOptions.size());
    auto usersStart = settings.vmOptions.begin() + static_cast<std::ptrdiff_t>(applicationCount);
    std::vector<std::string> applications(settings.vmOptions.begin(), usersStart);
    std::vector<std::string> users(usersStart, settings.vmOptions.end());
    users.insert(users.end(), settings.commandLineVmOptions.begin(), settings.commandLineVmOptions.end());
    if (setsMaxHeap(users, variables) || (!settings.maxHeapFromUser && setsMaxHeap(applications, {}))) {
        if (settings.verbose) printOut("Max heap: SetMaxHeap " + request.text + " is ignored, an -Xmx is given already\n");
        return;
    }
    MemoryFacts facts{platform::physicalMemory(), platform::memoryLimit(), sizeof(void*) == 4};
    std::optional<std::uint64_t> mebibytes = computeMaxHeapMiB(request, facts);
    if (settings.verbose) printOut(maxHeapReport(request.text, facts, mebibytes));
    if (mebibytes) options.push_back("-Xmx" + std::to_string(*mebibytes) + "m");
}
