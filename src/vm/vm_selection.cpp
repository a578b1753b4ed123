#include <string>

#include "config/config_file_parser.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/java_places.h"

const char* const kDefaultVmName = "hotspot";

const std::string& ConfigFileParser::getVmName() {
    if (vmName.empty()) vmName = kDefaultVmName;
    return vmName;
}

bool ConfigFileParser::findVmLibrary(const std::string& vmDirectory, std::string& libraryPath) const {
    // Only a regular file counts: loading a FIFO or a device would wait for ever, and a
    // directory cannot be loaded; either is as good as missing.
    for (const std::string& candidate : platform::vmLibraryCandidates(javaHome, vmDirectory)) {
        if (platform::isRegularFile(candidate)) {
            libraryPath = candidate;
            return true;
        }
    }
    return false;
}

bool ConfigFileParser::selectVm(std::string& libraryPath) {
    // The VM asked for: every entry of that name, in table order. An alias names a directory,
    // never another entry.
    for (const VmEntry& entry : vmTable) {
        if (entry.name != vmName) continue;
        if (entry.directory.empty()) {
            printErr("ERROR: " + vmName + " VM is not supported.\n");
            return false;
        }
        if (findVmLibrary(entry.directory, libraryPath)) return true;
    }
    // Any VM of the table whose library is there.
    printErr("WARNING: Cannot find default VM \"" + vmName + "\" at " + javaHome + "\n");
    for (const VmEntry& entry : vmTable) {
        if (findVmLibrary(entry.directory, libraryPath)) {
            printErr("         using " + entry.directory + " instead.\n");
            return true;
        }
    }
    printErr("ERROR: Cannot find VM at: " + javaHome + "\nAborting!\n");
    return false;
}
