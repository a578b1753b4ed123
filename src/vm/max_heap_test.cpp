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

// What counts as a maximum heap the user set: the VM's own settings of it, in options or in a
// variable's options as the VM splits them (quotes group and are left out); nothing that only
// contains such a text.
TEST(MaxHeap, SettingsOfTheMaximumHeap) {
    struct Case {
        std::vector<std::string> options;
        std::string variable;
        bool sets;
    } cases[] = {
        {{"-Xmx1g"}, "", true},
        {{"-XX:MaxHeapSize=1g"}, "", true},
        {{"-XX:MaxRAMPercentage=50"}, "", true},
        {{"-XX:MaxRAM=4g"}, "", true},
        {{"-XX:MaxRAMFraction=4"}, "", true},
        {{"-Dfoo=a -Xmx1g", "-XX:InitialRAMPercentage=50", "-XX:MaxRAMPercentageX", "-Xms1g"}, "", false},
        {{}, "-Dx=1\t-XX:MaxRAMPercentage=25", true},
        {{}, "\"-Xmx1g\"", true},
        {{}, "'-XX:MaxRAM=4g'", true},
        {{}, "-Dfoo=\"a -Xmx1g\" -Dbar='b -XX:MaxRAM=4g'", false},
        {{}, "-Dfoo=\"a -Xmx1g\" -Xmx2g", true},
        {{}, "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(setsMaxHeap(c.options, {c.variable}), c.sets) << c.variable << (c.options.empty() ? "" : c.options[0]);
}

TEST(MaxHeap, VariableSplitAsTheVmSplitsIt) {
    struct Case {
        std::string variable;
        std::vector<std::string> options;
    } cases[] = {
        {"  -Da=1 \t -Db=2 ", {"-Da=1", "-Db=2"}},
        {"-Dfoo=\"a -Xmx1g\" 'x y'z", {"-Dfoo=a -Xmx1g", "x yz"}},
        {"-Dq=\"it's\" \"\"", {"-Dq=it's", ""}},
    };
    for (const Case& c : cases) EXPECT_EQ(optionsOfVariable(c.variable), c.options) << c.variable;
}
