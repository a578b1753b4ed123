// What a launch does with the cache of its key, per mechanism. A cache is used only when it
// is the very file the runtime itself accepted (a quiet child with -Xshare:on or
// -XX:AOTMode=on and -XX:+VerifySharedSpaces, whose exit code is the runtime's answer): a
// cache changed or damaged since is never mapped, and the warm start pays one stat and one
// small read for that certainty.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "base/text_ops.h"
#include "vm/startup_cache_files.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/processes.h"

namespace startup_cache {

namespace {

/// The first four bytes of an archive the runtimes make from a list of classes (little-endian
/// on every platform the launcher serves).
const std::string kStaticArchiveMagic("\xa2\xab\x0b\xf0", 4);

/// A start that cannot take the lock: another start holds it, or the place cannot be written.
const char* const kLockNote = "not used: another start is preparing it, or the place cannot be written";

/// The room a training start needs at least, for the archive that follows it.
constexpr unsigned long long kTrainingSpace = 512ULL * 1024 * 1024;
/// An archive larger than this is no start-up cache: it is removed, never used.
constexpr unsigned long long kPartLimit = 2048ULL * 1024 * 1024;
/// A list of classes larger than this is no application's: it is removed.
constexpr unsigned long long kListLimit = 64ULL * 1024 * 1024;
/// One start in this many of those that find a cache runs without it and lists the classes the
/// application loads now, so that the cache grows with the application's use.
constexpr int kListEvery = 16;
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
    // Whatever is there goes (a link itself, never what it names).
    if (!platform::removeFile(archive)) return std::string();
    return "removed " + archive + ", changed since the runtime accepted it; ";
}

/// How a runtime makes and takes an archive of the classes a start listed.
struct ListArchive {
    std::string ending;                 ///< of the archive's file name
    std::string option;                 ///< the option that names the archive to use
    std::string proofMode;              ///< the option that makes the runtime refuse to start without it
    std::vector<std::string> assembly;  ///< what the runtime's dump adds
};

/// True when `path` is a private regular file of a usable size that holds a list of classes
/// as the runtime writes it.
bool isWholeList(const std::string& path) {
    std::optional<platform::FileStamp> stamp = platform::privateFileStamp(path);
    return stamp && stamp->size > 16 && stamp->size <= kListLimit && (hasMagic(path, "#") || hasMagic(path, "java/"));
}

/// The classes a list names, one a line.
std::size_t classCount(const std::string& list) {
    std::string text = platform::readFileStart(list, kListLimit).value_or(std::string());
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

/// Has the runtime make `archive` from the classes `list` names, prove it and put it in place;
/// `list` then becomes the cache's list (files.list). Runs beside the application: a failure only costs the
/// cache, and counts as a refusal of the key.
void assemble(const CacheFiles& files, const Launch& launch, const ListArchive& kind, const std::string& list,
              const std::string& archive) {
    // Left behind only when the process ends before the work does: the next making is waited for.
    if (clearName(files.making)) platform::writeSmallFile(files.making, "");
    std::string part = archive + ".part";
    std::vector<std::string> dump = {"-Xshare:dump", "-XX:SharedClassListFile=" + list, "-XX:SharedArchiveFile=" + part};
    bool accepted = clearName(part) && runRuntime(files, launch, concat(dump, kind.assembly), {}, kAssemblySeconds) &&
                    isWhole(part, kStaticArchiveMagic) && runtimeAccepts(files, launch, {kind.proofMode, kind.option + part});
    // A cache in use elsewhere (Windows) keeps its place and its proof until a later start.
    bool placed = accepted && platform::replaceFile(part, archive) && recordProof(files, archive);
    platform::removeFile(part);
    platform::removeFile(files.making);
    if (placed) {
        if (list != files.list) platform::replaceFile(list, files.list);
        removeEarlierCaches(files, kOtherKeys);
        return;
    }
    if (!accepted) countRefusal(files);
    platform::removeFile(list);
}

/// `plan` with the work that makes `archive` from `list`: beside the application, or before its
/// VM when the last making was cut short (a start that ends before its making does, again and
/// again, would otherwise never have a cache).
Plan withMaking(Plan plan, const CacheFiles& files, const Launch& launch, const ListArchive& kind, const std::string& list,
                const std::string& archive) {
    plan.beforeTheVm = platform::privateFileStamp(files.making).has_value();
    if (plan.beforeTheVm) plan.note += ", before the application, as the last making was cut short";
    plan.background = [=] { assemble(files, launch, kind, list, archive); };
    return plan;
}

/// A start that lists the classes the application loads in `list`, for an archive made beside
/// a later start; `what` says what for.
Plan listClasses(const Launch& launch, const std::string& note, const std::string& list, const std::string& what) {
    std::optional<std::string> name = clearName(list) ? platform::lastingFileName(list) : std::nullopt;
    if (!name) return {{}, note + "not used: " + list + " cannot be written"};
    return {concat(launch.quiet, {"-XX:DumpLoadedClassList=" + *name}), note + what + list};
}

/// A training start, unless the key's caches were refused, the application's trainings do
/// not pay back, or the place is full.
Plan train(const CacheFiles& files, const Launch& launch, const std::string& note, const std::string& list) {
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
    removeEarlierCaches(files, kOtherKeys);
    removeCachesOfRemovedApplications(files);
    return listClasses(launch, note, list, "training, writing ");
}

/// A cache the VM of this start did not map, though the runtime accepted it when it was made
/// (it decides so for reasons of its own): it goes, and counts as a refusal; the next start
/// has it made anew from its list.
void noticeDeclined(const CacheFiles& files, const std::string& archive) {
    if (!holdLock(files)) return;
    platform::removeFile(files.proof);
    platform::removeFile(archive);
    countRefusal(files);
}

Plan use(const CacheFiles& files, const Launch& launch, const std::string& option, const std::string& archive,
         const std::string& made = std::string()) {
    // The application's caches are used: its trainings pay back.
    platform::removeFile(files.unused);
    Plan plan{concat(launch.quiet, {option + archive}), "using " + archive + made};
    plan.whenStarted = [files, archive](bool mapped) {
        if (!mapped) noticeDeclined(files, archive);
    };
    return plan;
}

/// A start that finds its cache proven: it uses it. Now and then one lists the classes the
/// application loads without it, and the start after has the cache made anew from that list
/// when it names more classes than the cache holds.
Plan useAndGrow(const CacheFiles& files, const Launch& launch, const ListArchive& kind, const std::string& archive) {
    const std::string& grown = files.grown;
    if (platform::exists(grown) || platform::isSymbolicLink(grown)) {
        if (!holdLock(files)) return use(files, launch, kind.option, archive);
        if (isWholeList(grown) && refusals(files) < kMaxRefusals && classCount(grown) > classCount(files.list) * 21 / 20) {
            Plan plan = withMaking(use(files, launch, kind.option, archive, "; making it anew from the classes a later start loaded"),
                                   files, launch, kind, grown, archive);
            // The archive this start's VM maps can be replaced only before it does so (Windows).
            plan.beforeTheVm = plan.beforeTheVm || platform::kBackgroundInProcess;
            return plan;
        }
        platform::removeFile(grown);
        return use(files, launch, kind.option, archive);
    }
    int uses = readCount(files.uses) + 1;
    if (uses < kListEvery) {
        if (clearName(files.uses)) platform::writeSmallFile(files.uses, std::to_string(uses));
        return use(files, launch, kind.option, archive);
    }
    platform::removeFile(files.uses);
    if (!holdLock(files)) return use(files, launch, kind.option, archive);
    return listClasses(launch, "not used this start, ", grown, "listing the classes the application loads now in ");
}

/// A training start lists the classes it loads; the next start has the
/// runtime make the archive from the list and prove it, beside the application, and the
/// starts after use it.
Plan planListArchive(const CacheFiles& files, const Launch& launch, const ListArchive& kind) {
    std::string archive = files.stem + kind.ending;
    if (isProven(files, archive)) return useAndGrow(files, launch, kind, archive);
    if (!holdLock(files)) return Plan{{}, kLockNote};
    std::string note = removeUnproven(files, archive);
    if (isWholeList(files.list) && refusals(files) < kMaxRefusals) {
        return withMaking({{}, note + "not used this start, making " + archive + " from the classes the last start loaded"},
                          files, launch, kind, files.list, archive);
    }
    // An empty list (a training start killed at once) is made again.
    platform::removeFile(files.list);
    return train(files, launch, note, files.list);
}

}  // namespace

Plan planManagedArchive(const CacheFiles& files, const Launch& launch) {
    return planListArchive(files, launch, {".jsa", "-XX:SharedArchiveFile=", "-Xshare:on", {}});
}

Plan planAotCache(const CacheFiles& files, const Launch& launch) {
    // Classes linked ahead of time: the archive is the runtime's AOT cache.
    return planListArchive(files, launch, {".aot", "-XX:AOTCache=", "-XX:AOTMode=on", {"-XX:+AOTClassLinking"}});
}

}  // namespace startup_cache
