// The control group's memory limit, read from a tree laid out as the kernel's.
#ifndef _WIN32
#include <gtest/gtest.h>

#include "platform/posix/memory_posix.h"
#include "support/temp_dir.h"

using testing_support::TempDir;

TEST(ControlGroupMemory, LowestLimitOfTheGroupAndItsParents) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        std::string procSelfCgroup;
        std::optional<unsigned long long> limit;
    } cases[] = {
        {"v2 own", {{"app.scope/memory.max", "536870912\n"}}, "0::/app.scope\n", 536870912ull},
        {"v2 max", {{"app.scope/memory.max", "max\n"}}, "0::/app.scope\n", std::nullopt},
        {"v2 parent lower",
         {{"a/memory.max", "1073741824\n"}, {"a/b/memory.max", "max\n"}}, "0::/a/b\n", 1073741824ull},
        {"v2 own lower", {{"a/memory.max", "2048\n"}, {"a/b/memory.max", "1024\n"}}, "0::/a/b\n", 1024ull},
        {"v1", {{"memory/x/memory.limit_in_bytes", "268435456\n"}},
         "5:cpu:/x\n4:memory:/x\n0::/\n", 268435456ull},
        {"v1 joined controllers", {{"memory/x/memory.limit_in_bytes", "4096\n"}}, "3:memory,hugetlb:/x\n", 4096ull},
        {"v1 unlimited", {{"memory/x/memory.limit_in_bytes", "9223372036854771712\n"}}, "4:memory:/x\n",
         std::nullopt},
        {"no files", {}, "0::/gone\n4:memory:/gone\n", std::nullopt},
        {"damaged", {{"g/memory.max", "12ab\n"}}, "0::/g\nnonsense\n", std::nullopt},
    };
    for (const Case& c : cases) {
        TempDir root;
        for (const auto& file : c.files) root.write(file.first, file.second);
        EXPECT_EQ(platform::controlGroupMemoryLimit(c.procSelfCgroup, root.path()), c.limit) << c.name;
    }
}
#endif
