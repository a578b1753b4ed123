#include <cctype>
#include <string>

#include "config/launch_settings.h"
#include "base/path_names.h"
#include "config/startup_cache_setting.h"
#include "base/text_ops.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "config/java_version.h"
#include "config/max_heap_setting.h"

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

}  // namespace

bool LaunchSettings::processdirective(int id, std::string& value) {
    switch (id) {
        case kAddJavaLibFile:
            separateEntry(classPath);
            classPath += fixSlashes(value);
            break;
        case kAddJavaLibPath:
            separateEntry(classPath);
            classPath += getFileNames(fixSlashes(value));
            break;
        case kAddVMOption:
            if (value == kAppHandlesHelpOption)
                appHandlesHelp = true;
            else if (value == "-Dno.shell.integration=true")
                noShellIntegration = true;
            else
                addVmOption(value);
            break;
        case kAddNativeCodePath:
            if (!nativeCodePath.empty()) nativeCodePath += kListSeparator;
            nativeCodePath += fixSlashes(value);
            break;
        case kSetJavaHome:
            // One separator is removed before the foreign ones are converted, so "C:/jdk/"
            // keeps its trailing separator.
            if (!value.empty() && value.back() == platform::kDirSeparator) value.pop_back();
            javaHome = fixSlashes(value);
            break;
        case kSetJavaVM:
            vmName = value;
            break;
        case kSetMainClass:
            mainClass = value;
            replaceAll(mainClass, ".", "/");
            break;
        case kSetUserHomeVariable:
            readEnvVar(value, userHome);
            if (userHome.empty()) readEnvVar("HLV_USER_HOME", userHome);
            break;
        case kRegisterEnvVar: {
            // The name as written is looked up (exactly first, where names keep their case);
            // the property is named in lower case.
            std::string name = value;
            toLower(value);
            std::optional<std::string> content = platform::getEnv(name);
            if (content && !content->empty()) addVmOption("-Denv." + value + "=\"" + *content + "\"");
            break;
        }
        case kSetUpdateMainClass:
            updateMainClass = value;
            replaceAll(updateMainClass, ".", "/");
            break;
        case kSetUpdateClassPath:
            updateClassPath = nativeUpdateClassPath(value);
            break;
        case kSetStartupCache:
            // "off" in any letter case, as the default, keeps the launch exactly as without it.
            startupCache = startupCacheSetting(value);
            break;
        case kSetProductTitle:
            // Process-wide, as the messages that show it are.
            setProductTitle(value);
            break;
        case kSetSplashScreen:
            splashImage = fixSlashes(value);
            break;
        case kSetJavaVersion:
            setJavaVersion(value);
            break;
        case kSetJavaSearch:
            if (lowerCaseCopy(value) == "on" || lowerCaseCopy(value) == "off")
                javaSearch = lowerCaseCopy(value) == "on" ? JavaSearchSetting::On : JavaSearchSetting::Off;
            else
                printErr("WARNING: SetJavaSearch takes on or off, not: " + value + "\n");
            break;
        case kSetSingleInstance:
            setSingleInstance(value);
            break;
        case kAddJavaSearchPath:
            if (!value.empty()) javaSearchPaths.push_back(fixSlashes(value));
            break;
        case kSetUserSettings:
            if (lowerCaseCopy(value) == "on" || lowerCaseCopy(value) == "off")
                userSettings = lowerCaseCopy(value) == "on";
            else
                printErr("WARNING: SetUserSettings takes on or off, not: " + value + "\n");
            break;
        case kSetMaxHeap:
            setMaxHeap(value);
            break;
        case kSetJavaDownloadUrl:
            // Only a web page: any other scheme would have the system's handler run a program.
            if (startsWith(lowerCaseCopy(value), "https://") || startsWith(lowerCaseCopy(value), "http://"))
                javaDownloadUrl = value;
            else
                printErr("WARNING: SetJavaDownloadUrl takes an https: or http: address, not: " + value + "\n");
            break;
        default:
            break;
    }
    return true;
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
    singleInstanceClass = value.substr(0, dot);
    replaceAll(singleInstanceClass, ".", "/");
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
    if (parseMaxHeap(value, problem))
        maxHeap = value;
    else
        printErr("WARNING: SetMaxHeap takes " + problem + ", not: " + value + "\n");
}

std::string LaunchSettings::getFileNames(std::string& directory) {
    std::string result;
    if (directory.empty()) return result;
    if (directory.back() != platform::kDirSeparator) directory += platform::kDirSeparator;
    result += getFileNamesImpl(directory, "*.jar");
    separateEntry(result);
    result += getFileNamesImpl(directory, "*.zip");
    return result;
}

std::string LaunchSettings::getFileNamesImpl(const std::string& directory, const std::string& pattern) {
    std::string result;
    for (const std::string& name : platform::findFiles(directory, pattern)) {
        separateEntry(result);
        result += directory;
        result += name;
    }
    return result;
}

void LaunchSettings::readEnvVar(const std::string& name, std::string& target) {
    std::optional<std::string> value = platform::getEnv(name);
    if (value && !value->empty()) {
        target = *value;
        trim(target);
    }
}

bool LaunchSettings::searchesForJava() const {
    return javaSearch == JavaSearchSetting::On || (javaSearch == JavaSearchSetting::Unset && javaVersionMin != 0);
}

const char* const kDefaultVmName = "hotspot";
const char* const kAppHandlesHelpOption = "-Dapplication.handle.help=true";
const char* const kDefaultMainClass = "ombrix/ideimpl/IdeMain";

const std::string& LaunchSettings::getVmName() {
    if (vmName.empty()) vmName = kDefaultVmName;
    return vmName;
}

const std::string& LaunchSettings::getMainClass() {
    if (mainClass.empty()) mainClass = kDefaultMainClass;
    return mainClass;
}
