// The last step of a launch: the VM created in this process and the application's main run.
#pragma once

#include <string>

#include "config/config_file_parser.h"

/// Creates the Java VM from a copy of `settings` and runs the main class (the installer class
/// when `updateMode` is set); the configuration file's path keys the start-up cache. Throws
/// JavaLauncherException on failure; returns the exit code the process should end with (0
/// after a normal return of main, 1 after an uncaught exception).
int startJavaApplication(const ConfigFileParser& settings, bool updateMode);
