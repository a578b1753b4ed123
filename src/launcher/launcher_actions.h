// The launcher's own actions: what a start does instead of starting the application when the
// command line asks for it. Each is a row of one table with the point of the start where it
// runs; the start asks at each point, and the command line's kinds decide.
#pragma once

#include <optional>
#include <string>

#include "cmdline/command_line.h"
#include "config/launch_settings.h"

/// The points of a start at which one of the launcher's actions may end it.
enum class ActionPoint {
    ConfigurationNamed,  ///< the configuration file's path is known; nothing is read yet
    ConfigurationUnreadable,  ///< the configuration file cannot be read: message 7 comes next
    SettingsRead,        ///< the application's and the user's files are read; no runtime looked for
    SearchSettled,       ///< the search's settings of the command line count; no runtime chosen
};

/// What an action may use: the command line, the configuration file's path and the settings
/// as far as the start has read them at the action's point.
struct ActionInputs {
    const CommandLine& line;
    const std::string& configPath;
    LaunchSettings& settings;
};

/// Runs the action of `point` that the command line asks for (the first row of that point
/// whose argument is on the line, and is the launcher's rather than the application's).
/// Returns its exit code, or nullopt when there is none and the start goes on.
std::optional<int> runLauncherAction(ActionPoint point, const ActionInputs& inputs);
