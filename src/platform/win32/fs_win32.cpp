// The Windows side of the start-up cache's file operations. Paths are UTF-8 inside the
// launcher and go to the system through the wide API.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/command_line_quoting.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/user_places.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

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
        if (std::tolower(static_cast<unsigned char>(a)) != std::tolower(static_cast<unsigned char>(b))) return false;
    }
    return path.size() == directory.size() || path[directory.size()] == '\\' || path[directory.size()] == '/' ||
           directory.back() == '\\';
}

}  // namespace

bool makeDirectories(const std::string& directory) {
    std::wstring wide = toWide(directory);
    if (wide.empty()) return false;
    if (isDirectory(wide)) return true;
    std::size_t slash = directory.find_last_of("\\/");
    // A drive root ("C:") or a share's name is never made here.
    if (slash != std::string::npos && slash > 2 && !makeDirectories(directory.substr(0, slash))) return false;
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

std::optional<FileStamp> fileStamp(const std::string& path) {
    std::wstring wide = toWide(path);
    if (wide.empty()) return std::nullopt;
    // Opened for no access at all: a file the VM maps or another program writes is still read.
    HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION data;
    FILE_BASIC_INFO basic;
    bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &data) &&
                   (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    bool changeTime = regular && GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic);
    CloseHandle(file);
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
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool whole = GetFileType(file) == FILE_TYPE_DISK &&
                 WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                 written == content.size();
    return CloseHandle(file) && whole;
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
    HANDLE file = wide.empty() ? INVALID_HANDLE_VALUE
                               : CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        content.outcome = missing ? FileOutcome::Missing : FileOutcome::Unreadable;
        content.reason = "it cannot be opened";
        return content;
    }
    // A pipe or a character device (CON, NUL, COM1) would block or never end.
    DWORD type = GetFileType(file);
    if (type != FILE_TYPE_DISK) {
        content.outcome = type == FILE_TYPE_PIPE ? FileOutcome::NotRegular : FileOutcome::Device;
        content.reason = type == FILE_TYPE_PIPE ? "it is a pipe" : "it is a device";
    } else if (!readUpTo(file, maxBytes, content.bytes)) {
        content.outcome = FileOutcome::Unreadable;
        content.reason = "it cannot be read";
        content.bytes.clear();
    } else {
        content.outcome = content.bytes.size() > maxBytes ? FileOutcome::TooLarge : FileOutcome::Read;
        if (content.bytes.size() > maxBytes) content.bytes.resize(maxBytes);
    }
    CloseHandle(file);
    return content;
}

std::optional<std::string> readFileStart(const std::string& path, std::size_t maxBytes) {
    FileContent file = readRegularFile(path, maxBytes);
    if (file.outcome != FileOutcome::Read && file.outcome != FileOutcome::TooLarge) return std::nullopt;
    return std::move(file.bytes);
}

bool holdLockUntilExit(const std::string& path) {
    std::wstring wide = toWide(path);
    if (wide.empty()) return false;
    // Opened without sharing: a second process cannot open it while this one lives. The
    // handle is never closed; the system closes it when the process ends, however it ends.
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // A link or a device at the lock's name is not a lock of this cache.
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (GetFileType(file) == FILE_TYPE_DISK && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return true;
    CloseHandle(file);
    return false;
}

namespace {

/// The thread of the work beside the launch; null when there is none.
HANDLE backgroundThread = nullptr;

DWORD WINAPI runWork(void* parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    try {
        (*work)();
    } catch (...) {
    }
    return 0;
}

}  // namespace

void runInBackground(const std::function<void()>& work, unsigned) {
    // A thread of this process: without fork, a worker of its own would need a second way of
    // starting this executable. The runtime's children it starts take the lowest priority.
    auto* copy = new std::function<void()>(work);
    backgroundThread = CreateThread(nullptr, 0, runWork, copy, 0, nullptr);
    if (!backgroundThread) {
        runWork(copy);
        return;
    }
    SetThreadPriority(backgroundThread, THREAD_PRIORITY_IDLE);
}

void waitForBackground() {
    if (!backgroundThread) return;
    WaitForSingleObject(backgroundThread, INFINITE);
    CloseHandle(backgroundThread);
    backgroundThread = nullptr;
}

int runQuietly(const std::string& program, const std::vector<std::string>& args, unsigned timeLimit) {
    std::wstring application = toWide(program);
    if (application.empty()) return -1;
    // UTF-8 is split like any text: its multi-byte characters never hold a backslash's code.
    std::wstring wideCommand = toWide(quoteWindowsCommandLine(args));
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    if (nul == INVALID_HANDLE_VALUE) return -1;
    // The job is never closed by hand: the system closes it with this process, and the child with it.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    BOOL created = CreateProcessW(application.c_str(), &wideCommand[0], nullptr, nullptr, TRUE,
                                  CREATE_NO_WINDOW | CREATE_SUSPENDED | IDLE_PRIORITY_CLASS, nullptr, nullptr, &startup,
                                  &process);
    CloseHandle(nul);
    if (!created) return -1;
    if (job) AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    DWORD code = 0;
    int result = -1;
    DWORD waited = WaitForSingleObject(process.hProcess, timeLimit * 1000);
    if (waited == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &code)) {
        result = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 1);
        if (waited == WAIT_TIMEOUT) result = kChildCutShort;
    }
    CloseHandle(process.hProcess);
    return result;
}

}  // namespace platform
