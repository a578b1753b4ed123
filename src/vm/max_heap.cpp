#include "vm/max_heap.h"

#include <cctype>
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

bool setsMaxHeap(const std::vector<std::string>& options, const std::vector<std::string>& variables) {
    auto isMaxHeap = [](const std::string& option) {
        return startsWith(option, "-Xmx") || startsWith(option, "-XX:MaxHeapSize=");
    };
    for (const std::string& option : options)
        if (isMaxHeap(option)) return true;
    for (const std::string& variable : variables)
        for (const std::string& word : blankSeparatedWords(variable))
            if (isMaxHeap(word)) return true;
    return false;
}

void appendMaxHeapOption(const LaunchSettings& settings, std::vector<std::string>& options) {
    if (!settings.maxHeap) return;
    const MaxHeapRequest& request = *settings.maxHeap;
    std::vector<std::string> variables;
    for (const char* name : {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"})
        if (std::optional<std::string> value = platform::getEnvExactName(name)) variables.push_back(*value);
    if (setsMaxHeap(options, variables)) {
        if (settings.verbose) printOut("Max heap: SetMaxHeap " + request.text + " is ignored, an -Xmx is given already\n");
        return;
    }
    MemoryFacts facts{platform::physicalMemory(), platform::memoryLimit(), sizeof(void*) == 4};
    std::optional<std::uint64_t> mebibytes = computeMaxHeapMiB(request, facts);
    if (settings.verbose) printOut(maxHeapReport(request.text, facts, mebibytes));
    if (mebibytes) options.push_back("-Xmx" + std::to_string(*mebibytes) + "m");
}
