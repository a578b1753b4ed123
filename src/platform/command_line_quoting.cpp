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
void appendArgument(std::string& line, const std::string& arg) {
    if (!needsQuotes(arg)) {
        line += arg;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : arg) {
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
