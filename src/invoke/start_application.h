// The last step of a launch: the VM's options, the VM library chosen and loaded, the VM created
// in this process and the application's main run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <jni.h>

#include "config/launch_settings.h"
#include "vm/java_home.h"
#include "vm/startup_cache.h"

/// What a room above the launch's last step does beside it: `beforeCreation` runs right
/// before the VM is made (the process starts no more children after it, so threads may begin
/// there); `created` runs once it is made, on the thread that made it, before the main class
/// is looked up; `beforeDestruction` runs right before the VM is destroyed, on every way out
/// of the start once the VM was made, and must leave nothing that calls the VM afterwards;
/// `mainStarting` runs right before the application's main is called; `mainReturned` runs
/// once main has returned and its exception is described, on main's thread (still attached,
/// given its environment), before the VM is destroyed, and may wait there; `exiting` runs when
/// the application ends the process (System.exit: the VM's "exit" hook, given the code), on
/// the VM's thread, which is about to end the process, and must neither wait nor call the VM.
/// `optionsChosen` runs once the VM library is chosen (its path, empty when there is none) and
/// the options are built, before anything is checked or loaded. Any may be empty.
struct VmOptions;
struct VmObserver {
    std::function<void()> beforeCreation;
    std::function<void(JavaVM*, JNIEnv*)> created;
    std::function<void()> beforeDestruction;
    std::function<void()> mainStarting;
    std::function<void(JNIEnv*)> mainReturned;
    std::function<void(int)> exiting;
    std::function<void(const std::string&, const VmOptions&)> optionsChosen;
};

/// One option for the VM: its text, or for one of the VM's hooks its name and the function the
/// VM calls by that name.
struct VmOption {
    std::string text;
    void* hook = nullptr;
};

/// The VM's options and the start-up cache's work planned with them.
struct VmOptions {
    std::vector<VmOption> options;
    StartupCacheWork cacheWork;
};

/// Every option the launcher gives the VM, in the order the VM receives them: the files'
/// (AddVMOption and RegisterEnvVar, in their order), java.library.path as the launch fixed it,
/// the command line's, the configuration's path, the launcher's executable and start directory
/// (with SetLauncherProperties on), SetMaxHeap's (saying with -verbose how it was
/// computed), the start-up cache's (planned for `vmLibrary` of `runtime` from the options
/// before them; none in `updateMode` or without a library), the class path (the installer's in
/// `updateMode`), and last the hooks of a start that maps a cache.
VmOptions vmOptionsFor(const LaunchSettings& settings, const RuntimeFacts& runtime, const std::string& vmLibrary,
                       bool updateMode);

/// Chooses the VM library of `runtime` (read once, by the runtime check) for `settings` (its
/// defaults applied), builds the VM's
/// options, plans the start-up cache from the chosen library, then loads the library, creates
/// the VM and runs the main class (the installer class when `updateMode` is set). A VM once
/// made is destroyed before this returns or throws. The VM is created in the directory
/// SetWorkingDirectory gives the application (never in `updateMode`), every relative path of the
/// launch taken from the launcher's directory first. Throws JavaLauncherException on failure;
/// returns the exit code the process should end with (0
/// after a normal return of main, 1 after an uncaught exception).
int startJavaApplication(const LaunchSettings& settings, const RuntimeFacts& runtime, bool updateMode,
                         const VmObserver& observer = {});
