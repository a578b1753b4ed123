#include "messages/messages.h"

#include <cstdio>
#include <cstdlib>

#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "platform/user_interface.h"

std::string programName;
bool noMessageBox = false;
std::string startJournalPath;

const char* const messageTable[kMessageCount] = {
    "No Error",
    "Unable to allocate console",
    "Unable to find a Java Virtual Machine.",
    "Unable to launch the Java Virtual Machine\nLocated at path:\n%s",
    "Unable to create an instance of the Java Virtual Machine\nLocated at path:\n%s",
    "Unable to find main class.\nClass specified is: %s",
    "Out of memory, unable to invoke application.",
    "Unable to open the following configuration file:\n[%s]",
    "Cannot find a J2SE SDK installed at path:%s.\n",
    "No Warning",
    // clang-format off
    "The Ombrix Java Virtual Machine Client is not installed.\nProfiling and Optivane will not be available,\nand Debugging performance will be slower\nthan with TAVM Client.",
    "Unable to read the following file, it is larger than 128 MiB:\n[%s]",
    "Unable to find the launcher's own directory.\nStarted as: %s",
    "Unable to give the Java Virtual Machine the following text:\n[%s]\nThe system's code page cannot represent some of its characters, and no short (8.3) name of a file stands in for it.",
    // clang-format on
};

const char* const kUsageText =
    "Commands: \n\n"
    "-verbose                 Show JNI options\n"
    "-tavm                    Use TAVM client as the Java VM\n"
    "-client                  Use Client as the Java VM\n"
    "-server                  Use Hotspot Server as the Java VM\n"
    "--<directive>=<value>    Override a directive from the configuration file\n"
    "-J<flag>                 Pass <flag> directly to the runtime system\n"
    "-conf[igure] <file.conf> Use the specified configuration file\n"
    "-multi                   Start a new instance\n"
    "-migrate                 Migrate user settings from a previous installation\n";

namespace {

bool useMessageBox() { return platform::kHasMessageBox && !noMessageBox; }

void (*beforeMessage)() = nullptr;

/// Clears the screen for a message: nothing the launcher shows may hide it.
void prepareForMessage() {
    if (beforeMessage) beforeMessage();
}

}  // namespace

void setBeforeMessage(void (*hook)()) { beforeMessage = hook; }

void reportNoConsole() {
    prepareForMessage();
    platform::showMessageBox(messageTable[kMsgNoConsole], productTitle());
    std::exit(kMsgNoConsole);
}

std::string formatMessage(const JavaLauncherException& e) {
    if (e.messageIndex < 0 || e.messageIndex >= kMessageCount) return std::string();
    std::string text = messageTable[e.messageIndex];
    std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, e.argument);
    return text + e.detail;
}

std::string messageBoxText(const JavaLauncherException& e) {
    std::string text = formatMessage(e);
    if (!e.explanation.empty()) text += "\n\n" + e.explanation;
    return text;
}

int showError(const JavaLauncherException& e) {
    prepareForMessage();
    if (useMessageBox()) {
        // The box shortens what does not fit by whole lines (platform::showMessageBox); the
        // console gets the whole text.
        platform::showMessageBox(messageBoxText(e), productTitle());
    } else {
        // The explanation is on stderr already, written where the failure was met.
        printOut("Error: " + formatMessage(e) + "\n");
        if (!noMessageBox) platform::showDesktopMessage(messageBoxText(e), productTitle(), startJournalPath);
    }
    return e.messageIndex;
}

void showWarning(int w) {
    int index = 9 + w;
    std::string text = (index >= 9 && index < kMessageCount) ? messageTable[index] : "";
    prepareForMessage();
    if (useMessageBox()) {
        platform::showMessageBox(text, productTitle());
    } else {
        printOut("Warning: " + text + "\n");
        if (!noMessageBox) platform::showDesktopMessage(text, productTitle(), startJournalPath);
    }
}

std::string titleForProgram(const std::string& name) {
    // Tool names are ASCII; file names ignore their case on Windows.
    std::string base = fileNameOf(lowerCaseCopy(name), PathStyle::Windows);
    struct Tool {
        const char* name;
        const char* title;
    };
    static const Tool tools[] = {
        {"dbwork", "Ombrix Tabulon R7"},
        {"zeaudit", "Ombrix Halverant Audit R7"},
        {"zemetrics", "Ombrix Halverant Metrics R7"},
    };
    for (const Tool& tool : tools)
        if (base == tool.name || base == std::string(tool.name) + ".exe") return tool.title;
    return "Ombrix Halverant R7";
}

namespace {

const std::string*& applicationTitle() {
    static const std::string* title = nullptr;
    return title;
}

}  // namespace

ProductTitleSource::ProductTitleSource(const std::string& title) : previous_(applicationTitle()) { applicationTitle() = &title; }

ProductTitleSource::~ProductTitleSource() { applicationTitle() = previous_; }

const std::string& productTitle() {
    if (applicationTitle() && !applicationTitle()->empty()) return *applicationTitle();
    static const std::string title = platform::stampedProductName().value_or(titleForProgram(programName));
    return title;
}

void printUsage() {
    printOut(productTitle() + "\n\n");
    printOut(std::string(kUsageText) + "\n");
}
