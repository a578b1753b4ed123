// The platform layer for Windows. Texts are UTF-8 inside and go through the system's wide
// (UTF-16) entry points, so that every name Windows can hold is handled exactly; the ANSI code
// page is used only where a reader expects it (the VM's options, redirected output), and
// never with a best-fit look-alike.
#include "base/text_ops.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/libraries.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "platform/user_interface.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "platform/command_line_quoting.h"
#include "platform/win32/console_win32.h"
#include "platform/win32/library_imports_win32.h"
#include "platform/win32/message_box_text.h"
#include "platform/unicode_text.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

/// Closes a kernel handle when it goes.
class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

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

/// Frees a buffer the system allocated with LocalAlloc when it goes.
class LocalBuffer {
public:
    LocalBuffer() = default;
    ~LocalBuffer() {
        if (buffer_ != nullptr) LocalFree(buffer_);
    }
    LocalBuffer(const LocalBuffer&) = delete;
    LocalBuffer& operator=(const LocalBuffer&) = delete;
    wchar_t* get() const { return buffer_; }
    wchar_t** address() { return &buffer_; }

private:
    wchar_t* buffer_ = nullptr;
};

// The usual Windows path limit; buffers start there and grow when a value is longer.
constexpr DWORD kInitialPathBuffer = MAX_PATH;

bool endsWithIgnoringCase(const std::wstring& name, const std::wstring& suffix) {
    if (name.size() < suffix.size()) return false;
    std::size_t offset = name.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (lowerAscii(name[offset + i]) != lowerAscii(suffix[i])) return false;
    return true;
}

// The system's wildcard search also matches the generated short (8.3) names, so "*.jar"
// would list "app.jarold" through its short name APP~1.JAR. A "*.ext" pattern is therefore
// held to the long name as well.
bool matchesPattern(const std::wstring& name, const std::wstring& pattern) {
    if (pattern.size() < 2 || pattern[0] != L'*') return true;
    std::wstring suffix = pattern.substr(1);
    if (suffix.find_first_of(L"*?") != std::wstring::npos) return true;
    return endsWithIgnoringCase(name, suffix);
}

bool endsWithSeparator(const std::string& path) {
    if (path.empty()) return false;
    char last = path[previousCharStart(path, path.size())];
    return last == '\\' || last == '/' || last == ':';
}

/// The system's text for an error code without its line break, or empty when it has none.
std::string systemErrorText(DWORD error) {
    LocalBuffer buffer;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(buffer.address()), 0, nullptr);
    if (length == 0 || buffer.get() == nullptr) return std::string();
    std::string text = fromWide(std::wstring(buffer.get(), length));
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

}  // namespace

// ---- Process and file system -----------------------------------------------------------
//
// Paths go through the wide entry points: the ANSI ones cannot name a file whose name the code
// page lacks, and refuse any path over MAX_PATH (ERROR_FILENAME_EXCED_RANGE) before the file
// system sees it.

std::optional<std::string> ownExecutablePath() {
    std::wstring buffer(kInitialPathBuffer, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetModuleFileNameW(nullptr, &buffer[0], size);
        if (length == 0) return std::nullopt;
        // A full buffer means the name was cut (and, on older systems, not terminated).
        if (length < size) {
            buffer.resize(length);
            return fromWide(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

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
    std::string searchPath = directory;
    if (!searchPath.empty() && !endsWithSeparator(searchPath)) searchPath += '\\';
    searchPath += pattern;

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

std::optional<std::string> getEnv(const std::string& name) {
    std::wstring wideName = toWide(name);
    // A set but empty variable reports size 1 (its terminator), or 0 with no error.
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    for (;;) {
        if (needed == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        std::wstring buffer(needed, L'\0');
        SetLastError(ERROR_SUCCESS);
        DWORD length = GetEnvironmentVariableW(wideName.c_str(), &buffer[0], needed);
        if (length < needed) {
            if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            buffer.resize(length);
            return fromWide(buffer);
        }
        needed = length;  // grew in between: the new size, terminator included
    }
}

// The system's names ignore case: there is no other name to tell apart.
std::optional<std::string> getEnvExactName(const std::string& name) { return getEnv(name); }

std::size_t previousCharStart(const std::string& text, std::size_t pos) {
    return unicode_text::previousUtf8Start(text, pos);
}

std::u16string toUtf16(const std::string& text) { return unicode_text::utf8ToUtf16(text); }

// ---- User interface --------------------------------------------------------------------

void showMessageBox(const std::string& text, const std::string& caption) {
    MessageBoxW(nullptr, messageBoxText(toWide(text)).c_str(), toWide(caption).c_str(), MB_ICONWARNING);
}

// askForJavaExecutable lives in java_exe_dialog.cpp.

// ---- Java runtime layout ---------------------------------------------------------------

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
    return {javaHome + "\\lib\\jvm.cfg", javaHome + archDirectory};
}

std::vector<std::string> vmLibraryCandidates(const std::string& javaHome, const std::string& vmDirectory) {
    return {javaHome + "\\bin\\" + vmDirectory + "\\jvm.dll"};
}

// ---- Libraries and child processes -----------------------------------------------------

namespace {

/// `path` made absolute against the current directory; itself when the system cannot say.
std::wstring fullWidePath(const std::string& path) {
    std::wstring wide = toWide(path);
    std::wstring buffer(kInitialPathBuffer, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetFullPathNameW(wide.c_str(), size, &buffer[0], nullptr);
        if (length == 0) return wide;
        if (length < size) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length, L'\0');  // the size needed, terminator included
    }
}

}  // namespace

void keepWorkingDirectoryOutOfLibrarySearch() { SetDllDirectoryW(L""); }

void addLibraryDirectory(const std::string& directory) { SetDllDirectoryW(fullWidePath(directory).c_str()); }

LoadedLibrary loadLibrary(const std::string& path) {
    LoadedLibrary result;
    // By its full path: the loader looks for a relative path with directories ("..\jre\...")
    // in every directory of the DLL search path, so the file that was found to exist here
    // might not be the one loaded. Wide, as every path here: LoadLibraryA refuses a path over
    // MAX_PATH.
    result.handle = reinterpret_cast<void*>(loadLibraryFromOwnPlaces(fullWidePath(path)));
    if (result.handle == nullptr) {
        // A library built for the other machine fails with ERROR_BAD_EXE_FORMAT, but so does
        // a file that is no library at all: the header tells the two apart.
        std::optional<LibraryArchitecture> architecture = libraryArchitecture(path);
        result.wrongBitness = architecture && !architecture->own;
        if (!result.wrongBitness) result.missingDependencies = missingDependencies(path);
    }
    return result;
}

void* findSymbol(void* library, const char* name) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

ChildOutcome runAndWait(const std::string& program, const std::vector<std::string>& args) {
    ChildOutcome outcome;
    // Wide, so that the child receives the exact text of every argument and a program path
    // over MAX_PATH is not refused. UTF-8 has no byte that is part of another character and
    // looks like a backslash or a quotation mark, so the quoting can work on bytes.
    std::wstring commandLine = toWide(quoteWindowsCommandLine(args));
    std::wstring programPath = toWide(program);
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    passStandardHandles(startup);
    PROCESS_INFORMATION child;
    std::memset(&child, 0, sizeof child);
    // CreateProcessW may write into the command line, so it gets a buffer of its own.
    if (!CreateProcessW(program.empty() ? nullptr : programPath.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                        nullptr, nullptr, &startup, &child)) {
        outcome.errorText = systemErrorText(GetLastError());
        return outcome;
    }
    Handle process(child.hProcess);
    Handle thread(child.hThread);
    outcome.started = true;
    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = static_cast<DWORD>(-1);
    if (GetExitCodeProcess(process.get(), &exitCode)) outcome.exitCode = static_cast<int>(exitCode);
    return outcome;
}

// ---- File types and the environment of children ----------------------------------------

bool isRegularFile(const std::string& path) {
    DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool isSymbolicLink(const std::string&) { return false; }

std::optional<std::string> resolvedPath(const std::string& path) {
    return exists(path) ? std::optional<std::string>(path) : std::nullopt;
}

bool setEnv(const std::string& name, const std::optional<std::string>& value) {
    std::wstring wideValue = value ? toWide(*value) : std::wstring();
    return SetEnvironmentVariableW(toWide(name).c_str(), value ? wideValue.c_str() : nullptr) != 0;
}

}  // namespace platform
