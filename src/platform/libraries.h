// Libraries: loading the VM library, finding its symbols, and the architecture a library is built
// for.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

/// Takes the working directory out of the places where the libraries this process loads are
/// looked for, from now on (Windows: SetDllDirectoryW with an empty text, which keeps every
/// other place of the usual search; nothing on POSIX).
void keepWorkingDirectoryOutOfLibrarySearch();

/// Adds the runtime's own binary directory to the places where the VM library's dependencies
/// are found, in place of the working directory (Windows: SetDllDirectoryW; nothing on POSIX).
void addLibraryDirectory(const std::string& directory);

/// Result of loading a library: the handle (null on failure) and, on failure, whether the
/// library is of the other bitness than this launcher.
struct LoadedLibrary {
    void* handle = nullptr;
    bool wrongBitness = false;
    /// On failure, the DLLs the library needs (itself or through another) that are nowhere on
    /// the loader's search path, in the order the import tables name them; after 256 of them, or
    /// a second's search, the last is "and more". Windows only.
    std::vector<std::string> missingDependencies;
};

/// Loads a dynamic library by path. The library is never unloaded. On Windows its dependencies
/// are looked for in its own folder, the one addLibraryDirectory named and the system's only.
LoadedLibrary loadLibrary(const std::string& path);

/// Address of an exported symbol, or null.
void* findSymbol(void* library, const char* name);

/// Has `handler` run also when a C runtime that another library loaded now brought ends the
/// process through its exit(), as a VM's System.exit does: on Windows each C runtime DLL runs
/// only the exit handlers registered with it (ucrtbase.dll, msvcr100.dll to msvcr120.dll), so
/// the handler is registered with each of those that is loaded. Nothing on POSIX, where one C
/// library runs every handler. `handler` may run more than once: it must do its work once.
void alsoAtExitOfLoadedRuntimes(void (*handler)());

/// The architecture of a library file as its header states it.
struct LibraryArchitecture {
    std::string name;  ///< "64-bit", "32-bit", or the machine's name when that is what differs
    bool own = false;  ///< the launcher's own: a library it can load
};

/// The architecture of the library at `path`; nullopt when it is no library the header of
/// which this system's loader reads (or cannot be read). Nothing is loaded.
std::optional<LibraryArchitecture> libraryArchitecture(const std::string& path);

/// The launcher's own architecture, in the words of LibraryArchitecture::name.
extern const char* const kOwnArchitecture;

}  // namespace platform
