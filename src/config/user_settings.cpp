// The user's own settings file: one more configuration file, read after the application's and
// before the command line, from the user's settings folder of the application.
#include <algorithm>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/user_places.h"

namespace {

/// The directive a configuration line names; null for a comment, an invalid line or an
/// unknown name.
const Directive* directiveOf(std::string line) {
    trim(line);
    if (line.empty() || line[0] == '#') return nullptr;
    std::size_t gap = line.find_first_of(" \t");
    return gap == std::string::npos ? nullptr : findDirective(line.substr(0, gap));
}

/// One reading of the user's file: the lines it may set go to the record, those of the
/// directives the application's file decides are left out.
class UserFileReader {
public:
    UserFileReader(LaunchSettings& settings, bool verbose) : settings_(settings), verbose_(verbose) {
        // What the application turned off stays off: the user may not search elsewhere for Java.
        locked_ = {&LaunchSettings::setUserSettings};
        // A journal the application turned off (a kiosk, a managed installation) stays off.
        if (!settings.startJournal) locked_.push_back(&LaunchSettings::setStartJournal);
        if (settings.javaSearch == JavaSearchSetting::Off)
            locked_.insert(locked_.end(), {&LaunchSettings::setJavaSearch, &LaunchSettings::addJavaSearchPath});
    }

    void read(const std::string& line, LineNumber lineNumber) {
        if (isLocked(directiveOf(line))) {
            if (verbose_)
                printOut("User settings line #" + std::to_string(lineNumber) +
                         " left out, the configuration file decides it: " + trimWhitespace(line) + "\n");
            return;
        }
        settings_.parseConfigLine(line, lineNumber);
    }

private:
    bool isLocked(const Directive* directive) const {
        return directive && std::find(locked_.begin(), locked_.end(), directive->apply) != locked_.end();
    }

    LaunchSettings& settings_;
    bool verbose_;
    std::vector<void (LaunchSettings::*)(const std::string&)> locked_;
};

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

std::string readUserSettings(LaunchSettings& settings, bool verboseLoad) {
    // What comes from here on is the user's: the application's file has ended.
    settings.applicationVmOptionCount = settings.vmOptions.size();
    std::string folder = userSettingsFolder(settings.configPath);
    if (folder.empty()) return "none: the environment names no folder for them";
    std::string file = joinPath(folder, fileNameOf(settings.configPath));
    if (!settings.userSettings) return file + " not read: SetUserSettings is off";
    if (!platform::exists(file) && !platform::isSymbolicLink(file)) return file + " not there";
    std::string why = refusal(folder, file);
    if (!why.empty()) {
        printErr("WARNING: The user settings file " + file + " is not read: " + why + ".\n");
        return file + " not read: " + why;
    }
    if (verboseLoad) printOut("User settings file: " + file + "\n");
    UserFileReader reader(settings, verboseLoad);
    readTextLines(file, [&](const std::string& line, LineNumber number) { reader.read(line, number); });
    return file + " read";
}

std::string userSettingsFolder(const std::string& configPath) {
    std::optional<std::string> settings = platform::userSettingsDirectory();
    if (!settings) return std::string();
    return joinPath(*settings, safeFolderName(withoutConfigSuffix(fileNameOf(configPath))));
}
