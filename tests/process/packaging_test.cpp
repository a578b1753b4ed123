// What a user takes away from each build: the package CPack makes from the tree whose launcher
// is under test, made in a scratch directory, and the version information of the Windows
// executable. The version is the one the tree was configured with (project(VERSION)).
#include <sys/utsname.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The build tree of the launcher under test: the directory of LAUNCHER_EXE.
fs::path treeDirectory() { return fs::path(target().launcherExe).parent_path(); }

/// A value of the tree's CMakeCache.txt ("NAME:TYPE=VALUE"); empty when it has none.
std::string cacheValue(const std::string& name) {
    std::istringstream cache(readFile(treeDirectory() / "CMakeCache.txt"));
    for (std::string line; std::getline(cache, line);)
        if (line.rfind(name + ":", 0) == 0) return line.substr(line.find('=') + 1);
    return "";
}

std::string projectVersion() { return cacheValue("CMAKE_PROJECT_VERSION"); }

/// The system part of the package name: win32, win64, or linux-<machine>.
std::string systemName() {
    switch (target().kind) {
    case Kind::Win32:
        return "win32";
    case Kind::Win64:
        return "win64";
    case Kind::Linux:
        break;
    }
    utsname name{};
    ::uname(&name);
    return std::string("linux-") + name.machine;
}

const std::vector<std::string> kToolPath{"PATH=/usr/local/bin:/usr/bin:/bin"};

/// The package of the tree under test, made once for the suite, and unpacked.
class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = std::make_unique<Installation>("scratch");
        std::string cpack = cacheValue("CMAKE_CPACK_COMMAND");
        made_ = runProcess(cpack, {cpack, "--config", (treeDirectory() / "CPackConfig.cmake").string(), "-B",
                                   scratch_->path("package")},
                           kToolPath, treeDirectory().string(), 300);
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(scratch_->path("package"), ec))
            if (entry.is_regular_file()) files_.push_back(entry.path().filename().string());
        if (files_.size() != 1) return;
        std::string cmake = cacheValue("CMAKE_COMMAND");
        std::string archive = scratch_->path("package/" + files_.front());
        Result listed = runProcess(cmake, {cmake, "-E", "tar", "tf", archive}, kToolPath, scratch_->root(), 120);
        std::istringstream names(listed.out);
        for (std::string name; std::getline(names, name);)
            if (!name.empty() && name.back() != '/') entries_.insert(name);
        scratch_->mkdir("unpacked");
        unpacked_ = runProcess(cmake, {cmake, "-E", "tar", "xf", archive}, kToolPath, scratch_->path("unpacked"), 120);
    }
    static void TearDownTestSuite() { scratch_.reset(); }

    void SetUp() override {
        ASSERT_EQ(made_.exitCode, 0) << made_.out << made_.err;
        ASSERT_EQ(files_.size(), 1u) << "cpack made more or less than one package";
        ASSERT_EQ(unpacked_.exitCode, 0) << unpacked_.err;
    }

    static std::string top() { return "launcher-" + projectVersion() + "-" + systemName(); }
    static std::string launcherName() { return "bin/launcher" + exeSuffix(); }
    static std::string stampName() { return "bin/launcher-stamp" + exeSuffix(); }
    static fs::path unpacked(const std::string& relative) { return scratch_->path("unpacked/" + top() + "/" + relative); }

    static std::unique_ptr<Installation> scratch_;
    static Result made_, unpacked_;
    static std::vector<std::string> files_;
    static std::set<std::string> entries_;
};

std::unique_ptr<Installation> Package::scratch_;
Result Package::made_, Package::unpacked_;
std::vector<std::string> Package::files_;
std::set<std::string> Package::entries_;

TEST_F(Package, IsNamedAfterTheVersionAndTheBuild) {
    ASSERT_FALSE(projectVersion().empty());
    EXPECT_EQ(files_.front(), top() + (isWindows() ? ".zip" : ".tar.gz"));
}

// One folder holding the launcher, the stamping tool, the example configuration, the README and
// every page of the reference, each as it is in the tree or the source, and nothing else.
TEST_F(Package, HoldsTheLauncherTheExampleAndTheDocs) {
    fs::path source = cacheValue("launcher_SOURCE_DIR");
    std::map<std::string, fs::path> expected{{launcherName(), treeDirectory() / ("launcher" + exeSuffix())},
                                             {stampName(), treeDirectory() / ("launcher-stamp" + exeSuffix())},
                                             {"examples/app.conf", source / "examples/app.conf"},
                                             {"README.md", source / "README.md"}};
    if (isWindows()) expected["bin/launcherw.exe"] = treeDirectory() / "launcherw.exe";
    for (const auto& entry : fs::directory_iterator(source / "docs"))
        if (entry.is_regular_file()) expected["docs/" + entry.path().filename().string()] = entry.path();
    std::set<std::string> names;
    for (const auto& [name, from] : expected) names.insert(top() + "/" + name);
    EXPECT_EQ(entries_, names);
    for (const auto& [name, from] : expected)
        EXPECT_TRUE(readFile(unpacked(name)) == readFile(from)) << name << " differs from " << from;
    if (!isWindows()) {
        EXPECT_NE(fs::status(unpacked(launcherName())).permissions() & fs::perms::owner_exec, fs::perms::none)
            << "the unpacked launcher cannot be run";
        EXPECT_NE(fs::status(unpacked(stampName())).permissions() & fs::perms::owner_exec, fs::perms::none)
            << "the unpacked stamping tool cannot be run";
    }
}

// The unpacked launcher, renamed app with examples/app.conf beside it as the example's own
// comments say, with a runtime in ../jre and the application's jar in ../lib, starts the
// example's main class with its VM option.
TEST_F(Package, UnpackedLauncherStartsTheExampleConfiguration) {
    Installation inst("app");
    fs::copy_file(unpacked(launcherName()), inst.path("bin/app" + exeSuffix()), fs::copy_options::overwrite_existing);
    fs::copy_file(unpacked("examples/app.conf"), inst.path("bin/app.conf"));
    inst.addRuntime("jre");
    inst.write("lib/app.jar", "");
    EXPECT_RUN(inst.run({"-nomsgbox", "x"}), "", "", 0);
    LaunchOptions parts;
    parts.fromFile = {"-Xmx256m"};
    parts.classPath = std::vector<std::string>{native("../lib/app.jar")};
    for (const std::string& entry : runtimeClassPath(defaultJavaHome())) parts.classPath->push_back(entry);
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "com/example/app/Main", {"x"}));
}

// ---- The version information of a PE image ------------------------------------------------------

class Bytes {
public:
    explicit Bytes(std::string data) : data_(std::move(data)) {}
    std::uint32_t u16(std::size_t at) const { return byte(at) | byte(at + 1) << 8; }
    std::uint32_t u32(std::size_t at) const { return u16(at) | u16(at + 2) << 16; }
    std::size_t size() const { return data_.size(); }
    /// The UTF-16 text from `at` to its terminating zero, narrowed (the texts here are ASCII).
    std::string text(std::size_t at, std::size_t& end) const {
        std::string out;
        for (end = at; u16(end) != 0; end += 2) out += static_cast<char>(u16(end));
        end += 2;
        return out;
    }
    /// The zero-terminated ASCII text at `at`.
    std::string ascii(std::size_t at) const {
        std::string out;
        for (; byte(at) != 0; ++at) out += static_cast<char>(byte(at));
        return out;
    }

private:
    std::uint32_t byte(std::size_t at) const {
        if (at >= data_.size()) throw std::out_of_range("read beyond the image");
        return static_cast<unsigned char>(data_[at]);
    }
    std::string data_;
};

/// The address of data directory `index` of a PE image (1: imports, 2: resources, 13: delay-load
/// imports); 0 when the image has none.
std::uint32_t directoryAddress(const Bytes& image, std::size_t index) {
    std::size_t pe = image.u32(0x3C);
    if (image.u32(pe) != 0x4550) throw std::runtime_error("no PE signature");
    std::size_t optional = pe + 24;
    std::size_t directories = optional + (image.u16(optional) == 0x20B ? 112 : 96);
    return image.u32(directories + index * 8);
}

/// The file offset of an address of a PE image, through its section table.
std::size_t offsetOf(const Bytes& image, std::uint32_t rva) {
    std::size_t pe = image.u32(0x3C);
    std::size_t sectionTable = pe + 24 + image.u16(pe + 20);
    for (std::size_t i = 0; i < image.u16(pe + 6); ++i) {
        std::size_t s = sectionTable + i * 40;
        std::uint32_t start = image.u32(s + 12), length = std::max(image.u32(s + 8), image.u32(s + 16));
        if (rva >= start && rva < start + length) return image.u32(s + 20) + (rva - start);
    }
    throw std::runtime_error("an address outside every section");
}

/// The names of the DLLs a PE image imports at load time, in the order of its import directory.
std::vector<std::string> importedDlls(const Bytes& image) {
    std::vector<std::string> names;
    std::uint32_t imports = directoryAddress(image, 1);
    if (imports == 0) return names;
    // Each descriptor is 20 bytes, its name's address at 12; an all-zero one ends the table.
    for (std::size_t d = offsetOf(image, imports); image.u32(d + 12) != 0; d += 20)
        names.push_back(image.ascii(offsetOf(image, image.u32(d + 12))));
    return names;
}

/// The file offset and size of a resource of a PE image, by the resource directory: the
/// type (16: RT_VERSION, 24: RT_MANIFEST), its first name, its first language.
std::pair<std::size_t, std::size_t> resourceOf(const Bytes& image, std::uint32_t type) {
    auto offset = [&](std::uint32_t rva) { return offsetOf(image, rva); };
    std::size_t base = offset(directoryAddress(image, 2));
    // Returns the entry's offset field, for id `id` (or the first entry when id is 0).
    auto entry = [&](std::size_t directory, std::uint32_t id) -> std::uint32_t {
        std::size_t count = image.u16(directory + 12) + image.u16(directory + 14);
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t e = directory + 16 + i * 8;
            if (id == 0 || image.u32(e) == id) return image.u32(e + 4);
        }
        throw std::runtime_error("no resource of type " + std::to_string(type));
    };
    std::uint32_t names = entry(base, type);
    std::uint32_t languages = entry(base + (names & 0x7FFFFFFF), 0);
    std::uint32_t data = entry(base + (languages & 0x7FFFFFFF), 0);
    if (!(names & languages & 0x80000000) || (data & 0x80000000)) throw std::runtime_error("a malformed resource tree");
    return {offset(image.u32(base + data)), image.u32(base + data + 4)};
}

struct VersionInfo {
    std::uint32_t fileMs = 0, fileLs = 0, productMs = 0, productLs = 0;
    std::map<std::string, std::string> strings;
};

/// Reads one VS_VERSIONINFO block at `at` (wLength, wValueLength, wType, key, value,
/// children, each aligned to 4 bytes) and what it holds into `info`.
void readBlock(const Bytes& image, std::size_t at, std::size_t origin, VersionInfo& info, int depth) {
    std::size_t length = image.u16(at), valueLength = image.u16(at + 2), type = image.u16(at + 4);
    std::size_t end = at + length, cursor = 0;
    std::string key = image.text(at + 6, cursor);
    auto align = [&](std::size_t offset) { return origin + ((offset - origin + 3) & ~std::size_t{3}); };
    std::size_t value = align(cursor);
    if (depth == 0 && key == "VS_VERSION_INFO") {
        if (valueLength < 52 || image.u32(value) != 0xFEEF04BD) throw std::runtime_error("no VS_FIXEDFILEINFO");
        info.fileMs = image.u32(value + 8);
        info.fileLs = image.u32(value + 12);
        info.productMs = image.u32(value + 16);
        info.productLs = image.u32(value + 20);
    } else if (depth == 3 && type == 1) {
        std::size_t ignored = 0;
        info.strings[key] = valueLength ? image.text(value, ignored) : "";
        return;
    }
    std::size_t child = align(value + (type == 1 ? 2 * valueLength : valueLength));
    while (child + 6 < end) {
        std::size_t childLength = image.u16(child);
        if (childLength == 0) break;
        readBlock(image, child, origin, info, depth + 1);
        child = align(child + childLength);
    }
}

VersionInfo versionInfo(const std::string& file) {
    Bytes image(readFile(file));
    auto [offset, size] = resourceOf(image, 16);
    if (offset + size > image.size()) throw std::runtime_error("the version resource runs past the file");
    VersionInfo info;
    readBlock(image, offset, offset, info, 0);
    return info;
}

// The Windows executable's version information holds the version the tree was configured with,
// as numbers and as the texts Explorer shows.
TEST(WindowsVersionInformation, HoldsTheProjectVersion) {
    if (!isWindows()) GTEST_SKIP() << "only Windows executables carry version information";
    std::string version = projectVersion();
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch), 3) << version;
    VersionInfo info = versionInfo(target().launcherExe);
    EXPECT_EQ(info.fileMs, major << 16 | minor);
    EXPECT_EQ(info.fileLs, patch << 16);
    EXPECT_EQ(info.productMs, info.fileMs);
    EXPECT_EQ(info.productLs, info.fileLs);
    EXPECT_EQ(info.strings["FileVersion"], version);
    EXPECT_EQ(info.strings["ProductVersion"], version);
    EXPECT_EQ(info.strings["OriginalFilename"], "launcher.exe");
}

// ---- The two Windows executables ------------------------------------------------------------

/// The console executable and the windowless one of the tree under test.
const std::vector<std::pair<std::string, std::uint32_t>> kWindowsExecutables{
    {"launcher.exe", 3},   // IMAGE_SUBSYSTEM_WINDOWS_CUI
    {"launcherw.exe", 2},  // IMAGE_SUBSYSTEM_WINDOWS_GUI
};

// Each executable of the package is the one built, for its machine (a PE32 i386 image for win32,
// PE32+ x86-64 for win64), with its subsystem, and stripped: no symbol table, under 576 KB, and
// of the size the README gives (about so many KB, to within 8).
TEST_F(Package, WindowsExecutablesAreStrippedConsoleAndWindowless) {
    if (!isWindows()) GTEST_SKIP() << "only the Windows packages hold two executables";
    const bool win32 = target().kind == Kind::Win32;
    std::smatch sizes;
    std::string readme = readFile(fs::path(cacheValue("launcher_SOURCE_DIR")) / "README.md");
    std::replace(readme.begin(), readme.end(), '\n', ' ');
    ASSERT_TRUE(std::regex_search(readme, sizes, std::regex("about (\\d+) KB each in the win32 package and (\\d+) KB "
                                                            "each in the win64 one")));
    const long documentedKb = std::stol(sizes[win32 ? 1 : 2]);
    for (const auto& [name, subsystem] : kWindowsExecutables) {
        SCOPED_TRACE(name);
        Bytes image(readFile(unpacked("bin/" + name)));
        std::size_t pe = image.u32(0x3C);
        EXPECT_EQ(image.u16(pe + 4), win32 ? 0x14Cu : 0x8664u) << "machine";
        EXPECT_EQ(image.u16(pe + 24), win32 ? 0x10Bu : 0x20Bu) << "optional header magic";
        EXPECT_EQ(image.u16(pe + 24 + 68), subsystem);
        EXPECT_EQ(image.u32(pe + 12), 0u) << "a symbol table";
        EXPECT_EQ(image.u32(pe + 16), 0u) << "symbols";
        EXPECT_LT(image.size(), 576u * 1024) << "bytes";
        EXPECT_LE(std::labs(static_cast<long>(image.size() / 1024) - documentedKb), 8) << image.size() << " bytes";
    }
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Linked fully static, every executable of the tree imports only DLLs that every Windows has in
// its system folder, none of the compiler's runtime DLLs (libstdc++, libgcc, libwinpthread), and
// loads none late.
TEST(WindowsImports, SystemDllsOnly) {
    if (!isWindows()) GTEST_SKIP() << "only Windows executables import DLLs by name";
    const std::set<std::string> system{"kernel32.dll", "user32.dll", "gdi32.dll",  "comdlg32.dll", "comctl32.dll",
                                       "advapi32.dll", "shell32.dll", "ole32.dll", "msvcrt.dll"};
    for (const char* name : {"launcher.exe", "launcherw.exe", "launcher-stamp.exe"}) {
        SCOPED_TRACE(name);
        Bytes image(readFile(treeDirectory() / name));
        std::vector<std::string> dlls = importedDlls(image);
        EXPECT_FALSE(dlls.empty());
        for (std::string dll : dlls) {
            std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::tolower(c); });
            EXPECT_EQ(system.count(dll), 1u) << dll << " is not a system DLL";
        }
        EXPECT_EQ(directoryAddress(image, 13), 0u) << "delay-loaded imports";
    }
}

// The Java VM runs in the launcher's process, so the manifest is the application's: per-monitor
// DPI awareness (version 2 first, then its fallback; dpiAware for the systems before Windows
// 10), every Windows version from Vista on, and paths beyond MAX_PATH.
TEST(WindowsManifest, DeclaresDpiAwarenessAndTheSupportedSystems) {
    if (!isWindows()) GTEST_SKIP() << "only Windows executables carry a manifest";
    const char* const supported[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
    };
    for (const auto& entry : kWindowsExecutables) {
        SCOPED_TRACE(entry.first);
        std::string file = readFile(treeDirectory() / entry.first);
        auto [offset, size] = resourceOf(Bytes(file), 24);
        ASSERT_LE(offset + size, file.size());
        std::string manifest = file.substr(offset, size);
        EXPECT_TRUE(contains(manifest, ">true/PM</dpiAware>")) << manifest;
        EXPECT_TRUE(contains(manifest, ">PerMonitorV2, PerMonitor</dpiAwareness>")) << manifest;
        EXPECT_TRUE(contains(manifest, ">true</longPathAware>")) << manifest;
        for (const char* id : supported) EXPECT_TRUE(contains(manifest, std::string("<supportedOS Id=\"") + id + "\"/>")) << id;
    }
}

}  // namespace
}  // namespace process_tests
