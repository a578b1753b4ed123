// What a launch does with the cache of its key, per mechanism. A cache is used only when it
// is the very file the runtime itself accepted (a quiet child with -Xshare:on or
// -XX:AOTMode=on and -XX:+VerifySharedSpaces, whose exit code is the runtime's answer): a
// cache changed or damaged since is never mapped, and the warm start pays one stat and one
// small read for that certainty.
#include <optional>
#include <string>
#include <vector>

#include "vm/startup_cache_files.h"

namespace startup_cache {

namespace {

/// The first four bytes of the files the runtimes write (little-endian on every platform the
/// launcher serves): a dynamic archive, the static archive format of an AOT cache, and an AOT
/// configuration recorded by a training start.
const std::string kDynamicArchiveMagic("\xa8\xab\x0b\xf0", 4);
const std::string kStaticArchiveMagic("\xa2\xab\x0b\xf0", 4);
const std::string kAotConfigurationMagic("\x7c\xa0\xfe\xca", 4);

/// A start that cannot take the lock: another start holds it, or the place cannot be written.
const char* const kLockNote = "not used: another start is preparing it, or the place cannot be written";

/// The room a training start needs at least: a runtime that cannot write its whole archive at
/// exit ends the application with an error of its own (JDK 17 exits with 1).
constexpr unsigned long long kTrainingSpace = 512ULL * 1024 * 1024;
/// A recording or archive larger than this is no start-up cache: it is removed, never used.
constexpr unsigned long long kPartLimit = 2048ULL * 1024 * 1024;
/// After this many caches the runtime refused for one key, that key trains no more.
constexpr int kMaxRefusals = 2;
/// An application whose last trainings were never followed by a start that used a cache (each
/// start with other options, say) trains only once in every kBackOffEnd - kBackOffStart starts.
constexpr int kBackOffStart = 4;
constexpr int kBackOffEnd = 20;
/// The longest the runtime's children may take before the launch goes on without them.
constexpr unsigned kAssemblySeconds = 120;
constexpr unsigned kProofSeconds = 30;

std::vector<std::string> concat(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

/// Options a child of the runtime may not have: it must not wait for a debugger or load agents.
bool belongsToChild(const std::string& option) {
    for (const char* start : {"-Xrun", "-Xdebug", "-agentlib", "-agentpath", "-javaagent", "-verbose"})
        if (startsWith(option, start)) return false;
    return true;
}

/// Runs the runtime's own launcher quietly with the launch's options, `extra`, the class path
/// and `last` (a crash report, should the child crash, goes into the cache directory and is
/// removed). True when it ends with 0 within `seconds`.
bool runRuntime(const CacheFiles& files, const Launch& launch, const std::vector<std::string>& extra,
                const std::vector<std::string>& last, unsigned seconds) {
    std::string java = launch.javaHome + platform::kJavaExecutable;
    std::string errors = files.stem + ".err";
    std::vector<std::string> args = concat({java}, launch.quiet);
    for (const std::string& option : launch.options)
        if (belongsToChild(option)) args.push_back(option);
    args = concat(concat(args, extra), {"-XX:-CreateCoredumpOnCrash", "-XX:ErrorFile=" + errors, "-cp", launch.classPath});
    bool ended = platform::runQuietly(java, concat(args, last), seconds) == 0;
    platform::removeFile(errors);
    return ended;
}

/// The runtime's answer whether it takes the archive that `archiveOptions` name for this
/// launch, every region's checksum verified.
bool runtimeAccepts(const CacheFiles& files, const Launch& launch, const std::vector<std::string>& archiveOptions) {
    return runRuntime(files, launch, concat(archiveOptions, {"-XX:+VerifySharedSpaces"}), {"-version"}, kProofSeconds);
}

/// True when `path` is a private regular file of a usable size that begins with `magic`.
bool isWhole(const std::string& path, const std::string& magic) {
    std::optional<platform::FileStamp> stamp = platform::privateFileStamp(path);
    return stamp && stamp->size > magic.size() && stamp->size <= kPartLimit && hasMagic(path, magic);
}

/// Removes an archive that is not the one proven, and its proof; says so when there was one.
std::string removeUnproven(const CacheFiles& files, const std::string& archive) {
    platform::removeFile(files.proof);
    bool present = platform::exists(archive) || platform::isSymbolicLink(archive);
    if (!present) return std::string();
    clearName(archive);
    platform::removeFile(archive);
    return "removed " + archive + ", changed since the runtime accepted it; ";
}

/// A training start: `option` followed by the name the runtime writes `output` under.
Plan train(const CacheFiles& files, const Launch& launch, const std::string& note, const std::vector<std::string>& options,
           const std::string& option, const std::string& output) {
    if (refusals(files) >= kMaxRefusals)
        return {{}, note + "not used: the runtime refused the caches made for these options"};
    int unused = readCount(files.unused);
    if (clearName(files.unused))
        platform::writeSmallFile(files.unused, std::to_string(unused + 1 >= kBackOffEnd ? kBackOffStart : unused + 1));
    if (unused >= kBackOffStart && unused + 1 < kBackOffEnd)
        return {{}, note + "not used: none of the application's last " + std::to_string(kBackOffStart) +
                        " caches was used; training again in " + std::to_string(kBackOffEnd - 1 - unused) + " starts"};
    std::optional<unsigned long long> room = platform::freeSpace(files.directory);
    if (!room || *room < kTrainingSpace) return {{}, note + "not used: too little free space at " + files.directory};
    std::optional<std::string> name = clearName(output) ? platform::lastingFileName(output) : std::nullopt;
    if (!name) return {{}, note + "not used: " + output + " cannot be written"};
    removeEarlierCaches(files, kOtherKeys);
    removeCachesOfRemovedApplications(files);
    return {concat(concat(launch.quiet, options), {option + *name}), note + "training, writing " + output};
}

Plan use(const CacheFiles& files, const Launch& launch, const std::string& option, const std::string& archive,
         const std::string& note, const std::string& made = std::string()) {
    // The application's caches are used: its trainings pay back.
    platform::removeFile(files.unused);
    return {concat(launch.quiet, {option + archive}), note + "using " + archive + made};
}

/// What every start with a made cache begins with: a proven archive is used at once;
/// otherwise the start must hold the lock (nothing else happens without it), and an archive
/// that was not proven goes, which `note` then says.
std::optional<Plan> useOrLock(const CacheFiles& files, const Launch& launch, const std::string& option,
                              const std::string& archive, std::string& note) {
    if (isProven(files, archive)) return use(files, launch, option, archive, "");
    if (!platform::holdLockUntilExit(files.lock)) return Plan{{}, kLockNote};
    note = removeUnproven(files, archive);
    return std::nullopt;
}

}  // namespace

Plan planManagedArchive(const CacheFiles& files, const Launch& launch) {
    std::string archive = files.stem + ".jsa";
    const std::string option = "-XX:SharedArchiveFile=";
    std::string note;
    if (std::optional<Plan> plan = useOrLock(files, launch, option, archive, note)) return *plan;
    std::string part = archive + ".part";
    if (isWhole(part, kDynamicArchiveMagic)) {
        if (runtimeAccepts(files, launch, {"-Xshare:on", option + part}) && platform::replaceFile(part, archive) &&
            recordProof(files, archive)) {
            removeEarlierCaches(files, kOtherKeys);
            return use(files, launch, option, archive, note, ", made by the last start");
        }
        countRefusal(files);
        platform::removeFile(archive);
        note += "the runtime refused the archive of the last start; ";
    }
    platform::removeFile(part);
    return train(files, launch, note, {}, "-XX:ArchiveClassesAtExit=", part);
}

Plan planAutoArchive(const CacheFiles& files, const Launch& launch) {
    if (!platform::holdLockUntilExit(files.lock)) return {{}, kLockNote};
    std::string archive = files.stem + ".jsa";
    if (!clearName(archive)) return {{}, "not used: " + archive + " cannot be written"};
    removeEarlierCaches(files, kOtherKeys);
    // The runtime checks every region before it maps the archive, and remakes one it refuses.
    std::vector<std::string> options = {"-XX:+VerifySharedSpaces", "-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + archive};
    if (platform::exists(archive)) return {concat(launch.quiet, options), "using " + archive};
    std::optional<unsigned long long> room = platform::freeSpace(files.directory);
    if (!room || *room < kTrainingSpace) return {{}, "not used: too little free space at " + files.directory};
    return {concat(launch.quiet, options), "training, writing " + archive};
}

Plan planAotCache(const CacheFiles& files, const Launch& launch) {
    std::string cache = files.stem + ".aot";
    const std::string option = "-XX:AOTCache=";
    std::string note;
    if (std::optional<Plan> plan = useOrLock(files, launch, option, cache, note)) return *plan;
    std::string configuration = files.stem + ".aotconf";
    if (isWhole(configuration, kAotConfigurationMagic) && refusals(files) < kMaxRefusals) {
        std::string part = cache + ".part";
        bool made = clearName(part) &&
                    runRuntime(files, launch, {"-XX:AOTMode=create", "-XX:AOTConfiguration=" + configuration, option + part}, {},
                               kAssemblySeconds) &&
                    isWhole(part, kStaticArchiveMagic) && runtimeAccepts(files, launch, {"-XX:AOTMode=on", option + part}) &&
                    platform::replaceFile(part, cache) && recordProof(files, cache);
        platform::removeFile(part);
        platform::removeFile(configuration);
        if (made) {
            removeEarlierCaches(files, kOtherKeys);
            return use(files, launch, option, cache, note, ", assembled from the last start");
        }
        countRefusal(files);
        platform::removeFile(cache);
        return {{}, note + "not used: the runtime could not assemble a cache from the last start"};
    }
    // An empty or cut-short recording (a training start that was killed) is made again.
    platform::removeFile(configuration);
    // The runtime reports the recorded configuration on the console itself; a training start
    // keeps the VM's own console lines off.
    return train(files, launch, note, {"-XX:+UnlockDiagnosticVMOptions", "-XX:-DisplayVMOutput", "-XX:AOTMode=record"},
                 "-XX:AOTConfiguration=", configuration);
}

}  // namespace startup_cache
