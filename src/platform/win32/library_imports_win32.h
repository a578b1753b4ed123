// Loading a library so that what it needs is found only where the runtime keeps it, and
// reading its import table to say why it did not load.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace platform {

/// Loads the library at the absolute path `fullPath`, its dependencies looked for in its own
/// folder, the SetDllDirectory one (the runtime's bin) and the system's, never in the working
/// directory, the executable's or PATH's. Where the system has no such search (Windows 7
/// without its loader update), the loader's usual one, from which SetDllDirectory keeps the
/// working directory out. Null when it does not load, with the system's error code set.
HMODULE loadLibraryFromOwnPlaces(const std::wstring& fullPath);

/// The DLLs that the library at `libraryPath` imports, directly or through a DLL it finds
/// outside the system's directories, that are on none of the directories loadLibraryFromOwnPlaces
/// searches for them, each once, in import order. Empty when none is missing or the import
/// tables cannot be read. The library itself is never among them (a DLL may import it back).
/// Each name is printable as it is: control characters and bytes outside ASCII come as \xHH,
/// and a name longer than any file name is cut at 255 bytes and "...". A library's imports
/// past its 1024th are not looked at. After 256 names, or a second's search, the last entry is
/// "and more" and the search stops.
std::vector<std::string> missingDependencies(const std::string& libraryPath);

}  // namespace platform
