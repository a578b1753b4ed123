// The last step of a launch: the VM's options, the VM library chosen and loaded, the VM created
// in this process and the application's main run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <jni.h>

#include "config/launch_settings.h"
#include "vm/java_home.h"

/// What a room above the launch's last step does beside it: `beforeCreation` runs right
/// before the VM is made (the process starts no more children after it, so threads may begin
/// there); `created` runs once it is made, on the thread that made it, before the main class
/// is looked up. Either may be empty.
struct VmObserver {
    std::function<void()> beforeCreation;
    std::function<void(JavaVM*, JNIEnv*)> created;
};

/// Every option the launcher gives the VM, in the order the VM receives them: the file's (and
/// RegisterEnvVar's), java.library.path, the command line's, the configuration's path,
/// SetMaxHeap's (saying with -verbose how it was computed), and last the class path (the
/// installer's in `updateMode`).
std::vector<std::string> vmOptionsFor(const LaunchSettings& settings, bool updateMode);

/// Chooses the VM library of `runtime` (read once, by the runtime check), builds the VM's
/// options, plans the start-up cache from the chosen library, then loads the library, creates
/// the VM and runs the main class (the installer class when `updateMode` is set). Throws
/// JavaLauncherException on failure; returns the exit code the process should end with (0
/// after a normal return of main, 1 after an uncaught exception).
int startJavaApplication(const LaunchSettings& settings, const RuntimeFacts& runtime, bool updateMode,
                         const VmObserver& observer = {});
