// Where the application runs: the launcher's directory, as every start has, or the folder the
// user started from, or one the configuration names. The launch itself always works from the
// launcher's directory; the VM is moved only once everything relative is taken from there.
#pragma once

#include <optional>
#include <string>

#include "config/launch_settings.h"
#include "vm/java_home.h"

/// The folder SetWorkingDirectory gives the application, absolute: the start directory, or
/// the configured folder (a relative one from `launcherDirectory`); nullopt for the launcher's
/// own directory, where the launch already is.
std::optional<std::string> applicationDirectory(const LaunchSettings& settings, const std::string& launcherDirectory);

/// Makes every relative path of `settings` and `runtime` that the start still reads absolute
/// against `launcherDirectory`, so that it names the same file once the current directory is
/// another: the Java home, the class and library paths (an empty entry, which the VM reads as
/// the current directory, becomes `launcherDirectory` itself), the configuration's path, the
/// splash image, the start-up cache's folder, and the paths the configuration's VM options
/// are known to hold (-Xbootclasspath lists, -javaagent: and -agentpath: libraries). The
/// command line's VM options stay as typed: they are the user's, from the start directory.
void anchorAtLauncherDirectory(LaunchSettings& settings, RuntimeFacts& runtime, const std::string& launcherDirectory);

/// Makes `directory` the current one for the VM about to be created; a warning on stderr when
/// the system refuses, and the application then runs in the launcher's directory.
void enterApplicationDirectory(const std::string& directory);
