// The user's own settings file: one more configuration file, read after the application's and
// before the command line, from the user's settings folder of the application.
#include <algorithm>
#include <string>

#include "config/launch_settings.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/user_places.h"

namespace {

/// The directive a configuration line names, lowered; empty for a comment or an invalid line.
std::string directiveName(std::string line) {
    trim(line);
    if (line.empty() || line[0] == '#') return std::string();
    std::size_t gap = line.find_first_of(" \t");
    return gap == std::string::npos ? std::string() : lowerCaseCopy(line.substr(0, gap));
}

/// Why the user's file may not be read, or empty when it may: another user could have written
/// it, or put another in its place. Where a permission is the cause, the command that mends it.
std::string refusal(const std::string& folder, const std::string& file) {
    if (!platform::isPrivateDirectory(folder)) return "its folder may be written by other users (chmod go-w " + folder + ")";
    if (platform::isSymbolicLink(file)) return "it is not a regular file of yours that only you may write";
    if (!platform::privateFileStamp(file))
        return "it is not a regular file of yours that only you may write (chmod go-w " + file + ", if it is yours)";
    return std::string();
}

}  // namespace

void LaunchSettings::readUserSettings(bool verboseLoad) {
    std::string folder = userSettingsFolder(configPath);
    if (!userSettings || folder.empty()) return;
    std::string name = fileNameOf(configPath);
    std::string file = joinPath(folder, name);
    if (!platform::exists(file) && !platform::isSymbolicLink(file)) return;
    std::string why = refusal(folder, file);
    if (!why.empty()) {
        printErr("WARNING: The user settings file " + file + " is not read: " + why + ".\n");
        return;
    }
    // What the application turned off stays off: the user may not search elsewhere for Java.
    lockedForUser = {kSetUserSettings};
    if (javaSearch == JavaSearchSetting::Off) lockedForUser.insert(lockedForUser.end(), {kSetJavaSearch, kAddJavaSearchPath});
    verboseUserSettings = verboseLoad;
    if (verboseLoad) printOut("User settings file: " + file + "\n");
    readConfigFile(file, &LaunchSettings::parseUserConfigLine);
    lockedForUser.clear();
}

void LaunchSettings::parseUserConfigLine(const std::string& line, LineNumber lineNumber) {
    int id = findDirective(directiveName(line));
    if (id != -1 && std::find(lockedForUser.begin(), lockedForUser.end(), id) != lockedForUser.end()) {
        if (verboseUserSettings)
            printOut("User settings line #" + std::to_string(lineNumber) + " left out, the configuration file decides it: " +
                     trimWhitespace(line) + "\n");
        return;
    }
    parseConfigLine(line, lineNumber);
}

std::string userSettingsFolder(const std::string& configPath) {
    std::optional<std::string> settings = platform::userSettingsDirectory();
    if (!settings) return std::string();
    return joinPath(*settings, safeFolderName(withoutConfigSuffix(fileNameOf(configPath))));
}
