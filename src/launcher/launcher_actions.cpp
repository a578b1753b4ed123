#include "launcher/launcher_actions.h"

#include "launcher/start_journal.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "vm/java_search.h"
#include "vm/runtime_check.h"

namespace {

/// --forget-java: removes this user's remembered Java for the configuration and says what it
/// removed. 0; 1 when the file could not be removed.
int forgetJava(const ActionInputs& inputs) {
    std::string report;
    bool removed = forgetJavaHome(inputs.configPath, report);
    printOut(report);
    return removed ? 0 : 1;
}

/// --last-start: the newest record of the start journal, or why there is none. Always 0.
int showLastStart(const ActionInputs& inputs) {
    printOut(lastStartReport(inputs.configPath));
    return 0;
}

int showUsage(const ActionInputs&) {
    printUsage();
    return 0;
}

/// The usage for a start without its configuration file (the first command a new user types),
/// and a line that says which file it looked for.
int showUsageWithoutConfiguration(const ActionInputs& inputs) {
    printUsage();
    printOut("No configuration file was found at " + inputs.configPath + "\n");
    return 0;
}

/// --print-java: the runtime the start would use and where it was found, searched for as the
/// start would (message 8 when none fits).
int printJava(const ActionInputs& inputs) {
    printOut(javaReport(javaToReport(inputs.settings, inputs.settings.verbose)));
    return 0;
}

struct LauncherAction {
    const char* name;
    /// The argument that asks for it.
    ArgumentKind kind;
    ActionPoint point;
    /// The application may take the argument over (it handles help).
    bool applicationMayTakeIt;
    int (*run)(const ActionInputs&);
};

const LauncherAction kActions[] = {
    // Forgetting needs no configuration that loads, nor any Java: only the answer's file.
    {"--forget-java", ArgumentKind::ForgetJava, ActionPoint::ConfigurationNamed, false, forgetJava},
    // Reading the journal needs no more: it tells why a start without Java failed.
    {"--last-start", ArgumentKind::LastStart, ActionPoint::ConfigurationNamed, false, showLastStart},
    // A user without Java can read the help: no runtime is looked for first.
    {"usage", ArgumentKind::Help, ActionPoint::SettingsRead, true, showUsage},
    // Without a configuration file nothing hands help to the application.
    {"usage", ArgumentKind::Help, ActionPoint::ConfigurationUnreadable, true, showUsageWithoutConfiguration},
    {"--print-java", ArgumentKind::PrintJava, ActionPoint::SearchSettled, false, printJava},
};

}  // namespace

std::optional<int> runLauncherAction(ActionPoint point, const ActionInputs& inputs) {
    for (const LauncherAction& action : kActions) {
        if (action.point != point) continue;
        bool asked = action.applicationMayTakeIt
                         ? launcherTakes(inputs.line, action.kind, inputs.settings.appHandlesHelp)
                         : hasArgument(inputs.line, action.kind);
        if (asked) return action.run(inputs);
    }
    return std::nullopt;
}
