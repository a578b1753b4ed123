// Finding an installed Java runtime that fits the application: versions and ranges, what a
// candidate directory holds (read from its files, never executed), and the search through the
// places where runtimes are installed, in a fixed order.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/launch_settings.h"
#include "config/java_version.h"
#include "vm/java_home.h"

/// What the launch asks of a runtime.
struct JavaRequest {
    VersionRange range;
    /// The VM asked for by name (SetJavaVM); empty: any VM of the runtime's jvm.cfg.
    std::string vmName;
};

/// Why a candidate fits or not.
enum class Verdict { Fits, NoMarker, NoVmLibrary, OtherArchitecture, VersionUnknown, TooOld, TooNew };

/// One directory examined as a Java home.
struct JavaCandidate {
    std::string home;
    std::string source;  ///< where it was found, as the -verbose line and --print-java name it
    std::optional<JavaVersion> version;
    std::string architecture;  ///< of its VM library; empty when unknown
    Verdict verdict = Verdict::NoMarker;
    /// What was read of its files: complete (release and jvm.cfg) for a runtime that fits.
    RuntimeFacts facts;
};

/// Examines the runtime at `home`: the runtime marker, the `release` file's JAVA_VERSION (else
/// `versionHint`'s version, see versionInName) against the range (a version outside it is the
/// verdict, with the architecture the release file's OS_ARCH states), a VM of jvm.cfg that the
/// request allows with its library present, and that library's architecture. Reads files
/// only; never fails.
JavaCandidate examineJavaHome(const std::string& home, const std::string& source, const std::string& versionHint,
                              const JavaRequest& request);

/// The verdict in words: "fits", "too old", "other architecture"...
const char* verdictText(Verdict verdict);

/// The verdict on `candidate` in words, naming the VM `request` asks for where the runtime has
/// no library of it ("no VM library for the VM server").
std::string verdictWords(const JavaCandidate& candidate, const JavaRequest& request);

/// "Java candidate: HOME from SOURCE: version V, ARCH: VERDICT\n", the -verbose line.
std::string candidateLine(const JavaCandidate& candidate, bool chosen, const JavaRequest& request);

/// "This application needs Java 17 or later, 64-bit.", said when asking the user.
std::string needText(const JavaRequest& request);

/// The lines --print-java writes for the chosen runtime: home, version, architecture, found.
std::string javaReport(const JavaCandidate& candidate);

/// The search through the places where runtimes are installed. Each source is a group of
/// candidates (one folder pattern, one registry key): the first group that holds a fitting
/// runtime wins, and inside it the newest. A directory seen once is not examined again.
class JavaSearch {
public:
    JavaSearch(JavaRequest request, bool verbose) : request_(std::move(request)), verbose_(verbose) {}

    /// Examines `home` as a group of its own (the configured home, the remembered one, the
    /// user's answer), counting it among the found.
    JavaCandidate tryHome(const std::string& home, const std::string& source);
    /// The sources after the configured home and the remembered answer, in order: the
    /// application's own places (`searchPaths`), JAVA_HOME, the registry, the usual folders,
    /// the java on PATH. Stops at the first that yields a fitting runtime.
    std::optional<JavaCandidate> searchInstalled(const std::vector<std::string>& searchPaths);
    /// The second line of message 8: the runtimes found and why each did not fit, the first
    /// 20 of them and "and N more".
    std::string foundSummary() const;
    /// One line for each runtime examined that does not fit ("HOME (version, architecture):
    /// verdict, from SOURCE"), the first 20 of them and "and N more", as message 8 bounds them.
    std::vector<std::string> refusals() const;
    /// Message 8's lines after the user's answer (examined last, by tryHome) was refused: the
    /// runtimes found, each once, the answer among them with why it did not fit, whatever it
    /// holds, then what the application needs.
    std::string summaryAfterRefusal(const JavaCandidate& answer) const;

    const JavaRequest& request() const { return request_; }
    /// Whether the search says what it examines (-verbose).
    bool verbose() const { return verbose_; }

private:
    using Entry = std::pair<std::string, std::string>;  // a home and its version hint
    std::optional<JavaCandidate> tryGroup(const std::string& source, const std::vector<Entry>& entries);
    std::optional<JavaCandidate> tryPattern(const std::string& pattern, const std::string& source);
    std::optional<JavaCandidate> tryRegistry();
    std::optional<JavaCandidate> tryPathJava();

    JavaRequest request_;
    bool verbose_;
    std::set<std::string> seenHomes_;
    std::vector<JavaCandidate> examined_;
};

/// Removes the answer remembered for `configPath` and says in `report` what it removed, or that
/// there was none; false, with `report` saying so, when the file could not be removed.
bool forgetJavaHome(const std::string& configPath, std::string& report);

/// The Java home remembered for the configuration file at `configPath`, when a file of this
/// user's settings holds one for exactly that path and is trusted as the start-up cache's files
/// are (a regular file, not a link, the user's own, that nobody else may write, in a folder of
/// the same kind); nullopt otherwise, with a line when `verbose` and a file was there.
std::optional<std::string> rememberedJavaHome(const std::string& configPath, bool verbose = false);

/// Keeps `home` as the answer for `configPath` in this user's settings; false when it cannot
/// be written (the launch goes on without it).
bool rememberJavaHome(const std::string& configPath, const std::string& home);
