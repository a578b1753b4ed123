// Reading a library's import table, to say why it did not load.
#pragma once

#include <string>
#include <vector>

namespace platform {

/// The DLLs that the library at `libraryPath` imports, directly or through a DLL it finds
/// outside the system's directories, that are on none of the directories the loader searches
/// for them (the executable's, the SetDllDirectory one, the system's, PATH's), each once, in
/// import order. Empty when none is missing or the import tables cannot be read.
std::vector<std::string> missingDependencies(const std::string& libraryPath);

}  // namespace platform
