#include "vm/java_home.h"

#include <string>
#include <utility>

#include "config/launch_settings.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "config/line_reader.h"
#include "messages/messages.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/platform.h"

namespace {

const std::size_t kMaxReleaseBytes = 64 * 1024;

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

}  // namespace

void parseJvmCfgLine(const std::string& rawLine, std::vector<VmEntry>& table) {
    std::string line = rawLine;
    trim(line);
    if (line.empty() || line[0] != '-') return;
    std::string rest = line.substr(1);
    std::string name, remainder;
    if (!splitAtBlank(rest, name, remainder)) {
        table.push_back({rest, rest});
        return;
    }
    std::string keyword, argument;
    if (!splitAtBlank(remainder, keyword, argument)) keyword = remainder;
    toLower(keyword);
    if (argument.empty()) argument = keyword;  // nothing after the keyword
    if (keyword == "known") {
        table.push_back({name, name});
    } else if (keyword == "aliased_to") {
        if (!argument.empty() && argument[0] == '-') argument.erase(0, 1);
        table.push_back({name, argument});
    } else if (keyword == "error") {
        table.push_back({name, ""});
    } else if (keyword == "warn") {
        table.push_back({name, "hotspot"});
    }
}

std::optional<std::vector<VmEntry>> readJvmCfg(const std::string& path) {
    // Only a regular file, never waited on: a FIFO of that name in any runtime examined would
    // hang the launch. A device may never end: it is refused as a file too long to read.
    platform::FileContent file = platform::readRegularFile(path, kMaxJvmCfgBytes);
    if (file.outcome == platform::FileOutcome::Device) throw JavaLauncherException(kMsgFileTooLarge, path);
    if (file.outcome != platform::FileOutcome::Read) return std::nullopt;
    std::vector<VmEntry> table;
    readTextOf(std::move(file.bytes), path, [&](const std::string& line, LineNumber) { parseJvmCfgLine(line, table); });
    return table;
}

std::vector<VmEntry> jvmCfgOf(const std::string& home, bool& found) {
    for (const std::string& candidate : platform::jvmCfgCandidates(home)) {
        if (std::optional<std::vector<VmEntry>> table = readJvmCfg(candidate)) {
            found = true;
            return *table;
        }
    }
    found = false;
    return {};
}

std::optional<std::string> releaseText(const std::string& home) {
    // Only a regular file is read: a FIFO of that name would wait for a writer for ever.
    return platform::readFileStart(joinPath(home, "release"), kMaxReleaseBytes);
}

std::optional<std::string> releaseValue(const std::string& text, const std::string& key) {
    const std::string start = key + "=";
    for (std::size_t at = 0; (at = text.find(start, at)) != std::string::npos; at += start.size()) {
        if (at != 0 && text[at - 1] != '\n') continue;
        std::size_t end = text.find_first_of("\r\n", at);
        std::string value = text.substr(at + start.size(), end == std::string::npos ? end : end - at - start.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

bool hasJavaExe(const std::string& javaHome) { return platform::exists(platform::belowJavaHome(javaHome, platform::kJavaExecutable)); }

RuntimeFacts readRuntimeFacts(const std::string& home) {
    RuntimeFacts facts;
    facts.home = home;
    facts.release = releaseText(home).value_or(std::string());
    if (std::optional<std::string> stated = releaseValue(facts.release, "JAVA_VERSION"))
        facts.releaseVersion = parseJavaVersion(*stated);
    facts.vmTable = jvmCfgOf(home, facts.jvmCfgFound);
    return facts;
}
