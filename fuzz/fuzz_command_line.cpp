// The input is an argument vector, its elements separated by NUL bytes; the first is the
// program name. It goes through readCommandLine and applyCommandLine on a record that the
// configuration file and jvm.cfg have already filled. The program name, which the reading
// never examines, picks the record's state: "help" in it means the
// application handles help (otherwise the help options are left out, since the launch stops at
// them), "server" or "tavm" in it is the VM the configuration file chose.
//
// Checked: every application argument is one of the input's, in order (made absolute, or
// "-help" for a help option); the file's VM options stay first; flag options never reach
// the VM; the update child's command line,
// quoted for Windows, splits back into the update child's arguments; and the child's parser,
// given those arguments, is in update mode with the installer as its main class (no
// argument of the user's takes the child's own options as its value).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "config/launch_settings.h"
#include "fuzz_support.h"
#include "launcher/java_launcher.h"
#include "platform/command_line_quoting.h"
#include "platform/platform.h"

namespace {

const char kLibraryPathOption[] = "-Djava.library.path=/opt/app/bin";

std::unique_ptr<JavaLauncher> launcher;
std::string startDirectory;

bool isHelpOption(const std::string& arg) {
    return arg == "-?" || arg == "-help" || arg == "/help" || arg == "/?";
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

/// The VMs of the runtime's jvm.cfg.
const std::vector<VmEntry> kVms = {{"client", "client"}, {"server", "server"}, {"hotspot", "client"}, {"classic", ""}};

LaunchSettings filledRecord(const std::string& programName) {
    LaunchSettings record;
    record.setJavaHome("../jre");
    record.addVmOption("-Xmx256m");
    if (contains(programName, "help")) record.addVmOption("-Dapplication.handle.help=true");
    if (contains(programName, "server") || contains(programName, "tavm"))
        record.setJavaVm(contains(programName, "server") ? "server" : "tavm");
    record.vmOptions.push_back(kLibraryPathOption);
    return record;
}

// Each application argument must come from a later input argument than the one before it.
void checkApplicationArguments(const LaunchSettings& record, const CommandLine& line) {
    std::size_t next = 0;
    for (const std::string& appArg : record.appArgs) {
        bool found = false;
        for (; next < line.arguments.size() && !found; ++next) {
            if (line.arguments[next].kind == ArgumentKind::Consumed) continue;
            const std::string& input = line.arguments[next].text;
            found = appArg == input || appArg == startDirectory + platform::kDirSeparator + input ||
                    (appArg == "-help" && isHelpOption(input));
        }
        if (!found) fuzzing::fail("an application argument that no input argument gives", appArg);
    }
}

void checkVmOptions(const LaunchSettings& record) {
    if (record.vmOptions.size() < 2 || record.vmOptions[0] != "-Xmx256m" || record.vmOptions[1] != kLibraryPathOption)
        fuzzing::fail("the command line lost or reordered the file's VM options");
    for (const std::string& option : record.vmOptions)
        if (option == "-Dapplication.handle.help=true" || option == "-Dno.shell.integration=true")
            fuzzing::fail("a flag option was handed to the VM", option);
}

void checkUpdateChildCommandLine(const CommandLine& commandLine) {
    std::vector<std::string> childArgs = updateChildArguments(commandLine, "ombrix/update/Installer");
    std::string line = quoteWindowsCommandLine(childArgs);
    std::vector<std::string> expected = childArgs;
    // A quotation mark cannot be part of a program name; the quoting leaves it out.
    std::string& name = expected[0];
    for (std::size_t at; (at = name.find('"')) != std::string::npos;) name.erase(at, 1);
    if (splitWindowsCommandLine(line) != expected)
        fuzzing::fail("the update child's command line does not split back into its arguments", line);
}

void checkUpdateChildOptions(LaunchSettings child, const CommandLine& line) {
    std::vector<std::string> childArgs = updateChildArguments(line, "ombrix/update/Installer", kVms);
    CommandLine childLine = readCommandLine(childArgs);
    knowVmNames(childLine, kVms);
    applyCommandLine(child, childLine, startDirectory);
    if (!child.updateMode) fuzzing::fail("the update child's own -update was taken as a value");
    if (child.mainClass != "ombrix/update/Installer")
        fuzzing::fail("the update child's main class is not the installer", child.mainClass);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzing::keepPathsAbsolute(argc, argv);
    fuzzing::silenceLauncherOutput();
    // The launcher object moves to the executable's directory; the parsing then happens in an
    // empty one, so that relative AddJavaLibPath overrides and existence tests find nothing
    // but what the start directory holds.
    launcher = std::make_unique<JavaLauncher>();
    startDirectory = fuzzing::makeScratchDirectory("cmdline-start");
    for (const char* name : {"file.txt", "a b.txt"}) {
        std::string path = startDirectory + "/" + name;
        fuzzing::writeFile(path, reinterpret_cast<const std::uint8_t*>("x"), 1);
    }
    fuzzing::enterDirectory(fuzzing::makeScratchDirectory("cmdline-cwd"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = fuzzing::splitAt(data, size, '\0');
    LaunchSettings record = filledRecord(args[0]);
    if (!record.appHandlesHelp) {
        std::vector<std::string> kept;
        for (std::size_t i = 0; i < args.size(); ++i)
            if (i == 0 || !isHelpOption(args[i])) kept.push_back(args[i]);
        args.swap(kept);
    }
    bool appHandledHelp = record.appHandlesHelp;

    CommandLine line = readCommandLine(args);
    knowVmNames(line, kVms);
    launcher->takePrescan(line);
    checkUpdateChildCommandLine(line);
    checkUpdateChildOptions(record, line);
    applyCommandLine(record, line, startDirectory);

    checkApplicationArguments(record, line);
    checkVmOptions(record);
    if (appHandledHelp && record.verbose) fuzzing::fail("-verbose was taken although the application handles help");
    return 0;
}
