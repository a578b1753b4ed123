#include "invoke/vm_library.h"

#include "platform/console.h"
#include "platform/platform.h"

namespace {

const std::string kLauncherBits = std::to_string(sizeof(void*) * 8);

}  // namespace

bool loadVmLibrary(const std::string& libraryPath, JniEntryPoints& entryPoints, bool verbose) {
    if (verbose) printOut("JVM path is " + libraryPath + "\n");
    platform::LoadedLibrary library = platform::loadLibrary(libraryPath);
    if (!library.handle) {
        if (library.wrongBitness)
            printErr("ERROR: The Java VM library is not a " + kLauncherBits + "-bit library: this " +
                     kLauncherBits + "-bit launcher needs a " + kLauncherBits + "-bit Java runtime.\n");
        for (const std::string& name : library.missingDependencies)
            printErr("ERROR: A DLL that the Java VM library needs cannot be found: " + name + "\n");
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
