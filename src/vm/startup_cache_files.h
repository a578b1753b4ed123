// The start-up cache's files in its directory: their names and key, the record that a cache
// was proven by the runtime, the count of caches the runtime refused, and the removal of what
// is no longer wanted. Used by startup_cache.cpp and startup_cache_plans.cpp only.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "vm/java_home.h"

class LaunchSettings;

namespace startup_cache {

/// What one launch does with the cache: the options it adds, the line -verbose prints, and
/// the work that goes on beside the application once the launch's own checks have passed.
struct Plan {
    Plan(std::vector<std::string> adds, std::string says, std::function<void()> beside = nullptr)
        : options(std::move(adds)), note(std::move(says)), background(std::move(beside)) {}
    std::vector<std::string> options;
    std::string note;
    std::function<void()> background;
    std::vector<std::string> job;  ///< the background work as a worker's arguments (runMaking)
    bool untilTheLaunchEnds = false;  ///< the background work begins only once the launch has ended
    /// Told, once the VM has started, whether it maps an archive of classes.
    std::function<void(bool)> whenStarted;
    bool guarded = false;  ///< the VM maps a cache: startupCacheCrashed marks it should the VM die
};

/// The files of one application in the cache directory. `stem` names the caches of the
/// current runtime, class path (and what its files hold), options and main class; `prefix`
/// those of the application.
struct CacheFiles {
    std::string directory;
    std::string prefix;  ///< "<application hash>-"
    std::string stem;    ///< directory + prefix + "<key hash>"
    std::string lock;    ///< held by the start that trains, proves or assembles
    std::string proof;   ///< stem + ".ok": the stamp of the archive the runtime accepted
    std::string failed;  ///< stem + ".failed": how many caches the runtime refused
    std::string list;    ///< stem + ".classes": the classes the archive is made from
    std::string grown;   ///< stem + ".new.classes": the classes a later start loaded
    std::string making;  ///< stem + ".making": the archive is being made, or its worker was ended first
    std::string unfinished;  ///< stem + ".unfinished": makings that did not finish, and starts to wait
    std::string crashed; ///< stem + ".crashed": starts with a cache that died in a row, and the last one's archive
    std::string owner;   ///< "<application hash>.app": the application's configuration file
    std::string unused;  ///< "<application hash>.unused": trainings since a start last used a cache
    std::string uses;    ///< "<application hash>.uses": starts that used a cache since one last listed its classes
    std::string application;
};

/// The names of the application's cache files with the key of this launch (`settings` with
/// its defaults applied) on `runtime`, whose VM is loaded from `vmLibrary`.
CacheFiles cacheFiles(const LaunchSettings& settings, const RuntimeFacts& runtime, const std::string& vmLibrary,
                      const std::string& application, const std::string& directory,
                      const std::vector<std::string>& options);

/// The names of the files of the application `application` whose files begin with `prefix`
/// ("<application hash>-"), for the key whose hash is `key`.
CacheFiles filesNamed(const std::string& directory, const std::string& prefix, const std::string& key,
                      const std::string& application);

/// True when `path` is a private regular file that begins with `magic`.
bool hasMagic(const std::string& path, const std::string& magic);

/// True when `archive` is the very file the runtime accepted: a private regular file whose
/// size, times and identity are those the proof recorded. Any write to it since shows.
bool isProven(const CacheFiles& files, const std::string& archive);

/// Records `archive` as accepted by the runtime; false when the record cannot be written.
bool recordProof(const CacheFiles& files, const std::string& archive);

/// Takes the application's lock (files.lock) until this process ends; true also when this
/// process took it before, false when another process holds it or it cannot be made.
bool holdLock(const CacheFiles& files);

/// How many caches of this key the runtime refused, and one more.
int refusals(const CacheFiles& files);
void countRefusal(const CacheFiles& files);

/// Counts a making whose child was killed, stopped at its time limit or short of space: the
/// list stays, and the next makings wait for more starts each time (none after the first).
void countUnfinished(const CacheFiles& files);

/// How many more starts the next making waits after makings that did not finish, this start
/// counted; 0 when it may run now.
int makingDeferred(const CacheFiles& files);

/// Starts with a cache of this key that died of a fatal error, in a row, and whether the last
/// of them mapped `archive` as it is now.
struct Crashes {
    int count = 0;
    bool withThisArchive = false;
};
Crashes crashesOf(const CacheFiles& files, const std::string& archive);

/// What files.crashed is to hold should the start that maps `archive` die: one crash more, and
/// the archive's stamp.
std::string crashRecord(const CacheFiles& files, const std::string& archive);

/// The count kept in a small file of the cache: 0 when there is none.
int readCount(const std::string& path);

/// Makes `path` free for a file of the cache: anything there that is not a private regular
/// file (a link, a FIFO, another user's file, a directory and what it holds) is removed,
/// nothing followed. False when something stays there.
bool clearName(const std::string& path);

/// Removes the files of the application's other keys but those of the `keep` most recently
/// made; a file in use elsewhere stays.
void removeEarlierCaches(const CacheFiles& files, std::size_t keep);

/// Records in `files.owner` whose caches these are, and removes the caches of applications
/// whose configuration file (named by an absolute path) is no longer there.
void removeCachesOfRemovedApplications(const CacheFiles& files);

/// The caches of how many other option sets an application keeps beside the current one.
constexpr std::size_t kOtherKeys = 3;

/// What the plans below need of the launch.
struct Launch {
    std::string javaHome;
    std::string classPath;
    std::vector<std::string> options;  ///< the launch's own VM options
    std::vector<std::string> quiet;    ///< the options that keep the runtime's lines about archives off
};

/// How one range of runtime versions keeps class data: a training start lists the classes it
/// loads, a quiet child of the runtime makes an archive from the list and proves it, and the
/// starts after use it. A new runtime version is a new row of the table in
/// startup_cache_plans.cpp; nothing else names a version.
struct MechanismRow {
    int from;                            ///< first feature version of the range
    int to;                              ///< last one; kEveryLaterVersion for no end
    std::vector<std::string> quiet;      ///< keep the runtime's lines about archives off the console
    std::string training;                ///< names the list a training start writes
    std::vector<std::string> making;     ///< the dump's own options; the list's and archive's follow
    std::vector<std::string> makingLast; ///< what the runtime's dump adds after them
    std::string ending;                  ///< of the archive's file name
    std::string use;                     ///< names the archive to use
    std::string proofMode;               ///< makes the runtime refuse to start without the archive
};
constexpr int kEveryLaterVersion = 1 << 30;

/// The row for a runtime of feature version `version`; null when no runtime of that version
/// keeps class data.
const MechanismRow* mechanismRow(int version);

/// Runs the making that Plan::job describes; false when `job` describes none.
bool runMaking(const std::vector<std::string>& job);

/// What a launch with `row`'s mechanism does with the cache of its key.
Plan planListArchive(const CacheFiles& files, const Launch& launch, const MechanismRow& row);

}  // namespace startup_cache
