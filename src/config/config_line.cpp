// A configuration line, the directive it names, and the configuration file read line by line.
#include <string>

#include "config/launch_settings.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"

namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// True when `name` is `key` with any ASCII letter in either case.
bool namesDirective(const std::string& name, const char* key) {
    std::size_t i = 0;
    for (; i < name.size() && key[i] != '\0'; ++i)
        if (asciiLower(name[i]) != asciiLower(key[i])) return false;
    return i == name.size() && key[i] == '\0';
}

/// Position of the first blank or tab, or npos. A plain loop: find_first_of calls memchr once
/// for each character of the line.
std::size_t firstBlankOrTab(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == ' ' || text[i] == '\t') return i;
    return std::string::npos;
}

}  // namespace

const Directive* findDirective(const std::string& name) {
    for (const Directive& directive : directives())
        if (namesDirective(name, directive.name)) return &directive;
    return nullptr;
}

void LaunchSettings::parseConfigLine(const std::string& rawLine, LineNumber lineNumber) {
    std::string line = rawLine;
    trim(line);
    if (line.empty() || line[0] == '#') return;
    std::size_t gap = firstBlankOrTab(line);
    if (gap == std::string::npos) {
        if (const Directive* directive = findDirective(line); directive && directive->nameAloneTurnsOff) {
            (this->*directive->apply)(std::string());
            return;
        }
        printOut("[line #" + std::to_string(lineNumber) + "][" + line + "] is invalid!\n");
        return;
    }
    std::string name = line.substr(0, gap);
    std::string value = line.substr(gap);
    trim(name);
    trim(value);
    applyDirective(name, value);
}

bool LaunchSettings::applyDirective(const std::string& name, const std::string& value) {
    const Directive* directive = findDirective(name);
    if (!directive) {
        printErr("WARNING: Unknown directive: " + lowerCaseCopy(name) + "\n");
        return false;
    }
    (this->*directive->apply)(value);
    return true;
}

bool loadConfigFile(LaunchSettings& settings, const std::string& path) {
    return readTextLines(path, [&](const std::string& line, LineNumber number) { settings.parseConfigLine(line, number); });
}
