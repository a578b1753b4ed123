// The one reader of the launcher's small files, on real files, directories and devices.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/user_places.h"
#include "support/temp_dir.h"

using testing_support::ScopedEnv;
using testing_support::TempDir;

// Only a regular file is read, whole within its bound; anything else is named, never waited on.
TEST(Files, ReadRegularFileKnowsWhatIsAtTheName) {
    TempDir dir;
    dir.write("small", "abc");
    dir.mkdir("folder");
#ifdef _WIN32
    const std::string device = "NUL";
#else
    const std::string device = "/dev/zero";
#endif
    struct Case {
        std::string path;
        std::size_t bound;
        platform::FileOutcome outcome;
        std::string bytes;
    } cases[] = {
        {dir / "small", 3, platform::FileOutcome::Read, "abc"},
        {dir / "small", 2, platform::FileOutcome::TooLarge, "ab"},
        {dir / "missing", 8, platform::FileOutcome::Missing, ""},
        {dir / "missing/below", 8, platform::FileOutcome::Missing, ""},
#ifdef _WIN32
        {dir / "folder", 8, platform::FileOutcome::Unreadable, ""},
#else
        {dir / "folder", 8, platform::FileOutcome::NotRegular, ""},
#endif
        {device, 8, platform::FileOutcome::Device, ""},
    };
    for (const Case& c : cases) {
        platform::FileContent file = platform::readRegularFile(c.path, c.bound);
        EXPECT_EQ(file.outcome, c.outcome) << c.path;
        EXPECT_EQ(file.bytes, c.bytes) << c.path;
    }
    EXPECT_EQ(platform::readFileStart(dir / "small", 2), std::optional<std::string>("ab"));
    EXPECT_EQ(platform::readFileStart(device, 2), std::nullopt);
}

// A user folder variable counts only when it names an absolute folder.
TEST(UserPlaces, RelativeFolderVariablesCountAsUnset) {
#ifdef _WIN32
    const std::string absolute = "C:\\Users\\u\\AppData\\Local\\", kept = "C:\\Users\\u\\AppData\\Local";
#else
    const std::string absolute = "/home/u/", kept = "/home/u";
#endif
    struct Case {
        std::optional<std::string> value, expected;
    } cases[] = {{absolute, kept}, {std::string("home"), std::nullopt}, {std::string(".\\x"), std::nullopt},
                 {std::string(""), std::nullopt}, {std::nullopt, std::nullopt}};
    for (const Case& c : cases) {
        ScopedEnv variable("LAUNCHER_TEST_FOLDER", c.value);
        EXPECT_EQ(platform::userFolderVariable("LAUNCHER_TEST_FOLDER"), c.expected) << c.value.value_or("(unset)");
    }
}
