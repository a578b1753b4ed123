// Processes on Windows: the program's own path, the environment, children run and waited for,
// and the start-up cache's worker and quiet child. Command lines go through the wide entry
// points and are quoted, so that a child receives the exact text of every argument.
#include "platform/processes.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <functional>
#include <memory>

#include "platform/command_line_quoting.h"
#include "platform/win32/console_win32.h"
#include "platform/win32/held_locks.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

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

// ---- The process -----------------------------------------------------------
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





namespace {

/// Starts `program` with `args`, sharing this console, environment and current directory;
/// false, with the system's error as the last one, when it cannot be created.
bool startChild(const std::string& program, const std::vector<std::string>& args, PROCESS_INFORMATION& child) {
    // Wide, so that the child receives the exact text of every argument and a program path
    // over MAX_PATH is not refused. UTF-8 has no byte that is part of another character and
    // looks like a backslash or a quotation mark, so the quoting can work on bytes.
    std::wstring commandLine = toWide(quoteWindowsCommandLine(args));
    std::wstring programPath = toWide(program);
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    passStandardHandles(startup);
    std::memset(&child, 0, sizeof child);
    // CreateProcessW may write into the command line, so it gets a buffer of its own.
    return CreateProcessW(program.empty() ? nullptr : programPath.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                          nullptr, nullptr, &startup, &child) != 0;
}

}  // namespace

ChildOutcome runAndWait(const std::string& program, const std::vector<std::string>& args) {
    ChildOutcome outcome;
    PROCESS_INFORMATION child;
    if (!startChild(program, args, child)) {
        outcome.errorText = systemErrorText(GetLastError());
        return outcome;
    }
    OwnedHandle process(child.hProcess);
    OwnedHandle thread(child.hThread);
    outcome.started = true;
    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = static_cast<DWORD>(-1);
    if (GetExitCodeProcess(process.get(), &exitCode)) outcome.exitCode = static_cast<int>(exitCode);
    return outcome;
}

namespace {

/// Names, in a start made by startAgain, the process that made it.
const wchar_t* const kPredecessorVariable = L"HLV_RESTARTED_FROM";

}  // namespace

bool startAgain(const std::string& program, const std::vector<std::string>& args) {
    PROCESS_INFORMATION child;
    SetEnvironmentVariableW(kPredecessorVariable, toWide(std::to_string(GetCurrentProcessId())).c_str());
    bool started = startChild(program, args, child);
    SetEnvironmentVariableW(kPredecessorVariable, nullptr);
    if (!started) return false;
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return true;
}

void awaitPredecessor() {
    wchar_t text[16];
    DWORD length = GetEnvironmentVariableW(kPredecessorVariable, text, 16);
    if (length == 0 || length >= 16) return;
    SetEnvironmentVariableW(kPredecessorVariable, nullptr);
    OwnedHandle predecessor(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::wcstoul(text, nullptr, 10))));
    if (predecessor.valid()) WaitForSingleObject(predecessor.get(), 60000);
}

// ---- The environment of children

bool setEnv(const std::string& name, const std::optional<std::string>& value) {
    std::wstring wideValue = value ? toWide(*value) : std::wstring();
    return SetEnvironmentVariableW(toWide(name).c_str(), value ? wideValue.c_str() : nullptr) != 0;
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    const wchar_t* line = GetCommandLineW();
    if (line != nullptr && *line != L'\0') return splitWindowsCommandLine(fromWide(line));
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(argv[i] ? argv[i] : "");
    return args;
}

namespace {

/// The thread of the work beside the launch; none when there is none.
OwnedHandle backgroundThread;

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
    HANDLE ownProcess = nullptr;
    if (!self || !DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &ownProcess, SYNCHRONIZE,
                                  TRUE, 0))
        return false;
    OwnedHandle launch(ownProcess);
    std::vector<std::string> args{kWorkerName, std::to_string(delay), std::to_string(heldLocks().size()),
                                  handleText(launch.get())};
    for (HANDLE lock : heldLocks()) args.push_back(handleText(lock));
    args.insert(args.end(), job.begin(), job.end());
    std::wstring application = toWide(*self);
    std::wstring command = toWide(quoteWindowsCommandLine(args));
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    OwnedHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr));
    std::vector<HANDLE> handed = heldLocks();
    handed.push_back(launch.get());
    handed.push_back(nul.get());
    for (HANDLE lock : heldLocks()) SetHandleInformation(lock, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
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
    startup.StartupInfo.hStdInput = startup.StartupInfo.hStdOutput = startup.StartupInfo.hStdError = nul.get();
    startup.lpAttributeList = list;
    DWORD flags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | IDLE_PRIORITY_CLASS | EXTENDED_STARTUPINFO_PRESENT;
    PROCESS_INFORMATION process = {};
    // Out of a job the launch may run in, which could end the worker with it; within it where
    // the job allows no way out.
    BOOL created = listed && nul.valid() &&
                   (CreateProcessW(application.c_str(), &command[0], nullptr, nullptr, TRUE, flags | CREATE_BREAKAWAY_FROM_JOB,
                                   nullptr, nullptr, &startup.StartupInfo, &process) ||
                    CreateProcessW(application.c_str(), &command[0], nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                   &startup.StartupInfo, &process));
    for (HANDLE lock : heldLocks()) SetHandleInformation(lock, HANDLE_FLAG_INHERIT, 0);
    if (listed) DeleteProcThreadAttributeList(list);
    if (!created) return false;
    OwnedHandle workerThread(process.hThread), worker(process.hProcess);
    return true;
}

}  // namespace

void runInBackground(const BackgroundWork& work, unsigned delay) {
    if (!work.asArguments.empty() && startWorker(work.asArguments, delay)) return;
    // A thread of this process, at the lowest priority: the launch waits for it at its end.
    auto* copy = new std::function<void()>(work.run);
    backgroundThread.reset(CreateThread(nullptr, 0, runWork, copy, 0, nullptr));
    if (!backgroundThread.valid()) {
        runWork(copy);
        return;
    }
    SetThreadPriority(backgroundThread.get(), THREAD_PRIORITY_IDLE);
}

std::vector<long> threadsOfThisProcess() { return {}; }

bool waitForThreadsToEnd(const std::vector<long>&, unsigned) { return true; }

void waitForBackground() {
    if (!backgroundThread.valid()) return;
    WaitForSingleObject(backgroundThread.get(), INFINITE);
    backgroundThread.reset();
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
        heldLocks().push_back(handles[i]);
    }
    OwnedHandle launch(handles[0]);
    WaitForSingleObject(launch.get(), delay == kUntilTheLaunchEnds ? INFINITE : static_cast<DWORD>(delay * 1000));
    return std::vector<std::string>(args.begin() + 4 + locks, args.end());
}

int runQuietly(const std::string& program, const std::vector<std::string>& args, unsigned timeLimit) {
    std::wstring application = toWide(program);
    if (application.empty()) return -1;
    // UTF-8 is split like any text: its multi-byte characters never hold a backslash's code.
    std::wstring wideCommand = toWide(quoteWindowsCommandLine(args));
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    OwnedHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr));
    if (!nul.valid()) return -1;
    // The job is never closed by hand: the system closes it with this process, and the child with it.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
    PROCESS_INFORMATION process = {};
    BOOL created = CreateProcessW(application.c_str(), &wideCommand[0], nullptr, nullptr, TRUE,
                                  CREATE_NO_WINDOW | CREATE_SUSPENDED | IDLE_PRIORITY_CLASS, nullptr, nullptr, &startup,
                                  &process);
    nul.reset();
    if (!created) return -1;
    OwnedHandle child(process.hProcess), thread(process.hThread);
    if (job) AssignProcessToJobObject(job, child.get());
    ResumeThread(thread.get());
    thread.reset();
    DWORD code = 0;
    int result = -1;
    DWORD waited = WaitForSingleObject(child.get(), timeLimit * 1000);
    if (waited == WAIT_OBJECT_0 && GetExitCodeProcess(child.get(), &code)) {
        result = static_cast<int>(code);
    } else {
        TerminateProcess(child.get(), 1);
        if (waited == WAIT_TIMEOUT) result = kChildCutShort;
    }
    return result;
}

}  // namespace platform
