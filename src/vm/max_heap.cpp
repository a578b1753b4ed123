#include "vm/max_heap.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "config/config_file_parser.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/memory.h"
#include "platform/processes.h"

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

std::vector<std::string> words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> result;
    for (std::string word; stream >> word;) result.push_back(word);
    return result;
}

/// "512m", "2G", "64k", "1t" in bytes; nullopt for anything else, or a size that overflows.
std::optional<std::uint64_t> parseSize(const std::string& word) {
    std::size_t digits = 0;
    while (digits < word.size() && std::isdigit(static_cast<unsigned char>(word[digits]))) ++digits;
    if (digits == 0 || digits + 1 != word.size() || digits > 12) return std::nullopt;
    const std::string units = "kmgt";
    std::size_t unit = units.find(static_cast<char>(std::tolower(static_cast<unsigned char>(word.back()))));
    if (unit == std::string::npos) return std::nullopt;
    std::uint64_t size = std::strtoull(word.substr(0, digits).c_str(), nullptr, 10);
    for (std::size_t i = 0; i <= unit; ++i) {
        if (size > (UINT64_MAX >> 10)) return std::nullopt;
        size <<= 10;
    }
    return size;
}

/// "25%", "12.5%" as a number; nullopt when it is no percentage.
std::optional<double> parseShare(const std::string& word) {
    if (word.size() < 2 || word.back() != '%' || !std::isdigit(static_cast<unsigned char>(word[0]))) return std::nullopt;
    std::string number = word.substr(0, word.size() - 1);
    char* end = nullptr;
    double share = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size()) return std::nullopt;
    return share;
}

std::string mebibytesText(std::uint64_t bytes) { return std::to_string(bytes / kMiB) + " MiB"; }

}  // namespace

std::optional<MaxHeapRequest> parseMaxHeap(const std::string& value, std::string& problem) {
    std::vector<std::string> parts = words(value);
    if (parts.size() != 1 && parts.size() != 3) {
        problem = "a share or a size, then optionally a floor and a cap";
        return std::nullopt;
    }
    MaxHeapRequest request;
    if (std::optional<double> share = parseShare(parts[0])) {
        if (*share <= 0 || *share > 100) {
            problem = "a share over 0 % and at most 100 %";
            return std::nullopt;
        }
        request.sharePercent = *share;
    } else if (std::optional<std::uint64_t> size = parseSize(parts[0])) {
        request.fixedBytes = *size;
    } else {
        problem = "a share such as 25% or a size in k, m, g or t";
        return std::nullopt;
    }
    if (parts.size() == 3) {
        std::optional<std::uint64_t> floor = parseSize(parts[1]), cap = parseSize(parts[2]);
        if (!floor || !cap) {
            problem = "a floor and a cap in k, m, g or t";
            return std::nullopt;
        }
        if (*cap < *floor) {
            problem = "a cap that is not below the floor";
            return std::nullopt;
        }
        request.floorBytes = *floor;
        request.capBytes = *cap;
    }
    return request;
}

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
        for (const std::string& word : words(variable))
            if (isMaxHeap(word)) return true;
    return false;
}

void appendMaxHeapOption(const ConfigFileParser& settings, std::vector<std::string>& options) {
    if (settings.maxHeap.empty()) return;
    std::vector<std::string> variables;
    for (const char* name : {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"})
        if (std::optional<std::string> value = platform::getEnvExactName(name)) variables.push_back(*value);
    if (setsMaxHeap(options, variables)) {
        if (settings.verbose) printOut("Max heap: SetMaxHeap " + settings.maxHeap + " is ignored, an -Xmx is given already\n");
        return;
    }
    std::string problem;
    std::optional<MaxHeapRequest> request = parseMaxHeap(settings.maxHeap, problem);
    if (!request) return;
    MemoryFacts facts{platform::physicalMemory(), platform::memoryLimit(), sizeof(void*) == 4};
    std::optional<std::uint64_t> mebibytes = computeMaxHeapMiB(*request, facts);
    if (settings.verbose) printOut(maxHeapReport(settings.maxHeap, facts, mebibytes));
    if (mebibytes) options.push_back("-Xmx" + std::to_string(*mebibytes) + "m");
}
