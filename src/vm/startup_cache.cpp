#include "vm/startup_cache.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "config/config_file_parser.h"
#include "config/path_names.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace {

const std::string kSeparator(1, platform::kDirSeparator);

/// The first four bytes of the archives the runtimes write (little-endian on every platform
/// the launcher serves): a dynamic archive, and the static archive format of an AOT cache.
const std::string kDynamicArchiveMagic("\xa8\xab\x0b\xf0", 4);
const std::string kStaticArchiveMagic("\xa2\xab\x0b\xf0", 4);

/// A start that cannot take the lock: another start holds it, or the place cannot be written.
const char* const kLockNote = "not used: another start is preparing it, or the place cannot be written";

/// The room a training run needs at least: a runtime that cannot write its whole archive at
/// exit ends the application with an error of its own (JDK 17 exits with 1).
constexpr unsigned long long kTrainingSpace = 512ULL * 1024 * 1024;

/// What one launch does with the cache: the options it adds and the line -verbose prints.
struct Plan {
    std::vector<std::string> options;
    std::string note;
};

/// The files of one application in the cache directory. `stem` names the caches of the
/// current runtime, class path, options and main class; `prefix` those of the application.
struct CacheFiles {
    std::string directory;
    std::string prefix;  // "<application hash>-"
    std::string stem;    // directory + prefix + "<key hash>"
    std::string lock;    // held by the start that trains or assembles
};

/// 64-bit FNV-1a: stable across builds and platforms, which std::hash is not.
class Fingerprint {
public:
    void add(const std::string& text) {
        for (unsigned char c : text) mix(c);
        mix(0);  // "ab","c" and "a","bc" differ
    }
    std::string hex(int digits) const {
        static const char kDigits[] = "0123456789abcdef";
        std::string text;
        for (int i = digits - 1; i >= 0; --i) text += kDigits[(value_ >> (4 * i)) & 0xF];
        return text;
    }

private:
    void mix(unsigned char c) {
        value_ ^= c;
        value_ *= 1099511628211ULL;
    }
    std::uint64_t value_ = 14695981039346656037ULL;
};

void addStamp(Fingerprint& print, const std::string& path) {
    std::optional<platform::FileStamp> stamp = platform::fileStamp(path);
    print.add(stamp ? std::to_string(stamp->size) + ":" + std::to_string(stamp->modified) : "-");
}

bool startsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

/// True when the application's own options already decide about class data sharing: the
/// cache then keeps out of their way.
bool optionsManageSharing(const std::vector<std::string>& options) {
    for (const std::string& option : options)
        for (const char* start : {"-Xshare:", "-XX:SharedArchiveFile", "-XX:ArchiveClassesAtExit", "-XX:+AutoCreateSharedArchive",
                                  "-XX:AOT", "-XX:SharedClassListFile"})
            if (startsWith(option, start)) return true;
    return false;
}

/// True when an entry of the class path is a directory: the runtimes refuse to archive such a
/// class path, and a training run would end the application with an error of the VM's.
bool classPathHoldsDirectory(const std::string& classPath) {
    std::size_t start = 0;
    while (start <= classPath.size()) {
        std::size_t end = classPath.find(platform::kPathListSeparator, start);
        if (end == std::string::npos) end = classPath.size();
        std::string entry = classPath.substr(start, end - start);
        if (!entry.empty() && platform::exists(entry) && !platform::fileStamp(entry)) return true;
        start = end + 1;
    }
    return false;
}

/// The file names of the cache: the key covers the runtime (its path, its release file, the
/// stamps of that file, of its class image and of its launcher), the VM, the VM options, the
/// class path and the main class, so that any change of them names another cache.
CacheFiles cacheFiles(const ConfigFileParser& settings, const std::string& release, const std::string& application,
                      const std::string& directory, const std::vector<std::string>& options) {
    const std::string& home = settings.javaHome;
    Fingerprint key;
    for (const std::string& part : {home, release, settings.vmName.empty() ? std::string(kDefaultVmName) : settings.vmName,
                                    settings.classPath, settings.mainClass.empty() ? std::string(kDefaultMainClass) : settings.mainClass})
        key.add(part);
    addStamp(key, home + kSeparator + "release");
    addStamp(key, home + kSeparator + "lib" + kSeparator + "modules");
    addStamp(key, home + platform::kJavaExecutable);
    // The library path and the RegisterEnvVar properties follow the environment of each start;
    // they do not change what the runtime archives, and keying on them would make every
    // start from another shell or shortcut throw the cache away.
    for (const std::string& option : options)
        if (!startsWith(option, "-Djava.library.path=") && !startsWith(option, "-Denv.")) key.add(option);
    Fingerprint app;
    app.add(application);
    CacheFiles files;
    files.directory = directory;
    files.prefix = app.hex(8) + "-";
    files.stem = directory + kSeparator + files.prefix + key.hex(16);
    files.lock = directory + kSeparator + app.hex(8) + ".lock";
    return files;
}

bool hasMagic(const std::string& path, const std::string& magic) {
    std::optional<std::string> start = platform::readFileStart(path, magic.size());
    return start && *start == magic;
}

/// Removes the files of the application's earlier caches (another key), and half-made files of
/// this one; a file in use elsewhere stays.
void removeEarlierCaches(const CacheFiles& files, const std::string& keep) {
    for (const char* pattern : {"*.jsa", "*.aot", "*.aotconf", "*.part", "*.failed"})
        for (const std::string& name : platform::findFiles(files.directory, pattern)) {
            std::string path = files.directory + kSeparator + name;
            if (startsWith(name, files.prefix) && path != keep) platform::removeFile(path);
        }
}

std::vector<std::string> concat(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

/// The managed archive's file, when present: "<stem>-<size>.jsa". The size in its name tells a
/// file cut short or grown, which the runtimes of this mechanism would map and crash on.
std::string findManagedArchive(const CacheFiles& files) {
    std::string start = files.stem.substr(files.directory.size() + 1) + "-";
    for (const std::string& name : platform::findFiles(files.directory, "*.jsa"))
        if (startsWith(name, start)) return files.directory + kSeparator + name;
    return std::string();
}

bool managedArchiveIsWhole(const std::string& path, const CacheFiles& files) {
    std::size_t sizeStart = files.stem.size() + 1;
    std::string size = path.substr(sizeStart, path.size() - sizeStart - 4);
    std::optional<platform::FileStamp> stamp = platform::fileStamp(path);
    return stamp && std::to_string(stamp->size) == size && hasMagic(path, kDynamicArchiveMagic);
}

/// JDK 13-18: the training run writes "<stem>.jsa.part" at its exit; the next start that
/// holds the lock names it after its size and uses it.
Plan planManagedArchive(const CacheFiles& files, const std::vector<std::string>& quiet) {
    std::string archive = findManagedArchive(files);
    if (!archive.empty() && managedArchiveIsWhole(archive, files))
        return {concat(quiet, {"-XX:SharedArchiveFile=" + archive}), "using " + archive};
    if (!platform::holdLockUntilExit(files.lock)) return {{}, kLockNote};
    std::string note;
    if (!archive.empty() && platform::removeFile(archive)) note = "removed the damaged " + archive + "; ";
    std::string part = files.stem + ".jsa.part";
    std::optional<platform::FileStamp> stamp = platform::fileStamp(part);
    if (stamp && stamp->size > 4 && hasMagic(part, kDynamicArchiveMagic)) {
        std::string made = files.stem + "-" + std::to_string(stamp->size) + ".jsa";
        if (platform::replaceFile(part, made)) {
            removeEarlierCaches(files, made);
            return {concat(quiet, {"-XX:SharedArchiveFile=" + made}), note + "using " + made + ", made by the last start"};
        }
    }
    removeEarlierCaches(files, "");
    return {concat(quiet, {"-XX:ArchiveClassesAtExit=" + part}), note + "training, writing " + part};
}

/// JDK 19-24: the runtime makes, checks and remakes the archive itself. Only the start that
/// holds the lock lets it write.
Plan planAutoArchive(const CacheFiles& files, const std::vector<std::string>& quiet) {
    if (!platform::holdLockUntilExit(files.lock)) return {{}, kLockNote};
    std::string archive = files.stem + ".jsa";
    removeEarlierCaches(files, archive);
    return {concat(quiet, {"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + archive}),
            std::string(platform::exists(archive) ? "using " : "training, writing ") + archive};
}

/// Options the assembly child may not have: it must not wait for a debugger or load agents.
bool belongsToAssembly(const std::string& option) {
    for (const char* start : {"-Xrun", "-Xdebug", "-agentlib", "-agentpath", "-javaagent", "-verbose"})
        if (startsWith(option, start)) return false;
    return true;
}

/// JDK 25 and later: the training run records "<stem>.aotconf" at its exit; the next start
/// that holds the lock has the runtime's own launcher assemble the cache from it, quietly,
/// through a temporary name, and uses it.
Plan planAotCache(const CacheFiles& files, const std::vector<std::string>& quiet, const std::string& javaHome,
                  const std::string& classPath, const std::vector<std::string>& options) {
    std::string cache = files.stem + ".aot";
    if (hasMagic(cache, kStaticArchiveMagic)) return {concat(quiet, {"-XX:AOTCache=" + cache}), "using " + cache};
    if (!platform::holdLockUntilExit(files.lock)) return {{}, kLockNote};
    std::string configuration = files.stem + ".aotconf";
    // An assembly that failed once fails again for the same key: the next starts neither train
    // nor assemble, and pay nothing, until the key changes.
    std::string failed = files.stem + ".failed";
    if (platform::exists(failed)) return {{}, "not used: the runtime could not assemble a cache for this application"};
    if (platform::exists(configuration)) {
        std::string part = cache + ".part";
        std::string java = javaHome + platform::kJavaExecutable;
        std::vector<std::string> args = concat({java}, quiet);
        for (const std::string& option : options)
            if (belongsToAssembly(option)) args.push_back(option);
        args = concat(args, {"-XX:AOTMode=create", "-XX:AOTConfiguration=" + configuration, "-XX:AOTCache=" + part, "-cp",
                             classPath});
        bool made = platform::runQuietly(java, args) == 0 && hasMagic(part, kStaticArchiveMagic) &&
                    platform::replaceFile(part, cache);
        removeEarlierCaches(files, made ? cache : "");
        if (!made) platform::holdLockUntilExit(failed);  // made as an empty file
        if (made) return {concat(quiet, {"-XX:AOTCache=" + cache}), "using " + cache + ", assembled from the last start"};
        return {{}, "not used: the runtime could not assemble a cache for this application"};
    }
    removeEarlierCaches(files, "");
    // The runtime reports the recorded configuration on the console itself; a training run
    // keeps that line, and only it, off.
    return {concat(quiet, {"-XX:+UnlockDiagnosticVMOptions", "-XX:-DisplayVMOutput", "-XX:AOTMode=record",
                           "-XX:AOTConfiguration=" + configuration}),
            "training, writing " + configuration};
}

Plan planCache(const ConfigFileParser& settings, const std::string& application, const std::vector<std::string>& options) {
    std::string release =
        platform::readFileStart(settings.javaHome + kSeparator + "release", 64 * 1024).value_or(std::string());
    int version = javaFeatureVersion(release);
    CacheMechanism mechanism = mechanismFor(version);
    if (mechanism == CacheMechanism::None)
        return {{}, "not used: the runtime (Java version " + std::to_string(version) + ") keeps no class data"};
    if (optionsManageSharing(options)) return {{}, "not used: the VM options manage class data sharing"};
    if (classPathHoldsDirectory(settings.classPath))
        return {{}, "not used: the class path holds a directory, which the runtime cannot archive"};
    std::optional<std::string> launcher = platform::ownExecutablePath();
    std::string directory = startupCacheDirectory(settings.startupCache, launcher.value_or(std::string()));
    // A path the VM's code page cannot hold would stop the launch: the cache stays out instead.
    bool codePageSafe = !platform::kVmOptionsInCodePage ||
                        std::all_of(directory.begin(), directory.end(), [](char c) { return (c & 0x80) == 0; });
    if (directory.empty() || !codePageSafe || !platform::makeDirectories(directory))
        return {{}, "not used: no directory for it" + (directory.empty() ? std::string() : " at " + directory)};
    std::optional<unsigned long long> room = platform::freeSpace(directory);
    if (!room || *room < kTrainingSpace) return {{}, "not used: too little free space at " + directory};
    CacheFiles files = cacheFiles(settings, release, application, directory, options);
    std::vector<std::string> quiet = quietOptions(mechanism);
    switch (mechanism) {
        case CacheMechanism::ManagedArchive:
            return planManagedArchive(files, quiet);
        case CacheMechanism::AutoArchive:
            return planAutoArchive(files, quiet);
        default:
            return planAotCache(files, quiet, settings.javaHome, settings.classPath, options);
    }
}

}  // namespace

int javaFeatureVersion(const std::string& releaseText) {
    std::size_t line = 0;
    while (line < releaseText.size()) {
        std::size_t end = releaseText.find('\n', line);
        if (end == std::string::npos) end = releaseText.size();
        std::string text = releaseText.substr(line, end - line);
        line = end + 1;
        if (!startsWith(text, "JAVA_VERSION=")) continue;
        std::size_t pos = text.find_first_of("0123456789", 13);
        if (pos == std::string::npos || pos > 14) return 0;
        int number = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && number < 10000)
            number = number * 10 + (text[pos++] - '0');
        // "1.8.0_392": the feature version follows the "1." of the old scheme.
        if (number == 1 && pos + 1 < text.size() && text[pos] == '.') return javaFeatureVersion("JAVA_VERSION=" + text.substr(pos + 1));
        return number;
    }
    return 0;
}

CacheMechanism mechanismFor(int version) {
    if (version >= 25) return CacheMechanism::AotCache;
    if (version >= 19) return CacheMechanism::AutoArchive;
    if (version >= 13) return CacheMechanism::ManagedArchive;
    return CacheMechanism::None;
}

std::vector<std::string> quietOptions(CacheMechanism mechanism) {
    // The "aot" log tags exist from JDK 25 on; an older runtime refuses a selection naming them.
    // An AOT configuration refuses any -Xshare option, so the AOT cache relies on the default.
    if (mechanism == CacheMechanism::AotCache) return {"-Xlog:cds*=off", "-Xlog:aot*=off"};
    if (mechanism == CacheMechanism::None) return {};
    return {"-Xshare:auto", "-Xlog:cds*=off"};
}

std::string startupCacheDirectory(const std::string& setting, const std::string& launcherPath) {
    if (lowerCaseCopy(setting) != "on") return setting;
    std::optional<std::string> base = platform::userCacheDirectory();
    std::size_t slash = launcherPath.find_last_of(std::string(1, platform::kDirSeparator) + platform::kForeignSeparator);
    std::string name = configNameFor(slash == std::string::npos ? launcherPath : launcherPath.substr(slash + 1));
    // configNameFor gives "<name>.conf" and has taken the suffix and the console variant's 'c'.
    name = name.substr(0, name.size() - 5);
    if (!base || name.empty()) return std::string();
    return *base + kSeparator + name;
}

void appendStartupCacheOptions(const ConfigFileParser& settings, const std::string& application,
                               std::vector<std::string>& options) {
    try {
        Plan plan = planCache(settings, application, options);
        if (settings.verbose) printOut("Startup cache: " + plan.note + "\n");
        options.insert(options.end(), plan.options.begin(), plan.options.end());
    } catch (...) {
        // The cache is an addition: a launch without it is what the user had before.
    }
}
