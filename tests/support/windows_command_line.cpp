#include "support/windows_command_line.h"

#include <cstddef>

namespace testing_support {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Reads the program name from the start of the line; returns the position after it.
std::size_t readProgramName(const std::string& line, std::string& name) {
    std::size_t pos = 0;
    if (!line.empty() && line[0] == '"') {
        std::size_t close = line.find('"', 1);
        if (close == std::string::npos) {
            name = line.substr(1);
            return line.size();
        }
        name = line.substr(1, close - 1);
        return close + 1;
    }
    while (pos < line.size() && !isBlank(line[pos])) ++pos;
    name = line.substr(0, pos);
    return pos;
}

// Reads one argument starting at `pos` (not a blank); returns the position after it.
std::size_t readArgument(const std::string& line, std::size_t pos, std::string& arg,
                         bool (*isLeadByte)(unsigned char)) {
    bool inQuotes = false;
    while (pos < line.size()) {
        char c = line[pos];
        if (isBlank(c) && !inQuotes) break;
        if (isLeadByte != nullptr && pos + 1 < line.size() && isLeadByte(static_cast<unsigned char>(c))) {
            arg.append(line, pos, 2);
            pos += 2;
        } else if (c == '\\') {
            std::size_t run = 0;
            while (pos < line.size() && line[pos] == '\\') {
                ++run;
                ++pos;
            }
            if (pos < line.size() && line[pos] == '"') {
                arg.append(run / 2, '\\');
                if (run % 2 == 1) {
                    arg += '"';
                    ++pos;
                }
            } else {
                arg.append(run, '\\');
            }
        } else if (c == '"') {
            if (inQuotes && pos + 1 < line.size() && line[pos + 1] == '"') {
                arg += '"';
                pos += 2;
            } else {
                inQuotes = !inQuotes;
                ++pos;
            }
        } else {
            arg += c;
            ++pos;
        }
    }
    return pos;
}

}  // namespace

std::vector<std::string> splitWindowsCommandLine(const std::string& line, bool (*isLeadByte)(unsigned char)) {
    std::vector<std::string> args;
    if (line.empty()) return args;
    std::string name;
    std::size_t pos = readProgramName(line, name);
    args.push_back(name);
    for (;;) {
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        if (pos == line.size()) break;
        std::string arg;
        pos = readArgument(line, pos, arg, isLeadByte);
        args.push_back(arg);
    }
    return args;
}

}  // namespace testing_support
