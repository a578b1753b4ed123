// What the launch reads of a Java home, once: its jvm.cfg and its release file, handed on as
// one record to the VM's choice and the start-up cache.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "config/java_version.h"

/// The facts of one runtime, read from its files: the launch's only record of the runtime it
/// uses, from the runtime check on.
struct RuntimeFacts {
    /// The Java home, written as SetJavaHome keeps one (native separators).
    std::string home;
    /// A jvm.cfg was read (the first of platform::jvmCfgCandidates that could be opened).
    bool jvmCfgFound = false;
    std::vector<VmEntry> vmTable;
    /// The release file's text (its start), empty when there is none or it is no regular file.
    std::string release;
    /// The version the release file's JAVA_VERSION states; nullopt when it states none.
    std::optional<JavaVersion> releaseVersion;
};

/// The entries of the jvm.cfg at `path`; nullopt when it is missing, cannot be read, is no
/// regular file or is larger than 1 MiB (passed over like a missing one). A device, which may
/// never end, throws JavaLauncherException (kMsgFileTooLarge).
std::optional<std::vector<VmEntry>> readJvmCfg(const std::string& path);

/// Adds to `table` the entry that one jvm.cfg line declares, if any.
void parseJvmCfgLine(const std::string& line, std::vector<VmEntry>& table);

/// The entries of the first jvm.cfg of `home` that can be opened; false in `found` when none
/// can. Throws as readJvmCfg does.
std::vector<VmEntry> jvmCfgOf(const std::string& home, bool& found);

/// The release file of `home`: its text when it is a regular file (a FIFO would wait for a
/// writer for ever), bounded; nullopt otherwise.
std::optional<std::string> releaseText(const std::string& home);

/// The value of `key` in a release file's text (KEY="value" lines), without its quotes.
std::optional<std::string> releaseValue(const std::string& text, const std::string& key);

/// True when `javaHome` followed by the runtime's launcher path (bin/java, bin\java.exe)
/// exists.
bool hasJavaExe(const std::string& javaHome);

/// Reads the facts of `home`: its release file and its jvm.cfg. Throws as readJvmCfg does.
RuntimeFacts readRuntimeFacts(const std::string& home);
