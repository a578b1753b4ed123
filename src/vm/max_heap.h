// The VM's maximum heap as a share of the machine's memory, or a fixed size, held between a
// floor and a cap: SetMaxHeap, turned into one -Xmx option.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "config/max_heap_setting.h"

/// What the computation reads of the machine.
struct MemoryFacts {
    std::optional<std::uint64_t> physical;  ///< the machine's memory; nullopt when unknown
    std::optional<std::uint64_t> limit;     ///< a lower limit of the process's control group
    bool narrowAddressSpace = false;        ///< a 32-bit process
};

/// The most a 32-bit VM is given: a contiguous heap that it reserves reliably in a 32-bit
/// address space, where libraries and the system take their share.
constexpr std::uint64_t kNarrowHeapCapMiB = 1024;
/// The least heap the launcher computes: below it a VM does not start an application at all.
constexpr std::uint64_t kLeastHeapMiB = 16;

/// The maximum heap in whole MiB (rounded down): the share of the lower of physical memory
/// and the limit, or the fixed size, then held between floor and cap, then at most
/// kNarrowHeapCapMiB in a narrow address space, and at least kLeastHeapMiB. nullopt for a share
/// when no memory size is known.
std::optional<std::uint64_t> computeMaxHeapMiB(const MaxHeapRequest& request, const MemoryFacts& facts);

/// The -verbose line of the computation: the value and what it came from.
std::string maxHeapReport(const std::string& setting, const MemoryFacts& facts, std::optional<std::uint64_t> mebibytes);

/// The options in a variable the VM reads itself (JAVA_TOOL_OPTIONS, _JAVA_OPTIONS), split as the
/// VM splits it: at white space, where a text in single or double quotes (the quotes left out)
/// is part of one option.
std::vector<std::string> optionsOfVariable(const std::string& variable);

/// True when one of `options`, or an option of a variable the VM reads itself (given here as
/// texts), sets the maximum heap: -Xmx, -XX:MaxHeapSize=, or one of the settings the VM derives
/// it from, -XX:MaxRAMPercentage=, -XX:MaxRAM=, -XX:MaxRAMFraction=.
bool setsMaxHeap(const std::vector<std::string>& options, const std::vector<std::string>& variables);

/// Adds SetMaxHeap's -Xmx option to `options` (the VM's options so far) computed from this
/// machine, unless SetMaxHeap is not set, or the user sets the maximum heap already (the user's
/// file, the command line, JAVA_TOOL_OPTIONS/_JAVA_OPTIONS), or the application's file does and
/// the SetMaxHeap is the application's too: the user's SetMaxHeap wins over the application's
/// -Xmx, which it follows. -verbose says which, and the inputs.
void appendMaxHeapOption(const LaunchSettings& settings, std::vector<std::string>& options);
