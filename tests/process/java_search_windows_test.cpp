// The Windows places of installed runtimes: the registry keys the distributions' installers
// write (made here with wine's regedit, in each installer's own layout) and the usual folders
// of the wine prefix. The console and the windowless suites of one tree share its prefix, so
// each test holds a lock on it while its keys and folders exist.
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"
#include "process/java_runtimes.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

/// An installer's registry layout: the key, the path below a version's subkey, the value.
struct Layout {
    const char* key;
    const char* below;
    const char* value;
};
const Layout kJavaSoft{"JavaSoft\\JDK", "", "JavaHome"};
const Layout kAdoptium{"Eclipse Adoptium\\JDK", "\\hotspot\\MSI", "Path"};
const Layout kMicrosoft{"Microsoft\\JDK", "\\hotspot\\MSI", "Path"};
const Layout kSemeru{"Semeru\\JRE", "\\openj9\\MSI", "Path"};
const Layout kZulu{"Azul Systems\\Zulu", "", "InstallationPath"};
const Layout kLiberica{"BellSoft\\Liberica", "", "InstallationPath"};

/// The keys the tests make, removed before and after each test.
const char* const kMadeKeys[] = {"JavaSoft", "Eclipse Adoptium", "Microsoft\\JDK", "Semeru", "Azul Systems", "BellSoft"};

struct Entry {
    bool currentUser;
    Layout layout;
    std::string version;  // the subkey's name
    std::string home;     // below the installation's root; "" for a folder that does not exist
};

struct Folder {
    const char* place;  // "programs" (Program Files), "jdks" (%USERPROFILE%\.jdks)
    std::string name;
    std::string version;
};

struct RegistryCase {
    const char* name;
    std::string range;
    std::vector<Entry> entries;
    std::vector<Runtime> runtimes;
    std::vector<Folder> folders;
    std::string chosen;   // the home --print-java names: below the root, or "<programs>\..."
    std::string version;
    std::string found;
};
void PrintTo(const RegistryCase& c, std::ostream* out) { *out << c.name; }

/// Runs a 64-bit program of the prefix and waits for it. Only a 64-bit regedit reaches both
/// registry views (the 32-bit one through Wow6432Node); "wine regedit" starts the 32-bit one.
Result runInPrefix(const std::vector<std::string>& args) {
    std::vector<std::string> env = {"WINEDEBUG=-all"};
    for (const char* name : {"WINEPREFIX", "WINESERVER", "HOME", "USER", "PATH"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    std::string loader = "/usr/lib/wine/wine64";
    if (!fs::exists(loader)) loader = std::getenv("WINELOADER") ? std::getenv("WINELOADER") : target().wine;
    std::vector<std::string> argv = {loader};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(loader, argv, env, "/", 120);
}

class JavaSearchWindowsPlaces : public ::testing::TestWithParam<RegistryCase> {
protected:
    void SetUp() override {
        if (!isWindows()) GTEST_SKIP() << "the registry and the folders of Windows";
        prefix = std::getenv("WINEPREFIX") ? std::getenv("WINEPREFIX") : "";
        ASSERT_FALSE(prefix.empty()) << "WINEPREFIX names no prefix";
        lock = ::open((prefix + "/java-search-test.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(lock, 0);
        ASSERT_EQ(::flock(lock, LOCK_EX), 0);
        programs = target().kind == Kind::Win32 ? "Program Files (x86)" : "Program Files";
        clean();
    }
    void TearDown() override {
        if (lock < 0) return;
        clean();
        ::close(lock);
    }

    /// The registry's path of a key of the launcher's own view, under HKLM or HKCU.
    std::string keyPath(bool currentUser, const std::string& below) const {
        bool redirected = !currentUser && target().kind == Kind::Win32;
        return std::string(currentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE") + "\\SOFTWARE\\" +
               (redirected ? "Wow6432Node\\" : "") + below;
    }

    void importRegistry(const std::string& text) const {
        std::string file = prefix + "/java-search-test.reg";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << "REGEDIT4\r\n\r\n" << text;
        Result r = runInPrefix({"regedit", "/S", seenPath(file)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    void clean() const {
        std::string text;
        for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"})
            for (const char* view : {"", "Wow6432Node\\"})
                for (const char* key : kMadeKeys) text += "[-" + std::string(root) + "\\SOFTWARE\\" + view + key + "]\r\n";
        importRegistry(text);
        // Folders no one else uses in the test prefix.
        fs::remove_all(prefix + "/drive_c/" + programs + "/Java");
        fs::remove_all(prefix + "/drive_c/users/" + userName() + "/.jdks");
    }

    /// The host path of a test folder, and the path the launcher sees.
    std::string hostFolder(const Folder& folder) const {
        std::string place = std::string(folder.place) == "jdks" ? "users/" + userName() + "/.jdks" : programs + "/Java";
        return prefix + "/drive_c/" + place + "/" + folder.name;
    }
    std::string seenFolder(const Folder& folder) const {
        std::string place =
            std::string(folder.place) == "jdks" ? "users\\" + userName() + "\\.jdks" : programs + "\\Java";
        return "C:\\" + place + "\\" + folder.name;
    }
    static std::string userName() {
        const char* user = std::getenv("USER");
        return user ? user : "root";
    }

    Installation inst;
    std::string prefix;
    std::string programs;
    int lock = -1;
};

TEST_P(JavaSearchWindowsPlaces, ChoosesTheRightRuntime) {
    const RegistryCase& c = GetParam();
    for (const Runtime& runtime : c.runtimes)
        if (!addJava(inst, runtime.home, runtime.version, runtime.library))
            GTEST_SKIP() << "no test VM library of the other architecture";
    for (const Folder& folder : c.folders) addJavaAt(hostFolder(folder), folder.version);
    std::string text;
    for (const Entry& e : c.entries) {
        std::string home = e.home.empty() ? inst.seen("removed") : inst.seen(e.home);
        std::string escaped;
        for (char ch : home) escaped += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
        text += "[" + keyPath(e.currentUser, std::string(e.layout.key) + "\\" + e.version + e.layout.below) + "]\r\n\"" +
                e.layout.value + "\"=\"" + escaped + "\"\r\n\r\n";
    }
    importRegistry(text);
    inst.writeConfig("SetMainClass test.Main\nSetJavaVersion " + c.range + "\n");
    std::string chosen = c.chosen.rfind("<programs>", 0) == 0 ? "C:\\" + programs + c.chosen.substr(10)
                         : c.chosen.rfind("<jdks>", 0) == 0 ? "C:\\users\\" + userName() + "\\.jdks" + c.chosen.substr(6)
                                                             : inst.seen(c.chosen);
    std::string found = c.found;
    for (const auto& [mark, value] : {std::pair<std::string, std::string>{"<programs>", "C:\\" + programs},
                                      {"<jdks>", "C:\\users\\" + userName() + "\\.jdks"}})
        if (found.find(mark) != std::string::npos) found.replace(found.find(mark), mark.size(), value);
    EXPECT_RUN(inst.run({"-nomsgbox", "--print-java"}), javaReport(chosen, c.version, found), "", 0);
}

const std::string kHklm = "registry HKLM\\SOFTWARE\\";
const std::string kHkcu = "registry HKCU\\SOFTWARE\\";

INSTANTIATE_TEST_SUITE_P(
    Cases, JavaSearchWindowsPlaces,
    ::testing::Values(
        RegistryCase{"NewestOfOneKey", "17", {{false, kJavaSoft, "17", "a"}, {false, kJavaSoft, "21.0.1", "b"}},
                     {{"a", "17.0.2"}, {"b", "21.0.1"}}, {}, "b", "21.0.1", kHklm + "JavaSoft\\JDK"},
        RegistryCase{"FirstKeyWins", "17", {{false, kAdoptium, "21.0.1.12", "b"}, {false, kJavaSoft, "17", "a"}},
                     {{"a", "17.0.2"}, {"b", "21.0.1"}}, {}, "a", "17.0.2", kHklm + "JavaSoft\\JDK"},
        RegistryCase{"RangeLeadsToALaterKey", "17-21",
                     {{false, kJavaSoft, "11", "a"}, {false, kJavaSoft, "25", "c"}, {false, kAdoptium, "21.0.1.12", "b"}},
                     {{"a", "11.0.2"}, {"b", "21.0.1"}, {"c", "25"}}, {}, "b", "21.0.1", kHklm + "Eclipse Adoptium\\JDK"},
        RegistryCase{"EntryPointingNowhere", "17", {{false, kJavaSoft, "21", ""}, {false, kZulu, "zulu-17", "a"}},
                     {{"a", "17.0.2"}}, {}, "a", "17.0.2", kHklm + "Azul Systems\\Zulu"},
        RegistryCase{"MissingVmLibrary", "17", {{false, kMicrosoft, "21.0.1", "b"}, {false, kLiberica, "17", "a"}},
                     {{"a", "17.0.2"}, {"b", "21.0.1", RuntimeLibrary::None}}, {}, "a", "17.0.2",
                     kHklm + "BellSoft\\Liberica"},
        RegistryCase{"OtherArchitecture", "17", {{false, kJavaSoft, "21", "b"}, {false, kSemeru, "17", "a"}},
                     {{"a", "17.0.2"}, {"b", "21", RuntimeLibrary::OtherArchitecture}}, {}, "a", "17.0.2",
                     kHklm + "Semeru\\JRE"},
        RegistryCase{"MissingReleaseFile", "21", {{false, kZulu, "zulu-21", "a"}}, {{"a", ""}}, {}, "a", "21",
                     kHklm + "Azul Systems\\Zulu"},
        RegistryCase{"CurrentUserOnly", "17", {{true, kAdoptium, "17.0.2.8", "a"}}, {{"a", "17.0.2"}}, {}, "a", "17.0.2",
                     kHkcu + "Eclipse Adoptium\\JDK"},
        RegistryCase{"MachineBeforeUser", "17", {{true, kJavaSoft, "21", "b"}, {false, kJavaSoft, "17", "a"}},
                     {{"a", "17.0.2"}, {"b", "21"}}, {}, "a", "17.0.2", kHklm + "JavaSoft\\JDK"},
        RegistryCase{"RegistryBeforeFolders", "17", {{false, kJavaSoft, "17", "a"}}, {{"a", "17.0.2"}},
                     {{"programs", "jdk-21", "21"}}, "a", "17.0.2", kHklm + "JavaSoft\\JDK"},
        RegistryCase{"ProgramFilesWhenTheRegistryHasNone", "21", {{false, kJavaSoft, "17", "a"}}, {{"a", "17.0.2"}},
                     {{"programs", "jdk-21", "21.0.3"}}, "<programs>\\Java\\jdk-21", "21.0.3",
                     "folder <programs>\\Java\\*"},
        RegistryCase{"IdeDownloadsWithoutReleaseFile", "22", {}, {}, {{"jdks", "corretto-22.0.1", ""}},
                     "<jdks>\\corretto-22.0.1", "22.0.1", "folder <jdks>\\*"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace process_tests
