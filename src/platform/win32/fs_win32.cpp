// The Windows side of the start-up cache's file operations. Paths are UTF-8 inside the
// launcher and go to the system through the wide API.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/path_names.h"
#include "base/text_ops.h"
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
        if (lowerAscii(a) != lowerAscii(b)) return false;
    }
    return path.size() == directory.size() || path[directory.size()] == '\\' || path[directory.size()] == '/' ||
           directory.back() == '\\';
}

}  // namespace

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

namespace {

/// The locks this process holds, which a worker it starts takes over.
std::vector<HANDLE> heldLocks;

}  // namespace

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
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        heldLocks.push_back(file);
        return true;
    }
    CloseHandle(file);
    return false;
}

namespace {

/// The thread of the work beside the launch; null when there is none.
HANDLE backgroundThread = nullptr;

/// The program name a worker is started with: '<' is in no file's name, so no start by a
/// user is taken for a worker.
const char* const kWorkerName = "<launcher worker>";

DWORD WINAPI runWork(void* parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    try {
        (*work)();
    } catch (...) {
    }
    return 0;
}

std::string handleText(HANDLE handle) { return std::to_string(reinterpret_cast<std::uintptr_t>(handle)); }

/// What decimal() gives for a text that is no number.
constexpr unsigned long long kNoNumber = ~0ULL;

/// The number `text` holds, or kNoNumber when it is no decimal number of at most 18 digits.
unsigned long long decimal(const std::string& text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return kNoNumber;
    return std::stoull(text);
}

/// Starts this executable as a worker that runs `job` once this process has ended or has run
/// for `delay` seconds. It gets, and inherits nothing but, a handle of this process to wait on
/// and the locks' handles (the same open files: a lock stays held until both have closed it).
bool startWorker(const std::vector<std::string>& job, unsigned delay) {
    std::optional<std::string> self = ownExecutablePath();
    HANDLE launch = nullptr;
    if (!self || !DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &launch, SYNCHRONIZE,
                                  TRUE, 0))
        return false;
    std::vector<std::string> args{kWorkerName, std::to_string(delay), std::to_string(heldLocks.size()), handleText(launch)};
    for (HANDLE lock : heldLocks) args.push_back(handleText(lock));
    args.insert(args.end(), job.begin(), job.end());
    std::wstring application = toWide(*self);
    std::wstring command = toWide(quoteWindowsCommandLine(args));
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    std::vector<HANDLE> handed = heldLocks;
    handed.push_back(launch);
    handed.push_back(nul);
    for (HANDLE lock : heldLocks) SetHandleInformation(lock, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    // Only these handles go to the worker: it must not keep open what the start inherited
    // (a pipe that a script reads the start's output from until it ends).
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> listMemory(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data());
    bool listed = size > 0 && InitializeProcThreadAttributeList(list, 1, 0, &size) &&
                  UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handed.data(),
                                            handed.size() * sizeof(HANDLE), nullptr, nullptr);
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = startup.StartupInfo.hStdOutput = startup.StartupInfo.hStdError = nul;
    startup.lpAttributeList = list;
    DWORD flags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | IDLE_PRIORITY_CLASS | EXTENDED_STARTUPINFO_PRESENT;
    PROCESS_INFORMATION process = {};
    // Out of a job the launch may run in, which could end the worker with it; within it where
    // the job allows no way out.
    BOOL created = listed && nul != INVALID_HANDLE_VALUE &&
                   (CreateProcessW(application.c_str(), &command[0], nullptr, nullptr, TRUE, flags | CREATE_BREAKAWAY_FROM_JOB,
                                   nullptr, nullptr, &startup.StartupInfo, &process) ||
                    CreateProcessW(application.c_str(), &command[0], nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                   &startup.StartupInfo, &process));
    for (HANDLE lock : heldLocks) SetHandleInformation(lock, HANDLE_FLAG_INHERIT, 0);
    if (listed) DeleteProcThreadAttributeList(list);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    CloseHandle(launch);
    if (!created) return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

void runInBackground(const BackgroundWork& work, unsigned delay) {
    if (!work.asArguments.empty() && startWorker(work.asArguments, delay)) return;
    // A thread of this process, at the lowest priority: the launch waits for it at its end.
    auto* copy = new std::function<void()>(work.run);
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

std::optional<std::vector<std::string>> backgroundWork(const std::vector<std::string>& args) {
    if (args.empty() || args[0] != kWorkerName) return std::nullopt;
    unsigned long long delay = args.size() > 3 ? decimal(args[1]) : kNoNumber;
    unsigned long long locks = args.size() > 3 ? decimal(args[2]) : kNoNumber;
    if (delay > 3600 || locks > args.size() - 4) return std::vector<std::string>();
    std::vector<HANDLE> handles;
    for (std::size_t i = 3; i < 4 + locks; ++i) {
        unsigned long long value = decimal(args[i]);
        if (value == kNoNumber) return std::vector<std::string>();
        handles.push_back(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value)));
    }
    // The locks stay open until this process ends, and go to none of its children.
    for (std::size_t i = 1; i < handles.size(); ++i) {
        SetHandleInformation(handles[i], HANDLE_FLAG_INHERIT, 0);
        heldLocks.push_back(handles[i]);
    }
    WaitForSingleObject(handles[0], delay == kUntilTheLaunchEnds ? INFINITE : static_cast<DWORD>(delay * 1000));
    CloseHandle(handles[0]);
    return std::vector<std::string>(args.begin() + 4 + locks, args.end());
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
