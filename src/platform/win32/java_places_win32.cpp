// Where Java runtimes are installed on Windows: the registry keys the distributions'
// installers write and the folders they install into. Every value is only a candidate, which
// the search examines.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "base/path_names.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/processes.h"
#include "platform/user_places.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

#ifdef _WIN64
// The launcher reads the registry view of its own architecture: a 64-bit launcher needs the
// runtimes that 64-bit installers record, a 32-bit one those of 32-bit installers.
constexpr REGSAM kOwnView = KEY_WOW64_64KEY;
#else
constexpr REGSAM kOwnView = KEY_WOW64_32KEY;
#endif

/// One installer's key: its versions are subkeys; the home is `value` below each version's
/// subkey followed by `below` (such as "\\hotspot\\MSI").
struct InstallerKey {
    const wchar_t* path;
    const wchar_t* below;
    const wchar_t* value;
};

const InstallerKey kInstallerKeys[] = {
    {L"SOFTWARE\\JavaSoft\\JDK", L"", L"JavaHome"},
    {L"SOFTWARE\\JavaSoft\\JRE", L"", L"JavaHome"},
    {L"SOFTWARE\\JavaSoft\\Java Development Kit", L"", L"JavaHome"},
    {L"SOFTWARE\\JavaSoft\\Java Runtime Environment", L"", L"JavaHome"},
    {L"SOFTWARE\\Eclipse Adoptium\\JDK", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\Eclipse Adoptium\\JRE", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\Eclipse Foundation\\JDK", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\Eclipse Foundation\\JRE", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\AdoptOpenJDK\\JDK", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\AdoptOpenJDK\\JRE", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\Microsoft\\JDK", L"\\hotspot\\MSI", L"Path"},
    {L"SOFTWARE\\Semeru\\JDK", L"\\openj9\\MSI", L"Path"},
    {L"SOFTWARE\\Semeru\\JRE", L"\\openj9\\MSI", L"Path"},
    {L"SOFTWARE\\Azul Systems\\Zulu", L"", L"InstallationPath"},
    {L"SOFTWARE\\BellSoft\\Liberica", L"", L"InstallationPath"},
};

/// Closes a registry key when it goes.
class RegistryKey {
public:
    RegistryKey(HKEY parent, const std::wstring& path) {
        if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | kOwnView, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

    std::vector<std::wstring> subkeys() const {
        std::vector<std::wstring> names;
        wchar_t name[256];
        for (DWORD i = 0; key_; ++i) {
            DWORD length = 256;
            LONG status = RegEnumKeyExW(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status == ERROR_SUCCESS) names.emplace_back(name, length);
        }
        return names;
    }

    /// A text value of the subkey `below`, read whole however long: a path fits the first
    /// buffer, a longer value is read again into one of the size the system names.
    std::optional<std::wstring> text(const std::wstring& below, const wchar_t* value) const {
        // REG_SZ, and REG_EXPAND_SZ with its variables expanded (asking for the latter by name
        // without RRF_NOEXPAND is refused as an invalid parameter).
        const DWORD kinds = RRF_RT_REG_SZ;
        std::wstring content(MAX_PATH, L'\0');
        DWORD bytes = static_cast<DWORD>(content.size() * sizeof(wchar_t));
        LONG status = key_ ? RegGetValueW(key_, below.c_str(), value, kinds, nullptr, &content[0], &bytes) : ERROR_BADKEY;
        if (status == ERROR_MORE_DATA) {
            content.assign(bytes / sizeof(wchar_t) + 1, L'\0');
            status = RegGetValueW(key_, below.c_str(), value, kinds, nullptr, &content[0], &bytes);
        }
        if (status != ERROR_SUCCESS) return std::nullopt;
        content.resize(std::wcslen(content.c_str()));
        return content;
    }

private:
    HKEY key_ = nullptr;
};

void addInstallerHomes(HKEY root, const char* rootName, const InstallerKey& installer,
                       std::vector<RegisteredJavaHome>& homes) {
    RegistryKey key(root, installer.path);
    for (const std::wstring& version : key.subkeys()) {
        std::optional<std::wstring> home = key.text(version + installer.below, installer.value);
        if (home && !home->empty())
            homes.push_back({std::string(rootName) + "\\" + fromWide(installer.path), fromWide(version), fromWide(*home)});
    }
}

}  // namespace

const char* const kJavaExecutableName = "java.exe";

std::vector<RegisteredJavaHome> registeredJavaHomes() {
    std::vector<RegisteredJavaHome> homes;
    for (const auto& [root, rootName] : {std::pair<HKEY, const char*>{HKEY_LOCAL_MACHINE, "HKLM"}, {HKEY_CURRENT_USER, "HKCU"}}) {
        // Most vendors' keys are absent: one look at the vendor's key spares one at each of its
        // products'.
        std::wstring absentVendor;
        for (const InstallerKey& installer : kInstallerKeys) {
            std::wstring path = installer.path;
            std::wstring vendor = path.substr(0, path.find(L'\\', path.find(L'\\') + 1));
            if (vendor == absentVendor) continue;
            if (RegistryKey(root, vendor).get() == nullptr) {
                absentVendor = vendor;
                continue;
            }
            addInstallerHomes(root, rootName, installer, homes);
        }
    }
    return homes;
}

std::vector<std::string> usualJavaFolders() {
    std::vector<std::string> folders;
    // A 32-bit launcher needs the runtimes of 32-bit installers, which go to "Program Files
    // (x86)" on 64-bit Windows (and to "Program Files" on 32-bit Windows, with no such variable).
    std::string programs = userFolderVariable(sizeof(void*) == 8 ? "ProgramFiles" : "ProgramFiles(x86)")
                               .value_or(userFolderVariable("ProgramFiles").value_or(std::string()));
    if (!programs.empty())
        for (const char* vendor : {"Java", "Eclipse Adoptium", "Eclipse Foundation", "AdoptOpenJDK", "Zulu", "Microsoft",
                                   "Amazon Corretto", "BellSoft", "Semeru", "OpenJDK"})
            folders.push_back(joinPath(joinPath(programs, vendor), "*"));
    std::string local = userFolderVariable("LOCALAPPDATA").value_or(std::string());
    if (!local.empty()) folders.push_back(joinPath(local, "Programs\\*"));
    std::string profile = userFolderVariable("USERPROFILE").value_or(std::string());
    if (!profile.empty()) {
        folders.push_back(joinPath(profile, ".jdks\\*"));
        folders.push_back(joinPath(profile, "scoop\\apps\\*\\current"));
        folders.push_back(joinPath(profile, ".gradle\\jdks\\*"));
    }
    return folders;
}

const char* const kJavaExecutable = "\\bin\\java.exe";
const char* const kSplashLibraryBelowHome = "\\bin\\splashscreen.dll";
const char* const kJreJavaExecutable = "\\jre\\bin\\java.exe";
const char* const kDefaultJavaHome = "..\\jre";

std::vector<std::string> jvmCfgCandidates(const std::string& javaHome) {
#ifdef _WIN64
    const char* archDirectory = "\\lib\\amd64\\jvm.cfg";
#else
    const char* archDirectory = "\\lib\\i386\\jvm.cfg";
#endif
    return {belowJavaHome(javaHome, "\\lib\\jvm.cfg"), belowJavaHome(javaHome, archDirectory)};
}

std::vector<std::string> vmLibraryCandidates(const std::string& javaHome, const std::string& vmDirectory) {
    return {belowJavaHome(javaHome, "\\bin\\" + vmDirectory + "\\jvm.dll")};
}

}  // namespace platform
