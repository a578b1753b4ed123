// The search for an installed runtime: the sources in their order, each a group of candidates
// of which the newest fitting one wins, and what is said about them.
#include "vm/java_search.h"

#include <string>

#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/platform.h"
#include "platform/processes.h"

namespace {

const std::string kSeparator(1, platform::kDirSeparator);
const std::size_t kMostRuntimesListed = 20;

/// `path` without trailing separators (a root keeps its own).
std::string withoutTrailingSeparators(std::string path) {
    std::size_t keep = platform::kHasDriveLetters ? 3 : 1;
    while (path.size() > keep && (path.back() == platform::kDirSeparator || path.back() == platform::kForeignSeparator))
        path.pop_back();
    return path;
}

/// The directory that holds `path`'s last part; empty when it has none.
std::string parentOf(const std::string& path) {
    std::size_t start = fileNameStart(path);
    return start > 0 && isSeparator(path[start - 1], kNativePathStyle) ? path.substr(0, start - 1) : std::string();
}

/// The newer of two fitting candidates: a known version is newer than an unknown one.
bool newerThan(const JavaCandidate& a, const JavaCandidate& b) {
    if (!a.version || !b.version) return a.version && !b.version;
    return isNewer(*a.version, *b.version);
}

/// How a directory is told from others: by its name, ignoring letter case where the system does.
std::string seenKey(const std::string& home) { return platform::kNamesIgnoreCase ? lowerCaseCopy(home) : home; }

std::string summaryEntry(const JavaCandidate& candidate, const JavaRequest& request) {
    return candidate.home + " (" + (candidate.version ? candidate.version->text : "version unknown") + ", " +
           (candidate.architecture.empty() ? "architecture unknown" : candidate.architecture) +
           "): " + verdictWords(candidate, request);
}

/// "Java runtimes found: " and the entries of the runtimes among the first `count` examined
/// that `leftOut` does not leave out (nor directories without a runtime: the user looks for
/// what is installed), at most kMostRuntimesListed of them and "and N more" for the rest, so
/// that a machine with thousands of runtimes (a build farm's cache) gets a line a person can
/// read; `last` is named after them. Empty when nothing is named.
template <typename LeftOut>
std::string runtimesFound(const std::vector<JavaCandidate>& examined, const JavaRequest& request, std::size_t count,
                          LeftOut leftOut, const std::string& last = std::string()) {
    std::string list;
    std::size_t listed = 0, more = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (examined[i].verdict == Verdict::NoMarker || leftOut(examined[i])) continue;
        if (listed++ < kMostRuntimesListed) list += (list.empty() ? "" : "; ") + summaryEntry(examined[i], request);
        else ++more;
    }
    if (more != 0) list += "; and " + std::to_string(more) + " more";
    if (!last.empty()) list += (list.empty() ? "" : "; ") + last;
    return list.empty() ? list : "Java runtimes found: " + list + ".\n";
}

}  // namespace

std::optional<JavaCandidate> JavaSearch::tryGroup(const std::string& source, const std::vector<Entry>& entries) {
    std::vector<JavaCandidate> group;
    for (const auto& [home, hint] : entries) {
        // The same runtime is often reachable several ways (links, a registry entry and its
        // folder): it is examined, and named, once, by the path the system resolves it to.
        std::string shown = withoutTrailingSeparators(platform::resolvedPath(home).value_or(home));
        if (!seenHomes_.insert(seenKey(shown)).second) continue;
        group.push_back(examineJavaHome(shown, source, hint, request_));
    }
    const JavaCandidate* best = nullptr;
    for (const JavaCandidate& candidate : group)
        if (candidate.verdict == Verdict::Fits && (!best || newerThan(candidate, *best))) best = &candidate;
    if (verbose_)
        for (const JavaCandidate& candidate : group) printOut(candidateLine(candidate, &candidate == best, request_));
    examined_.insert(examined_.end(), group.begin(), group.end());
    if (!best) return std::nullopt;
    return *best;
}

JavaCandidate JavaSearch::tryHome(const std::string& home, const std::string& source) {
    JavaCandidate candidate = examineJavaHome(home, source, fileNameOf(home), request_);
    seenHomes_.insert(seenKey(withoutTrailingSeparators(platform::resolvedPath(home).value_or(home))));
    if (verbose_) printOut(candidateLine(candidate, candidate.verdict == Verdict::Fits, request_));
    examined_.push_back(candidate);
    return candidate;
}

std::optional<JavaCandidate> JavaSearch::tryPattern(const std::string& pattern, const std::string& source) {
    // A part that is '*' alone stands for each subdirectory there; the version hint is that
    // subdirectory's name ("jdk-17.0.8+7", "temurin-17-jdk").
    std::string full = pattern.compare(0, 1, "*") == 0 ? "." + kSeparator + pattern : pattern;
    std::size_t star = full.find(kSeparator + "*");
    while (star != std::string::npos && star + 2 < full.size() && full[star + 2] != platform::kDirSeparator)
        star = full.find(kSeparator + "*", star + 1);
    std::vector<Entry> entries;
    if (star == std::string::npos) {
        entries.push_back({full, fileNameOf(withoutTrailingSeparators(full))});
    } else {
        std::string parent = full.substr(0, star);
        std::string rest = full.substr(star + 2);
        for (const std::string& name : platform::listDirectories(parent.empty() ? kSeparator : parent))
            entries.push_back({joinPath(parent.empty() ? kSeparator : parent, name) + rest, name});
    }
    return tryGroup(source, entries);
}

std::optional<JavaCandidate> JavaSearch::tryRegistry() {
    std::vector<platform::RegisteredJavaHome> registered = platform::registeredJavaHomes();
    for (std::size_t first = 0; first < registered.size();) {
        std::vector<Entry> entries;
        std::size_t next = first;
        for (; next < registered.size() && registered[next].key == registered[first].key; ++next)
            entries.push_back({registered[next].home, registered[next].version});
        if (std::optional<JavaCandidate> chosen = tryGroup("registry " + registered[first].key, entries)) return chosen;
        first = next;
    }
    return std::nullopt;
}

std::optional<JavaCandidate> JavaSearch::tryPathJava() {
    // The java a command prompt would start: the first absolute PATH entry that has one, its
    // links resolved; its home is the directory above bin.
    for (std::string entry : splitPathList(platform::getEnv("PATH").value_or(std::string()))) {
        entry = withoutTrailingSeparators(entry);
        if (!isAbsolutePath(entry)) continue;
        std::string java = joinPath(entry, platform::kJavaExecutableName);
        if (!platform::isRegularFile(java)) continue;
        std::string resolved = platform::resolvedPath(java).value_or(java);
        return tryGroup("PATH", {{parentOf(parentOf(resolved)), ""}});
    }
    return std::nullopt;
}

std::optional<JavaCandidate> JavaSearch::searchInstalled(const std::vector<std::string>& searchPaths) {
    for (const std::string& place : searchPaths)
        if (std::optional<JavaCandidate> chosen = tryPattern(place, "AddJavaSearchPath " + place)) return chosen;
    std::optional<std::string> javaHome = platform::getEnv("JAVA_HOME");
    if (javaHome && isAbsolutePath(*javaHome))
        if (std::optional<JavaCandidate> chosen = tryGroup("JAVA_HOME", {{*javaHome, fileNameOf(*javaHome)}}))
            return chosen;
    if (std::optional<JavaCandidate> chosen = tryRegistry()) return chosen;
    for (const std::string& folder : platform::usualJavaFolders())
        if (std::optional<JavaCandidate> chosen = tryPattern(folder, "folder " + folder)) return chosen;
    return tryPathJava();
}

std::string JavaSearch::foundSummary() const {
    std::string found =
        runtimesFound(examined_, request_, examined_.size(), [](const JavaCandidate&) { return false; });
    return found.empty() ? "No installed Java runtime was found.\n" : found;
}

std::vector<std::string> JavaSearch::refusals() const {
    std::vector<std::string> lines;
    std::size_t more = 0;
    for (const JavaCandidate& candidate : examined_) {
        if (candidate.verdict == Verdict::Fits) continue;
        if (lines.size() < kMostRuntimesListed) lines.push_back(summaryEntry(candidate, request_) + ", from " + candidate.source);
        else ++more;
    }
    if (more != 0) lines.push_back("and " + std::to_string(more) + " more");
    return lines;
}

std::string JavaSearch::summaryAfterRefusal(const JavaCandidate& answer) const {
    auto key = [](const std::string& home) {
        return seenKey(withoutTrailingSeparators(platform::resolvedPath(home).value_or(home)));
    };
    // The answer (the last examined) is named last, with its verdict even when it holds no
    // runtime; a runtime the search had examined already is named once, as the answer.
    const std::string answerKey = key(answer.home);
    std::size_t before = examined_.empty() ? 0 : examined_.size() - 1;
    return runtimesFound(examined_, request_, before,
                         [&](const JavaCandidate& candidate) { return key(candidate.home) == answerKey; },
                         summaryEntry(answer, request_)) +
           needText(request_) + "\n";
}
