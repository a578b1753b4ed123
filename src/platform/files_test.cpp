// The one reader of the launcher's small files, on real files, directories and devices.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// What is at a name goes whole, a directory with all it holds; a link inside goes itself, and
// what it names stays.
TEST(Files, RemoveTreeNeverFollowsALink) {
    TempDir dir;
    std::string outside = dir.write("outside/kept", "x");
    dir.write("file", "x");
    dir.mkdir("empty");
    dir.write("full/a/b/c", "x");
    dir.write("full/d", "x");
#ifndef _WIN32
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "full/a/to-outside").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "full/fifo").c_str(), 0600), 0);
    EXPECT_TRUE(platform::removeTree(dir / "link"));
#endif
    for (const char* name : {"file", "empty", "full"}) {
        EXPECT_TRUE(platform::removeTree(dir / name)) << name;
        EXPECT_FALSE(platform::exists(dir / name)) << name;
    }
    EXPECT_FALSE(platform::removeTree(dir / "missing"));
    EXPECT_TRUE(platform::exists(outside));
}

#ifndef _WIN32
// Private means nobody else may write: a group's write bit counts against a folder or a file
// unless the group is the user's own private group (user-private groups, umask 002).
TEST(Files, PrivateAllowsTheUsersOwnPrivateGroupOnly) {
    TempDir dir;
    struct passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    struct group* own = ::getgrgid(user->pw_gid);
    bool ownIsPrivate = own && std::string(own->gr_name) == user->pw_name &&
                        (!own->gr_mem[0] || (std::string(own->gr_mem[0]) == user->pw_name && !own->gr_mem[1]));
    // A group of which the user is not the only one: as root, any group but root's.
    struct group* other = ::geteuid() == 0 ? ::getgrnam("daemon") : nullptr;
    struct Case {
        const char* what;
        mode_t mode;
        std::optional<gid_t> group;  // nullopt: the user's primary group
        bool isPrivate;
        bool applies;
    } cases[] = {
        {"only the user writes", 0700, std::nullopt, true, true},
        {"others write", 0702, std::nullopt, false, true},
        {"the user's private group writes", 0770, std::nullopt, true, ownIsPrivate},
        {"the user's group, not private, writes", 0770, std::nullopt, false, own != nullptr && !ownIsPrivate},
        {"another group writes", 0770, other ? std::optional<gid_t>(other->gr_gid) : std::nullopt, false, other != nullptr},
        {"another group reads", 0750, other ? std::optional<gid_t>(other->gr_gid) : std::nullopt, true, other != nullptr},
    };
    for (const Case& c : cases) {
        if (!c.applies) continue;
        std::string folder = dir / c.what, file = folder + "/file";
        dir.mkdir(c.what);
        dir.write(std::string(c.what) + "/file", "x");
        for (const std::string& path : {folder, file}) {
            ASSERT_EQ(::chown(path.c_str(), ::geteuid(), c.group.value_or(user->pw_gid)), 0) << c.what;
            ASSERT_EQ(::chmod(path.c_str(), c.mode), 0) << c.what;
        }
        EXPECT_EQ(platform::isPrivateDirectory(folder), c.isPrivate) << c.what;
        EXPECT_EQ(platform::privateFileStamp(file).has_value(), c.isPrivate) << c.what;
    }
}
#endif

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
