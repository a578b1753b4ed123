#include "vm/vm_selection.h"

#include <string>

#include "platform/files.h"
#include "platform/java_places.h"

std::optional<std::string> findVmLibrary(const std::string& javaHome, const std::string& vmDirectory) {
    // Only a regular file counts: loading a FIFO or a device would wait for ever, and a
    // directory cannot be loaded; either is as good as missing.
    for (const std::string& candidate : platform::vmLibraryCandidates(javaHome, vmDirectory))
        if (platform::isRegularFile(candidate)) return candidate;
    return std::nullopt;
}

VmChoice selectVm(const std::string& javaHome, const std::string& vmName, const std::vector<VmEntry>& table) {
    // The VM asked for: every entry of that name, in table order. An alias names a directory,
    // never another entry.
    for (const VmEntry& entry : table) {
        if (entry.name != vmName) continue;
        if (entry.directory.empty()) {
            std::string reason = vmName + " VM is not supported.";
            return {std::string(), reason, "ERROR: " + reason + "\n"};
        }
        if (std::optional<std::string> library = findVmLibrary(javaHome, entry.directory)) return {*library, "", ""};
    }
    // Any VM of the table whose library is there.
    std::string warnings = "WARNING: Cannot find default VM \"" + vmName + "\" at " + javaHome + "\n";
    for (const VmEntry& entry : table) {
        if (std::optional<std::string> library = findVmLibrary(javaHome, entry.directory))
            return {*library, "", warnings + "         using " + entry.directory + " instead.\n"};
    }
    std::string reason = "Cannot find VM at: " + javaHome;
    return {std::string(), reason, warnings + "ERROR: " + reason + "\nAborting!\n"};
}
