#include <string>
#include <utility>

#include "config/config_file_parser.h"
#include "config/line_reader.h"
#include "messages/messages.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/platform.h"

namespace {

const char kSetJavaHomeOption[] = "--setjavahome=";

/// Splits `text` at its first blank or tab into the part before it and the part from it on,
/// both trimmed. False when there is no blank or tab.
bool splitAtBlank(const std::string& text, std::string& before, std::string& after) {
    std::size_t gap = text.find_first_of(" \t");
    if (gap == std::string::npos) return false;
    before = text.substr(0, gap);
    after = text.substr(gap);
    trim(before);
    trim(after);
    return true;
}

std::string runtimeFile(const std::string& javaHome, const char* name) {
    return javaHome + platform::kDirSeparator + "lib" + platform::kDirSeparator + name;
}

}  // namespace

void ConfigFileParser::processJavaHome(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        std::string lowered = argv[i];
        toLower(lowered);
        if (lowered.compare(0, sizeof kSetJavaHomeOption - 1, kSetJavaHomeOption) != 0) continue;
        // Where file names ignore case the value is taken lowered, as the option's name is;
        // where they do not, lowering would name another directory, so it is taken as typed.
        std::string value = platform::kNamesIgnoreCase ? lowered : std::string(argv[i]);
        value.erase(0, sizeof kSetJavaHomeOption - 1);
        processdirective(kSetJavaHome, value);
    }
    // The search's settings of the command line count for the search, which comes first.
    applyOverridesEarly(argc, argv, {kSetJavaVersion, kSetJavaSearch, kAddJavaSearchPath});
    bool verboseSearch = false, printJava = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // -verbose is the launcher's unless the application handles it (the file said so).
        verboseSearch = verboseSearch || (arg == "-verbose" && !appHandlesHelp);
        printJava = printJava || arg == "--print-java";
    }
    ensureJavaRuntime(verboseSearch, printJava);
    bool found = false;
    for (const std::string& candidate : platform::jvmCfgCandidates(javaHome)) {
        if (readJvmCfg(candidate, verboseSearch)) {
            found = true;
            break;
        }
    }
    if (!found) printErr("WARNING: Could not find jvm.cfg!\n");
    std::string tools = runtimeFile(javaHome, "tools.jar");
    std::string dt = runtimeFile(javaHome, "dt.jar");
    processdirective(kAddJavaLibFile, tools);
    processdirective(kAddJavaLibFile, dt);
}

bool ConfigFileParser::readJvmCfg(const std::string& path, bool sayWhy) {
    platform::FileContent file = platform::readRegularFile(path, kMaxJvmCfgBytes);
    if (file.outcome == platform::FileOutcome::Device) throw JavaLauncherException(kMsgFileTooLarge, path);
    if (file.outcome == platform::FileOutcome::TooLarge) file.reason = "it is larger than 1 MiB";
    if (file.outcome != platform::FileOutcome::Read) {
        if (sayWhy && file.outcome != platform::FileOutcome::Missing)
            printOut("jvm.cfg: " + path + " is passed over: " + file.reason + "\n");
        return false;
    }
    readConfigText(std::move(file.bytes), path, &ConfigFileParser::parseJvmCfgLine);
    return true;
}

void ConfigFileParser::parseJvmCfgLine(const std::string& rawLine, LineNumber /*lineNumber*/) {
    std::string line;
    try {
        line = rawLine;
        trim(line);
        if (line.empty() || line[0] != '-') return;
        std::string rest = line.substr(1);
        std::string name, remainder;
        if (!splitAtBlank(rest, name, remainder)) {
            vmTable.push_back({rest, rest});
            return;
        }
        std::string keyword, argument;
        if (!splitAtBlank(remainder, keyword, argument)) keyword = remainder;
        toLower(keyword);
        if (argument.empty()) argument = keyword;  // nothing after the keyword
        if (keyword == "known") {
            vmTable.push_back({name, name});
        } else if (keyword == "aliased_to") {
            if (!argument.empty() && argument[0] == '-') argument.erase(0, 1);
            vmTable.push_back({name, argument});
        } else if (keyword == "error") {
            vmTable.push_back({name, ""});
        } else if (keyword == "warn") {
            vmTable.push_back({name, "hotspot"});
        }
    } catch (...) {
        printOut("Caught Exception in ConfigFileParser::parseJvmCfgLine\non line: [" + line + "]\n");
    }
}
