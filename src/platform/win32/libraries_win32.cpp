// What a PE file's header says of the architecture it is built for. Nothing is loaded.
#include "platform/libraries.h"

#include <windows.h>

#include <cstddef>
#include <string>

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
    HANDLE file = CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    IMAGE_DOS_HEADER dos;
    struct {
        DWORD signature;
        WORD machine;
    } header;
    static_assert(offsetof(decltype(header), machine) == 4, "the machine follows the signature");
    bool image = readAt(file, 0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE &&
                 readAt(file, static_cast<DWORD>(dos.e_lfanew), &header, 6) && header.signature == IMAGE_NT_SIGNATURE;
    CloseHandle(file);
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

}  // namespace platform
