// The launcher's own windows on a POSIX system: there are none; the question goes to the
// terminal and messages to the console.
#include "platform/user_interface.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/console.h"

namespace platform {

void showMessageBox(const std::string& text, const std::string& caption) {
    // There is no message box here; callers write to the console instead.
    (void)text;
    (void)caption;
}

std::optional<std::string> askForJavaExecutable(const std::string& title, const std::string& need, bool,
                                                const std::string& downloadUrl) {
    if (!::isatty(STDIN_FILENO)) return std::nullopt;
    std::string question = title + "\n" + (need.empty() ? "" : need + "\n") +
                           (downloadUrl.empty() ? "" : "Get Java at " + downloadUrl + "\n") +
                           "Enter the full pathname for java: ";
    std::fputs(question.c_str(), stderr);
    std::fflush(stderr);
    std::string answer;
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') answer += static_cast<char>(c);
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
    if (answer.empty()) return std::nullopt;
    if (answer.size() > 259) answer.resize(259);
    return answer;
}

// A POSIX executable carries no version information.
std::optional<std::string> stampedProductName() { return std::nullopt; }

}  // namespace platform
