// The launcher's one way of reporting a failed launch, a warning, and its usage text. Every
// room of the launch may include this; below it lies only the platform layer.
#pragma once

#include <string>

/// One launch failure: an index into the message table (also the process exit code), the
/// text that replaces the message's "%s", and the launcher's own explanation of it. The
/// explanation has gone to stderr already where the failure was met; a message box, which a
/// user who double-clicked sees instead, shows it under the message's text.
class JavaLauncherException {
public:
    JavaLauncherException(int messageIndex, std::string argument, std::string detail = std::string(),
                          std::string explanation = std::string())
        : messageIndex(messageIndex),
          argument(std::move(argument)),
          detail(std::move(detail)),
          explanation(std::move(explanation)) {}
    int messageIndex;
    std::string argument;
    /// Lines that follow the message's own text (each ending in a line feed); usually empty.
    std::string detail;
    /// The launcher's own explanation, for a message box only (the console has had it).
    std::string explanation;
};

/// Message indices, also exit codes.
enum MessageIndex : int {
    kMsgNoError = 0,
    kMsgNoConsole = 1,
    kMsgNoJvm = 2,
    kMsgCannotLaunchJvm = 3,
    kMsgCannotCreateJvm = 4,
    kMsgNoMainClass = 5,
    kMsgOutOfMemory = 6,
    kMsgCannotOpenConfig = 7,
    kMsgNoJ2se = 8,
    /// After the two warnings: a configuration file or jvm.cfg longer than the reader takes.
    kMsgFileTooLarge = 11,
    /// The launcher cannot tell where its own executable lies.
    kMsgNoOwnDirectory = 12,
    /// A path or text that the VM's options cannot carry (Windows).
    kMsgTextNotForVm = 13,
};

/// Warning numbers for showWarning (message table entry 9 + number).
enum WarningNumber : int { kWarnNone = 0, kWarnNoTavmClient = 1 };

constexpr int kMessageCount = 14;
extern const char* const messageTable[kMessageCount];

/// The usage text that printUsage writes after the product title.
extern const char* const kUsageText;

/// Process-wide: the program name as invoked (argv[0]), kept by JavaLauncher::run.
extern std::string programName;
/// Process-wide: "-nomsgbox" was given; messages go to stdout instead of message boxes.
extern bool noMessageBox;
/// Process-wide: the start journal's file this start is recorded in, which a desktop message
/// window names; empty when there is none.
extern std::string startJournalPath;

/// The message of e formatted with its argument ("%s" replaced), followed by its detail; an
/// index outside the table gives an empty text.
std::string formatMessage(const JavaLauncherException& e);

/// Shows the message (message box, or "Error: ..." on stdout) and returns the message index,
/// the exit code the launch ends with.
int showError(const JavaLauncherException& e);

/// Output that needs a console found none (a windowless executable that could neither attach
/// to its starter's console nor make one): message 1 in a message box, whatever -nomsgbox
/// says, and the process ends with 1.
[[noreturn]] void reportNoConsole();

/// Sets what runs before any message of the table is shown or printed (the splash screen
/// closes, so that nothing hides a message box); null for nothing.
void setBeforeMessage(void (*hook)());

/// Shows warning number w and returns.
void showWarning(int w);

/// The title for message boxes, the prompt's caption and the usage heading: the application's
/// own (the text a ProductTitleSource names) when it is not empty, else the ProductName stamped
/// into the executable, else the launcher's own title for programName; the last two are chosen
/// at the first call and fixed afterwards.
const std::string& productTitle();

/// While it lives, the application's title is read from `title` (the settings' SetProductTitle)
/// at each message, so that every message carries the title the settings hold at that moment.
class ProductTitleSource {
public:
    explicit ProductTitleSource(const std::string& title);
    ~ProductTitleSource();
    ProductTitleSource(const ProductTitleSource&) = delete;
    ProductTitleSource& operator=(const ProductTitleSource&) = delete;

private:
    const std::string* previous_;
};

/// The text a message box shows for e: the formatted message, and under it, after an empty
/// line, the explanation when there is one.
std::string messageBoxText(const JavaLauncherException& e);

/// Title for a program name, without the caching of productTitle.
std::string titleForProgram(const std::string& name);

/// Writes the product title and the usage text to stdout.
void printUsage();
