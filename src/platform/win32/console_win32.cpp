// Where the standard streams of a Windows launcher lead. The console executable and the
// windowless one are built from the same sources; the only difference is the subsystem in the
// executable's header, which is read here at run time. A console program has its console (or
// redirected handles) from the start and nothing is done. A windowless one writes through
// redirected handles as given and, for a stream that has none, attaches to the console of the
// process that started it, or else allocates a console of its own, only when there is
// something to write, so that a start from the desktop with nothing to say shows no console.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/console.h"
#include "platform/win32/console_win32.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

/// What the executable's own header says: the GUI subsystem means no console at the start.
bool windowlessExecutable() {
    static const bool windowless = [] {
        const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
    }();
    return windowless;
}

bool usableHandle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

/// One standard stream: its Win32 handle, the C runtime's descriptor and stream, and whether
/// whoever started the process handed it a handle (a pipe, a file), which is then used as given.
struct Stream {
    DWORD which;
    int descriptor;
    std::FILE* file;
    bool givenAtStart;
    bool connected;
};

Stream& streamFor(StandardStream stream) {
    static Stream output{STD_OUTPUT_HANDLE, 1, stdout, usableHandle(GetStdHandle(STD_OUTPUT_HANDLE)), false};
    static Stream error{STD_ERROR_HANDLE, 2, stderr, usableHandle(GetStdHandle(STD_ERROR_HANDLE)), false};
    return stream == StandardStream::Output ? output : error;
}

enum class Console { NotTried, Present, Unavailable };
Console console = Console::NotTried;
NoConsoleHandler noConsoleHandler = nullptr;

/// Attaching shows no window, so it is tried first; a console of its own only when allowed.
bool haveConsole(bool mayAllocate) {
    if (console == Console::NotTried) {
        // ERROR_ACCESS_DENIED: this process is attached to a console already.
        if (AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED)
            console = Console::Present;
        else if (mayAllocate)
            console = AllocConsole() ? Console::Present : Console::Unavailable;
    }
    return console == Console::Present;
}

/// Points the stream's Win32 handle and the C runtime's descriptor at the console. The handle is
/// inheritable, so that a windowless update child writes where its parent does.
bool connectToConsole(Stream& stream) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inheritable, OPEN_EXISTING, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) return false;
    SetStdHandle(stream.which, output);
    std::fflush(stream.file);
    // _dup2 gives the stream's descriptor a duplicate of the handle. The temporary descriptor
    // stays open: closing it would close the standard handle.
    int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(output), _O_TEXT);
    if (descriptor >= 0) _dup2(descriptor, stream.descriptor);
    std::clearerr(stream.file);
    stream.connected = true;
    return true;
}

bool prepare(StandardStream which, bool mayAllocate) {
    Stream& stream = streamFor(which);
    if (!windowlessExecutable() || stream.givenAtStart || stream.connected) return true;
    return haveConsole(mayAllocate) && connectToConsole(stream);
}

}  // namespace

bool prepareConsoleStream(StandardStream stream) {
    if (prepare(stream, true)) return true;
    if (noConsoleHandler != nullptr) noConsoleHandler();
    return false;
}

void connectApplicationStreams() {
    prepare(StandardStream::Output, false);
    prepare(StandardStream::Error, false);
}

void onNoConsole(NoConsoleHandler handler) { noConsoleHandler = handler; }

void passStandardHandles(STARTUPINFOW& startup) {
    if (!windowlessExecutable()) return;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
}

void writeText(std::FILE* stream, const std::string& text) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        std::string bytes = toCodePage(text);
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
        return;
    }
    // What the runtime holds for the stream goes first, so that the order stays.
    std::fflush(stream);
    std::string lines;
    for (char c : text) {
        if (c == '\n') lines += '\r';  // as the runtime writes a line break in text mode
        lines += c;
    }
    std::wstring wide = toWide(lines);
    const wchar_t* rest = wide.data();
    DWORD left = static_cast<DWORD>(wide.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteConsoleW(handle, rest, left, &written, nullptr) || written == 0) break;
        rest += written;
        left -= written;
    }
}

}  // namespace platform
