// The last step of a launch: the VM created in this process and the application's main run.
#pragma once

#include <functional>
#include <string>

#include <jni.h>

#include "config/config_file_parser.h"

/// What a room above the launch's last step does beside it: `beforeCreation` runs right
/// before the VM is made (the process starts no more children after it, so threads may begin
/// there); `created` runs once it is made, on the thread that made it, before the main class
/// is looked up. Either may be empty.
struct VmObserver {
    std::function<void()> beforeCreation;
    std::function<void(JavaVM*, JNIEnv*)> created;
};

/// Creates the Java VM from a copy of `settings` and runs the main class (the installer class
/// when `updateMode` is set); the configuration file's path keys the start-up cache. Throws
/// JavaLauncherException on failure; returns the exit code the process should end with (0
/// after a normal return of main, 1 after an uncaught exception).
int startJavaApplication(const ConfigFileParser& settings, bool updateMode, const VmObserver& observer = {});
