// The record's defaults from the environment: PATH and the installation's own bin directory
// for native code, and the library path they make.
#include <string>

#include "config/launch_settings.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "platform/text.h"

void LaunchSettings::loadPathVariable() {
    std::optional<std::string> path = platform::getEnv("PATH");
    if (!path || path->empty()) return;
    // PATH is the user's whole system, not the application's: an entry the VM could not be
    // given (a stale folder named outside the code page) is left out rather than stopping
    // every start.
    std::string kept;
    bool keptAny = false;
    for (const std::string& entry : splitPathList(*path)) {
        if (platform::vmCanTakePath(entry)) {
            if (keptAny) kept += platform::kPathListSeparator;
            kept += entry;
            keptAny = true;
        } else {
            leftOutPathEntries.push_back(entry);
        }
    }
    nativeCodePath = kept;
}

void LaunchSettings::addInstallBinDir() {
    std::optional<std::string> root = platform::getEnv("OMBRIX_HOME");
    if (!root || root->empty()) return;
    addNativeCodePath(joinPath(*root, "bin"));
}

void LaunchSettings::fixLibraryPath() { fixedLibraryPath = nativeCodePath; }

void LaunchSettings::pushVmOption(std::string option) {
    (fixedLibraryPath ? commandLineVmOptions : vmOptions).push_back(std::move(option));
}
