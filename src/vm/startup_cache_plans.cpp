// What a launch does with the cache of its key, per mechanism. A cache is used only when it
// is the very file the runtime itself accepted (a quiet child with -Xshare:on or
// -XX:AOTMode=on and -XX:+VerifySharedSpaces, whose exit code is the runtime's answer): a
// cache changed or damaged since is never mapped, and the warm start pays one stat and one
// small read for that certainty.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/path_names.h"
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

/// The runtimes' ways of keeping class data, newest first. Java 19 to 24 could archive at the
/// application's exit, but the list-made archive keeps any training from changing the
/// application's outcome, so they share the row of 13 to 18.
const MechanismRow kMechanisms[] = {
    // The "aot" log tags exist from JDK 25 on; an older runtime refuses a selection naming them.
    // The AOT cache option refuses any -Xshare option beside it: it relies on the default.
    {25, kEveryLaterVersion, {"-Xlog:cds*=off", "-Xlog:aot*=off"}, "-XX:DumpLoadedClassList=",
     {"-Xshare:dump"}, {"-XX:+AOTClassLinking"}, ".aot", "-XX:AOTCache=", "-XX:AOTMode=on"},
    {13, 24, {"-Xshare:auto", "-Xlog:cds*=off"}, "-XX:DumpLoadedClassList=",
     {"-Xshare:dump"}, {}, ".jsa", "-XX:SharedArchiveFile=", "-Xshare:on"},
};

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
/// After this many starts in a row that died with a cache of one key, that key uses none.
constexpr int kMaxCrashes = 2;
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

/// How a child of the runtime ended.
enum class Ended {
    Zero,         ///< with exit code 0: the runtime's yes
    Otherwise,    ///< with another code, or not started: the runtime's no
    NotFinished,  ///< killed, stopped at its time limit, or failed for lack of space: no answer
};

/// Runs the runtime's own launcher quietly with the launch's options, `extra`, the class path
/// and `last` (a crash report, should the child crash, goes into the cache directory and is
/// removed), within `seconds`.
Ended runRuntime(const CacheFiles& files, const Launch& launch, const std::vector<std::string>& extra,
                 const std::vector<std::string>& last, unsigned seconds) {
    // By its full path: the child is no longer where a relative one is taken from.
    std::string java = platform::absolutePath(platform::belowJavaHome(launch.javaHome, platform::kJavaExecutable));
    std::string errors = files.stem + ".err";
    std::vector<std::string> args = concat({java}, launch.quiet);
    for (const std::string& option : launch.options)
        if (belongsToChild(option)) args.push_back(option);
    args = concat(concat(args, extra), {"-XX:-CreateCoredumpOnCrash", "-XX:ErrorFile=" + errors, "-cp", launch.classPath});
    int code = platform::runQuietly(java, concat(args, last), seconds);
    platform::removeFile(errors);
    if (code == 0) return Ended::Zero;
    // A full disk says nothing of the runtime's answer; the space may come back.
    std::optional<unsigned long long> room = platform::freeSpace(files.directory);
    if (code == platform::kChildCutShort || (room && *room < kTrainingSpace)) return Ended::NotFinished;
    return Ended::Otherwise;
}

/// The runtime's answer whether it takes the archive that `archiveOptions` name for this
/// launch, every region's checksum verified.
Ended runtimeAccepts(const CacheFiles& files, const Launch& launch, const std::vector<std::string>& archiveOptions) {
    return runRuntime(files, launch, concat(archiveOptions, {"-XX:+VerifySharedSpaces"}), {"-version"}, kProofSeconds);
}

/// True when `path` is a private regular file of a usable size that begins with `magic`.
bool isWhole(const std::string& path, const std::string& magic) {
    std::optional<platform::FileStamp> stamp = platform::privateFileStamp(path);
    return stamp && stamp->size > magic.size() && stamp->size <= kPartLimit && hasMagic(path, magic);
}

/// Removes an archive that a start with it crashed with, and its proof.
std::string removeCrashed(const CacheFiles& files, const std::string& archive) {
    platform::removeFile(files.proof);
    platform::removeFile(archive);
    return "removed " + archive + ", a start with it crashed; ";
}

/// Removes an archive that is not the one proven, and its proof; says so when there was one.
std::string removeUnproven(const CacheFiles& files, const std::string& archive) {
    platform::removeFile(files.proof);
    // Whatever is there goes (a link itself, never what it names).
    if (!platform::removeFile(archive)) return std::string();
    return "removed " + archive + ", changed since the runtime accepted it; ";
}

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
void assemble(const CacheFiles& files, const Launch& launch, const MechanismRow& kind, const std::string& list,
              const std::string& archive) {
    // Left behind only when the worker ends before the work does.
    if (clearName(files.making)) platform::writeSmallFile(files.making, "");
    std::string part = archive + ".part";
    std::vector<std::string> dump = concat(kind.making, {"-XX:SharedClassListFile=" + list, "-XX:SharedArchiveFile=" + part});
    Ended made = clearName(part) ? runRuntime(files, launch, concat(dump, kind.makingLast), {}, kAssemblySeconds) : Ended::Otherwise;
    if (made == Ended::Zero && !isWhole(part, kStaticArchiveMagic)) made = Ended::Otherwise;
    if (made == Ended::Zero) made = runtimeAccepts(files, launch, {kind.proofMode, kind.use + part});
    // A cache in use elsewhere (Windows) keeps its place and its proof until a later start.
    bool placed = made == Ended::Zero && platform::replaceFile(part, archive) && recordProof(files, archive);
    platform::removeFile(part);
    platform::removeFile(files.making);
    if (placed) {
        platform::removeFile(files.unfinished);
        if (list != files.list) platform::replaceFile(list, files.list);
        removeEarlierCaches(files, kOtherKeys);
        return;
    }
    // A making that did not finish keeps its list for a later one.
    if (made == Ended::NotFinished) return countUnfinished(files);
    if (made == Ended::Otherwise) countRefusal(files);
    platform::removeFile(list);
}

/// The first word of a making's job, and how many words follow it before the launch's options.
const char* const kMakingJob = "make-startup-cache";
constexpr std::size_t kJobWords = 11;

/// The making of `archive` from `list` as the words of a job for runMaking.
std::vector<std::string> makingJob(const CacheFiles& files, const Launch& launch, const MechanismRow& kind,
                                   const std::string& list, const std::string& archive) {
    std::vector<std::string> job{kMakingJob,     std::to_string(kind.from), files.directory, files.prefix,
                                 files.stem.substr(fileNameStart(files.stem) + files.prefix.size()),
                                 files.application, launch.javaHome, launch.classPath, list, archive,
                                 std::to_string(launch.options.size())};
    return concat(job, launch.options);
}

/// `plan` with the work that makes `archive` from `list` beside the application, its note
/// followed by `making`, the words for it; unless the last makings did not finish and this one
/// is to wait for more starts, which the note then says instead.
Plan withMaking(Plan plan, const std::string& making, const CacheFiles& files, const Launch& launch, const MechanismRow& kind,
                const std::string& list, const std::string& archive) {
    // A mark left behind: the worker of the last making was ended before it was done (killed,
    // or the user logged off), which is a making that did not finish.
    if (platform::privateFileStamp(files.making) && platform::removeFile(files.making)) countUnfinished(files);
    if (int wait = makingDeferred(files)) {
        plan.note += "the last making of " + archive + " did not finish; making it again in " + std::to_string(wait) +
                     (wait == 1 ? " start" : " starts");
        return plan;
    }
    plan.note += making;
    plan.background = [=] { assemble(files, launch, kind, list, archive); };
    plan.job = makingJob(files, launch, kind, list, archive);
    return plan;
}

/// A start that lists the classes the application loads in `list`, for an archive made beside
/// a later start; `what` says what for.
Plan listClasses(const MechanismRow& kind, const std::string& note, const std::string& list,
                 const std::string& what) {
    std::optional<std::string> name = clearName(list) ? platform::lastingFileName(list) : std::nullopt;
    if (!name) return {{}, note + "not used: " + list + " cannot be written"};
    return {concat(kind.quiet, {kind.training + *name}), note + what + list};
}

/// A training start, unless the key's caches were refused, the application's trainings do
/// not pay back, or the place is full.
Plan train(const CacheFiles& files, const MechanismRow& kind, const std::string& note, const std::string& list) {
    if (refusals(files) >= kMaxRefusals)
        return {{}, note + "not used: the runtime refused the caches made for these options"};
    // A start that cannot train for want of space is no training that went unused.
    std::optional<unsigned long long> room = platform::freeSpace(files.directory);
    if (!room || *room < kTrainingSpace) return {{}, note + "not used: too little free space at " + files.directory};
    int unused = readCount(files.unused);
    if (clearName(files.unused))
        platform::writeSmallFile(files.unused, std::to_string(unused + 1 >= kBackOffEnd ? kBackOffStart : unused + 1));
    if (unused >= kBackOffStart && unused + 1 < kBackOffEnd)
        return {{}, note + "not used: none of the application's last " + std::to_string(kBackOffStart) +
                        " caches was used; training again in " + std::to_string(kBackOffEnd - 1 - unused) + " starts"};
    removeEarlierCaches(files, kOtherKeys);
    removeCachesOfRemovedApplications(files);
    return listClasses(kind, note, list, "training, writing ");
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

/// The cache file the VM of this process maps, should it die of a fatal error: what is written
/// where, prepared before the VM starts so that a dying process need not compute it.
struct CrashGuard {
    std::string file;    ///< files.crashed; empty when the VM maps no cache
    std::string record;  ///< what it gets
};
CrashGuard guard;

Plan use(const CacheFiles& files, const MechanismRow& kind, const std::string& archive,
         const std::string& made = std::string()) {
    // The application's caches are used: its trainings pay back.
    platform::removeFile(files.unused);
    guard = {files.crashed, crashRecord(files, archive)};
    Plan plan{concat(kind.quiet, {kind.use + archive}), "using " + archive + made};
    plan.guarded = true;
    plan.whenStarted = [files, archive](bool mapped) {
        if (!mapped) noticeDeclined(files, archive);
    };
    return plan;
}

/// A start that finds its cache proven: it uses it. Now and then one lists the classes the
/// application loads without it, and the start after has the cache made anew from that list
/// when it names more classes than the cache holds.
Plan useAndGrow(const CacheFiles& files, const Launch& launch, const MechanismRow& kind, const std::string& archive) {
    const std::string& grown = files.grown;
    if (platform::exists(grown) || platform::isSymbolicLink(grown)) {
        if (!holdLock(files)) return use(files, kind, archive);
        if (isWholeList(grown) && refusals(files) < kMaxRefusals && classCount(grown) > classCount(files.list) * 21 / 20) {
            Plan plan = withMaking(use(files, kind, archive, "; "), "making it anew from the classes a later start loaded",
                                   files, launch, kind, grown, archive);
            // Where the archive this start's VM maps cannot be replaced, the making waits for its end.
            plan.untilTheLaunchEnds = platform::kMappedFilesStay;
            return plan;
        }
        platform::removeFile(grown);
        return use(files, kind, archive);
    }
    int uses = readCount(files.uses) + 1;
    if (uses < kListEvery) {
        if (clearName(files.uses)) platform::writeSmallFile(files.uses, std::to_string(uses));
        return use(files, kind, archive);
    }
    platform::removeFile(files.uses);
    if (!holdLock(files)) return use(files, kind, archive);
    return listClasses(kind, "not used this start, ", grown, "listing the classes the application loads now in ");
}

}  // namespace

bool runMaking(const std::vector<std::string>& job) {
    if (job.size() < kJobWords || job[0] != kMakingJob) return false;
    const MechanismRow* kind = mechanismRow(std::atoi(job[1].c_str()));
    const std::string& count = job[10];
    bool counted = !count.empty() && count.size() < 6 && count.find_first_not_of("0123456789") == std::string::npos &&
                   static_cast<std::size_t>(std::atoi(count.c_str())) == job.size() - kJobWords;
    if (!kind || std::to_string(kind->from) != job[1] || !counted || job[3].empty()) return false;
    CacheFiles files = filesNamed(job[2], job[3], job[4], job[5]);
    const std::string &list = job[8], &archive = job[9];
    // The job touches the files of its key only.
    if ((list != files.list && list != files.grown) || archive != files.stem + kind->ending) return false;
    Launch launch{job[6], job[7], std::vector<std::string>(job.begin() + kJobWords, job.end()), kind->quiet};
    assemble(files, launch, *kind, list, archive);
    return true;
}

/// A training start lists the classes it loads; the next start has the
/// runtime make the archive from the list and prove it, beside the application, and the
/// starts after use it.
Plan planListArchive(const CacheFiles& files, const Launch& launch, const MechanismRow& kind) {
    std::string archive = files.stem + kind.ending;
    Crashes crashes = crashesOf(files, archive);
    if (crashes.count >= kMaxCrashes)
        return {{}, "not used: " + std::to_string(crashes.count) + " starts in a row with the caches made for these options " +
                        "crashed; removing " + files.crashed + " lets them try again"};
    if (!crashes.withThisArchive && isProven(files, archive)) return useAndGrow(files, launch, kind, archive);
    if (!holdLock(files)) return Plan{{}, kLockNote};
    std::string note = crashes.withThisArchive ? removeCrashed(files, archive) : removeUnproven(files, archive);
    if (isWholeList(files.list) && refusals(files) < kMaxRefusals) {
        return withMaking({{}, note + "not used this start, "},
                          "making " + archive + " from the classes the last start loaded", files, launch, kind, files.list,
                          archive);
    }
    // An empty list (a training start killed at once) is made again.
    platform::removeFile(files.list);
    return train(files, kind, note, files.list);
}

const MechanismRow* mechanismRow(int version) {
    for (const MechanismRow& row : kMechanisms)
        if (version >= row.from && version <= row.to) return &row;
    return nullptr;
}

}  // namespace startup_cache

void startupCacheCrashed() {
    using startup_cache::guard;
    // Only what a dying process may still do: one small file written, nothing computed.
    if (!guard.file.empty()) platform::writeSmallFile(guard.file, guard.record);
}

void startupCacheEnded() {
    using startup_cache::guard;
    if (!guard.file.empty() && platform::privateFileStamp(guard.file)) platform::removeFile(guard.file);
}
