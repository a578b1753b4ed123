#include "vm/runtime_check.h"

#include <optional>
#include <utility>

#include "base/path_names.h"
#include "messages/messages.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/user_interface.h"
#include "vm/java_search.h"

namespace {

/// The answer without enclosing double quotes: "Copy as path" in Explorer puts them there.
std::string unquoted(const std::string& answer) {
    if (answer.size() >= 2 && answer.front() == '"' && answer.back() == '"') return answer.substr(1, answer.size() - 2);
    return answer;
}

/// True, with `text` cut where it begins, when the first occurrence of `ending` ends `text`.
bool cutEnding(std::string& text, const std::string& ending) {
    std::size_t at = text.find(ending);
    if (at == std::string::npos || at + ending.size() != text.size()) return false;
    text.erase(at);
    return true;
}

const char kConfiguredSource[] = "the configured Java home";

std::optional<JavaCandidate> fitting(const JavaCandidate& candidate) {
    if (candidate.verdict != Verdict::Fits) return std::nullopt;
    return candidate;
}

/// `home`, chosen by the search or the user, as the Java home of the rest of the launch: the
/// configured one as it is, another as SetJavaHome would keep it.
std::string chosenHome(const LaunchSettings& settings, const std::string& home) {
    return home == settings.configuredJavaHome ? home : javaHomeAsSet(home);
}

/// The facts of the runtime the search chose, under its home as the launch writes it.
RuntimeFacts factsOfChoice(const LaunchSettings& settings, JavaCandidate chosen) {
    chosen.facts.home = chosenHome(settings, chosen.home);
    return std::move(chosen.facts);
}

/// The configured home when it fits, else the remembered answer when it fits, else the first
/// fitting runtime of the installed ones.
std::optional<JavaCandidate> searchFitting(JavaSearch& search, const LaunchSettings& settings) {
    // The configured home that fits costs nothing more: no other place is looked at.
    std::optional<JavaCandidate> chosen = fitting(search.tryHome(settings.configuredJavaHome, kConfiguredSource));
    if (!chosen)
        if (std::optional<std::string> remembered = rememberedJavaHome(settings.configPath, search.verbose()))
            chosen = fitting(search.tryHome(*remembered, "remembered answer"));
    if (!chosen) chosen = search.searchInstalled(settings.javaSearchPaths);
    return chosen;
}

JavaRequest requestOf(const LaunchSettings& settings, bool searching) {
    if (!searching) return JavaRequest{{}, settings.vmName};
    return JavaRequest{{settings.javaVersionMin, settings.javaVersionMax},
                       settings.searchedVmName.value_or(settings.vmName)};
}

JavaCandidate askForFittingJava(const LaunchSettings& settings, JavaSearch& search) {
    const std::string& downloadUrl = settings.javaDownloadUrl;
    std::string answer = promptForJavaExe(needText(search.request()), downloadUrl);
    if (answer.empty()) throw javaNotFound(downloadUrl, answer, search.foundSummary());
    JavaCandidate candidate = search.tryHome(answer, "your answer");
    if (candidate.verdict != Verdict::Fits) throw javaNotFound(downloadUrl, answer, search.summaryAfterRefusal(candidate));
    rememberJavaHome(settings.configPath, platform::resolvedPath(candidate.home).value_or(candidate.home));
    return candidate;
}

}  // namespace

std::string javaHomeFromAnswer(const std::string& answer) {
    std::string home = unquoted(answer);
    if (!cutEnding(home, platform::kJreJavaExecutable)) cutEnding(home, platform::kJavaExecutable);
    return home;
}

JavaLauncherException javaNotFound(const std::string& downloadUrl, const std::string& path, std::string detail) {
    if (!downloadUrl.empty()) detail += "Get Java at " + downloadUrl + "\n";
    return JavaLauncherException(kMsgNoJ2se, path, detail);
}

std::string promptForJavaExe(const std::string& need, const std::string& downloadUrl) {
    // Under -nomsgbox no window may wait for a click that an unattended start never gives.
    std::optional<std::string> answer = platform::askForJavaExecutable(productTitle(), need, !noMessageBox, downloadUrl);
    if (!answer) return std::string();
    std::string home = javaHomeFromAnswer(*answer);
    // ".../jre/bin/java" names the directory above jre where that is a runtime (a JDK with its
    // own jre), and the jre itself where that directory is none.
    std::string jre = unquoted(*answer);
    if (cutEnding(jre, platform::kJavaExecutable) && jre != home && !hasJavaExe(home) && hasJavaExe(jre)) return jre;
    return home;
}

RuntimeFacts ensureJavaRuntime(const LaunchSettings& settings, bool verboseSearch, std::vector<std::string>* refusals) {
    if (settings.searchesForJava()) {
        JavaSearch search(requestOf(settings, true), verboseSearch);
        std::optional<JavaCandidate> chosen = searchFitting(search, settings);
        if (refusals) *refusals = search.refusals();
        return factsOfChoice(settings, chosen ? std::move(*chosen) : askForFittingJava(settings, search));
    }
    if (hasJavaExe(settings.configuredJavaHome)) return readRuntimeFacts(settings.configuredJavaHome);
    // The answer of an earlier start, while it still holds a runtime, asks no more.
    if (std::optional<std::string> remembered = rememberedJavaHome(settings.configPath, verboseSearch))
        if (hasJavaExe(*remembered)) return readRuntimeFacts(chosenHome(settings, *remembered));
    std::string candidate = promptForJavaExe(std::string(), settings.javaDownloadUrl);
    // A cancelled prompt gives the empty text, which is never tested as a Java home: it would
    // make the root directory the runtime wherever a root-level bin/java exists.
    if (!candidate.empty() && hasJavaExe(candidate)) {
        rememberJavaHome(settings.configPath, platform::resolvedPath(candidate).value_or(candidate));
        return readRuntimeFacts(chosenHome(settings, candidate));
    }
    throw javaNotFound(settings.javaDownloadUrl, candidate);
}

JavaCandidate javaToReport(const LaunchSettings& settings, bool verboseSearch) {
    JavaSearch search(requestOf(settings, settings.searchesForJava()), verboseSearch);
    if (!settings.searchesForJava()) {
        JavaCandidate candidate = search.tryHome(settings.configuredJavaHome, kConfiguredSource);
        if (candidate.verdict != Verdict::NoMarker) return candidate;
        // The start would take the remembered answer then, as it is.
        if (std::optional<std::string> remembered = rememberedJavaHome(settings.configPath, verboseSearch)) {
            JavaCandidate answer = search.tryHome(*remembered, "remembered answer");
            if (answer.verdict != Verdict::NoMarker) return answer;
        }
        throw javaNotFound(settings.javaDownloadUrl, settings.configuredJavaHome);
    }
    std::optional<JavaCandidate> chosen = searchFitting(search, settings);
    if (!chosen) throw javaNotFound(settings.javaDownloadUrl, std::string(), search.foundSummary());
    return *chosen;
}
