// The directives: the table that names each one, and what each does to the record.
#include <cctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/launch_settings.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "config/app_user_model_id.h"
#include "config/java_version.h"
#include "config/max_heap_setting.h"
#include "config/startup_cache_setting.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/processes.h"

namespace {

const std::string kListSeparator(1, platform::kPathListSeparator);

/// Appends a list separator unless the list is empty or already ends in one.
void separateEntry(std::string& list) {
    if (!list.empty() && list.back() != platform::kPathListSeparator) list += kListSeparator;
}

/// The update class path with its foreign list separators made native. On Windows the
/// colon of a drive letter that begins an entry ("C:\u.jar:D:\v.jar") is kept.
std::string nativeUpdateClassPath(std::string value) {
    std::size_t entryStart = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == platform::kForeignListSeparator) {
            bool driveColon = platform::kHasDriveLetters && i == entryStart + 1 &&
                              std::isalpha(static_cast<unsigned char>(value[entryStart])) &&
                              i + 1 < value.size() && (value[i + 1] == '\\' || value[i + 1] == '/');
            if (driveColon) continue;
            value[i] = platform::kPathListSeparator;
            entryStart = i + 1;
        } else if (c == platform::kPathListSeparator) {
            entryStart = i + 1;
        }
    }
    return value;
}

/// The entries of `directory` (ending in a separator) that match `pattern`, list-separated.
std::string matchingEntries(const std::string& directory, const std::string& pattern) {
    std::string result;
    for (const std::string& name : platform::findFiles(directory, pattern)) {
        separateEntry(result);
        result += directory;
        result += name;
    }
    return result;
}

/// The jar then zip archives of `directory`, list-separated; empty when there are none.
std::string archivesOf(std::string directory) {
    std::string result;
    if (directory.empty()) return result;
    if (directory.back() != platform::kDirSeparator) directory += platform::kDirSeparator;
    result += matchingEntries(directory, "*.jar");
    separateEntry(result);
    result += matchingEntries(directory, "*.zip");
    return result;
}

/// target = the trimmed value of the variable, when it is set and not empty.
void readEnvVar(const std::string& name, std::string& target) {
    std::optional<std::string> value = platform::getEnv(name);
    if (value && !value->empty()) {
        target = *value;
        trim(target);
    }
}

std::string fixedSlashes(std::string path) { return fixSlashes(path); }

/// A class name as the VM looks it up: '/' between packages.
std::string slashSeparatedClass(std::string name) { return replaceAll(name, ".", "/"); }

/// true for "on", false for "off" (any letter case); nullopt, after a warning naming
/// `directive`, for anything else.
std::optional<bool> onOrOff(const char* directive, const std::string& value) {
    std::string lowered = lowerCaseCopy(value);
    if (lowered == "on" || lowered == "off") return lowered == "on";
    printErr(std::string("WARNING: ") + directive + " takes on or off, not: " + value + "\n");
    return std::nullopt;
}

/// The option that says the application keeps out of the desktop's shell.
const char* const kNoShellIntegrationOption = "-Dno.shell.integration=true";

}  // namespace

const std::vector<Directive>& directives() {
    // The one place that names each directive: the reference's table, the line reader, the
    // command line's overrides and the user's file all look them up here.
    static const std::vector<Directive> table = {
        {"AddJavaLibFile", &LaunchSettings::addJavaLibFile},
        {"AddJavaLibPath", &LaunchSettings::addJavaLibPath},
        {"AddVMOption", &LaunchSettings::addVmOption},
        {"AddNativeCodePath", &LaunchSettings::addNativeCodePath},
        {"SetJavaHome", &LaunchSettings::setJavaHome},
        {"SetJavaVM", &LaunchSettings::setJavaVm},
        {"SetMainClass", &LaunchSettings::setMainClass},
        {"SetUserHomeVariable", &LaunchSettings::setUserHomeVariable},
        {"RegisterEnvVar", &LaunchSettings::registerEnvVar},
        {"SetUpdateMainClass", &LaunchSettings::setUpdateMainClass},
        {"SetUpdateClassPath", &LaunchSettings::setUpdateClassPath},
        {"SetStartupCache", &LaunchSettings::setStartupCache},
        {"SetJavaVersion", &LaunchSettings::setJavaVersion},
        {"SetJavaSearch", &LaunchSettings::setJavaSearch},
        {"AddJavaSearchPath", &LaunchSettings::addJavaSearchPath},
        {"SetSingleInstance", &LaunchSettings::setSingleInstance, true},
        {"SetProductTitle", &LaunchSettings::setProductTitle},
        {"SetUserSettings", &LaunchSettings::setUserSettings},
        {"SetStartJournal", &LaunchSettings::setStartJournal},
        {"SetMaxHeap", &LaunchSettings::setMaxHeap},
        {"SetJavaDownloadUrl", &LaunchSettings::setJavaDownloadUrl},
        {"SetSplashScreen", &LaunchSettings::setSplashScreen, true},
        {"SetRestartExitCode", &LaunchSettings::setRestartExitCode},
        {"SetWorkingDirectory", &LaunchSettings::setWorkingDirectory},
        {"SetLauncherProperties", &LaunchSettings::setLauncherProperties},
        {"SetAppUserModelId", &LaunchSettings::setAppUserModelId},
    };
    return table;
}

void LaunchSettings::addJavaLibFile(const std::string& value) {
    separateEntry(classPath);
    classPath += fixedSlashes(value);
}

void LaunchSettings::addJavaLibPath(const std::string& value) {
    separateEntry(classPath);
    classPath += archivesOf(fixedSlashes(value));
}

void LaunchSettings::addVmOption(const std::string& value) {
    if (value == kAppHandlesHelpOption)
        appHandlesHelp = true;
    else if (value != kNoShellIntegrationOption)  // the launcher's own switch: no VM is given it
        pushVmOption(value);
}

void LaunchSettings::addNativeCodePath(const std::string& value) {
    if (!nativeCodePath.empty()) nativeCodePath += kListSeparator;
    nativeCodePath += fixedSlashes(value);
}

std::string javaHomeAsSet(std::string home) {
    if (!home.empty() && home.back() == platform::kDirSeparator) home.pop_back();
    return fixSlashes(home);
}

void LaunchSettings::setJavaHome(const std::string& value) { configuredJavaHome = javaHomeAsSet(value); }

void LaunchSettings::setJavaVm(const std::string& value) { vmName = value; }

void LaunchSettings::setMainClass(const std::string& value) { mainClass = slashSeparatedClass(value); }

void LaunchSettings::setUserHomeVariable(const std::string& value) {
    readEnvVar(value, userHome);
    if (userHome.empty()) readEnvVar("HLV_USER_HOME", userHome);
}

void LaunchSettings::registerEnvVar(const std::string& value) {
    // The name as written is looked up (exactly first, where names keep their case); the
    // property is named in lower case.
    std::optional<std::string> content = platform::getEnv(value);
    if (content && !content->empty()) pushVmOption("-Denv." + lowerCaseCopy(value) + "=\"" + *content + "\"");
}

void LaunchSettings::setUpdateMainClass(const std::string& value) { updateMainClass = slashSeparatedClass(value); }

void LaunchSettings::setUpdateClassPath(const std::string& value) { updateClassPath = nativeUpdateClassPath(value); }

void LaunchSettings::setStartupCache(const std::string& value) {
    // "off" in any letter case, as the default, keeps the launch exactly as without it.
    startupCache = startupCacheSetting(value);
}

void LaunchSettings::setProductTitle(const std::string& value) { productTitle = value; }

void LaunchSettings::setSplashScreen(const std::string& value) { splashImage = fixedSlashes(value); }

void LaunchSettings::setWorkingDirectory(const std::string& value) {
    std::string lowered = lowerCaseCopy(value);
    std::optional<std::string> folder = launcherFolderValue(value);
    if (lowered != "launcher" && lowered != "start" && !folder) {
        const std::string sep(1, platform::kDirSeparator);
        printErr("WARNING: SetWorkingDirectory takes launcher, start, or a folder (absolute, or beginning with ." + sep +
                 " or .." + sep + " from the launcher's directory), not: " + value + "\n");
        return;
    }
    workingDirectory = lowered == "launcher" ? WorkingDirectory::Launcher
                       : lowered == "start"  ? WorkingDirectory::Start
                                             : WorkingDirectory::Folder;
    workingFolder = workingDirectory == WorkingDirectory::Folder ? *folder : std::string();
}

void LaunchSettings::setLauncherProperties(const std::string& value) {
    if (std::optional<bool> on = onOrOff("SetLauncherProperties", value)) launcherProperties = *on;
}

void LaunchSettings::setAppUserModelId(const std::string& value) {
    // Empty (a command line's --SetAppUserModelId=): the stamped executable's own, if any.
    if (value.empty() || isAppUserModelId(value))
        appUserModelId = value;
    else
        printErr("WARNING: SetAppUserModelId takes an id of at most " + std::to_string(kMaxAppUserModelIdLength) +
                 " characters without blanks, not: " + value + "\n");
}

void LaunchSettings::setJavaSearch(const std::string& value) {
    if (std::optional<bool> on = onOrOff("SetJavaSearch", value))
        javaSearch = *on ? JavaSearchSetting::On : JavaSearchSetting::Off;
}

void LaunchSettings::addJavaSearchPath(const std::string& value) {
    if (!value.empty()) javaSearchPaths.push_back(fixedSlashes(value));
}

void LaunchSettings::setUserSettings(const std::string& value) {
    if (std::optional<bool> on = onOrOff("SetUserSettings", value)) userSettings = *on;
}

void LaunchSettings::setStartJournal(const std::string& value) {
    if (std::optional<bool> on = onOrOff("SetStartJournal", value)) startJournal = *on;
}

void LaunchSettings::setJavaDownloadUrl(const std::string& value) {
    // An empty value (a command line's --SetJavaDownloadUrl=) offers no page.
    if (value.empty()) {
        javaDownloadUrl.clear();
        return;
    }
    // Only a web page: any other scheme would have the system's handler run a program.
    if (startsWith(lowerCaseCopy(value), "https://") || startsWith(lowerCaseCopy(value), "http://"))
        javaDownloadUrl = value;
    else
        printErr("WARNING: SetJavaDownloadUrl takes an https: or http: address, not: " + value + "\n");
}

void LaunchSettings::setRestartExitCode(const std::string& value) {
    bool digits = !value.empty() && value.size() <= 3 &&
                  value.find_first_not_of("0123456789") == std::string::npos;
    int code = digits ? std::stoi(value) : 0;
    if (code >= 1 && code <= 255)
        restartExitCode = code;
    else
        printErr("WARNING: SetRestartExitCode takes an exit code from 1 to 255, not: " + value + "\n");
}

void LaunchSettings::setSingleInstance(const std::string& value) {
    singleInstanceClass.clear();
    singleInstanceMethod.clear();
    if (value.empty()) return;
    // The method's name follows the class's last dot; a nested class is written with '$'.
    std::size_t dot = value.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == value.size()) {
        printErr("WARNING: SetSingleInstance takes <class>.<method>, not: " + value + "\n");
        return;
    }
    singleInstanceClass = slashSeparatedClass(value.substr(0, dot));
    singleInstanceMethod = value.substr(dot + 1);
}

void LaunchSettings::setJavaVersion(const std::string& value) {
    std::optional<VersionRange> range = parseVersionRange(value);
    if (!range) {
        printErr("WARNING: SetJavaVersion takes a Java version or a range such as 17 or 11-21, not: " + value + "\n");
        return;
    }
    javaVersionMin = range->min;
    javaVersionMax = range->max;
}

void LaunchSettings::setMaxHeap(const std::string& value) {
    std::string problem;
    if (std::optional<MaxHeapRequest> request = parseMaxHeap(value, problem)) {
        maxHeap = std::move(request);
        maxHeapFromUser = applicationVmOptionCount.has_value();
    } else {
        printErr("WARNING: SetMaxHeap takes " + problem + ", not: " + value + "\n");
    }
}

bool LaunchSettings::searchesForJava() const {
    return javaSearch == JavaSearchSetting::On || (javaSearch == JavaSearchSetting::Unset && javaVersionMin != 0);
}

const char* const kDefaultVmName = "hotspot";
const char* const kAppHandlesHelpOption = "-Dapplication.handle.help=true";
const char* const kDefaultMainClass = "ombrix/ideimpl/IdeMain";

void LaunchSettings::applyDefaults() {
    if (vmName.empty()) vmName = kDefaultVmName;
    if (mainClass.empty()) mainClass = kDefaultMainClass;
}
