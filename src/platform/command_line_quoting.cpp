#include "platform/command_line_quoting.h"

#include <cstddef>

namespace {

// The C runtime splits only at blanks and tabs; quoting at the other white space as well
// costs nothing and keeps a newline or vertical tab from surprising a program that splits
// its command line by other rules.
bool needsQuotes(const std::string& arg) {
    return arg.empty() || arg.find_first_of(" \t\n\v\"") != std::string::npos;
}

// The program name is read by simpler rules than the arguments: from an opening quotation
// mark up to the next one, or up to the first blank or tab, with backslashes taken
// literally. So it is quoted without escaping. A quotation mark cannot be part of it (nor
// of any Windows file name) and is left out, because no form of the command line could
// hand it over.
void appendProgramName(std::string& line, const std::string& name) {
    std::string bare;
    for (char c : name)
        if (c != '"') bare += c;
    if (!needsQuotes(bare)) {
        line += bare;
        return;
    }
    line += '"';
    line += bare;
    line += '"';
}

// Inside quotes, backslashes are literal unless a run of them ends at a quotation mark:
// then 2n backslashes give n and the mark closes the quotes, 2n+1 give n and a literal mark.
// The text is UTF-8, whose multi-byte characters hold no blank, tab, quotation mark or
// backslash byte, so the rules can look at bytes.
void appendArgument(std::string& line, const std::string& arg) {
    if (!needsQuotes(arg)) {
        line += arg;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (std::size_t i = 0; i < arg.size(); ++i) {
        char c = arg[i];
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            line.append(2 * backslashes + 1, '\\');
        } else {
            line.append(backslashes, '\\');
        }
        backslashes = 0;
        line += c;
    }
    // The closing quotation mark follows, so a trailing run is doubled as before a mark.
    line.append(2 * backslashes, '\\');
    line += '"';
}

}  // namespace

std::string quoteWindowsCommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i == 0) {
            appendProgramName(line, args[i]);
        } else {
            line += ' ';
            appendArgument(line, args[i]);
        }
    }
    return line;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The program name, read from the start of the line; returns the position after it.
std::size_t readProgramName(const std::string& line, std::string& name) {
    if (line[0] == '"') {
        std::size_t close = line.find('"', 1);
        if (close == std::string::npos) close = line.size();
        name = line.substr(1, close - 1);
        return close < line.size() ? close + 1 : close;
    }
    std::size_t end = line.find_first_of(" \t");
    if (end == std::string::npos) end = line.size();
    name = line.substr(0, end);
    return end;
}

// The run of backslashes at `pos` and what follows it; returns the position after them.
std::size_t readBackslashes(const std::string& line, std::size_t pos, std::string& arg) {
    std::size_t run = 0;
    while (pos < line.size() && line[pos] == '\\') ++run, ++pos;
    if (pos < line.size() && line[pos] == '"') {
        arg.append(run / 2, '\\');
        if (run % 2 == 1) {
            arg += '"';
            ++pos;
        }
    } else {
        arg.append(run, '\\');
    }
    return pos;
}

// One argument starting at `pos` (not a blank); returns the position after it.
std::size_t readArgument(const std::string& line, std::size_t pos, std::string& arg) {
    bool inQuotes = false;
    while (pos < line.size() && (inQuotes || !isBlank(line[pos]))) {
        char c = line[pos];
        if (c == '\\') {
            pos = readBackslashes(line, pos, arg);
        } else if (c == '"' && inQuotes && pos + 1 < line.size() && line[pos + 1] == '"') {
            arg += '"';
            pos += 2;
        } else if (c == '"') {
            inQuotes = !inQuotes;
            ++pos;
        } else {
            arg += c;
            ++pos;
        }
    }
    return pos;
}

}  // namespace

std::vector<std::string> splitWindowsCommandLine(const std::string& line) {
    std::vector<std::string> args;
    if (line.empty()) return args;
    std::string name;
    std::size_t pos = readProgramName(line, name);
    args.push_back(name);
    for (;;) {
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        if (pos == line.size()) break;
        std::string arg;
        pos = readArgument(line, pos, arg);
        args.push_back(arg);
    }
    return args;
}
