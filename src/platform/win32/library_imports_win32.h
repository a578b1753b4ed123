// Reading a library's import table, to say why it did not load.
#pragma once

#include <string>
#include <vector>

namespace platform {

/// The DLLs that the library at `libraryPath` imports, directly or through a DLL it finds
/// outside the system's directories, that are on none of the directories the loader searches
/// for them (the executable's, the SetDllDirectory one, the system's, PATH's), each once, in
/// import order. Empty when none is missing or the import tables cannot be read. The library
/// itself is never among them (a DLL may import it back). Each name is printable as it is:
/// control characters and bytes outside ASCII come as \xHH, and a name longer than any file
/// name is cut at 255 bytes and "...". A library's imports past its 1024th are not looked at.
std::vector<std::string> missingDependencies(const std::string& libraryPath);

}  // namespace platform
