// Files and directories on Windows. Paths are UTF-8 inside the launcher and go through the
// system's wide entry points: the ANSI ones cannot name a file whose name the code page lacks,
// and refuse any path over MAX_PATH (ERROR_FILENAME_EXCED_RANGE) before the file system sees it.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/text.h"
#include "platform/user_places.h"
#include "platform/win32/held_locks.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

/// Ends a directory search when it goes.
class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// The system's wildcard search also matches the generated short (8.3) names, so "*.jar"
// would list "app.jarold" through its short name APP~1.JAR. A "*.ext" pattern is therefore
// held to the long name as well.
bool matchesPattern(const std::wstring& name, const std::wstring& pattern) {
    if (pattern.size() < 2 || pattern[0] != L'*') return true;
    std::wstring suffix = pattern.substr(1);
    if (suffix.find_first_of(L"*?") != std::wstring::npos) return true;
    return endsWithIgnoringCase(name, suffix);
}



bool isDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

long long fileTime(const FILETIME& time) {
    return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

/// True when `path` is `directory` or lies below it, ignoring letter case and the kind of
/// separator.
bool insideDirectory(const std::string& path, std::string directory) {
    while (directory.size() > 3 && (directory.back() == '\\' || directory.back() == '/')) directory.pop_back();
    if (directory.empty() || path.size() < directory.size()) return false;
    for (std::size_t i = 0; i < directory.size(); ++i) {
        char a = path[i], b = directory[i];
        if (a == '/') a = '\\';
        if (b == '/') b = '\\';
        if (lowerAscii(a) != lowerAscii(b)) return false;
    }
    return path.size() == directory.size() || path[directory.size()] == '\\' || path[directory.size()] == '/' ||
           directory.back() == '\\';
}

}  // namespace

std::optional<std::string> currentDirectory() {
    std::wstring buffer;
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    while (needed != 0) {
        buffer.assign(needed, L'\0');
        DWORD length = GetCurrentDirectoryW(needed, &buffer[0]);
        if (length == 0) break;
        if (length < needed) {
            buffer.resize(length);
            return fromWide(buffer);
        }
        needed = length;  // changed in between: the new size, terminator included
    }
    return std::nullopt;
}

bool changeDirectory(const std::string& directory) {
    return SetCurrentDirectoryW(toWide(directory).c_str()) != 0;
}

std::optional<std::string> fullPathDirectory(const std::string& name) {
    if (name.empty()) return std::nullopt;
    std::wstring wideName = toWide(name);
    std::wstring buffer(kInitialPathBuffer, L'\0');
    for (;;) {
        wchar_t* filePart = nullptr;
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetFullPathNameW(wideName.c_str(), size, &buffer[0], &filePart);
        if (length == 0) return std::nullopt;
        if (length < size) {
            if (filePart == nullptr) return std::nullopt;
            buffer.resize(static_cast<std::size_t>(filePart - buffer.data()));
            return fromWide(buffer);
        }
        buffer.assign(length, L'\0');  // the size needed, terminator included
    }
}

bool exists(const std::string& path) {
    return GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> findFiles(const std::string& directory, const std::string& pattern) {
    // Joined by hand where the directory is a drive alone: "C:" names that drive's current
    // directory, and "C:*.jar" searches there (joinPath would make it the drive's root).
    std::string searchPath =
        !directory.empty() && directory.back() == ':' ? directory + pattern : joinPath(directory, pattern);

    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW(toWide(searchPath).c_str(), &entry));
    if (!search.valid()) return names;
    std::wstring widePattern = toWide(pattern);
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (matchesPattern(name, widePattern)) names.push_back(fromWide(name));
    } while (FindNextFileW(search.get(), &entry));
    return names;
}

bool isRegularFile(const std::string& path) {
    DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool isSymbolicLink(const std::string&) { return false; }

std::optional<std::string> resolvedPath(const std::string& path) {
    return exists(path) ? std::optional<std::string>(path) : std::nullopt;
}

std::vector<std::string> listDirectories(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    FindHandle search(FindFirstFileW(toWide(joinPath(directory, "*")).c_str(), &entry));
    if (!search.valid()) return names;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L".." && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            names.push_back(fromWide(name));
    } while (FindNextFileW(search.get(), &entry));
    std::sort(names.begin(), names.end());
    return names;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    return _wfopen(toWide(path).c_str(), toWide(mode).c_str());
}

bool makeDirectories(const std::string& directory) {
    std::wstring wide = toWide(directory);
    if (wide.empty()) return false;
    if (isDirectory(wide)) return true;
    std::size_t start = fileNameStart(directory);
    // A drive root ("C:") or a share's name is never made here.
    if (start > 3 && !makeDirectories(directory.substr(0, start - 1))) return false;
    if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
    return isDirectory(wide);
}

bool replaceFile(const std::string& from, const std::string& to) {
    std::wstring source = toWide(from), target = toWide(to);
    if (source.empty() || target.empty()) return false;
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::string& path) {
    std::wstring wide = toWide(path);
    return !wide.empty() && (DeleteFileW(wide.c_str()) != 0 || (isDirectory(wide) && RemoveDirectoryW(wide.c_str()) != 0));
}

namespace {

constexpr int kDeepestTree = 64;

/// Removes what is at `path`: a reparse point itself (a junction or a link to a directory is
/// removed, never entered), a directory after everything in it.
bool removeTreeAt(const std::string& path, int depth) {
    std::wstring wide = toWide(path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(wide.c_str()) != 0;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (depth > kDeepestTree) return false;
        WIN32_FIND_DATAW entry;
        FindHandle search(FindFirstFileW(toWide(joinPath(path, "*")).c_str(), &entry));
        if (search.valid()) {
            do {
                std::string name = fromWide(entry.cFileName);
                if (name != "." && name != "..") removeTreeAt(joinPath(path, name), depth + 1);
            } while (FindNextFileW(search.get(), &entry));
        }
    }
    return RemoveDirectoryW(wide.c_str()) != 0;
}

}  // namespace

bool removeTree(const std::string& path) { return removeTreeAt(path, 1); }

std::optional<FileStamp> fileStamp(const std::string& path) {
    std::wstring wide = toWide(path);
    if (wide.empty()) return std::nullopt;
    // Opened for no access at all: a file the VM maps or another program writes is still read.
    OwnedHandle file(CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION data;
    FILE_BASIC_INFO basic;
    bool regular = GetFileType(file.get()) == FILE_TYPE_DISK && GetFileInformationByHandle(file.get(), &data) &&
                   (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    bool changeTime = regular && GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic);
    if (!regular) return std::nullopt;
    FileStamp stamp;
    stamp.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.modified = fileTime(data.ftLastWriteTime);
    // The time of the last change of any kind, which no program sets back; systems that keep
    // none give the creation time.
    stamp.changed = changeTime ? basic.ChangeTime.QuadPart : fileTime(data.ftCreationTime);
    // The file's index is unique within its volume: the volume's serial number goes with it.
    unsigned long long index = (static_cast<unsigned long long>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    stamp.node = index ^ (static_cast<unsigned long long>(data.dwVolumeSerialNumber) * 0x9E3779B97F4A7C15ULL);
    return stamp;
}

std::optional<FileStamp> privateFileStamp(const std::string& path) {
    std::wstring wide = toWide(path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return std::nullopt;
    return fileStamp(path);
}

bool isPrivateDirectory(const std::string& directory) {
    std::wstring wide = toWide(directory);
    if (wide.empty() || !isDirectory(wide)) return false;
    for (const char* name : {"LOCALAPPDATA", "USERPROFILE"}) {
        std::optional<std::string> profile = userFolderVariable(name);
        if (profile && insideDirectory(directory, *profile)) return true;
    }
    return false;
}

bool writeSmallFile(const std::string& path, const std::string& content) {
    std::wstring wide = toWide(path);
    if (wide.empty()) return false;
    OwnedHandle file(
        CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) return false;
    DWORD written = 0;
    bool whole = GetFileType(file.get()) == FILE_TYPE_DISK &&
                 WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                 written == content.size();
    return CloseHandle(file.release()) && whole;
}

std::optional<std::string> lastingFileName(const std::string& path) { return path; }

std::optional<unsigned long long> freeSpace(const std::string& directory) {
    std::wstring wide = toWide(directory);
    ULARGE_INTEGER available;
    if (wide.empty() || !GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

namespace {

/// Reads from `file` until its end or `maxBytes` and one more; false on a read error.
bool readUpTo(HANDLE file, std::size_t maxBytes, std::string& content) {
    char buffer[4096];
    while (content.size() <= maxBytes) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, maxBytes + 1 - content.size()));
        DWORD got = 0;
        if (!ReadFile(file, buffer, want, &got, nullptr)) return false;
        if (got == 0) break;
        content.append(buffer, got);
    }
    return true;
}

}  // namespace

FileContent readRegularFile(const std::string& path, std::size_t maxBytes) {
    FileContent content;
    std::wstring wide = toWide(path);
    // A directory opens only with backup semantics: without them it is "cannot be opened".
    OwnedHandle file(wide.empty() ? INVALID_HANDLE_VALUE
                                  : CreateFileW(wide.c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        DWORD error = GetLastError();
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        content.outcome = missing ? FileOutcome::Missing : FileOutcome::Unreadable;
        content.reason = "it cannot be opened";
        return content;
    }
    // A pipe or a character device (CON, NUL, COM1) would block or never end.
    DWORD type = GetFileType(file.get());
    if (type != FILE_TYPE_DISK) {
        content.outcome = type == FILE_TYPE_PIPE ? FileOutcome::NotRegular : FileOutcome::Device;
        content.reason = type == FILE_TYPE_PIPE ? "it is a pipe" : "it is a device";
    } else if (!readUpTo(file.get(), maxBytes, content.bytes)) {
        content.outcome = FileOutcome::Unreadable;
        content.reason = "it cannot be read";
        content.bytes.clear();
    } else {
        content.outcome = content.bytes.size() > maxBytes ? FileOutcome::TooLarge : FileOutcome::Read;
        if (content.bytes.size() > maxBytes) content.bytes.resize(maxBytes);
    }
    return content;
}


namespace {

/// Whether the opened file is a plain file on a disk: no device, pipe, folder or reparse point
/// (opened with FILE_FLAG_OPEN_REPARSE_POINT, the handle is the link itself).
bool isPlainDiskFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION data;
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &data) &&
           (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace

std::optional<std::string> AppendingFile::read(std::size_t maxBytes) {
    std::string content;
    HANDLE file = reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle_));
    LARGE_INTEGER start{};
    if (handle_ == kNoHandle || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ||
        !readUpTo(file, maxBytes, content))
        return std::nullopt;
    if (content.size() > maxBytes) content.resize(maxBytes);
    return content;
}

bool AppendingFile::append(const std::string& text) {
    HANDLE file = reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle_));
    LARGE_INTEGER none{}, end{};
    if (handle_ == kNoHandle || !SetFilePointerEx(file, none, &end, FILE_END)) return false;
    DWORD written = 0;
    if (WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size())
        return true;
    if (written > 0 && SetFilePointerEx(file, end, nullptr, FILE_BEGIN)) SetEndOfFile(file);
    return false;
}

AppendingFile openForAppending(const std::string& path) {
    AppendingFile appending;
    std::wstring wide = toWide(path);
    if (wide.empty()) return appending;
    // Shared for reading: a reader of the journal may hold it open, and open it meanwhile.
    OwnedHandle file(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid() || !isPlainDiskFile(file.get())) return appending;
    appending.handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(file.release()));
    return appending;
}

OpenFile::~OpenFile() {
    if (handle_ != kNoHandle) CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle_)));
}

FileLock lockFile(const std::string& path, unsigned waitMilliseconds) {
    FileLock lock;
    std::wstring wide = toWide(path);
    if (wide.empty()) return lock;
    ULONGLONG deadline = GetTickCount64() + waitMilliseconds;
    for (;;) {
        // Opened without sharing: the lock is the open handle itself, as holdLockUntilExit's.
        OwnedHandle file(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (file.valid()) {
            if (!isPlainDiskFile(file.get())) return lock;
            lock.handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(file.release()));
            return lock;
        }
        DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || GetTickCount64() >= deadline)
            return lock;
        Sleep(1);
    }
}

std::vector<HANDLE>& heldLocks() {
    static std::vector<HANDLE> locks;
    return locks;
}

bool holdLockUntilExit(const std::string& path) {
    std::wstring wide = toWide(path);
    if (wide.empty()) return false;
    // Opened without sharing: a second process cannot open it while this one lives. The
    // handle is never closed; the system closes it when the process ends, however it ends.
    OwnedHandle file(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) return false;
    // A link or a device at the lock's name is not a lock of this cache.
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (GetFileType(file.get()) != FILE_TYPE_DISK || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    heldLocks().push_back(file.release());
    return true;
}


}  // namespace platform
