// Loading a library from the runtime's own places, and why it did not load, where the loader
// does not say: the DLLs it imports (and that those import in turn) that are nowhere on the
// search path the loader used for them.
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/win32/library_imports_win32.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <algorithm>
#include <set>

#include "platform/win32/owned_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

/// Unmaps a view when it goes; its file and mapping close after it.
class MappedFile {
public:
    explicit MappedFile(const std::wstring& path) {
        file_.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size;
        if (!file_.valid() || !GetFileSizeEx(file_.get(), &size) || size.QuadPart == 0 ||
            static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX)
            return;
        mapping_.reset(CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (!mapping_.valid()) return;
        data_ = static_cast<const unsigned char*>(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
        if (data_ != nullptr) size_ = static_cast<std::size_t>(size.QuadPart);
    }
    ~MappedFile() {
        if (data_ != nullptr) UnmapViewOfFile(data_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    /// Little-endian values at a file offset; false past the end of the file.
    bool u16(std::size_t at, std::uint32_t& value) const { return read(at, 2, value); }
    bool u32(std::size_t at, std::uint32_t& value) const { return read(at, 4, value); }
    /// The zero-terminated text at `at`, or empty when it runs past the end of the file. A text
    /// longer than `limit` bytes gives its first `limit` and "...".
    std::string text(std::size_t at, std::size_t limit) const {
        std::string out;
        for (; at < size_ && data_[at] != 0; ++at) {
            if (out.size() == limit) return out + "...";
            out += static_cast<char>(data_[at]);
        }
        return at < size_ ? out : std::string();
    }

private:
    bool read(std::size_t at, std::size_t width, std::uint32_t& value) const {
        if (at > size_ || size_ - at < width) return false;
        value = 0;
        for (std::size_t i = width; i-- > 0;) value = value << 8 | data_[at + i];
        return true;
    }

    OwnedHandle file_;
    OwnedHandle mapping_;
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

/// The file offset of an address of the image, by its section table; false outside every section.
bool fileOffset(const MappedFile& image, std::size_t sectionTable, std::uint32_t sections, std::uint32_t rva,
                std::size_t& offset) {
    for (std::uint32_t i = 0; i < sections; ++i) {
        std::size_t section = sectionTable + i * 40;
        std::uint32_t virtualSize = 0, start = 0, rawSize = 0, rawStart = 0;
        if (!image.u32(section + 8, virtualSize) || !image.u32(section + 12, start) ||
            !image.u32(section + 16, rawSize) || !image.u32(section + 20, rawStart))
            return false;
        if (rva >= start && rva - start < (virtualSize > rawSize ? virtualSize : rawSize)) {
            offset = rawStart + (rva - start);
            return true;
        }
    }
    return false;
}

/// No file name is longer than this, and no library imports from more DLLs than this: a file
/// that has more (a hostile one, hundreds of descriptors naming one long text) is read no
/// further, so that the report costs little whatever the file holds.
constexpr std::size_t kMaxNameLength = 255, kMaxImports = 1024;

/// The names of the DLLs a PE file imports at load time (its import directory), in order,
/// each at most kMaxNameLength bytes and "...". Empty when the file cannot be read or is no
/// PE image.
std::vector<std::string> importedNames(const std::wstring& path) {
    std::vector<std::string> names;
    MappedFile image(path);
    std::uint32_t pe = 0, signature = 0, sections = 0, optionalSize = 0, magic = 0, importRva = 0;
    if (!image.u32(0x3C, pe) || !image.u32(pe, signature) || signature != IMAGE_NT_SIGNATURE ||
        !image.u16(pe + 6, sections) || !image.u16(pe + 20, optionalSize) || !image.u16(pe + 24, magic))
        return names;
    // The data directories follow the optional header's fixed part, whose size is by format.
    std::size_t directories = pe + 24 + (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? 112 : 96);
    std::size_t sectionTable = pe + 24 + optionalSize;
    std::size_t descriptor = 0;
    if (!image.u32(directories + IMAGE_DIRECTORY_ENTRY_IMPORT * 8, importRva) || importRva == 0 ||
        !fileOffset(image, sectionTable, sections, importRva, descriptor))
        return names;
    // Descriptors of 20 bytes, the name's address at 12, up to one that is all zero.
    for (std::size_t count = 0; count < kMaxImports; ++count, descriptor += 20) {
        std::uint32_t lookup = 0, nameRva = 0;
        std::size_t nameOffset = 0;
        if (!image.u32(descriptor, lookup) || !image.u32(descriptor + 12, nameRva) || (lookup == 0 && nameRva == 0))
            break;
        if (fileOffset(image, sectionTable, sections, nameRva, nameOffset)) {
            std::string name = image.text(nameOffset, kMaxNameLength);
            if (!name.empty()) names.push_back(name);
        }
    }
    return names;
}

std::wstring directoryOfModule(HMODULE module) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(module, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) {
            buffer.resize(length);
            std::size_t cut = buffer.find_last_of(L"\\/");
            return cut == std::wstring::npos ? std::wstring() : buffer.substr(0, cut);
        }
        buffer.resize(buffer.size() * 2);
    }
}

/// A directory the system names through a call that fills a buffer and reports its size.
template <typename Call>
std::wstring systemDirectory(Call call) {
    UINT needed = call(nullptr, 0);
    if (needed == 0) return std::wstring();
    std::wstring buffer(needed, L'\0');
    UINT length = call(&buffer[0], needed);
    buffer.resize(length < needed ? length : 0);
    return buffer;
}

/// The loader's search flags for a library and its dependencies: its own folder, the folders
/// added for the load (the runtime's bin) and the system's. Neither the executable's folder
/// (the working directory, where the launcher moved) nor PATH, which may name relative ones.
constexpr DWORD kOwnPlaces = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

using AddDirectoryCall = DLL_DIRECTORY_COOKIE(WINAPI*)(PCWSTR);
using RemoveDirectoryCall = BOOL(WINAPI*)(DLL_DIRECTORY_COOKIE);

/// The loader's calls for a search of chosen folders, resolved at run time: a system without
/// them (Windows 7 before its loader update) still starts the launcher, and refuses the flags.
struct DirectoryCalls {
    AddDirectoryCall add = nullptr;
    RemoveDirectoryCall remove = nullptr;
    bool available() const { return add != nullptr && remove != nullptr; }
};

DirectoryCalls directoryCalls() {
    DirectoryCalls calls;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return calls;
    // Through void*: the function types differ, which is what GetProcAddress leaves to its caller.
    calls.add = reinterpret_cast<AddDirectoryCall>(reinterpret_cast<void*>(GetProcAddress(kernel, "AddDllDirectory")));
    calls.remove =
        reinterpret_cast<RemoveDirectoryCall>(reinterpret_cast<void*>(GetProcAddress(kernel, "RemoveDllDirectory")));
    return calls;
}

/// The directory SetDllDirectory named; empty when none.
std::wstring dllDirectory() {
    DWORD size = GetDllDirectoryW(0, nullptr);
    if (size <= 1) return std::wstring();
    std::wstring directory(size, L'\0');
    DWORD length = GetDllDirectoryW(size, &directory[0]);
    directory.resize(length < size ? length : 0);
    return directory;
}

/// The directories the loader searches for the dependencies of the library at `libraryPath`,
/// as loadLibraryFromOwnPlaces loads it; `systemDirectories` are those of them that hold the
/// system's own DLLs.
struct SearchPath {
    std::vector<std::wstring> directories;
    std::vector<std::wstring> systemDirectories;
};

/// The search without the chosen folders: the executable's directory, the SetDllDirectory
/// one, the system's, the Windows directory and PATH's entries.
void addUsualSearch(SearchPath& search) {
    search.directories.push_back(directoryOfModule(nullptr));
    search.directories.push_back(dllDirectory());
    for (std::wstring directory : {systemDirectory(GetSystemDirectoryW), systemDirectory(GetWindowsDirectoryW)}) {
        search.directories.push_back(directory);
        search.systemDirectories.push_back(directory);
    }
    DWORD pathLength = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(pathLength, L'\0');
    if (pathLength == 0 || GetEnvironmentVariableW(L"PATH", &path[0], pathLength) >= pathLength) path.clear();
    path.resize(std::wcslen(path.c_str()));
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find(L';', start);
        if (end == std::wstring::npos) end = path.size();
        if (end > start) search.directories.push_back(path.substr(start, end - start));
        start = end + 1;
    }
}

SearchPath loaderSearchPath(const std::wstring& libraryPath) {
    SearchPath search;
    if (!directoryCalls().available()) {
        addUsualSearch(search);
        return search;
    }
    std::size_t cut = libraryPath.find_last_of(L"\\/");
    search.directories.push_back(cut == std::wstring::npos ? std::wstring() : libraryPath.substr(0, cut));
    search.directories.push_back(dllDirectory());
    search.directories.push_back(systemDirectory(GetSystemDirectoryW));
    search.systemDirectories.push_back(search.directories.back());
    return search;
}

/// Where the loader finds a DLL of that name: the full path, or empty when it finds none. A
/// module already loaded under that name counts as found, as the loader takes it.
std::wstring locate(const std::wstring& name, const SearchPath& search, bool& inSystemDirectory) {
    inSystemDirectory = true;
    if (GetModuleHandleW(name.c_str()) != nullptr) return name;
    for (const std::wstring& directory : search.directories) {
        if (directory.empty()) continue;
        std::wstring candidate = toWide(joinPath(fromWide(directory), fromWide(name)));
        DWORD attributes = GetFileAttributesW(candidate.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            const std::vector<std::wstring>& system = search.systemDirectories;
            inSystemDirectory = std::find(system.begin(), system.end(), directory) != system.end();
            return candidate;
        }
    }
    return std::wstring();
}

/// API sets (api-ms-..., ext-ms-...) are names the loader resolves itself, not files.
bool isApiSet(const std::string& name) {
    return _strnicmp(name.c_str(), "api-ms-", 7) == 0 || _strnicmp(name.c_str(), "ext-ms-", 7) == 0;
}

/// The name as the loader compares names: ASCII letters in lower case.
std::string lowerCase(std::string name) { return toLower(name); }

/// The name as it may be printed: a control character or a byte outside ASCII as \xHH, so that
/// a name cannot start lines of its own or carry what is no text.
std::string printable(const std::string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : name) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

/// What one report may cost: a library made to import thousands of absent DLLs (or a long
/// PATH of slow network folders) would otherwise keep the user waiting for the message.
struct Budget {
    static constexpr std::size_t kMostNames = 256;
    static constexpr DWORD kMostMilliseconds = 1000;
    DWORD start = GetTickCount();
    bool spent = false;
};

// The system's own DLLs are not looked into: their imports are the system's business. `seen`
// holds every name looked at already (and the library being loaded, which a DLL it imports
// may import back: the loader takes the one it is loading), so each DLL is read once.
void collectMissing(const std::wstring& library, const SearchPath& search, std::set<std::string>& seen,
                    std::vector<std::string>& missing, Budget& budget) {
    for (const std::string& name : importedNames(library)) {
        if (budget.spent) return;
        if (isApiSet(name) || !seen.insert(lowerCase(name)).second) continue;
        // The tick count wraps after 49 days; the difference of two stays right.
        if (GetTickCount() - budget.start >= Budget::kMostMilliseconds) budget.spent = true;
        bool inSystemDirectory = false;
        std::wstring found = budget.spent ? std::wstring() : locate(toWide(name), search, inSystemDirectory);
        if (budget.spent || (found.empty() && missing.size() == Budget::kMostNames)) {
            budget.spent = true;
            missing.push_back("and more");
        } else if (found.empty()) {
            missing.push_back(printable(name));
        } else if (!inSystemDirectory) {
            collectMissing(found, search, seen, missing, budget);
        }
    }
}

}  // namespace

HMODULE loadLibraryFromOwnPlaces(const std::wstring& fullPath) {
    DirectoryCalls calls = directoryCalls();
    if (!calls.available()) return LoadLibraryW(fullPath.c_str());
    // The runtime's bin joins the load's folders for this load only: a process-wide default
    // search (SetDefaultDllDirectories) would make the LoadLibraryEx calls of libraries such
    // as JNA fail with ERROR_INVALID_PARAMETER.
    std::wstring runtimeBin = dllDirectory();
    DLL_DIRECTORY_COOKIE cookie = runtimeBin.empty() ? nullptr : calls.add(runtimeBin.c_str());
    HMODULE library =
        LoadLibraryExW(fullPath.c_str(), nullptr, kOwnPlaces | (cookie != nullptr ? LOAD_LIBRARY_SEARCH_USER_DIRS : 0));
    DWORD error = GetLastError();
    if (cookie != nullptr) calls.remove(cookie);
    SetLastError(error);
    return library;
}

std::vector<std::string> missingDependencies(const std::string& libraryPath) {
    std::vector<std::string> missing;
    std::set<std::string> seen{lowerCase(fileNameOf(libraryPath))};
    Budget budget;
    std::wstring library = toWide(libraryPath);
    collectMissing(library, loaderSearchPath(library), seen, missing, budget);
    return missing;
}

}  // namespace platform
