#include "cmdline/command_line.h"

#include <string>

#include "config/launch_settings.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace {

/// The overrides that count before the file is read or before the runtime is searched for;
/// every other directive counts after the file, with the launcher's options. An option that
/// must count early is one row here.
using Operation = void (LaunchSettings::*)(const std::string&);
struct EarlyOverride {
    Operation directive;
    Phase phase;
    /// Applied once more with the launcher's options, in the order typed, where its letter
    /// case matters (the Java home).
    bool againInOrder = false;
};
const EarlyOverride kEarlyOverrides[] = {
    // The title heads every message, the prompt's too, and wins over the file's.
    {&LaunchSettings::setProductTitle, Phase::BeforeFile},
    // Whether the user's own file is read: decided before it would be.
    {&LaunchSettings::setUserSettings, Phase::BeforeUserFile},
    // The search's settings and the home it starts from.
    {&LaunchSettings::setJavaHome, Phase::BeforeSearch, true},
    {&LaunchSettings::setJavaVersion, Phase::BeforeSearch},
    {&LaunchSettings::setJavaSearch, Phase::BeforeSearch},
    {&LaunchSettings::addJavaSearchPath, Phase::BeforeSearch},
    // Message 8, the search's failure, offers it.
    {&LaunchSettings::setJavaDownloadUrl, Phase::BeforeSearch},
};

/// The directives that a command line cannot change, and why: each is refused with a warning.
struct RefusedOverride {
    Operation directive;
    const char* why;
};
const RefusedOverride kRefusedOverrides[] = {
    {&LaunchSettings::addNativeCodePath,
     "java.library.path is made before the command line is read; add the path in the configuration file"},
};

/// The VM words that count for the search, as --SetJavaVM= does, where a runtime is chosen
/// among several (-tavm does not: a runtime without it still starts, after a warning).
const char* const kSearchedVmWords[] = {"-server", "-client"};

const EarlyOverride* earlyRowOf(const Directive& directive) {
    for (const EarlyOverride& row : kEarlyOverrides)
        if (row.directive == directive.apply) return &row;
    return nullptr;
}

const RefusedOverride* refusalOf(const Directive& directive) {
    for (const RefusedOverride& row : kRefusedOverrides)
        if (row.directive == directive.apply) return &row;
    return nullptr;
}

/// True when the override `arg` names the directive whose operation is `operation`.
bool isOverrideOf(const Argument& arg, Operation operation) {
    return arg.kind == ArgumentKind::Override && arg.directive && arg.directive->apply == operation;
}

bool takesConfigFile(const std::string& arg) { return arg == "-conf" || arg == "-configure"; }

/// The kind of an option word (one that is neither "-J...", "--..." nor a VM's name).
ArgumentKind kindOfWord(const std::string& arg) {
    struct Word {
        const char* text;
        ArgumentKind kind;
    };
    static const Word words[] = {
        {"-conf", ArgumentKind::ConfigFile},  {"-configure", ArgumentKind::ConfigFile},
        {"-mainclass", ArgumentKind::MainClass}, {"-update", ArgumentKind::Update},
        {"-multi", ArgumentKind::Multi},      {"-debug", ArgumentKind::Debug},
        {"-uidebug", ArgumentKind::UiDebug},  {"-verbose", ArgumentKind::Verbose},
        {"-?", ArgumentKind::Help},           {"-help", ArgumentKind::Help},
        {"/help", ArgumentKind::Help},        {"/?", ArgumentKind::Help},
    };
    for (const Word& word : words)
        if (arg == word.text) return word.kind;
    return ArgumentKind::Application;
}

bool isVmName(const std::string& name, const std::vector<VmEntry>& vms) {
    for (const VmEntry& entry : vms)
        if (entry.name == name) return true;
    return false;
}

/// Gives every argument but the consumed ones its kind under the option grammar: "-J...",
/// "--..." and a VM's name first, then the option words, "-conf" and "-mainclass" taking the
/// argument after them.
void classify(std::vector<Argument>& arguments, const std::vector<VmEntry>& vms) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        Argument& arg = arguments[i];
        if (arg.kind == ArgumentKind::Consumed) continue;
        const std::string& text = arg.text;
        char second = text.size() > 1 ? text[1] : '\0';
        if (!text.empty() && text[0] == '-' && second == 'J') {
            arg.kind = ArgumentKind::VmOption;
        } else if (!text.empty() && text[0] == '-' && second == '-') {
            arg.kind = text.find('=') != std::string::npos ? ArgumentKind::Override
                       : text == "--print-java"               ? ArgumentKind::PrintJava
                       : text == "--forget-java"              ? ArgumentKind::ForgetJava
                       : text == "--last-start"               ? ArgumentKind::LastStart
                                                               : ArgumentKind::Ignored;
        } else if (!text.empty() && text[0] == '-' && isVmName(text.substr(1), vms)) {
            arg.kind = ArgumentKind::VmName;
        } else {
            arg.kind = kindOfWord(text);
            // The value is the next argument, whatever it is: one the pre-scan took is an empty
            // value, and stays taken.
            bool takesNext = arg.kind == ArgumentKind::ConfigFile || arg.kind == ArgumentKind::MainClass;
            if (takesNext && i + 1 < arguments.size()) {
                ++i;
                if (arguments[i].kind != ArgumentKind::Consumed)
                    arguments[i].kind = arg.kind == ArgumentKind::ConfigFile ? ArgumentKind::ConfigFileValue
                                                                              : ArgumentKind::MainClassValue;
            }
        }
    }
}

/// The pre-scan: "-nomsgbox" inside any argument is taken; "-conf" takes the argument after it.
/// True when the last argument is a "-conf" that would take one more.
bool prescan(CommandLine& line) {
    std::vector<Argument>& arguments = line.arguments;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i].text.find("-nomsgbox") != std::string::npos) {
            arguments[i].kind = ArgumentKind::Consumed;
            line.noMessageBox = true;
        } else if (takesConfigFile(arguments[i].text)) {
            if (i + 1 == arguments.size()) return true;
            line.configFile = arguments[++i].text;
            line.hasConfigFile = true;
        }
    }
    return false;
}

void setUpDebugging(LaunchSettings& settings) {
    if (settings.vmName.empty()) {
        settings.setJavaVm("tavm");
        settings.addVmOption("-XXdebug");
    } else if (settings.vmName == "tavm") {
        settings.addVmOption("-XXdebug");
    } else {
        settings.addVmOption("-Xdebug");
        settings.addVmOption("-Xrunjdwp:transport=dt_socket,server=y,address=4000");
        printOut("\n*** Port is 4000 ***\n*** Waiting for JPDA debugger connection\n");
    }
    settings.multiInstance = true;
}

/// Adds an application argument; `trace` names it on stdout.
void addApplicationArgument(LaunchSettings& settings, const std::string& argument, const std::string& startDirectory,
                            bool trace) {
    std::string candidate = sanitizeArgument(argument, startDirectory);
    if (!argument.empty() && platform::exists(candidate)) {
        settings.appArgs.push_back(candidate);
        if (trace) printOut("Added sanitized app cmd line arg: " + candidate + "\n");
    } else {
        settings.appArgs.push_back(argument);
        if (trace) printOut("Added app cmd line arg: " + argument + "\n");
    }
}

/// An override applied after the file. The search's own settings counted before it ran; the
/// Java home is taken once more as typed (the runtime check took it lower-cased where names
/// ignore case), which matters only where the runtime is the configured one, and the VM once
/// more in its place among the VM words. A directive that cannot count here is refused.
void applyLateOverride(LaunchSettings& settings, const Argument& arg) {
    if (const RefusedOverride* refusal = arg.directive ? refusalOf(*arg.directive) : nullptr) {
        printErr(std::string("WARNING: --") + arg.directive->name + "= is not taken from the command line: " +
                 refusal->why + "\n");
        return;
    }
    const EarlyOverride* early = arg.directive ? earlyRowOf(*arg.directive) : nullptr;
    if (early && early->phase == Phase::BeforeSearch && !early->againInOrder) return;
    settings.applyDirective(arg.name, arg.value);
}

/// Where the search chooses among runtimes, the VM asked for is the last of the command line's
/// --SetJavaVM= and VM words: a runtime that lacks it is passed over. It counts for the search
/// only; the launcher's options set the VM again in their order, which -debug reads as it goes.
void askForSearchedVm(LaunchSettings& settings, const CommandLine& line) {
    if (!settings.searchesForJava()) return;
    for (const Argument& arg : line.arguments) {
        if (isOverrideOf(arg, &LaunchSettings::setJavaVm)) settings.searchedVmName = arg.value;
        for (const char* word : kSearchedVmWords)
            if (arg.kind == ArgumentKind::Application && arg.text == word) settings.searchedVmName = arg.text.substr(1);
    }
}

}  // namespace

std::string sanitizeArgument(const std::string& argument, const std::string& startDirectory) {
    // An empty argument, or one with no start directory to resolve against, stays as typed:
    // joining would turn it into the start directory itself, or a path below the root.
    if (argument.empty() || startDirectory.empty() || argument[0] == '-' || !isRelativePath(argument))
        return argument;
    return joinPath(startDirectory, argument);
}

CommandLine readCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (!args.empty()) line.program = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        line.arguments.emplace_back();
        line.arguments.back().text = args[i];
    }
    prescan(line);
    classify(line.arguments, {});
    // Read for every argument of that form: once the VM names are known, a value of
    // "-mainclass" may turn out to be an override.
    for (Argument& arg : line.arguments) {
        std::size_t equals = arg.text.find('=');
        if (!startsWith(arg.text, "--") || equals == std::string::npos) continue;
        arg.name = arg.text.substr(2, equals - 2);
        arg.value = arg.text.substr(equals + 1);
        arg.directive = findDirective(arg.name);
    }
    return line;
}

void knowVmNames(CommandLine& line, const std::vector<VmEntry>& vms) { classify(line.arguments, vms); }

Phase phaseOf(const Directive& directive) {
    if (refusalOf(directive)) return Phase::Refused;
    const EarlyOverride* early = earlyRowOf(directive);
    return early ? early->phase : Phase::AfterFile;
}

void applyEarlyOverrides(LaunchSettings& settings, const CommandLine& line, Phase phase) {
    for (const Argument& arg : line.arguments) {
        if (arg.kind != ArgumentKind::Override || !arg.directive || phaseOf(*arg.directive) != phase) continue;
        std::string value = arg.value;
        // Where file names ignore case the home is taken lowered, as the option's name is;
        // where they do not, lowering would name another directory, so it is taken as typed.
        if (isOverrideOf(arg, &LaunchSettings::setJavaHome) && platform::kNamesIgnoreCase) value = lowerCaseCopy(value);
        (settings.*arg.directive->apply)(value);
    }
    if (phase == Phase::BeforeSearch) askForSearchedVm(settings, line);
}

bool launcherTakes(const CommandLine& line, ArgumentKind kind, bool appHandlesHelp) {
    const std::string handOver = kAppHandlesHelpOption;
    for (const Argument& arg : line.arguments) {
        if (arg.kind == ArgumentKind::VmOption && arg.text.substr(2) == handOver) appHandlesHelp = true;
        if (isOverrideOf(arg, &LaunchSettings::addVmOption) && arg.value == handOver)
            appHandlesHelp = true;
        if (arg.kind == kind && !appHandlesHelp) return true;
    }
    return false;
}

bool hasArgument(const CommandLine& line, ArgumentKind kind) {
    for (const Argument& arg : line.arguments)
        if (arg.kind == kind) return true;
    return false;
}

void applyCommandLine(LaunchSettings& settings, const CommandLine& line, const std::string& startDirectory) {
    settings.updateMode = false;
    settings.multiInstance = false;
    // The arguments are traced from the launcher's own -verbose on.
    bool trace = false;
    settings.appArgs.clear();
    const std::vector<Argument>& arguments = line.arguments;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const Argument& arg = arguments[i];
        std::string text = arg.text;
        switch (arg.kind) {
            case ArgumentKind::Consumed:
            case ArgumentKind::Ignored:
            case ArgumentKind::PrintJava:
            case ArgumentKind::ForgetJava:
            case ArgumentKind::LastStart:
            case ArgumentKind::ConfigFile:
            case ArgumentKind::ConfigFileValue:
                break;
            case ArgumentKind::MainClass:
                // Its value is an argument the pre-scan took: an empty class name.
                if (i + 1 < arguments.size() && arguments[i + 1].kind == ArgumentKind::Consumed)
                    settings.setMainClass(std::string());
                break;
            case ArgumentKind::VmOption:
                settings.addVmOption(text.substr(2));
                break;
            case ArgumentKind::Override:
                applyLateOverride(settings, arg);
                break;
            case ArgumentKind::VmName:
                settings.setJavaVm(text.substr(1));
                break;
            case ArgumentKind::MainClassValue:
                settings.setMainClass(text);
                break;
            case ArgumentKind::Update:
                settings.updateMode = true;
                break;
            case ArgumentKind::Multi:
                settings.multiInstance = true;
                break;
            case ArgumentKind::Debug:
                setUpDebugging(settings);
                break;
            case ArgumentKind::UiDebug:
                setUpDebugging(settings);
                addApplicationArgument(settings, text, startDirectory, trace);
                break;
            case ArgumentKind::Help:
                // A -help the launcher takes has ended the start before (launcher_actions).
                if (settings.appHandlesHelp) addApplicationArgument(settings, "-help", startDirectory, trace);
                break;
            case ArgumentKind::Verbose:
                if (settings.appHandlesHelp)
                    addApplicationArgument(settings, text, startDirectory, trace);
                else
                    trace = settings.verbose;
                break;
            case ArgumentKind::Application:
                addApplicationArgument(settings, text, startDirectory, trace);
                break;
        }
    }
}

namespace {

/// True when the last of the child's own arguments would take the argument after it, the
/// parent's "-update", as its value: in the child's pre-scan or in its option grammar.
bool lastTakesNext(const std::vector<std::string>& args, const std::vector<VmEntry>& vms) {
    CommandLine child;
    for (const std::string& arg : args) {
        child.arguments.emplace_back();
        child.arguments.back().text = arg;
    }
    bool prescanTakes = prescan(child);
    classify(child.arguments, vms);
    ArgumentKind last = child.arguments.back().kind;
    return prescanTakes || last == ArgumentKind::ConfigFile || last == ArgumentKind::MainClass;
}

}  // namespace

std::vector<std::string> updateChildArguments(const CommandLine& line, const std::string& updateMainClass,
                                              const std::vector<VmEntry>& vms) {
    std::vector<std::string> args;
    for (const Argument& arg : line.arguments)
        if (arg.kind != ArgumentKind::Consumed) args.push_back(arg.text);
    // A dangling option had no value in the parent and did nothing there; it must not take
    // the child's own options. Leaving it out can leave another one dangling.
    while (!args.empty() && lastTakesNext(args, vms)) args.pop_back();
    args.insert(args.begin(), withExeSuffix(line.program));
    args.push_back("-update");
    args.push_back("--SetMainClass=" + updateMainClass);
    return args;
}
