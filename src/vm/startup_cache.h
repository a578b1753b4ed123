// The start-up cache: class data that the Java runtime keeps from one start of the
// application to the next, so that the application's classes are loaded and linked before
// main. The launcher chooses the runtime's best mechanism, names and checks its files in a
// per-user cache directory, and adds the VM options that make or use them. It never fails a
// launch: whatever goes wrong, the launch goes on without the cache.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "vm/java_home.h"

/// The directory a SetStartupCache value names: "on" gives the user's cache directory followed
/// by the launcher's own name (`launcherPath` less its directory, suffix and console variant's
/// 'c'), anything else is a directory as given. Empty when no directory can be named.
std::string startupCacheDirectory(const std::string& setting, const std::string& launcherPath);

/// The work that makes the cache beside the application, and what the launch is to do for it.
struct StartupCacheWork {
    std::function<void()> work;  ///< empty when there is none
    std::vector<std::string> job;  ///< the same work as a worker's arguments, for runStartupCacheJob
    bool untilTheLaunchEnds = false;  ///< the work may begin only once the launch has ended
    /// To be told, once the VM has started, whether it maps an archive of classes (its
    /// java.vm.info says "sharing"); empty when nothing is to be told.
    std::function<void(bool)> whenStarted;
    /// The VM maps a cache: startupCacheCrashed is to be called should it die of a fatal error
    /// (the VM's "abort" hook), and startupCacheEnded when it ends otherwise.
    bool guarded = false;
    /// What the cache does this start, or why it is not used, as -verbose says it.
    std::string note;
};

/// Does the work that StartupCacheWork::job describes, in a worker the launch started for it;
/// false when `job` describes no work of the cache.
bool runStartupCacheJob(const std::vector<std::string>& job);

/// Marks the cache the VM of this process maps as one a start died with, so that the next start
/// runs without it and has it made anew, and after two such starts in a row the cache's key
/// uses none. For the VM's "abort" hook: it only writes one small file prepared beforehand.
/// Does nothing when the VM maps no cache.
void startupCacheCrashed();

/// Clears the mark of crashes in a row when the VM that mapped the cache ends otherwise
/// (main returned, System.exit, a kill the VM handles).
void startupCacheEnded();

/// Adds to `options` (the VM options of the launch, before the class path) what the start-up
/// cache asks for, and makes, checks or replaces its files. `runtime` is what the launch read
/// of the runtime (its release file and the version it states), `vmLibrary` the VM library it
/// loads, chosen from jvm.cfg, whose file the cache is keyed on. `application` tells apart the
/// applications that share a directory (the configuration file's path). With -verbose it says
/// what it did. Never throws; on any failure `options` stays as it was. Returns the work that
/// makes the cache, for platform::runInBackground (or to run at once) once the launch's own
/// checks have passed.
StartupCacheWork appendStartupCacheOptions(const LaunchSettings& settings, const RuntimeFacts& runtime,
                                           const std::string& vmLibrary, const std::string& application,
                                           std::vector<std::string>& options);
