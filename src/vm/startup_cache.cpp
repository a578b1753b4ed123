#include "vm/startup_cache.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "base/text_ops.h"
#include "base/path_names.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "platform/user_places.h"
#include "vm/startup_cache_files.h"

namespace {

using startup_cache::Plan;

/// The places besides the launcher's list where the VM reads options of its own.
const char* const kOptionVariables[] = {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"};

/// The first option of `options` that begins with one of `starts`; empty when none does.
template <std::size_t N>
std::string firstOf(const std::vector<std::string>& options, const char* const (&starts)[N]) {
    for (const std::string& option : options)
        for (const char* start : starts)
            if (startsWith(option, start)) return option;
    return std::string();
}

/// Options that decide about class data sharing themselves: the cache keeps out of their way.
const char* const kSharingOptions[] = {"-Xshare:", "-XX:SharedArchiveFile", "-XX:ArchiveClassesAtExit",
                                       "-XX:+AutoCreateSharedArchive", "-XX:AOT", "-XX:SharedClassListFile",
                                       "-XX:+UseSharedSpaces", "-XX:-UseSharedSpaces"};
/// Options that print what the cache changes (the VM's flags, its logging, where classes come
/// from): with them the cache stays off, so that they print what they print without it.
const char* const kReportingOptions[] = {"-Xlog", "-verbose:class", "-XX:+PrintFlagsFinal", "-XX:+PrintCommandLineFlags",
                                         "-XX:+PrintVMOptions", "-XX:+PrintSharedArchiveAndExit"};

/// Why the options of the launch or of the VM's environment variables keep the cache off for
/// this start; empty when nothing does.
std::string optionsKeepingItOff(const std::vector<std::string>& options) {
    std::vector<std::pair<std::string, std::vector<std::string>>> sources = {{"the VM options", options}};
    for (const char* name : kOptionVariables)
        sources.push_back({name, blankSeparatedWords(platform::getEnv(name).value_or(std::string()))});
    for (const auto& source : sources) {
        if (!firstOf(source.second, kSharingOptions).empty()) return source.first + " manage class data sharing";
        std::string reporting = firstOf(source.second, kReportingOptions);
        if (!reporting.empty()) return source.first + " ask for " + reporting + ", which the cache would change";
    }
    return std::string();
}

/// True when an entry of the class path is a directory: the runtimes refuse to archive such a
/// class path, and a training run would end the application with an error of the VM's.
bool classPathHoldsDirectory(const std::string& classPath) {
    for (const std::string& entry : splitPathList(classPath))
        if (!entry.empty() && !platform::fileStamp(entry) && platform::exists(entry)) return true;
    return false;
}

/// The cache's directory, made when missing; empty with `note` set when there is none this
/// start may use: one that others may write in could hold files they planted.
std::string usableDirectory(const LaunchSettings& settings, std::string& note) {
    std::optional<std::string> launcher = platform::ownExecutablePath();
    std::string directory = startupCacheDirectory(settings.startupCache, launcher.value_or(std::string()));
    // A path the VM's code page cannot hold would stop the launch: the cache stays out instead.
    bool codePageSafe = !platform::kVmOptionsInCodePage ||
                        std::all_of(directory.begin(), directory.end(), [](char c) { return (c & 0x80) == 0; });
    if (directory.empty() || !codePageSafe || !platform::makeDirectories(directory)) {
        note = "not used: no directory for it" + (directory.empty() ? std::string() : " at " + directory);
        return std::string();
    }
    if (!platform::isPrivateDirectory(directory)) {
        note = "not used: " + directory + " is not the user's own, or others may write in it";
        return std::string();
    }
    return directory;
}

Plan planCache(const LaunchSettings& settings, const RuntimeFacts& runtime, const std::string& vmLibrary,
               const std::string& application, const std::vector<std::string>& options) {
    int version = runtime.releaseVersion ? runtime.releaseVersion->feature() : 0;
    const startup_cache::MechanismRow* row = startup_cache::mechanismRow(version);
    if (!row)
        return {{}, "not used: the runtime (Java version " + std::to_string(version) + ") keeps no class data"};
    std::string reason = optionsKeepingItOff(options);
    if (!reason.empty()) return {{}, "not used: " + reason};
    if (classPathHoldsDirectory(settings.classPath))
        return {{}, "not used: the class path holds a directory, which the runtime cannot archive"};
    std::string note;
    std::string directory = usableDirectory(settings, note);
    if (directory.empty()) return {{}, note};
    // The VM's environment variables change what it archives as much as its options do.
    std::vector<std::string> keyed = options;
    for (const char* name : kOptionVariables) keyed.push_back(std::string(name) + "=" + platform::getEnv(name).value_or(""));
    startup_cache::CacheFiles files = startup_cache::cacheFiles(settings, runtime, vmLibrary, application, directory, keyed);
    startup_cache::Launch launch{runtime.home, settings.classPath, options, row->quiet};
    return planListArchive(files, launch, *row);
}

}  // namespace

std::string startupCacheDirectory(const std::string& setting, const std::string& launcherPath) {
    if (lowerCaseCopy(setting) != "on") return setting;
    std::optional<std::string> base = platform::userCacheDirectory();
    // configNameFor has taken the suffix and the console variant's 'c'.
    std::string name = withoutConfigSuffix(configNameFor(fileNameOf(launcherPath)));
    if (!base) return std::string();
    return joinPath(*base, safeFolderName(name));
}

StartupCacheWork appendStartupCacheOptions(const LaunchSettings& settings, const RuntimeFacts& runtime,
                                           const std::string& vmLibrary, const std::string& application,
                                           std::vector<std::string>& options) {
    try {
        Plan plan = planCache(settings, runtime, vmLibrary, application, options);
        if (settings.verbose) printOut("Startup cache: " + plan.note + "\n");
        options.insert(options.end(), plan.options.begin(), plan.options.end());
        return {plan.background, plan.job, plan.untilTheLaunchEnds, plan.whenStarted, plan.guarded, plan.note};
    } catch (...) {
        // The cache is an addition: a launch without it is what the user had before.
        return {};
    }
}

bool runStartupCacheJob(const std::vector<std::string>& job) {
    try {
        return startup_cache::runMaking(job);
    } catch (...) {
        return false;
    }
}
