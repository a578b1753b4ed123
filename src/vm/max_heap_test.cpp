// SetMaxHeap: what it accepts, and the heap it computes from the machine's memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vm/max_heap.h"

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kGiB = 1024 * kMiB;

}  // namespace

TEST(MaxHeap, ParseRefusesWithTheReason) {
    struct Case {
        std::string value, problem;
    } cases[] = {
        {"101%", "a share over 0 % and at most 100 %"},
        {"0%", "a share over 0 % and at most 100 %"},
        {"2x", "a share such as 25% or a size in k, m, g or t"},
        {"2048", "a share such as 25% or a size in k, m, g or t"},
        {"%", "a share such as 25% or a size in k, m, g or t"},
        {"25% 512m", "a share or a size, then optionally a floor and a cap"},
        {"25% 512q 8g", "a floor and a cap in k, m, g or t"},
        {"25% 8g 512m", "a cap that is not below the floor"},
        {"99999999999999g", "a share such as 25% or a size in k, m, g or t"},
    };
    for (const Case& c : cases) {
        std::string problem;
        EXPECT_FALSE(parseMaxHeap(c.value, problem)) << c.value;
        EXPECT_EQ(problem, c.problem) << c.value;
    }
}

TEST(MaxHeap, ComputedFromShareSizeBoundsAndTheMachine) {
    struct Case {
        std::string value;
        MemoryFacts facts;
        std::optional<std::uint64_t> mebibytes;
    } cases[] = {
        {"25%", {16 * kGiB, std::nullopt, false}, 4096},
        {"12.5%", {16 * kGiB, std::nullopt, false}, 2048},
        {"100%", {3 * kGiB + 5, std::nullopt, false}, 3072},
        {"25%", {16 * kGiB, 512 * kMiB, false}, 128},         // the control group's lower limit
        {"25%", {1 * kGiB, 8 * kGiB, false}, 256},            // a limit above the memory is none
        {"25%", {std::nullopt, 2 * kGiB, false}, 512},
        {"25%", {std::nullopt, std::nullopt, false}, std::nullopt},
        {"2g", {std::nullopt, std::nullopt, false}, 2048},
        {"512M", {1 * kGiB, std::nullopt, false}, 512},
        {"1536k", {1 * kGiB, std::nullopt, false}, 16},       // raised to the least heap
        {"1t", {1 * kGiB, std::nullopt, false}, 1024 * 1024},
        {"25% 512m 8g", {1 * kGiB, std::nullopt, false}, 512},   // floor
        {"25% 512m 8g", {64 * kGiB, std::nullopt, false}, 8192}, // cap
        {"25% 512m 8g", {16 * kGiB, std::nullopt, false}, 4096},
        {"1% 4m 8m", {16 * kGiB, std::nullopt, false}, 16},
        {"25%", {16 * kGiB, std::nullopt, true}, 1024},       // the 32-bit build's cap
        {"3g", {16 * kGiB, std::nullopt, true}, 1024},
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

TEST(MaxHeap, AnExistingMaximumWins) {
    struct Case {
        std::vector<std::string> options, variables;
        bool sets;
    } cases[] = {
        {{"-Xms64m", "-Dx=-Xmx1g"}, {}, false},
        {{"-Xmx1g"}, {}, true},
        {{"-XX:MaxHeapSize=1g"}, {}, true},
        {{}, {"-Dy=1  -Xmx300m"}, true},
        {{}, {"-XX:+UseG1GC"}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(setsMaxHeap(c.options, c.variables), c.sets);
}

TEST(MaxHeap, VerboseReportNamesValueAndInputs) {
    EXPECT_EQ(maxHeapReport("25% 512m 8g", {16 * kGiB, 2 * kGiB, true}, 512),
              "Max heap: -Xmx512m from SetMaxHeap 25% 512m 8g; physical memory 16384 MiB, control group limit "
              "2048 MiB, 32-bit cap 1024 MiB\n");
    EXPECT_EQ(maxHeapReport("25%", {std::nullopt, std::nullopt, false}, std::nullopt),
              "Max heap: none, the memory size is unknown from SetMaxHeap 25%; physical memory unknown\n");
}
