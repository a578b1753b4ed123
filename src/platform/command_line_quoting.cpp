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

using LeadBytePredicate = bool (*)(unsigned char);

// Inside quotes, backslashes are literal unless a run of them ends at a quotation mark:
// then 2n backslashes give n and the mark closes the quotes, 2n+1 give n and a literal mark.
// A two-byte character ends a run and is copied whole. (Its second byte is never a blank, a
// tab or a quotation mark in any of the system's code pages, so needsQuotes can look at bytes.)
void appendArgument(std::string& line, const std::string& arg, LeadBytePredicate isLeadByte) {
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
        if (isLeadByte != nullptr && i + 1 < arg.size() && isLeadByte(static_cast<unsigned char>(c)))
            line += arg[++i];
    }
    // The closing quotation mark follows, so a trailing run is doubled as before a mark.
    line.append(2 * backslashes, '\\');
    line += '"';
}

}  // namespace

std::string quoteWindowsCommandLine(const std::vector<std::string>& args) {
    return quoteWindowsCommandLine(args, nullptr);
}

std::string quoteWindowsCommandLine(const std::vector<std::string>& args, LeadBytePredicate isLeadByte) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i == 0) {
            appendProgramName(line, args[i]);
        } else {
            line += ' ';
            appendArgument(line, args[i], isLeadByte);
        }
    }
    return line;
}
