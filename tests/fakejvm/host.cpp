// The process the test-double VM runs in: its environment, the record file, options as the
// VM reads them, the standard handles and crashing.
#include "fake_jvm.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <unistd.h>

#include <fstream>
#include <iterator>
#endif

namespace fakejvm {

namespace {

#ifdef _WIN32
// Into UTF-8, which holds every character: no code page, so WC_NO_BEST_FIT_CHARS has no part here.
std::string utf8Of(const wchar_t* wide, int length) {
    int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide, length, &text[0], size, nullptr, nullptr);
    return text;
}

std::wstring wideOf(const std::string& text, UINT codePage) {
    int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}
#endif

/// An option's bytes as text: on Windows the VM reads them in the ANSI code page.
std::string optionText(const char* bytes) {
#ifdef _WIN32
    std::wstring wide = wideOf(bytes, CP_ACP);
    return utf8Of(wide.data(), static_cast<int>(wide.size()));
#else
    return bytes;
#endif
}

}  // namespace

// ---- Environment and recording ---------------------------------------------------------

// Variables and the record file are reached through the wide API on Windows, so that a record
// file in a folder the code page cannot name is written.
std::string envValue(const char* name) {
#ifdef _WIN32
    std::wstring wideName = wideOf(name, CP_UTF8);
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) return "";
    std::wstring value(size, L'\0');
    DWORD length = GetEnvironmentVariableW(wideName.c_str(), &value[0], size);
    return length < size ? utf8Of(value.data(), static_cast<int>(length)) : "";
#else
    const char* value = std::getenv(name);
    return value ? value : "";
#endif
}

bool failureRequested(const char* what) { return envValue("FAKEJVM_FAIL") == what; }

void record(const std::string& line) {
    std::string path = envValue("FAKEJVM_RECORD");
    if (path.empty()) return;
    // Opened per event, so that nothing is lost when the process ends abruptly.
#ifdef _WIN32
    FILE* out = _wfopen(wideOf(path, CP_UTF8).c_str(), L"ab");
#else
    FILE* out = std::fopen(path.c_str(), "ab");
#endif
    if (out) {
        std::fwrite(line.data(), 1, line.size(), out);
        std::fputc('\n', out);
        std::fclose(out);
    }
}

std::string recordText() {
    std::string path = envValue("FAKEJVM_RECORD");
    if (path.empty()) return "";
#ifdef _WIN32
    FILE* in = _wfopen(wideOf(path, CP_UTF8).c_str(), L"rb");
#else
    FILE* in = std::fopen(path.c_str(), "rb");
#endif
    std::string text;
    if (!in) return text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, got);
    std::fclose(in);
    return text;
}

void recordConsole() {
#ifdef _WIN32
    // A process without a console has no console code page.
    if (!envValue("FAKEJVM_CONSOLE").empty()) {
        const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
        bool windowless = nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
        record(std::string(GetConsoleCP() != 0 ? "console=yes" : "console=no") +
               (windowless ? " windowless" : " console-program"));
    }
#endif
}

void recordThreads() {
#ifndef _WIN32
    if (envValue("FAKEJVM_THREADS") != "1") return;
    int threads = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Threads:", 0) == 0) threads = std::atoi(line.c_str() + 8);
    record("threads=" + std::to_string(threads));
#endif
}

void recordDirectory() {
    if (envValue("FAKEJVM_DIRECTORY") != "1") return;
#ifdef _WIN32
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(size, L'\0');
    DWORD length = size ? GetCurrentDirectoryW(size, &directory[0]) : 0;
    record("directory=" + utf8Of(directory.data(), static_cast<int>(length < size ? length : 0)));
#else
    std::string directory(4096, '\0');
    while (!getcwd(&directory[0], directory.size()) && errno == ERANGE) directory.resize(directory.size() * 2);
    record("directory=" + std::string(directory.c_str()));
#endif
}

// ---- Options as the VM reads them ------------------------------------------------------

void recordCodePage() {
#ifdef _WIN32
    if (envValue("FAKEJVM_TEXT") == "1") record("codepage=" + std::to_string(GetACP()));
#endif
}

namespace {

/// Records whether each ';'- (POSIX: ':'-) separated entry of a path option names a file, as
/// the VM opens it: through the ANSI API on Windows.
void recordPaths(const std::string& bytes) {
#ifdef _WIN32
    const char separator = ';';
#else
    const char separator = ':';
#endif
    for (std::size_t start = 0; start <= bytes.size();) {
        std::size_t end = bytes.find(separator, start);
        if (end == std::string::npos) end = bytes.size();
        std::string entry = bytes.substr(start, end - start);
#ifdef _WIN32
        bool found = GetFileAttributesA(entry.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
        FILE* file = std::fopen(entry.c_str(), "rb");
        bool found = file != nullptr;
        if (file) std::fclose(file);
#endif
        record(found ? "path found" : "path missing: " + optionText(entry.c_str()));
        start = end + 1;
    }
}

}  // namespace

void recordOption(const char* text) {
    if (envValue("FAKEJVM_TEXT") != "1") {
        record(std::string("option=") + text);
        return;
    }
    record("option=" + optionText(text));
    for (const char* prefix : {"-Djava.class.path=", "-Dide.config_pathname="}) {
        std::size_t length = std::strlen(prefix);
        if (std::strncmp(text, prefix, length) == 0) recordPaths(text + length);
    }
    // A variable's value, in quotation marks, that names a directory (RegisterEnvVar).
    const char* value = std::strchr(text, '=');
    std::size_t length = value ? std::strlen(value) : 0;
    if (std::strncmp(text, "-Denv.", 6) == 0 && length >= 3 && value[1] == '"' && value[length - 1] == '"')
        recordPaths(std::string(value + 2, length - 3));
}

// ---- Crashing and the standard handles ---------------------------------------------------

bool inUpdateChild() {
#ifdef _WIN32
    int count = 0;
    bool found = false;
    if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count && !found; ++i) found = std::wcscmp(args[i], L"-update") == 0;
        LocalFree(args);
    }
    return found;
#else
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return all.find(std::string("\0-update\0", 9)) != std::string::npos;
#endif
}

#ifdef _WIN32
namespace {
LONG WINAPI endWithTheException(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }
}  // namespace
#endif

void loadExitRuntime() {
#ifdef _WIN32
    std::string runtime = envValue("FAKEJVM_EXIT_RUNTIME");
    // Loudly, as fatal() does, which the splash stand-in that shares this file lacks.
    if (!runtime.empty() && !LoadLibraryA((runtime + ".dll").c_str())) {
        std::fputs("fakejvm: FAKEJVM_EXIT_RUNTIME cannot be loaded\n", stderr);
        std::abort();
    }
#endif
}

void exitThroughRuntime(int code) {
    std::fflush(nullptr);
#ifdef _WIN32
    std::string runtime = envValue("FAKEJVM_EXIT_RUNTIME");
    if (HMODULE module = runtime.empty() ? nullptr : GetModuleHandleA((runtime + ".dll").c_str())) {
        using Exit = void(__cdecl*)(int);
        if (auto runtimeExit = reinterpret_cast<Exit>(reinterpret_cast<void*>(GetProcAddress(module, "exit"))))
            runtimeExit(code);
    }
#endif
    std::exit(code);
}

void crash() {
    std::fflush(nullptr);
#ifdef _WIN32
    // As Windows ends a process whose exception nobody handles, without a crash dialog or
    // wine's debugger: the exit code is the exception's.
    SetUnhandledExceptionFilter(&endWithTheException);
    // An address the compiler cannot see is null, so that the store is made.
    volatile std::uintptr_t address = 0;
    *reinterpret_cast<volatile int*>(address) = 1;
#else
    // The system's own action, not a sanitizer's; raised rather than provoked, so that a
    // memory checker the child runs under sees no invalid access of its own to report.
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
#endif
    std::abort();
}

void writeStandard(int stream, const std::string& text) {
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE), text.data(),
              static_cast<DWORD>(text.size()), &written, nullptr);
#else
    ssize_t written = ::write(stream, text.data(), text.size());
    (void)written;
#endif
}

}  // namespace fakejvm
