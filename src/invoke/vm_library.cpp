#include "invoke/vm_library.h"

#include "base/path_names.h"

#include "platform/console.h"
#include "platform/files.h"
#include "platform/libraries.h"

namespace {

const std::string kLauncherBits = std::to_string(sizeof(void*) * 8);

/// Writes the reasons a library did not load to stderr, and returns them as one text for a
/// message box, the library named by its absolute path there.
std::string reportLoadFailure(const platform::LoadedLibrary& library, const std::string& libraryPath) {
    std::string full = platform::absolutePath(libraryPath);
    std::string explanation;
    auto add = [&explanation](const std::string& line) {
        explanation += (explanation.empty() ? "" : "\n") + line;
    };
    if (library.wrongBitness) {
        std::string reason = " is not a " + kLauncherBits + "-bit library: this " + kLauncherBits +
                             "-bit launcher needs a " + kLauncherBits + "-bit Java runtime.";
        printErr("ERROR: The Java VM library" + reason + "\n");
        add("The Java VM library " + full + reason);
    }
    for (const std::string& name : library.missingDependencies) {
        printErr("ERROR: A DLL that the Java VM library needs cannot be found: " + name + "\n");
        add("A DLL that the Java VM library " + full + " needs cannot be found: " + name);
    }
    return explanation;
}

}  // namespace

bool loadVmLibrary(const std::string& libraryPath, JniEntryPoints& entryPoints, bool verbose,
                   std::string& explanation) {
    if (verbose) printOut("JVM path is " + libraryPath + "\n");
    platform::LoadedLibrary library = platform::loadLibrary(libraryPath);
    if (!library.handle) {
        explanation = reportLoadFailure(library, libraryPath);
        printErr("ERROR: Error loading: " + libraryPath + "\n");
        return false;
    }
    entryPoints.createJavaVM =
        reinterpret_cast<JniEntryPoints::CreateJavaVM>(platform::findSymbol(library.handle, "JNI_CreateJavaVM"));
    entryPoints.getDefaultJavaVMInitArgs = reinterpret_cast<JniEntryPoints::GetDefaultJavaVMInitArgs>(
        platform::findSymbol(library.handle, "JNI_GetDefaultJavaVMInitArgs"));
    if (entryPoints.createJavaVM && entryPoints.getDefaultJavaVMInitArgs) return true;
    printErr("Error: can't find JNI interfaces in: " + libraryPath + "\n");
    return false;
}
