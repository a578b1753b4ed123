// The Windows platform layer against the real system (under Wine on the build machine).
#ifdef _WIN32

#include "platform/console.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/libraries.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "platform/user_interface.h"
#include "platform/win32/version_resource_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/library_imports_win32.h"
#include "platform/win32/message_box_text.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/wide_text.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;

using Names = std::vector<std::string>;

Names sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

// A directory below `dir` whose path is longer than MAX_PATH.
std::string makeLongDirectory(const TempDir& dir) {
    std::string relative = "long";
    while ((dir / relative).size() <= MAX_PATH + 40) relative += "/" + std::string(40, 'd');
    return dir.mkdir(relative);
}

/// Makes a directory current through the platform layer and restores the old one.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& directory) : old_(fs::current_path()) {
        changed_ = platform::changeDirectory(directory);
    }
    ~CurrentDirectory() {
        std::error_code ec;
        fs::current_path(old_, ec);
    }
    bool changed() const { return changed_; }

private:
    fs::path old_;
    bool changed_ = false;
};

TEST(PlatformWin32Paths, HandleDirectoriesLongerThanMaxPath) {
    TempDir dir;
    std::string longDir = makeLongDirectory(dir);
    dir.write(longDir.substr(dir.path().size() + 1) + "/app.exe");
    ASSERT_GT(longDir.size(), static_cast<std::size_t>(MAX_PATH));

    CurrentDirectory current(longDir);
    ASSERT_TRUE(current.changed());
    EXPECT_EQ(platform::currentDirectory(), longDir);
    EXPECT_TRUE(platform::exists(longDir + "\\app.exe"));
    EXPECT_TRUE(platform::exists("app.exe"));
    EXPECT_EQ(platform::fullPathDirectory("app.exe"), longDir + "\\");
    EXPECT_EQ(platform::fullPathDirectory(longDir + "\\sub\\x.exe"), longDir + "\\sub\\");
    EXPECT_EQ(platform::findFiles(longDir, "*.exe"), Names{"app.exe"});
}

TEST(PlatformWin32Paths, FullPathDirectoryCutsAfterTheDirectoryPart) {
    TempDir dir;
    CurrentDirectory current(dir.path());
    ASSERT_TRUE(current.changed());
    const std::string here = dir.path() + "\\";
    struct Case {
        std::string name;
        std::optional<std::string> directory;
    };
    const Case cases[] = {
        {"app.exe", here},
        {"bin\\app.exe", here + "bin\\"},
        {"bin/app.exe", here + "bin\\"},
        {".\\x\\..\\app.exe", here},
        {"C:\\prod\\bin\\app.exe", std::string("C:\\prod\\bin\\")},
        {"C:\\prod\\bin\\..\\lib\\x.xml", std::string("C:\\prod\\lib\\")},
        {"C:\\prod\\bin\\", std::nullopt},  // no file-name part
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::fullPathDirectory(c.name), c.directory) << c.name;
}

TEST(PlatformWin32Paths, OwnExecutablePathNamesThisProgram) {
    std::optional<std::string> path = platform::ownExecutablePath();
    ASSERT_TRUE(path);
    EXPECT_TRUE(platform::exists(*path));
    EXPECT_EQ(fs::path(*path).filename().string(), fs::path(__argv[0]).filename().string());
}

TEST(PlatformWin32Files, FindFilesMatchesTheExtensionIgnoringCase) {
    TempDir dir;
    for (const char* name : {"a.JAR", "b.jar", "c.zip", "D.Zip", "e.txt", "f.jarold", "g.jar.bak", "jar"})
        dir.write(name);
    dir.mkdir("lib.jar");  // a directory named like an archive is listed too

    EXPECT_EQ(sorted(platform::findFiles(dir.path(), "*.jar")), (Names{"a.JAR", "b.jar", "lib.jar"}));
    EXPECT_EQ(sorted(platform::findFiles(dir.path() + "\\", "*.jar")), (Names{"a.JAR", "b.jar", "lib.jar"}));
    EXPECT_EQ(sorted(platform::findFiles(dir.path() + "/", "*.ZIP")), (Names{"D.Zip", "c.zip"}));
    EXPECT_EQ(platform::findFiles(dir.path(), "*.dll"), Names{});
    EXPECT_EQ(platform::findFiles(dir / "missing", "*.jar"), Names{});
    EXPECT_EQ(platform::findFiles(dir.write("plain.txt"), "*.jar"), Names{});
}

// Texts are UTF-8 and reach the system whole, whatever the code page holds: Polish, Greek,
// a character whose Shift JIS form ends in a backslash's code (U+30BD), a look-alike of '/'
// (U+2215), an emoji, and a name ending in a non-ASCII character.
const char* const kNameOutsideCodePages = "Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 \xce\xa9 \xe2\x88\x95 \xf0\x9f\x98\x80 \xe3\x82\xbd";

TEST(PlatformWin32Files, HandlesNamesOutsideTheCodePage) {
    TempDir dir;
    std::string directory = dir.path() + "\\" + kNameOutsideCodePages;
    fs::create_directories(fs::u8path(directory + "\\sub"));
    std::ofstream(fs::u8path(directory + "\\" + kNameOutsideCodePages + ".jar")).put('x');
    EXPECT_EQ(platform::findFiles(directory, "*.jar"), Names{std::string(kNameOutsideCodePages) + ".jar"});
    EXPECT_TRUE(platform::exists(directory + "\\sub"));
    EXPECT_EQ(platform::fullPathDirectory(directory + "\\x.jar"), directory + "\\");
    {
        CurrentDirectory current(directory);
        ASSERT_TRUE(current.changed());
        EXPECT_EQ(platform::currentDirectory(), directory);
        EXPECT_TRUE(platform::exists("sub"));
    }
    std::FILE* file = platform::openFile(directory + "\\" + kNameOutsideCodePages + ".jar", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::fgetc(file), 'x');
    std::fclose(file);
}

TEST(PlatformWin32Files, ExistsForFilesAndDirectories) {
    TempDir dir;
    std::string file = dir.write("bin/java.exe");
    EXPECT_TRUE(platform::exists(file));
    EXPECT_TRUE(platform::exists(dir / "bin"));
    EXPECT_TRUE(platform::exists(dir / "BIN/JAVA.EXE"));
    EXPECT_TRUE(platform::exists(dir.path() + "\\\\bin\\java.exe"));  // a doubled separator is accepted
    EXPECT_FALSE(platform::exists(dir / "bin/javaw.exe"));
    EXPECT_FALSE(platform::exists(""));
}

std::wstring wide(const std::string& utf8) { return fs::u8path(utf8).wstring(); }

/// Sets an environment variable (nullopt: removes it) for the object's lifetime.
class EnvVar {
public:
    EnvVar(const char* name, const std::optional<std::string>& value) : name_(wide(name)) {
        SetEnvironmentVariableW(name_.c_str(), value ? wide(*value).c_str() : nullptr);
    }
    ~EnvVar() { SetEnvironmentVariableW(name_.c_str(), nullptr); }

private:
    std::wstring name_;
};

TEST(PlatformWin32Environment, TellsUnsetFromEmptyAndReadsWholeValues) {
    struct Case {
        const char* setName;
        std::optional<std::string> value;
        const char* readName;
    };
    const std::string longValue(5000, 'v');
    const Case cases[] = {
        {"LAUNCHER_TEST_UNSET", std::nullopt, "LAUNCHER_TEST_UNSET"},
        {"LAUNCHER_TEST_EMPTY", std::string(), "LAUNCHER_TEST_EMPTY"},
        {"LAUNCHER_TEST_PLAIN", std::string(" D:\\u "), "LAUNCHER_TEST_PLAIN"},
        {"LAUNCHER_TEST_CASE", std::string("x"), "launcher_test_Case"},
        {"LAUNCHER_TEST_LONG", longValue, "LAUNCHER_TEST_LONG"},
        {"LAUNCHER_TEST_TEXT", std::string(kNameOutsideCodePages), "LAUNCHER_TEST_TEXT"},
        {"LAUNCHER_\xce\xa9", std::string("\xe2\x88\x95"), "LAUNCHER_\xce\xa9"},
    };
    for (const Case& c : cases) {
        EnvVar var(c.setName, c.value);
        EXPECT_EQ(platform::getEnv(c.readName), c.value) << c.setName;
    }
}

TEST(PlatformWin32Text, ConvertsUtf8ToUtf16) {
    EXPECT_EQ(platform::toUtf16(""), u"");
    EXPECT_EQ(platform::toUtf16("Main a/b"), u"Main a/b");
    EXPECT_EQ(platform::toUtf16("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"), u"caf\u00e9 \u20ac \U0001F600");
    EXPECT_EQ(platform::toUtf16("a\xff" "b\xc3"), u"a\ufffdb\ufffd");
}

TEST(PlatformWin32Text, PreviousCharStartStepsOverWholeCharacters) {
    EXPECT_EQ(platform::previousCharStart("abc", 3), 2u);
    EXPECT_EQ(platform::previousCharStart("abc", 0), 0u);
    EXPECT_EQ(platform::previousCharStart("", 0), 0u);
    EXPECT_EQ(platform::previousCharStart("a\xe3\x82\xbd", 4), 1u);
    EXPECT_EQ(platform::previousCharStart("\xf0\x9f\x98\x80", 4), 0u);
}

// The VM reads its options in the ANSI code page: what it holds goes as it is, a path of a path
// option that it cannot hold goes by its short name, and anything else stops with the part
// named: a path without a short name, else the whole option.
TEST(PlatformWin32Text, VmOptionsCarryOnlyWhatTheCodePageHolds) {
    using platform::VmOptionValue;
    TempDir dir;
    std::string directory = dir.path() + "\\" + kNameOutsideCodePages;
    fs::create_directories(fs::u8path(directory));
    std::string jar = directory + "\\a.jar";
    std::ofstream(fs::u8path(jar)).put('x');
    std::string unrepresentable;
    for (VmOptionValue value : {VmOptionValue::Text, VmOptionValue::PathList, VmOptionValue::AgentPath})
        EXPECT_EQ(platform::vmOptionText("-Dplain=C:\\a b;x", value, unrepresentable), "-Dplain=C:\\a b;x");
    EXPECT_EQ(platform::vmOptionBytes("-Dplain=C:\\a b;x"), "-Dplain=C:\\a b;x");

    // Each entry names the same file through the ANSI interface, as the VM opens it.
    auto opensAsTheVm = [](const std::string& bytes, std::size_t start, std::size_t end) {
        return GetFileAttributesA(bytes.substr(start, end - start).c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    for (const char* prefix : {"-Djava.class.path=", "-Xbootclasspath/a:"}) {
        std::optional<std::string> text =
            platform::vmOptionText(prefix + jar + ";" + directory + ";", VmOptionValue::PathList, unrepresentable);
        ASSERT_TRUE(text) << unrepresentable;
        std::string bytes = platform::vmOptionBytes(*text);
        std::size_t start = std::string(prefix).size();
        std::size_t cut = bytes.find(';', start);
        ASSERT_NE(cut, std::string::npos) << bytes;
        EXPECT_TRUE(opensAsTheVm(bytes, start, cut)) << bytes;
        EXPECT_EQ(bytes.back(), ';');
    }
    // An agent's path goes by its short name; its options, which the code page holds, stay.
    std::optional<std::string> agent =
        platform::vmOptionText("-javaagent:" + jar + "=a=b;c", VmOptionValue::AgentPath, unrepresentable);
    ASSERT_TRUE(agent) << unrepresentable;
    std::string agentBytes = platform::vmOptionBytes(*agent);
    std::size_t equals = agentBytes.find('=');
    ASSERT_NE(equals, std::string::npos) << agentBytes;
    EXPECT_TRUE(opensAsTheVm(agentBytes, 11, equals)) << agentBytes;
    EXPECT_EQ(agentBytes.substr(equals), "=a=b;c");
    EXPECT_FALSE(platform::vmOptionText("-javaagent:" + jar + "=\xc5\xbc", VmOptionValue::AgentPath, unrepresentable));
    EXPECT_EQ(unrepresentable, "-javaagent:" + jar + "=\xc5\xbc");

    // A variable's value in quotation marks, as RegisterEnvVar passes it.
    std::optional<std::string> quoted =
        platform::vmOptionText("-Denv.home=\"" + directory + "\"", VmOptionValue::PathList, unrepresentable);
    ASSERT_TRUE(quoted) << unrepresentable;
    std::string quotedBytes = platform::vmOptionBytes(*quoted);
    ASSERT_EQ(quotedBytes.back(), '"');
    EXPECT_EQ(quotedBytes.substr(0, 12), "-Denv.home=\"");
    EXPECT_TRUE(opensAsTheVm(quotedBytes, 12, quotedBytes.size() - 1)) << quotedBytes;

    // A text is never taken for a file, even one that is there.
    EXPECT_FALSE(platform::vmOptionText("-Dx=" + jar, VmOptionValue::Text, unrepresentable));
    EXPECT_EQ(unrepresentable, "-Dx=" + jar);
    const std::string missing = dir.path() + "\\missing \xc5\xbc \xf0\x9f\x98\x80";
    EXPECT_FALSE(platform::vmOptionText("-Djava.class.path=" + jar + ";" + missing, VmOptionValue::PathList, unrepresentable));
    EXPECT_EQ(unrepresentable, missing);
    EXPECT_FALSE(platform::vmOptionText("-D\xf0\x9f\x98\x80=1", VmOptionValue::PathList, unrepresentable));
    EXPECT_EQ(unrepresentable, "-D\xf0\x9f\x98\x80=1");
    // A look-alike is never taken: U+2215 is no '/', in any code page.
    EXPECT_FALSE(platform::vmOptionText("-Djava.class.path=a\xe2\x88\x95" "b", VmOptionValue::PathList, unrepresentable));
    EXPECT_EQ(unrepresentable, "a\xe2\x88\x95" "b");

    EXPECT_TRUE(platform::vmCanTakePath(directory));
    EXPECT_TRUE(platform::vmCanTakePath("C:\\plain"));
    EXPECT_FALSE(platform::vmCanTakePath(missing));
}

// ---- Version information ---------------------------------------------------------------

// The test program carries the launcher's own resources: its version block is read as the
// launcher reads its own, and is no stamp. Any cut of the block is read without a fault.
TEST(PlatformWin32Version, StringsOfTheOwnVersionBlock) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    ASSERT_NE(found, nullptr);
    const auto* block = static_cast<const unsigned char*>(LockResource(LoadResource(self, found)));
    std::size_t size = SizeofResource(self, found);
    EXPECT_EQ(platform::versionString(block, size, u"ProductName"), std::optional<std::string>("Ombrix Halverant"));
    EXPECT_EQ(platform::versionString(block, size, u"OriginalFilename"), std::optional<std::string>("launcher.exe"));
    EXPECT_EQ(platform::versionString(block, size, u"Translation"), std::nullopt);  // not a string
    EXPECT_EQ(platform::versionString(block, size, u"Nothing"), std::nullopt);
    EXPECT_EQ(platform::versionString(block, size, u"CompanyName"), std::optional<std::string>("Ombrix"));
    EXPECT_EQ(platform::stampedProductName(), std::nullopt);
    EXPECT_EQ(platform::stampedCompanyName(), std::nullopt);
    std::vector<unsigned char> copy(block, block + size);
    for (std::size_t cut = 0; cut < size; ++cut) {
        std::vector<unsigned char> part(copy.begin(), copy.begin() + cut);
        std::optional<std::string> name = platform::versionString(part.data(), part.size(), u"ProductName");
        EXPECT_EQ(name.value_or("Ombrix Halverant"), "Ombrix Halverant") << cut;
    }
}

// ---- Libraries ---------------------------------------------------------------------------

#ifdef _WIN64
constexpr WORD kOtherMachine = IMAGE_FILE_MACHINE_I386;
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kOtherMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
#endif

// The headers of a PE file for `machine` and nothing loadable behind them.
std::string peHeaderOnly(WORD machine) {
    std::string bytes(0x200, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3c] = 0x40;
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    bytes[0x44] = static_cast<char>(machine & 0xff);
    bytes[0x45] = static_cast<char>(machine >> 8);
    return bytes;
}

TEST(PlatformWin32Libraries, LoadsLibrariesAndFindsTheirExports) {
    char system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    platform::LoadedLibrary kernel = platform::loadLibrary(std::string(system) + "\\kernel32.dll");
    ASSERT_NE(kernel.handle, nullptr);
    EXPECT_FALSE(kernel.wrongBitness);
    EXPECT_NE(platform::findSymbol(kernel.handle, "GetProcAddress"), nullptr);
    EXPECT_EQ(platform::findSymbol(kernel.handle, "JNI_CreateJavaVM"), nullptr);
}

TEST(PlatformWin32Libraries, TellsALibraryOfTheOtherMachineFromOtherFailures) {
    TempDir dir;
    struct Case {
        const char* what;
        std::optional<std::string> content;
        bool wrongBitness;
    };
    const Case cases[] = {
        {"other machine", peHeaderOnly(kOtherMachine), true},
        {"own machine, damaged", peHeaderOnly(kOwnMachine), false},
        {"no library at all", std::string("not a library\n"), false},
        {"missing", std::nullopt, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        std::string path = dir / ("case" + std::to_string(index++) + "\\jvm.dll");
        if (c.content) dir.write(path.substr(dir.path().size() + 1), *c.content);
        platform::LoadedLibrary library = platform::loadLibrary(path);
        EXPECT_EQ(library.handle, nullptr) << c.what;
        EXPECT_EQ(library.wrongBitness, c.wrongBitness) << c.what;
    }
}

// A PE file that imports from `names`, `copies` times over (one descriptor each, in order, all
// copies naming the same text), and nothing loadable: one section at 0x1000 holds them.
std::string importingLibrary(const std::vector<std::string>& names, std::size_t copies = 1) {
    std::string bytes = peHeaderOnly(kOwnMachine);
    auto put = [](std::string& to, std::size_t at, std::size_t width, std::size_t value) {
        for (std::size_t i = 0; i < width; ++i) to[at + i] = static_cast<char>(value >> (8 * i) & 0xff);
    };
    const std::size_t pe = 0x40, sectionRva = 0x1000, sectionFile = 0x200;
    put(bytes, pe + 6, 2, 1);                      // one section
    put(bytes, pe + 20, 2, 0xE0);                  // the PE32 optional header's size
    put(bytes, pe + 24, 2, 0x10B);                 // PE32
    put(bytes, pe + 24 + 96 + 8, 4, sectionRva);  // the import directory
    const std::size_t count = names.size() * copies;
    std::string section((count + 1) * 20, '\0');
    std::vector<std::size_t> textAt;
    for (const std::string& name : names) {
        textAt.push_back(sectionRva + section.size());
        section += name + '\0';
    }
    for (std::size_t i = 0; i < count; ++i) put(section, i * 20 + 12, 4, textAt[i % names.size()]);
    const std::size_t table = pe + 24 + 0xE0;
    put(bytes, table + 8, 4, section.size());
    put(bytes, table + 12, 4, sectionRva);
    put(bytes, table + 16, 4, section.size());
    put(bytes, table + 20, 4, sectionFile);
    return bytes + section;
}

// What the report of a library that would not load names: the DLLs that are nowhere, each
// once, printable, and never the library itself, which a DLL it imports may import back;
// many descriptors naming one long text cost no more than the file.
TEST(PlatformWin32Libraries, NamesTheMissingDllsOfALibraryOnce) {
    TempDir dir;
    const std::string part = "launcher-test-part.dll", absent = "launcher-test-absent.dll";
    dir.write("bin/" + part, importingLibrary({"JVM.dll", absent, "kernel32.dll"}));
    struct Case {
        const char* what;
        std::vector<std::string> imports, missing;
        std::size_t copies;
    } cases[] = {
        {"plain", {absent, "KERNEL32.dll", absent, "LAUNCHER-TEST-ABSENT.DLL"}, {absent}, 1},
        {"imported back", {part}, {absent}, 1},
        {"control characters", {"a\r\nERROR: b.dll", "\xC3\xA4.dll"}, {"a\\x0D\\x0AERROR: b.dll", "\\xC3\\xA4.dll"}, 1},
        {"one long name", {std::string(1 << 20, 'n')}, {std::string(255, 'n') + "..."}, 1600},
    };
    ASSERT_TRUE(SetDllDirectoryW(platform::toWide(dir / "bin").c_str()));
    for (const Case& c : cases) {
        std::string library = dir.write(std::string("server-") + c.what + "/jvm.dll", importingLibrary(c.imports, c.copies));
        DWORD start = GetTickCount();
        EXPECT_EQ(platform::missingDependencies(library), c.missing) << c.what;
        EXPECT_LT(GetTickCount() - start, 10000u) << c.what;
    }
    // Of many, a report names the first 256 at most (fewer when a second's search ends it
    // first, as it may under Wine), and then says that there are more.
    Names many;
    for (int i = 0; i < 300; ++i) many.push_back("launcher-test-absent-" + std::to_string(i) + ".dll");
    Names reported = platform::missingDependencies(dir.write("server-many/jvm.dll", importingLibrary(many)));
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), "and more");
    reported.pop_back();
    EXPECT_LE(reported.size(), 256u);
    EXPECT_TRUE(std::equal(reported.begin(), reported.end(), many.begin()));
    SetDllDirectoryW(nullptr);
}

// A box breaks its lines at blanks only: a long unbroken name is wrapped, a very long one cut
// in the middle, and nothing else changes.
TEST(PlatformWin32Text, MessageBoxTextFitsTheScreen) {
    const std::wstring path = L"C:\\" + std::wstring(50, L'a') + L"\\" + std::wstring(50, L'b') + L"\\jvm.dll";
    // Lines `first` to `end` of a text of `count` lines.
    auto lines = [](int first, int end, int count) {
        std::wstring text;
        for (int i = first; i < end; ++i) text += L"line " + std::to_wstring(i) + (i + 1 < count ? L"\n" : L"");
        return text;
    };
    // Lines `first` to `end` of `count` lines of 49 letters each, over the box's limit together.
    auto wide = [](int first, int end, int count) {
        std::wstring text;
        for (int i = first; i < end; ++i) text += std::wstring(49, L'a' + i % 26) + (i + 1 < count ? L"\n" : L"");
        return text;
    };
    std::wstring words;
    for (int i = 0; i < 367; ++i) words += L"ab ";
    // Entries `first` to `end` of a list of 40 letters each, one a line as a box shows them.
    auto entries = [](int first, int end) {
        std::wstring text;
        for (int i = first; i < end; ++i) text += std::wstring(40, L'a' + i % 26) + (i + 1 < end ? L";\n" : L"");
        return text;
    };
    struct Case {
        const char* what;
        std::wstring text, shown;
    } cases[] = {
        {"short lines", L"Unable to launch\nLocated at path:\nC:\\jre\\bin", L"Unable to launch\nLocated at path:\nC:\\jre\\bin"},
        {"a path, broken after a separator", L"at " + path + L".",
         L"at C:\\" + std::wstring(50, L'a') + L"\\\n" + std::wstring(50, L'b') + L"\\jvm.dll."},
        {"no separator", std::wstring(130, L'n') + L" x",
         std::wstring(60, L'n') + L"\n" + std::wstring(60, L'n') + L"\n" + std::wstring(10, L'n') + L" x"},
        {"cut in the middle", std::wstring(200, L'h') + std::wstring(200, L't'),
         std::wstring(60, L'h') + L"\n" + std::wstring(60, L'h') + L"\n\u2026" + std::wstring(59, L't') + L"\n" +
             std::wstring(60, L't')},
        {"pairs kept whole", std::wstring(59, L'x') + L"\xD83D\xDE00" + L"y",
         std::wstring(59, L'x') + L"\n\xD83D\xDE00y"},
        {"a pair at the cut", std::wstring(119, L'h') + L"\xD83D\xDE00" + std::wstring(119, L'h') + L"\xD83D\xDE00t",
         std::wstring(60, L'h') + L"\n" + std::wstring(59, L'h') + L"\u2026\n" + std::wstring(60, L'h') + L"\n" +
             std::wstring(56, L'h') + L"\xD83D\xDE00t"},
        {"forty lines", lines(0, 40, 40), lines(0, 40, 40)},
        {"forty-one lines", lines(0, 41, 41), lines(0, 20, 41) + L"\u2026\n" + lines(22, 41, 41)},
        {"over the limit: the last lines stay whole", wide(0, 30, 30),
         wide(0, 1, 30) + L"\u2026\n" + wide(11, 30, 30)},
        {"one line over the limit", words, words.substr(0, 1023)},
        {"a list over the limit: its first and last entries stay", L"found: " + entries(0, 25) + L"\nneeds",
         L"found: " + entries(0, 6) + L";\n\u2026\n" + entries(7, 25) + L"\nneeds"},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::messageBoxText(c.text), c.shown) << c.what;
}

// ---- Child processes ---------------------------------------------------------------------

const char* const kEchoFileVariable = "LAUNCHER_TEST_ECHO_FILE";

// Run only as the child of the test below, chosen through googletest's environment variables
// so that no flag of its own joins (and is then taken out of) the arguments: writes the
// arguments exactly as the launcher reads its own command line, each ended by a NUL, and
// exits with 42.
TEST(PlatformWin32Child, DISABLED_EchoArguments) {
    const char* file = std::getenv(kEchoFileVariable);
    if (file == nullptr) GTEST_SKIP() << "only run by PlatformWin32Processes";
    {
        std::ofstream out(file, std::ios::binary);
        for (const std::string& arg : platform::commandLineArguments(__argc, __argv)) out << arg << '\0';
    }
    std::fflush(nullptr);
    std::_Exit(42);
}

TEST(PlatformWin32Processes, ChildReceivesExactlyTheArgumentsAndItsExitCodeComesBack) {
    TempDir dir;
    std::optional<std::string> self = platform::ownExecutablePath();
    ASSERT_TRUE(self);
    // The program lies in a path with blanks, as under C:\Program Files, and letters outside
    // the code page.
    std::string program = dir / ("Program Files/" + std::string(kNameOutsideCodePages) + "/unit tests.exe");
    fs::create_directories(fs::u8path(program).parent_path());
    fs::copy_file(fs::u8path(*self), fs::u8path(program));
    std::string echoFile = dir / "echo.bin";
    ScopedEnv echo(kEchoFileVariable, echoFile);
    ScopedEnv filter("GTEST_FILTER", std::string("PlatformWin32Child.DISABLED_EchoArguments"));
    ScopedEnv disabled("GTEST_ALSO_RUN_DISABLED_TESTS", std::string("1"));

    const std::vector<std::string> args = {
        program,
        "a b",
        "",
        "C:\\dir with blank\\",
        "x\\\"y",
        "\"",
        "tab\there",
        "-Denv.temp=\"C:\\tmp\"",
        // Look-alikes of a quotation mark (U+FF02) and a slash (U+2215), Greek, CJK, an emoji.
        "\xef\xbc\x82 \xe2\x88\x95\"",
        "\xce\xa9\\\"\xe3\x82\xbd",
        "\xf0\x9f\x98\x80",
        kNameOutsideCodePages,
    };
    platform::ChildOutcome outcome = platform::runAndWait(program, args);

    ASSERT_TRUE(outcome.started) << outcome.errorText;
    EXPECT_EQ(outcome.exitCode, 42);
    std::ifstream in(echoFile, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> received;
    for (std::size_t start = 0, end; (end = content.find('\0', start)) != std::string::npos; start = end + 1)
        received.push_back(content.substr(start, end - start));
    EXPECT_EQ(received, args);
}

TEST(PlatformWin32Processes, AProgramThatCannotStartGivesTheSystemText) {
    TempDir dir;
    std::string missing = dir / "no such.exe";
    platform::ChildOutcome outcome = platform::runAndWait(missing, {missing, "x"});
    EXPECT_FALSE(outcome.started);
    ASSERT_FALSE(outcome.errorText.empty());
    EXPECT_NE(outcome.errorText.back(), '\n');
    EXPECT_NE(outcome.errorText.back(), '\r');
}

// The handle owner closes what it holds when it goes, and takes both ways the system writes
// "no handle" (NULL and INVALID_HANDLE_VALUE) as none, closing neither.
TEST(PlatformWin32Handles, TheOwnerClosesItsHandleOnceAndNoneOfTheFailures) {
    DWORD flags = 0;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    { platform::OwnedHandle owner(event); }
    EXPECT_FALSE(GetHandleInformation(event, &flags));
    platform::OwnedHandle first(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE moved = first.get();
    platform::OwnedHandle second(std::move(first));
    EXPECT_FALSE(first.valid());
    EXPECT_TRUE(GetHandleInformation(moved, &flags));
    HANDLE kept = second.release();
    EXPECT_TRUE(GetHandleInformation(kept, &flags));
    second.reset(kept);
    second.reset();
    EXPECT_FALSE(GetHandleInformation(kept, &flags));
    for (HANDLE none : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        platform::OwnedHandle failed(none);
        EXPECT_FALSE(failed.valid());
        EXPECT_EQ(failed.get(), nullptr);
    }
}

// A worker is told apart by its program name alone; what it is given beside is checked
// before any handle in it is used, and it waits for the launch it names before its work.
TEST(PlatformWin32Processes, AWorkerTakesItsWorkOnlyFromAWellFormedCommandLine) {
    EXPECT_FALSE(platform::backgroundWork({"app.exe", "10", "0", "1", "make"}));
    EXPECT_FALSE(platform::backgroundWork({}));
    const std::string worker = "<launcher worker>";
    const std::vector<std::vector<std::string>> malformed = {
        {worker},
        {worker, "10", "0"},
        {worker, "ten", "0", "1"},
        {worker, "10", "-1", "1"},
        {worker, "10", "2", "1", "2"},
        {worker, "3601", "0", "1"},
        {worker, "10", "0", "0x10"},
        {worker, "10", "1", "1", "99999999999999999999"},
    };
    for (const auto& args : malformed) {
        std::optional<std::vector<std::string>> job = platform::backgroundWork(args);
        ASSERT_TRUE(job) << args.size();
        EXPECT_TRUE(job->empty()) << args.size();
    }
    // The launch it waits for: here an event already set, which the worker closes.
    HANDLE launch = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(launch, nullptr);
    std::string handle = std::to_string(reinterpret_cast<std::uintptr_t>(launch));
    std::optional<std::vector<std::string>> job = platform::backgroundWork({worker, "0", "0", handle, "make", "", "a b"});
    ASSERT_TRUE(job);
    EXPECT_EQ(*job, (std::vector<std::string>{"make", "", "a b"}));
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(launch, &flags));
}

}  // namespace

#endif  // _WIN32
