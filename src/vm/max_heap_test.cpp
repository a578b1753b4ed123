// SetMaxHeap: what it accepts, and the heap it computes from the machine's memory.
#include <gtest/gtest.h>

#include <string>

#include "vm/max_heap.h"

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kGiB = 1024 * kMiB;

}  // namespace

TEST(MaxHeap, ComputedFromShareSizeBoundsAndTheMachine) {
    struct Case {
        std::string value;
        MemoryFacts facts;
        std::optional<std::uint64_t> mebibytes;
    } cases[] = {
        {"12.5%", {16 * kGiB, std::nullopt, false}, 2048},
        {"100%", {3 * kGiB + 5, std::nullopt, false}, 3072},
        {"25%", {16 * kGiB, 512 * kMiB, false}, 128},         // the control group's lower limit
        {"25%", {1 * kGiB, 8 * kGiB, false}, 256},            // a limit above the memory is none
        {"25%", {std::nullopt, 2 * kGiB, false}, 512},
        {"25%", {std::nullopt, std::nullopt, false}, std::nullopt},
        {"2g", {std::nullopt, std::nullopt, false}, 2048},
        {"1536k", {1 * kGiB, std::nullopt, false}, 16},       // raised to the least heap
        {"1t", {1 * kGiB, std::nullopt, false}, 1024 * 1024},
        {"25% 512m 8g", {1 * kGiB, std::nullopt, false}, 512},   // floor
        {"25% 512m 8g", {64 * kGiB, std::nullopt, false}, 8192}, // cap
        {"1% 4m 8m", {16 * kGiB, std::nullopt, false}, 16},
        {"25%", {16 * kGiB, std::nullopt, true}, 1024},       // the 32-bit build's cap
        {"25% 2g 4g", {16 * kGiB, std::nullopt, true}, 1024},
        {"25%", {2 * kGiB, std::nullopt, true}, 512},
    };
    for (const Case& c : cases) {
        std::string problem;
        std::optional<MaxHeapRequest> request = parseMaxHeap(c.value, problem);
        ASSERT_TRUE(request) << c.value << ": " << problem;
        EXPECT_EQ(computeMaxHeapMiB(*request, c.facts), c.mebibytes) << c.value;
    }
}

TEST(MaxHeap, VerboseReportNamesValueAndInputs) {
    EXPECT_EQ(maxHeapReport("25% 512m 8g", {16 * kGiB, 2 * kGiB, true}, 512),
              "Max heap: -Xmx512m from SetMaxHeap 25% 512m 8g; physical memory 16384 MiB, control group limit "
              "2048 MiB, 32-bit cap 1024 MiB\n");
}
