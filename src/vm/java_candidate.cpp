// What one directory holds as a Java home, read from its files: the runtime marker, the
// release file's version, the VMs of jvm.cfg and their library's architecture.
#include <string>

#include "config/launch_settings.h"
#include "messages/messages.h"
#include "platform/libraries.h"
#include "vm/java_search.h"
#include "vm/vm_selection.h"

namespace {

/// The architecture a release file's OS_ARCH states, in the words of the VM library's check.
std::string releaseArchitecture(const std::optional<std::string>& release) {
    std::string arch = release ? releaseValue(*release, "OS_ARCH").value_or(std::string()) : std::string();
    if (arch == "x86_64" || arch == "amd64") return "64-bit";
    if (arch == "x86" || arch == "i386" || arch == "i586" || arch == "i686") return "32-bit";
    return arch;
}

/// The verdict on a known version against the range: TooOld, TooNew, or Fits.
Verdict versionVerdict(const JavaVersion& version, const VersionRange& range) {
    if (range.min != 0 && version.feature() < range.min) return Verdict::TooOld;
    if (range.max != 0 && version.feature() > range.max) return Verdict::TooNew;
    return Verdict::Fits;
}

/// The library of a VM that the request allows, when jvm.cfg lists one whose library is there.
std::optional<std::string> allowedVmLibrary(const RuntimeFacts& facts, const std::string& vmName) {
    for (const VmEntry& entry : facts.vmTable) {
        if (!vmName.empty() && entry.name != vmName) continue;
        if (entry.directory.empty()) continue;
        if (std::optional<std::string> library = findVmLibrary(facts.home, entry.directory)) return library;
    }
    return std::nullopt;
}

/// The runtime's jvm.cfg into `facts`; one too long to be read offers no VM.
void readVmTable(RuntimeFacts& facts) {
    try {
        facts.vmTable = jvmCfgOf(facts.home, facts.jvmCfgFound);
    } catch (const JavaLauncherException&) {
        facts.vmTable.clear();
        facts.jvmCfgFound = false;
    }
}

}  // namespace

const char* verdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Fits: return "fits";
    case Verdict::NoMarker: return "no runtime marker";
    case Verdict::NoVmLibrary: return "no VM library for the VM asked for";
    case Verdict::OtherArchitecture: return "other architecture";
    case Verdict::VersionUnknown: return "version unknown";
    case Verdict::TooOld: return "too old";
    case Verdict::TooNew: return "too new";
    }
    return "";
}

JavaCandidate examineJavaHome(const std::string& home, const std::string& source, const std::string& versionHint,
                              const JavaRequest& request) {
    JavaCandidate candidate;
    candidate.home = home;
    candidate.source = source;
    if (home.empty() || !hasJavaExe(home)) return candidate;
    RuntimeFacts& facts = candidate.facts;
    facts.home = home;
    std::optional<std::string> release = releaseText(home);
    facts.release = release.value_or(std::string());
    std::optional<std::string> stated = release ? releaseValue(*release, "JAVA_VERSION") : std::nullopt;
    if (stated) facts.releaseVersion = parseJavaVersion(*stated);
    candidate.version = stated ? facts.releaseVersion : versionInName(versionHint);
    // A version outside the range settles it: its architecture is what the release file says,
    // and neither jvm.cfg nor the VM library is read, which keeps a search over many old
    // runtimes quick.
    if (candidate.version && versionVerdict(*candidate.version, request.range) != Verdict::Fits) {
        candidate.verdict = versionVerdict(*candidate.version, request.range);
        candidate.architecture = releaseArchitecture(release);
        return candidate;
    }
    readVmTable(facts);
    std::optional<std::string> library = allowedVmLibrary(facts, request.vmName);
    std::optional<platform::LibraryArchitecture> architecture =
        library ? platform::libraryArchitecture(*library) : std::nullopt;
    if (architecture) candidate.architecture = architecture->name;
    if (!architecture)
        candidate.verdict = Verdict::NoVmLibrary;
    else if (!architecture->own)
        candidate.verdict = Verdict::OtherArchitecture;
    else if (request.range.min != 0 && !candidate.version)
        candidate.verdict = Verdict::VersionUnknown;
    else
        candidate.verdict = Verdict::Fits;
    return candidate;
}

std::string verdictWords(const JavaCandidate& candidate, const JavaRequest& request) {
    if (candidate.verdict == Verdict::NoVmLibrary && !request.vmName.empty())
        return "no VM library for the VM " + request.vmName;
    return verdictText(candidate.verdict);
}

std::string candidateLine(const JavaCandidate& candidate, bool chosen, const JavaRequest& request) {
    std::string verdict = chosen ? "chosen" : verdictWords(candidate, request);
    return "Java candidate: " + candidate.home + " from " + candidate.source + ": version " +
           (candidate.version ? candidate.version->text : "unknown") + ", " +
           (candidate.architecture.empty() ? "architecture unknown" : candidate.architecture) + ": " + verdict + "\n";
}

std::string needText(const JavaRequest& request) {
    const VersionRange& range = request.range;
    std::string java = "a Java runtime";
    if (range.min != 0 && range.max == 0) java = "Java " + std::to_string(range.min) + " or later";
    else if (range.min != 0 && range.max == range.min) java = "Java " + std::to_string(range.min);
    else if (range.min != 0) java = "Java " + std::to_string(range.min) + " to " + std::to_string(range.max);
    return "This application needs " + java + ", " + platform::kOwnArchitecture + ".";
}

std::string javaReport(const JavaCandidate& candidate) {
    return "home: " + candidate.home + "\nversion: " + (candidate.version ? candidate.version->text : "unknown") +
           "\narchitecture: " + (candidate.architecture.empty() ? "unknown" : candidate.architecture) +
           "\nfound: " + candidate.source + "\n";
}
