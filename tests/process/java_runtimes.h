// Test runtimes for the search for an installed Java: the test-double VM library, a release
// file, and what --print-java reports of them.
#pragma once

#include <string>

#include "process/harness.h"

namespace process_tests {

/// What a test runtime's VM library is.
enum class RuntimeLibrary { Own, OtherArchitecture, None };

/// A test runtime below an installation's root.
struct Runtime {
    std::string home;
    std::string version;
    RuntimeLibrary library = RuntimeLibrary::Own;
};

/// A test runtime at the host path `home`, stating `version` in its release file (none when
/// empty). False when the machine has no library of the other architecture.
bool addJavaAt(const std::string& home, const std::string& version, RuntimeLibrary library = RuntimeLibrary::Own);
/// The same below the installation's root.
bool addJava(const Installation& inst, const std::string& home, const std::string& version,
             RuntimeLibrary library = RuntimeLibrary::Own);

/// The architecture the launcher under test names as its own: "64-bit" or "32-bit".
std::string ownArchitecture();

/// What --print-java writes.
std::string javaReport(const std::string& home, const std::string& version, const std::string& found);

}  // namespace process_tests
