#include "vm/runtime_check.h"

#include <optional>

#include "config/config_file_parser.h"
#include "config/path_names.h"
#include "messages/messages.h"
#include "platform/platform.h"

bool hasJavaExe(const std::string& javaHome) { return platform::exists(javaHome + platform::kJavaExecutable); }

namespace {

/// True, with `text` cut where it begins, when the first occurrence of `ending` ends `text`.
bool cutEnding(std::string& text, const std::string& ending) {
    std::size_t at = text.find(ending);
    if (at == std::string::npos || at + ending.size() != text.size()) return false;
    text.erase(at);
    return true;
}

}  // namespace

std::string javaHomeFromAnswer(const std::string& answer) {
    std::string home = answer;
    if (!cutEnding(home, platform::kJreJavaExecutable)) cutEnding(home, platform::kJavaExecutable);
    return home;
}

std::string promptForJavaExe() {
    // The program name is completed with the executable suffix first, so that the dialog's
    // caption (the product title) is chosen from the completed name.
    programName = withExeSuffix(programName);
    std::optional<std::string> answer = platform::askForJavaExecutable(productTitle());
    if (!answer) return std::string();
    return javaHomeFromAnswer(*answer);
}

void ConfigFileParser::ensureJavaRuntime() {
    if (hasJavaExe(javaHome)) return;
    std::string candidate = promptForJavaExe();
    // A cancelled prompt gives the empty text, which is never tested as a Java home: it would
    // make the root directory the runtime wherever a root-level bin/java exists.
    if (!candidate.empty() && hasJavaExe(candidate)) {
        processdirective(kSetJavaHome, candidate);
        return;
    }
    throw JavaLauncherException(kMsgNoJ2se, candidate);
}
