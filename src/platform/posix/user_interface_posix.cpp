// The launcher's own windows on a POSIX system: none of its own. The question goes to the
// terminal and messages to the console; without a terminal, on a desktop, a message also goes
// to a window of the desktop's own tools, and the question becomes their folder chooser.
#include "platform/user_interface.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/posix/child_output.h"
#include "platform/processes.h"

namespace platform {
namespace {

bool anyTerminal() { return ::isatty(STDIN_FILENO) || ::isatty(STDOUT_FILENO) || ::isatty(STDERR_FILENO); }

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (!getEnvExactName(name).value_or(std::string()).empty()) return true;
    return false;
}

/// The executable regular file `name` in the first directory of PATH that has one.
std::optional<std::string> onPath(const std::string& name) {
    for (const std::string& directory : splitPathList(getEnvExactName("PATH").value_or(std::string()))) {
        // A relative entry is the working directory's, which names no desktop tool.
        if (!isAbsolutePath(directory)) continue;
        std::string file = joinPath(directory, name);
        struct stat st;
        if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(file.c_str(), X_OK) == 0) return file;
    }
    return std::nullopt;
}

/// The desktop tools that show a message, in the order they are tried, with their arguments.
std::vector<std::vector<std::string>> messageTools(const std::string& text, const std::string& caption) {
    return {
        {"zenity", "--warning", "--no-markup", "--title=" + caption, "--text=" + text},
        {"kdialog", "--title", caption, "--sorry", text},
        {"notify-send", "--urgency=critical", "--", caption, text},
        {"xmessage", "-title", caption, "-center", "-buttons", "OK", "-default", "OK", text},
    };
}

/// The desktop tools that ask for a folder, in the order they are tried, with their arguments.
std::vector<std::vector<std::string>> folderChoosers(const std::string& heading) {
    return {
        {"zenity", "--file-selection", "--directory", "--title=" + heading},
        {"kdialog", "--title", heading, "--getexistingdirectory"},
    };
}

/// The Java folder the user chooses in the first folder chooser of the desktop found on PATH;
/// nullopt when there is none, none could be run, or the user cancelled.
std::optional<std::string> chooseJavaFolder(const std::string& title, const std::string& need) {
    std::string heading = title + ": choose the Java folder" + (need.empty() ? "" : " (" + need + ")");
    for (const std::vector<std::string>& tool : folderChoosers(heading)) {
        std::optional<std::string> program = onPath(tool[0]);
        if (!program) continue;
        std::string chosen;
        int code = runQuietlyReading(*program, tool, kDesktopMessageSeconds, &chosen);
        if (code == -1 || code == 127) continue;
        // The folder, on one line of its own; anything else is no answer.
        if (code != 0 || chosen.empty() || chosen.back() != '\n') return std::nullopt;
        chosen.pop_back();
        if (chosen.empty() || chosen.find('\n') != std::string::npos) return std::nullopt;
        return chosen;
    }
    return std::nullopt;
}

}  // namespace

void showMessageBox(const std::string& text, const std::string& caption) {
    // There is no message box here; callers write to the console instead.
    (void)text;
    (void)caption;
}

bool showDesktopMessage(const std::string& text, const std::string& caption, const std::string& journal) {
    if (anyTerminal() || !hasDisplay()) return false;
    // The window goes once it is closed; the journal keeps what it said, and more.
    std::string shown = journal.empty() ? text : text + "\n\nThis start is recorded in " + journal;
    for (const std::vector<std::string>& tool : messageTools(shown, caption)) {
        std::optional<std::string> program = onPath(tool[0]);
        if (!program) continue;
        // 127: the tool could not be run after all (the child's exec failed): try the next.
        int code = runQuietly(*program, tool, kDesktopMessageSeconds);
        if (code != -1 && code != 127) return true;
    }
    return false;
}

std::optional<std::string> askForJavaExecutable(const std::string& title, const std::string& need, bool windowAllowed,
                                                const std::string& downloadUrl) {
    if (!::isatty(STDIN_FILENO)) {
        if (!windowAllowed || anyTerminal() || !hasDisplay()) return std::nullopt;
        return chooseJavaFolder(title, need);
    }
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
std::optional<std::string> stampedCompanyName() { return std::nullopt; }

// The desktops group a Java application's windows by their WM_CLASS, which the VM's toolkit sets.
std::optional<std::string> setTaskbarIdentity(const std::string&) { return std::nullopt; }

}  // namespace platform
