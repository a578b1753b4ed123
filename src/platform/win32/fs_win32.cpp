// The Windows side of the start-up cache's file operations. Paths are UTF-8 inside the
// launcher and go to the system through the wide API.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/command_line_quoting.h"
#include "platform/platform.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

bool isDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::optional<std::string> userCacheDirectory() {
    std::optional<std::string> local = getEnv("LOCALAPPDATA");
    if (!local || local->empty()) return std::nullopt;
    std::string path = *local;
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

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
    return !wide.empty() && DeleteFileW(wide.c_str()) != 0;
}

std::optional<FileStamp> fileStamp(const std::string& path) {
    std::wstring wide = toWide(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (wide.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    FileStamp stamp;
    stamp.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.modified = static_cast<long long>((static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                            data.ftLastWriteTime.dwLowDateTime);
    return stamp;
}

std::optional<unsigned long long> freeSpace(const std::string& directory) {
    std::wstring wide = toWide(directory);
    ULARGE_INTEGER available;
    if (wide.empty() || !GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

std::optional<std::string> readFileStart(const std::string& path, std::size_t maxBytes) {
    std::wstring wide = toWide(path);
    if (wide.empty()) return std::nullopt;
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string content;
    char buffer[4096];
    bool ok = true;
    while (content.size() < maxBytes) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, maxBytes - content.size()));
        DWORD got = 0;
        if (!ReadFile(file, buffer, want, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        content.append(buffer, got);
    }
    CloseHandle(file);
    if (!ok) return std::nullopt;
    return content;
}

bool holdLockUntilExit(const std::string& path) {
    std::wstring wide = toWide(path);
    if (wide.empty()) return false;
    // Opened without sharing: a second process cannot open it while this one lives. The
    // handle is never closed; the system closes it when the process ends, however it ends.
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE;
}

int runQuietly(const std::string& program, const std::vector<std::string>& args) {
    std::wstring application = toWide(program);
    if (application.empty()) return -1;
    // UTF-8 is split like any text: its multi-byte characters never hold a backslash's code.
    std::wstring wideCommand = toWide(quoteWindowsCommandLine(args));
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    if (nul == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    BOOL created = CreateProcessW(application.c_str(), &wideCommand[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                  nullptr, nullptr, &startup, &process);
    CloseHandle(nul);
    if (!created) return -1;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    int result = GetExitCodeProcess(process.hProcess, &code) ? static_cast<int>(code) : -1;
    CloseHandle(process.hProcess);
    return result;
}

}  // namespace platform
