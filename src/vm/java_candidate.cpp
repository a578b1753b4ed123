// What one directory holds as a Java home, read from its files: the runtime marker, the
// release file's version, the VMs of jvm.cfg and their library's architecture.
#include <cctype>
#include <string>

#include "config/config_file_parser.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/libraries.h"
#include "platform/platform.h"
#include "vm/java_search.h"
#include "vm/runtime_check.h"

namespace {

const std::size_t kMaxReleaseBytes = 64 * 1024;
/// Java counts one feature version a half year: a larger one is a made-up name, not a runtime
/// that would be newer than all others.
const int kMaxFeatureVersion = 999;

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

/// The value of `key` in a release file's text (KEY="value" lines), without its quotes.
std::optional<std::string> releaseValue(const std::string& text, const std::string& key) {
    const std::string start = key + "=";
    for (std::size_t at = 0; (at = text.find(start, at)) != std::string::npos; at += start.size()) {
        if (at != 0 && text[at - 1] != '\n') continue;
        std::size_t end = text.find_first_of("\r\n", at);
        std::string value = text.substr(at + start.size(), end == std::string::npos ? end : end - at - start.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

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
std::optional<std::string> allowedVmLibrary(const std::string& home, const std::string& vmName) {
    try {
        ConfigFileParser runtime;
        runtime.javaHome = home;
        for (const std::string& file : platform::jvmCfgCandidates(home))
            if (runtime.readJvmCfg(file)) break;
        std::string library;
        for (const VmEntry& entry : runtime.vmTable) {
            if (!vmName.empty() && entry.name != vmName) continue;
            if (!entry.directory.empty() && runtime.findVmLibrary(entry.directory, library)) return library;
        }
    } catch (...) {
        // A jvm.cfg too long to be read offers no VM.
    }
    return std::nullopt;
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

std::optional<JavaVersion> parseJavaVersion(const std::string& text) {
    if (text.empty() || !isDigit(text[0])) return std::nullopt;
    JavaVersion version;
    std::size_t at = 0;
    while (at < text.size() && isDigit(text[at])) {
        std::size_t end = at;
        while (end < text.size() && isDigit(text[end])) ++end;
        // A number that an int cannot hold is no version any runtime states: read as its first
        // nine digits, it would rank above every real one.
        if (end - at > 9) return std::nullopt;
        version.numbers.push_back(std::stoi(text.substr(at, end - at)));
        at = end;
        if (at + 1 < text.size() && (text[at] == '.' || text[at] == '_') && isDigit(text[at + 1])) ++at;
        else break;
    }
    version.text = text.substr(0, at);
    if (version.numbers.size() > 1 && version.numbers[0] == 1) version.numbers.erase(version.numbers.begin());
    if (version.feature() > kMaxFeatureVersion) return std::nullopt;
    return version;
}

std::optional<JavaVersion> versionInName(const std::string& name) {
    std::size_t first = 0;
    while (first < name.size() && !isDigit(name[first])) ++first;
    return parseJavaVersion(name.substr(first));
}

bool isNewer(const JavaVersion& a, const JavaVersion& b) { return a.numbers > b.numbers; }

std::optional<VersionRange> parseVersionRange(const std::string& text) {
    std::size_t dash = text.find('-');
    std::string low = text.substr(0, dash);
    std::string high = dash == std::string::npos ? std::string() : text.substr(dash + 1);
    std::optional<JavaVersion> min = parseJavaVersion(low);
    std::optional<JavaVersion> max = parseJavaVersion(high);
    if (!min || min->text != low || min->feature() < 1) return std::nullopt;
    if (dash != std::string::npos && (!max || max->text != high || max->feature() < min->feature()))
        return std::nullopt;
    return VersionRange{min->feature(), max ? max->feature() : 0};
}

JavaCandidate examineJavaHome(const std::string& home, const std::string& source, const std::string& versionHint,
                              const JavaRequest& request) {
    JavaCandidate candidate;
    candidate.home = home;
    candidate.source = source;
    if (home.empty() || !hasJavaExe(home)) return candidate;
    // Only a regular file is read: a FIFO of that name would wait for a writer for ever.
    std::optional<std::string> release =
        platform::readFileStart(home + platform::kDirSeparator + "release", kMaxReleaseBytes);
    std::optional<std::string> stated = release ? releaseValue(*release, "JAVA_VERSION") : std::nullopt;
    candidate.version = stated ? parseJavaVersion(*stated) : versionInName(versionHint);
    // A version outside the range settles it: its architecture is what the release file says,
    // and neither jvm.cfg nor the VM library is read, which keeps a search over many old
    // runtimes quick.
    if (candidate.version && versionVerdict(*candidate.version, request.range) != Verdict::Fits) {
        candidate.verdict = versionVerdict(*candidate.version, request.range);
        candidate.architecture = releaseArchitecture(release);
        return candidate;
    }
    std::optional<std::string> library = allowedVmLibrary(home, request.vmName);
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

std::string candidateLine(const JavaCandidate& candidate, bool chosen, const JavaRequest& request) {
    std::string verdict = chosen ? "chosen" : verdictText(candidate.verdict);
    if (candidate.verdict == Verdict::NoVmLibrary && !request.vmName.empty())
        verdict = "no VM library for the VM " + request.vmName;
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
