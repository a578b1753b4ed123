// The launcher's command line, read once into a value that says what every argument is. Each
// later step of the launch takes from that value what counts at its moment; none reads the
// arguments again.
#pragma once

#include <string>
#include <vector>

#include "config/launch_settings.h"

/// The moments of the launch at which a "--<directive>=<value>" override counts.
enum class Phase {
    BeforeFile,    ///< before the configuration file is read, and again just after it
    BeforeUserFile,  ///< after the application's file, before the user's own is read
    BeforeSearch,  ///< before the Java runtime is checked or searched for
    AfterFile,     ///< with the launcher's options, in their order, once the runtime is known
    Refused,       ///< never: a warning says why it cannot count on the command line
};

/// What one argument is to the launcher.
enum class ArgumentKind {
    Consumed,         ///< held "-nomsgbox": the pre-scan took it, nothing after it sees it
    ConfigFile,       ///< "-conf" or "-configure"
    ConfigFileValue,  ///< the argument after "-conf" (the pre-scan keeps its own view: configFile)
    Override,         ///< "--<directive>=<value>"
    Ignored,          ///< "--" without '=': nothing
    PrintJava,        ///< "--print-java": the launcher's own action
    ForgetJava,       ///< "--forget-java": the launcher's own action
    LastStart,        ///< "--last-start": the launcher's own action
    VmOption,         ///< "-J<option>"
    VmName,           ///< "-<name>" of a VM that jvm.cfg lists
    MainClass,        ///< "-mainclass"
    MainClassValue,   ///< the class name after it
    Update,           ///< "-update"
    Multi,            ///< "-multi"
    Debug,            ///< "-debug"
    UiDebug,          ///< "-uidebug": debugging, and the application's argument too
    Help,             ///< "-?", "-help", "/help", "/?"
    Verbose,          ///< "-verbose"
    Application,      ///< for the application's main
};

/// One argument as typed and what it is.
struct Argument {
    std::string text;
    ArgumentKind kind = ArgumentKind::Application;
    /// An override's directive (null for an unknown name), its name as typed and its value.
    const Directive* directive = nullptr;
    std::string name;
    std::string value;
};

/// The whole command line. Two grammars read it, as two steps of the launch always have: the
/// pre-scan ("-nomsgbox" anywhere inside an argument, the last "-conf" value), and the option
/// grammar of `arguments`' kinds, in which a VM's name is an option of its own.
struct CommandLine {
    std::string program;  ///< the program name as invoked
    std::vector<Argument> arguments;
    bool noMessageBox = false;
    /// The value of the last "-conf"/"-configure" that has one, as the pre-scan takes it.
    std::string configFile;
    bool hasConfigFile = false;
};

/// Reads the arguments (the program name first) into a CommandLine, taking no option word for
/// a VM's name (no runtime is known yet).
CommandLine readCommandLine(const std::vector<std::string>& args);

/// The kinds of `line`'s arguments once `vms` (the runtime's jvm.cfg) is known: "-<name>" of a
/// listed VM is that VM's option, and takes no value even where the word otherwise would.
void knowVmNames(CommandLine& line, const std::vector<VmEntry>& vms);

/// The phase at which an override of `directive` first counts; AfterFile for most. The Java
/// home (BeforeSearch) counts once more in its place among the launcher's options.
Phase phaseOf(const Directive& directive);

/// Applies the overrides whose directive first counts at `phase` (BeforeFile, BeforeUserFile
/// or BeforeSearch), in the order typed. At BeforeSearch, where the search chooses among
/// runtimes, the last of --SetJavaVM= and the words -server and -client is the VM the search
/// asks for (searchedVmName).
void applyEarlyOverrides(LaunchSettings& settings, const CommandLine& line, Phase phase);

/// True when an argument of `kind` (a help option, "-verbose") is the launcher's: it comes
/// before any "-J-Dapplication.handle.help=true" (or its AddVMOption override) while the
/// configuration did not hand help to the application. Otherwise the application takes it.
bool launcherTakes(const CommandLine& line, ArgumentKind kind, bool appHandlesHelp);

/// True when an argument of `kind` is on the line.
bool hasArgument(const CommandLine& line, ArgumentKind kind);

/// Applies the launcher's options, the overrides that count after the file and the
/// application's arguments (relative paths that exist made absolute against `startDirectory`)
/// to `settings`; with `settings.verbose`, each application argument after the launcher's
/// "-verbose" is named on stdout; a -help reaches the application only when it handles it
/// (the launcher's own -help ends the start before, as an action).
void applyCommandLine(LaunchSettings& settings, const CommandLine& line, const std::string& startDirectory);

/// An argument that names a path relative to the user's start directory, made absolute
/// against it; options and absolute paths unchanged.
std::string sanitizeArgument(const std::string& argument, const std::string& startDirectory);

/// The update child's arguments: the parent's but those the pre-scan took (the program name
/// completed with the executable suffix), then "-update" and "--SetMainClass=" with the
/// installer class. A trailing "-conf", "-configure" or "-mainclass" without its value, which
/// did nothing in the parent, is left out: in the child it would take "-update" as its value.
/// `vms` gives the VM names of the runtime ("-mainclass" names a VM when jvm.cfg lists
/// "mainclass").
std::vector<std::string> updateChildArguments(const CommandLine& line, const std::string& updateMainClass,
                                              const std::vector<VmEntry>& vms = {});
