#include "vm/runtime_check.h"

#include <cstdlib>
#include <optional>

#include "config/config_file_parser.h"
#include "base/path_names.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/user_interface.h"
#include "vm/java_search.h"

bool hasJavaExe(const std::string& javaHome) { return platform::exists(javaHome + platform::kJavaExecutable); }

namespace {

/// True, with `text` cut where it begins, when the first occurrence of `ending` ends `text`.
bool cutEnding(std::string& text, const std::string& ending) {
    std::size_t at = text.find(ending);
    if (at == std::string::npos || at + ending.size() != text.size()) return false;
    text.erase(at);
    return true;
}

const char kConfiguredSource[] = "the configured Java home";

[[noreturn]] void reportJavaAndExit(const JavaCandidate& candidate) {
    printOut(javaReport(candidate));
    std::exit(0);
}

std::optional<JavaCandidate> fitting(const JavaCandidate& candidate) {
    if (candidate.verdict != Verdict::Fits) return std::nullopt;
    return candidate;
}

}  // namespace

std::string javaHomeFromAnswer(const std::string& answer) {
    std::string home = answer;
    // "Copy as path" in Explorer puts the path in double quotes.
    if (home.size() >= 2 && home.front() == '"' && home.back() == '"') home = home.substr(1, home.size() - 2);
    if (!cutEnding(home, platform::kJreJavaExecutable)) cutEnding(home, platform::kJavaExecutable);
    return home;
}

JavaLauncherException javaNotFound(const std::string& downloadUrl, const std::string& path, std::string detail) {
    if (!downloadUrl.empty()) detail += "Get Java at " + downloadUrl + "\n";
    return JavaLauncherException(kMsgNoJ2se, path, detail);
}

std::string promptForJavaExe(const std::string& need, const std::string& downloadUrl) {
    // The program name is completed with the executable suffix first, so that the dialog's
    // caption (the product title) is chosen from the completed name.
    programName = withExeSuffix(programName);
    // Under -nomsgbox no window may wait for a click that an unattended start never gives.
    std::optional<std::string> answer = platform::askForJavaExecutable(productTitle(), need, !noMessageBox, downloadUrl);
    if (!answer) return std::string();
    return javaHomeFromAnswer(*answer);
}

bool ConfigFileParser::searchesForJava() const {
    return javaSearch == JavaSearchSetting::On || (javaSearch == JavaSearchSetting::Unset && javaVersionMin != 0);
}

void ConfigFileParser::ensureJavaRuntime(bool verboseSearch, bool printJava) {
    if (searchesForJava()) {
        findFittingJava(verboseSearch, printJava);
        return;
    }
    if (printJava) {
        JavaSearch search(JavaRequest{{}, vmName}, verboseSearch);
        JavaCandidate candidate = search.tryHome(javaHome, kConfiguredSource);
        if (candidate.verdict == Verdict::NoMarker) throw javaNotFound(javaDownloadUrl, javaHome);
        reportJavaAndExit(candidate);
    }
    if (hasJavaExe(javaHome)) return;
    std::string candidate = promptForJavaExe(std::string(), javaDownloadUrl);
    // A cancelled prompt gives the empty text, which is never tested as a Java home: it would
    // make the root directory the runtime wherever a root-level bin/java exists.
    if (!candidate.empty() && hasJavaExe(candidate)) {
        processdirective(kSetJavaHome, candidate);
        javaHomeChosen = true;
        return;
    }
    throw javaNotFound(javaDownloadUrl, candidate);
}

void ConfigFileParser::findFittingJava(bool verboseSearch, bool printJava) {
    JavaSearch search(JavaRequest{{javaVersionMin, javaVersionMax}, vmName}, verboseSearch);
    // The configured home that fits costs nothing more: no other place is looked at.
    std::optional<JavaCandidate> chosen = fitting(search.tryHome(javaHome, kConfiguredSource));
    if (!chosen)
        if (std::optional<std::string> remembered = rememberedJavaHome(configPath))
            chosen = fitting(search.tryHome(*remembered, "remembered answer"));
    if (!chosen) chosen = search.searchInstalled(javaSearchPaths);
    if (chosen) {
        useChosenJava(chosen->home);
        if (printJava) reportJavaAndExit(*chosen);
        return;
    }
    if (printJava) throw javaNotFound(javaDownloadUrl, std::string(), search.foundSummary());
    std::string answer = promptForJavaExe(needText(search.request()), javaDownloadUrl);
    if (answer.empty()) throw javaNotFound(javaDownloadUrl, answer, search.foundSummary());
    JavaCandidate candidate = search.tryHome(answer, "your answer");
    if (candidate.verdict != Verdict::Fits) throw javaNotFound(javaDownloadUrl, answer, search.foundSummary());
    useChosenJava(candidate.home);
    rememberJavaHome(configPath, platform::resolvedPath(candidate.home).value_or(candidate.home));
}

void ConfigFileParser::useChosenJava(std::string home) {
    if (home == javaHome) return;
    processdirective(kSetJavaHome, home);
    javaHomeChosen = true;
}
