#include "vm/startup_cache_files.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/digest.h"
#include "base/path_names.h"
#include "config/launch_settings.h"
#include "base/text_ops.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/platform.h"

namespace startup_cache {


namespace {


/// What tells a file from the one it replaced: its size, its times and its identity, so that a
/// jar copied over in place or renamed into place both show. The change time shows even a copy
/// of the same size whose modification time was set back (cp -p), which no user can set back.
void addStamp(Digest& print, const std::string& path) {
    std::optional<platform::FileStamp> stamp = platform::fileStamp(path);
    print.add(stamp ? std::to_string(stamp->size) + ":" + std::to_string(stamp->modified) + ":" +
                          std::to_string(stamp->changed) + ":" + std::to_string(stamp->node)
                    : "-");
}

std::string stampText(const platform::FileStamp& stamp) {
    return std::to_string(stamp.size) + " " + std::to_string(stamp.modified) + " " + std::to_string(stamp.changed) + " " +
           std::to_string(stamp.node) + "\n";
}

/// The cache files' endings; every file of the cache ends in one of them.
const char* const kEndings[] = {"*.jsa", "*.aot", "*.aotconf", "*.classes", "*.part", "*.making", "*.unfinished", "*.crashed", "*.ok", "*.failed", "*.err"};

/// Removes every file of the application whose files begin with `prefix` ("<hash>-").
void removeApplication(const std::string& directory, const std::string& prefix) {
    for (const char* pattern : kEndings)
        for (const std::string& name : platform::findFiles(directory, pattern))
            if (startsWith(name, prefix)) platform::removeFile(joinPath(directory, name));
    std::string hash = prefix.substr(0, prefix.size() - 1);
    platform::removeFile(joinPath(directory, hash + ".lock"));
    platform::removeFile(joinPath(directory, hash + ".app"));
    platform::removeFile(joinPath(directory, hash + ".unused"));
    platform::removeFile(joinPath(directory, hash + ".uses"));
}

}  // namespace

CacheFiles cacheFiles(const LaunchSettings& settings, const RuntimeFacts& runtime, const std::string& vmLibrary,
                      const std::string& application, const std::string& directory,
                      const std::vector<std::string>& options) {
    const std::string& home = runtime.home;
    Digest key;
    for (const std::string& part : {home, runtime.release, settings.vmName, vmLibrary, settings.classPath, settings.mainClass})
        key.add(part);
    // The runtime as it is on disk: an update in the same directory names another cache.
    addStamp(key, joinPath(home, "release"));
    addStamp(key, joinPath(joinPath(home, "lib"), "modules"));
    addStamp(key, platform::belowJavaHome(home, platform::kJavaExecutable));
    addStamp(key, vmLibrary);
    // What the class path holds: the runtimes do not all notice a jar replaced in place.
    for (const std::string& entry : splitPathList(settings.classPath)) addStamp(key, entry);
    // The library path and the RegisterEnvVar properties follow the environment of each start;
    // they do not change what the runtime archives, and keying on them would make every
    // start from another shell or shortcut throw the cache away.
    for (const std::string& option : options)
        if (!startsWith(option, "-Djava.library.path=") && !startsWith(option, "-Denv.")) key.add(option);
    Digest app;
    app.add(application);
    return filesNamed(directory, app.hex(8) + "-", key.hex(16), application);
}

CacheFiles filesNamed(const std::string& directory, const std::string& prefix, const std::string& key,
                      const std::string& application) {
    std::string app = joinPath(directory, prefix.substr(0, prefix.size() - 1));
    CacheFiles files;
    files.directory = directory;
    files.prefix = prefix;
    files.stem = joinPath(directory, prefix + key);
    files.lock = app + ".lock";
    files.proof = files.stem + ".ok";
    files.failed = files.stem + ".failed";
    files.list = files.stem + ".classes";
    files.grown = files.stem + ".new.classes";
    files.making = files.stem + ".making";
    files.unfinished = files.stem + ".unfinished";
    files.crashed = files.stem + ".crashed";
    files.owner = app + ".app";
    files.unused = app + ".unused";
    files.uses = app + ".uses";
    files.application = application;
    return files;
}

bool hasMagic(const std::string& path, const std::string& magic) {
    if (!platform::privateFileStamp(path)) return false;
    std::optional<std::string> start = platform::readFileStart(path, magic.size());
    return start && *start == magic;
}

bool isProven(const CacheFiles& files, const std::string& archive) {
    std::optional<platform::FileStamp> stamp = platform::privateFileStamp(archive);
    if (!stamp || !platform::privateFileStamp(files.proof)) return false;
    return platform::readFileStart(files.proof, 256) == stampText(*stamp);
}

Crashes crashesOf(const CacheFiles& files, const std::string& archive) {
    Crashes crashes;
    if (!platform::privateFileStamp(files.crashed)) return crashes;
    std::string text = platform::readFileStart(files.crashed, 256).value_or(std::string());
    std::size_t blank = text.find(' ');
    crashes.count = std::max(1, std::atoi(text.c_str()));
    std::optional<platform::FileStamp> stamp = platform::privateFileStamp(archive);
    crashes.withThisArchive = stamp && blank != std::string::npos && text.substr(blank + 1) == stampText(*stamp);
    return crashes;
}

std::string crashRecord(const CacheFiles& files, const std::string& archive) {
    std::optional<platform::FileStamp> stamp = platform::privateFileStamp(archive);
    return std::to_string(crashesOf(files, archive).count + 1) + " " + (stamp ? stampText(*stamp) : std::string("\n"));
}

bool recordProof(const CacheFiles& files, const std::string& archive) {
    std::optional<platform::FileStamp> stamp = platform::privateFileStamp(archive);
    return stamp && platform::writeSmallFile(files.proof, stampText(*stamp));
}

bool holdLock(const CacheFiles& files) {
    // The platform's lock refuses a second hold even in the process that has it.
    static std::vector<std::string> held;
    if (std::find(held.begin(), held.end(), files.lock) != held.end()) return true;
    if (!platform::holdLockUntilExit(files.lock)) {
        // Anything but a private regular file at the lock's name (a link, a FIFO, a directory)
        // goes, never followed: this start stays out, the next one takes the lock.
        clearName(files.lock);
        return false;
    }
    held.push_back(files.lock);
    return true;
}

int readCount(const std::string& path) {
    if (!platform::privateFileStamp(path)) return 0;
    std::string text = platform::readFileStart(path, 16).value_or(std::string());
    return std::max(0, std::atoi(text.c_str()));
}

int refusals(const CacheFiles& files) {
    // An empty file (written before counts were) is one refusal.
    return platform::privateFileStamp(files.failed) ? std::max(1, readCount(files.failed)) : 0;
}

void countRefusal(const CacheFiles& files) {
    clearName(files.failed);
    platform::writeSmallFile(files.failed, std::to_string(refusals(files) + 1));
}

namespace {

/// The two counts of files.unfinished: makings that did not finish, and starts still to wait.
std::pair<int, int> unfinishedCounts(const CacheFiles& files) {
    if (!platform::privateFileStamp(files.unfinished)) return {0, 0};
    std::string text = platform::readFileStart(files.unfinished, 32).value_or(std::string());
    std::size_t blank = text.find(' ');
    int wait = blank == std::string::npos ? 0 : std::atoi(text.c_str() + blank + 1);
    return {std::max(0, std::atoi(text.c_str())), std::max(0, wait)};
}

void writeUnfinished(const CacheFiles& files, int count, int wait) {
    if (clearName(files.unfinished))
        platform::writeSmallFile(files.unfinished, std::to_string(count) + " " + std::to_string(wait) + "\n");
}

}  // namespace

void countUnfinished(const CacheFiles& files) {
    int count = unfinishedCounts(files).first;
    // 0, 1, 3, 7, then 15 starts between makings.
    writeUnfinished(files, count + 1, (1 << std::min(count, 4)) - 1);
}

int makingDeferred(const CacheFiles& files) {
    std::pair<int, int> counts = unfinishedCounts(files);
    if (counts.second > 0) writeUnfinished(files, counts.first, counts.second - 1);
    return counts.second;
}

bool clearName(const std::string& path) {
    if (!platform::exists(path) && !platform::isSymbolicLink(path)) return true;
    if (platform::privateFileStamp(path)) return true;
    // Removing a link removes the link, never what it names; a directory goes with what it
    // holds, nothing inside followed.
    platform::removeTree(path);
    return !platform::exists(path) && !platform::isSymbolicLink(path);
}

void removeCachesOfRemovedApplications(const CacheFiles& files) {
    if (clearName(files.owner)) platform::writeSmallFile(files.owner, files.application);
    for (const std::string& name : platform::findFiles(files.directory, "*.app")) {
        std::string path = joinPath(files.directory, name);
        if (path == files.owner || !platform::privateFileStamp(path)) continue;
        std::string owner = platform::readFileStart(path, 64 * 1024).value_or(std::string());
        if (isAbsolutePath(owner) && !platform::exists(owner)) removeApplication(files.directory, name.substr(0, name.size() - 4) + "-");
    }
}

void removeEarlierCaches(const CacheFiles& files, std::size_t keep) {
    std::string current = files.stem.substr(files.directory.size() + 1);
    std::map<std::string, std::vector<std::string>> byKey;  // key -> its files' names
    std::map<std::string, long long> made;                  // key -> when its newest file was written
    for (const char* pattern : kEndings)
        for (const std::string& name : platform::findFiles(files.directory, pattern)) {
            if (!startsWith(name, files.prefix) || startsWith(name, current)) continue;
            std::string key = name.substr(0, current.size());
            byKey[key].push_back(name);
            std::optional<platform::FileStamp> stamp = platform::privateFileStamp(joinPath(files.directory, name));
            made[key] = std::max(made[key], stamp ? stamp->modified : 0LL);
        }
    std::vector<std::pair<long long, std::string>> keys;
    for (const auto& entry : made) keys.push_back({entry.second, entry.first});
    std::sort(keys.rbegin(), keys.rend());
    for (std::size_t i = keep; i < keys.size(); ++i)
        for (const std::string& name : byKey[keys[i].second]) platform::removeFile(joinPath(files.directory, name));
}

}  // namespace startup_cache
