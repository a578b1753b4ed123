// SetMaxHeap's value as the configuration writes it: a share of the memory or a size, with an
// optional floor and cap.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// What SetMaxHeap asks for: a share of the memory (percent, over 0 and at most 100) or a fixed
/// size, and optionally a floor and a cap, in bytes (0: none).
struct MaxHeapRequest {
    std::string text;  ///< as written, for the -verbose line
    double sharePercent = 0;
    std::uint64_t fixedBytes = 0;
    std::uint64_t floorBytes = 0;
    std::uint64_t capBytes = 0;
};

/// Reads "25%", "2g", "512m" or "25% 512m 8g" (amount, floor, cap; units k, m, g, t in any letter
/// case). nullopt, with `problem` saying why, for anything else: a share over 100 %, a floor or
/// a cap of 0, a cap below the floor, a size without a known unit, a wrong count of words.
std::optional<MaxHeapRequest> parseMaxHeap(const std::string& value, std::string& problem);

