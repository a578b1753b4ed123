#include "cmdline/command_line.h"

#include <string>

#include "config/config_file_parser.h"
#include "base/path_names.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"

char consumedArgument[1] = {'\0'};

namespace {

bool isHelpOption(const std::string& arg) {
    return arg == "-?" || arg == "-help" || arg == "/help" || arg == "/?";
}

}  // namespace

std::string sanitizeArgument(const std::string& argument, const std::string& startDirectory) {
    // An empty argument, or one with no start directory to resolve against, stays as typed:
    // joining would turn it into the start directory itself, or a path below the root.
    if (argument.empty() || startDirectory.empty() || argument[0] == '-' || !isRelativePath(argument))
        return argument;
    return startDirectory + platform::kDirSeparator + argument;
}

bool ConfigFileParser::isKnownVm(const std::string& name) const {
    for (const VmEntry& entry : vmTable)
        if (entry.name == name) return true;
    return false;
}

void ConfigFileParser::setUpDebugging() {
    std::string xxdebug = "-XXdebug";
    if (vmName.empty()) {
        std::string tavm = "tavm";
        processdirective(kSetJavaVM, tavm);
        processdirective(kAddVMOption, xxdebug);
    } else if (vmName == "tavm") {
        processdirective(kAddVMOption, xxdebug);
    } else {
        std::string xdebug = "-Xdebug";
        std::string jdwp = "-Xrunjdwp:transport=dt_socket,server=y,address=4000";
        processdirective(kAddVMOption, xdebug);
        processdirective(kAddVMOption, jdwp);
        printOut("\n*** Port is 4000 ***\n*** Waiting for JPDA debugger connection\n");
    }
    multiInstance = true;
}

void ConfigFileParser::addApplicationArgument(const std::string& argument, const std::string& startDirectory) {
    std::string candidate = sanitizeArgument(argument, startDirectory);
    if (!argument.empty() && platform::exists(candidate)) {
        appArgs.push_back(candidate);
        if (verbose) printOut("Added sanitized app cmd line arg: " + candidate + "\n");
    } else {
        appArgs.push_back(argument);
        if (verbose) printOut("Added app cmd line arg: " + argument + "\n");
    }
    if (argument.empty() || argument[0] != '-') ++nonOptionArgCount;
}

void ConfigFileParser::parseCommandLine(int argc, char** argv, const std::string& startDirectory) {
    updateMode = false;
    multiInstance = false;
    verbose = false;
    nonOptionArgCount = 0;
    appArgs.clear();
    for (int i = 1; i < argc; ++i) {
        if (isConsumedArgument(argv[i])) continue;
        std::string arg = argv[i];
        if (!arg.empty() && arg[0] == '-') {
            char second = arg.size() > 1 ? arg[1] : '\0';
            if (second == 'J') {
                std::string option = arg.substr(2);
                processdirective(kAddVMOption, option);
                continue;
            }
            if (second == '-') {
                std::size_t equals = arg.find('=');
                if (equals == std::string::npos) continue;
                std::string name = arg.substr(2, equals - 2);
                std::string value = arg.substr(equals + 1);
                // The runtime the prompt or the search chose stands: the override named a
                // directory without one, and has had its say. The search's own overrides were
                // applied before it ran (applyOverridesEarly): a second time would add its paths twice.
                int directive = findDirective(lowerCaseCopy(name));
                if (javaHomeChosen && directive == kSetJavaHome) continue;
                if (directive == kSetJavaVersion || directive == kSetJavaSearch || directive == kAddJavaSearchPath) continue;
                applyDirective(name, value);
                continue;
            }
            std::string vm = arg.substr(1);
            if (isKnownVm(vm)) {
                processdirective(kSetJavaVM, vm);
                continue;
            }
        }
        if (arg == "-conf" || arg == "-configure") {
            ++i;
        } else if (arg == "-update") {
            updateMode = true;
        } else if (arg == "-multi") {
            multiInstance = true;
        } else if (arg == "-mainclass") {
            if (i + 1 < argc) {
                std::string mainClassName = argv[++i];
                processdirective(kSetMainClass, mainClassName);
            }
        } else if (arg == "-debug") {
            setUpDebugging();
        } else if (arg == "-uidebug") {
            setUpDebugging();
            addApplicationArgument(arg, startDirectory);
        } else if (isHelpOption(arg)) {
            if (!appHandlesHelp) printUsage();
            addApplicationArgument("-help", startDirectory);
        } else if (arg == "-verbose") {
            if (appHandlesHelp)
                addApplicationArgument(arg, startDirectory);
            else
                verbose = true;
        } else {
            addApplicationArgument(arg, startDirectory);
        }
    }
}
