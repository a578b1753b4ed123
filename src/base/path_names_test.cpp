// The bottom floor's text and path operations: pure functions, shapes of both systems' paths
// tested on any host, names on real directories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/digest.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "support/native.h"
#include "support/temp_dir.h"

using testing_support::nat;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;

TEST(TextOps, TrimLowerReplace) {
    struct Case {
        std::string in, trimmed;
    } cases[] = {{"", ""}, {" \t\r\n", ""}, {"\t a b \r\n", "a b"}, {"x", "x"}, {"\va\v", "\va\v"}};
    for (auto& c : cases) {
        std::string s = c.in;
        EXPECT_EQ(trim(s), c.trimmed) << "[" << c.in << "]";
    }
    std::string mixed = "AbC-\xC4Z";
    EXPECT_EQ(toLower(mixed), "abc-\xC4z");  // only ASCII letters change
    std::string cls = "a.b..c.";
    EXPECT_EQ(replaceAll(cls, ".", "/"), "a/b//c/");
    std::string none = "abc";
    EXPECT_EQ(replaceAll(none, "x", "y"), "abc");
    std::string path = "a/b\\c";
    EXPECT_EQ(fixSlashes(path), nat("a/b/c"));
    const std::string sep(1, platform::kPathListSeparator);
    EXPECT_EQ(splitPathList(""), std::vector<std::string>{""});
    EXPECT_EQ(splitPathList("a" + sep + sep + "b" + sep), (std::vector<std::string>{"a", "", "b", ""}));
}

TEST(Driver, DirectoryOfTheExecutableAndWhiteSpace) {
    struct Case {
        std::string path, directory;
    } cases[] = {
        {nat("C:/prod/bin/app.exe"), nat("C:/prod/bin/")},
        {"app.exe", "app.exe"},
        {nat("/app"), nat("/app")},  // a separator only at the start is not cut
        {nat("a/"), nat("a/")},
    };
    for (auto& c : cases) EXPECT_EQ(directoryOf(c.path), c.directory) << c.path;
    EXPECT_EQ(trimWhitespace(" \t\v\fC:\\x y\r\n"), "C:\\x y");
    EXPECT_EQ(trimWhitespace(" \n "), "");
}

TEST(Driver, ConfigurationFileNames) {
    struct Case {
        std::string exe, conf;
    } cases[] = {
#ifdef _WIN32
        {"app.exe", "app.conf"},     {"appc.exe", "app.conf"},   {"APPC.exe", "APP.conf"},
        {"basic.exe", "basi.conf"},  {"APP.EXE", "APP.conf"},    {"C:\\p\\tool.Exe", "C:\\p\\tool.conf"},
        {"c.exe", "c.conf"},         {"C:\\p\\C.EXE", "C:\\p\\C.conf"}, {"cc.exe", "c.conf"},
#else
        {"app", "app.conf"},         {"appc", "appc.conf"},      {"app.exe", "app.exe.conf"},
#endif
    };
    for (auto& c : cases) EXPECT_EQ(configNameFor(c.exe), c.conf) << c.exe;

    // A console variant's name reads its own file when only that one is there.
    TempDir dir;
    ScopedCurrentDir cwd(dir.path());
    const std::string exe = platform::kExeSuffix;
    const bool variant = platform::kHasConsoleVariant;
    struct Existing {
        std::string exe, present, conf;
    } existing[] = {
        {"basic" + exe, "basic.conf", "basic.conf"},
        {"appc" + exe, "appc.conf", "appc.conf"},
        {"cc" + exe, "", variant ? "c.conf" : "cc.conf"},
        {"ABC" + exe, "AB.conf", variant ? "AB.conf" : "ABC.conf"},
        {"xc" + exe, "xc.conf", variant ? "x.conf" : "xc.conf"},  // both there: the plain one's
    };
    dir.write("x.conf");
    for (auto& c : existing) {
        if (!c.present.empty()) dir.write(c.present);
        EXPECT_EQ(existingConfigNameFor(c.exe, platform::exists), c.conf) << c.exe;
    }
    EXPECT_EQ(withExeSuffix("app"), std::string("app") + platform::kExeSuffix);
    EXPECT_EQ(withExeSuffix(std::string("x") + platform::kExeSuffix), std::string("x") + platform::kExeSuffix);
}

// One answer per system for every shape of path: its root, whether it is absolute, and
// whether it may be joined to a directory.
TEST(PathNames, ShapesOfPathsOnBothSystems) {
    struct Case {
        std::string path;
        std::size_t windowsRoot, posixRoot;
        bool windowsJoinable, posixJoinable;
    } cases[] = {
        {"", 0, 0, true, true},
        {"x", 0, 0, true, true},
        {"./x", 0, 0, true, true},
        {"/x", 1, 1, false, false},
        {"\\x", 1, 0, false, true},
        {"C:x", 0, 0, false, true},
        {"C:", 0, 0, false, true},
        {"C:\\x", 3, 0, false, true},
        {"c:/x", 3, 0, false, true},
        {"1:\\x", 0, 0, true, true},  // no drive letter: a name with a colon
        {"\\\\server\\share\\x", 15, 0, false, true},
        {"\\\\server\\share", 14, 0, false, true},
        {"\\\\server", 8, 0, false, true},
        {"//server/share/x", 15, 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(rootLength(c.path, PathStyle::Windows), c.windowsRoot);
        EXPECT_EQ(rootLength(c.path, PathStyle::Posix), c.posixRoot);
        EXPECT_EQ(isAbsolutePath(c.path, PathStyle::Windows), c.windowsRoot != 0);
        EXPECT_EQ(isAbsolutePath(c.path, PathStyle::Posix), c.posixRoot != 0);
        EXPECT_EQ(isRelativePath(c.path, PathStyle::Windows), c.windowsJoinable);
        EXPECT_EQ(isRelativePath(c.path, PathStyle::Posix), c.posixJoinable);
    }
    EXPECT_EQ(joinPath(nat("/a"), "b"), nat("/a/b"));
    EXPECT_EQ(joinPath(nat("/a/"), "b"), nat("/a/b"));
    EXPECT_EQ(joinPath("", "b"), "b");
}

// Each style's names on any host: where a path's file name begins, its directory, joining, the
// configuration file's name and the program suffix, a list and the foreign separator.
TEST(PathNames, NamesInEachStyle) {
    const PathStyle W = PathStyle::Windows, P = PathStyle::Posix;
    struct Case {
        PathStyle style;
        std::string path, directory, fileName, joined, configName;
    } cases[] = {
        {W, "C:\\p\\bin\\app.exe", "C:\\p\\bin\\", "app.exe", "C:\\p\\bin\\app.exe\\x", "C:\\p\\bin\\app.conf"},
        {W, "C:/p/appc.EXE", "C:/p/appc.EXE", "appc.EXE", "C:/p/appc.EXE\\x", "C:/p/app.conf"},
        {W, "C:\\p/c.exe", "C:\\", "c.exe", "C:\\p/c.exe\\x", "C:\\p/c.conf"},
        {W, "C:tool.Exe", "C:tool.Exe", "tool.Exe", "C:tool.Exe\\x", "C:tool.conf"},
        {W, "C:c.exe", "C:c.exe", "c.exe", "C:c.exe\\x", "C:c.conf"},
        {W, "\\\\server\\share\\", "\\\\server\\share\\", "", "\\\\server\\share\\x", "\\\\server\\share\\.conf"},
        {W, "dir/", "dir/", "", "dir/x", "dir/.conf"},
        {W, "\\app", "\\app", "app", "\\app\\x", "\\app.conf"},
        {P, "/p/bin/app", "/p/bin/", "app", "/p/bin/app/x", "/p/bin/app.conf"},
        {P, "/p/appc.exe", "/p/", "appc.exe", "/p/appc.exe/x", "/p/appc.exe.conf"},
        {P, "a\\b", "a\\b", "a\\b", "a\\b/x", "a\\b.conf"},
        {P, "C:x", "C:x", "C:x", "C:x/x", "C:x.conf"},
        {P, "/", "/", "", "/x", "/.conf"},
        {P, "", "", "", "x", ".conf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(directoryOf(c.path, c.style), c.directory);
        EXPECT_EQ(fileNameOf(c.path, c.style), c.fileName);
        EXPECT_EQ(joinPath(c.path, "x", c.style), c.joined);
        EXPECT_EQ(configNameFor(c.path, c.style), c.configName);
    }
    EXPECT_TRUE(hasExeSuffix("A.EXE", W));
    EXPECT_FALSE(hasExeSuffix("a.exe.txt", W));
    EXPECT_EQ(withExeSuffix("a", W), "a.exe");
    EXPECT_EQ(withExeSuffix("a", P), "a");
    std::string slashes = "a/b\\c";
    EXPECT_EQ(fixSlashes(slashes, W), "a\\b\\c");
    EXPECT_EQ(fixSlashes(slashes, P), "a/b/c");
    EXPECT_EQ(splitPathList("C:\\a;b:c", W), (std::vector<std::string>{"C:\\a", "b:c"}));
    EXPECT_EQ(splitPathList("C:\\a;b:c", P), (std::vector<std::string>{"C", "\\a;b", "c"}));
    EXPECT_NE(safeFolderName("a\\b", W), "a\\b");
    EXPECT_EQ(safeFolderName("a\\b:c", P), "a\\b:c");
    // A backslash is part of a POSIX name: the absolute path keeps it.
    if (!platform::kHasDriveLetters) {
        EXPECT_EQ(fileNameOf(platform::absolutePath("a\\b")), "a\\b");
    }
}

// A per-application folder's name stays in its place: what could name another place, or
// none, becomes a digest of itself; every other name stays as it is, so that existing folders
// keep their names.
TEST(PathNames, FolderNamesAreOneSafeComponent) {
    const std::string sep(1, platform::kDirSeparator);
    std::vector<std::string> kept{"app", "My App", ".app", "app.", "...", "\xC3\xA9t\xC3\xA9"};
    std::vector<std::string> replaced{"", ".", "..", "a" + sep + "b", sep, "..\x01", "a\tb", "a\x7F"};
    if (platform::kHasDriveLetters) replaced.insert(replaced.end(), {"a/b", "C:x", "x:"});
    for (const std::string& name : kept) EXPECT_EQ(safeFolderName(name), name);
    std::vector<std::string> made;
    for (const std::string& name : replaced) {
        std::string safe = safeFolderName(name);
        EXPECT_EQ(safe.size(), 20u) << name;
        EXPECT_EQ(safe, safeFolderName(name));
        EXPECT_EQ(safeFolderName(safe), safe);
        for (const std::string& other : made) EXPECT_NE(safe, other) << name;
        made.push_back(safe);
    }
    EXPECT_EQ(withoutConfigSuffix("app.conf"), "app");
    EXPECT_EQ(withoutConfigSuffix("...conf"), "..");
    EXPECT_EQ(withoutConfigSuffix(".conf"), ".conf");
    EXPECT_EQ(withoutConfigSuffix("app.cfg"), "app.cfg");
}

// The names already on users' disks were made with these values: they must not change.
TEST(Digest, KnownValuesOfFnv1a) {
    EXPECT_EQ(Digest().hex(16), "cbf29ce484222325");
    EXPECT_EQ(Digest().addBytes("a").hex(16), "af63dc4c8601ec8c");
    EXPECT_EQ(Digest().add("a").hex(16), Digest().addBytes(std::string("a\0", 2)).hex(16));
    EXPECT_NE(Digest().add("ab").add("c").hex(16), Digest().add("a").add("bc").hex(16));
    EXPECT_EQ(Digest().addBytes("a").hex(8), "8601ec8c");
}

