// Libraries on Windows: loaded by their full path with the DLL search path kept out of the
// working directory, and what a PE file's header says of the architecture it is built for.
#include "platform/libraries.h"

#include <windows.h>

#include <cstddef>
#include <string>

#include "platform/win32/library_imports_win32.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

#ifdef _WIN64
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
#endif

bool readAt(HANDLE file, DWORD offset, void* buffer, DWORD size) {
    if (SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    DWORD read = 0;
    return ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

/// The machine type in a PE file's header, or 0 when the file is no PE image.
WORD peMachine(const std::string& path) {
    OwnedHandle file(CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return 0;
    IMAGE_DOS_HEADER dos;
    struct {
        DWORD signature;
        WORD machine;
    } header;
    static_assert(offsetof(decltype(header), machine) == 4, "the machine follows the signature");
    bool image = readAt(file.get(), 0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE &&
                 readAt(file.get(), static_cast<DWORD>(dos.e_lfanew), &header, 6) && header.signature == IMAGE_NT_SIGNATURE;
    return image ? header.machine : 0;
}

}  // namespace

std::optional<LibraryArchitecture> libraryArchitecture(const std::string& path) {
    WORD machine = peMachine(path);
    if (machine == 0) return std::nullopt;
    LibraryArchitecture architecture;
    architecture.own = machine == kOwnMachine;
    architecture.name = machine == IMAGE_FILE_MACHINE_I386    ? "32-bit"
                        : machine == IMAGE_FILE_MACHINE_AMD64 ? "64-bit"
                                                              : "machine " + std::to_string(machine);
    return architecture;
}

const char* const kOwnArchitecture = kOwnMachine == IMAGE_FILE_MACHINE_AMD64 ? "64-bit" : "32-bit";

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

namespace {

/// The handler the C runtimes that _onexit registers with call, which wants a result.
void (*exitHandler)() = nullptr;
int __cdecl runExitHandler() {
    if (exitHandler) exitHandler();
    return 0;
}

}  // namespace

void alsoAtExitOfLoadedRuntimes(void (*handler)()) {
    exitHandler = handler;
    // The universal runtime's table of the process, which its exit() runs first.
    if (HMODULE ucrt = GetModuleHandleW(L"ucrtbase.dll")) {
        using CrtAtExit = int(__cdecl*)(void(__cdecl*)());
        if (auto crtAtExit = reinterpret_cast<CrtAtExit>(reinterpret_cast<void*>(GetProcAddress(ucrt, "_crt_atexit"))))
            crtAtExit(handler);
    }
    // The runtimes of older VMs, each with a table of its own.
    for (const wchar_t* name : {L"msvcr100.dll", L"msvcr110.dll", L"msvcr120.dll"}) {
        HMODULE runtime = GetModuleHandleW(name);
        using OnExit = void*(__cdecl*)(int(__cdecl*)());
        if (auto onExit = runtime ? reinterpret_cast<OnExit>(reinterpret_cast<void*>(GetProcAddress(runtime, "_onexit"))) : nullptr)
            onExit(runExitHandler);
    }
}

}  // namespace platform
