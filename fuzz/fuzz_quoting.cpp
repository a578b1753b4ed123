// The input is an argument vector, its elements separated by NUL bytes; the first is the
// program name. Quoted into one Windows command line and split again by the start-up code's
// rules, it must give back the same arguments. A quotation mark cannot be part of a program
// name, so the quoting leaves it out, and the name is expected back without it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/command_line_quoting.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = fuzzing::splitAt(data, size, '\0');
    std::string line = quoteWindowsCommandLine(args);
    if (line.find('\0') != std::string::npos) fuzzing::fail("a NUL byte in the command line", line);

    std::vector<std::string> expected = args;
    std::string& name = expected[0];
    for (std::size_t at; (at = name.find('"')) != std::string::npos;) name.erase(at, 1);
    std::vector<std::string> split = splitWindowsCommandLine(line);
    if (split != expected) {
        std::string got;
        for (const std::string& arg : split) got += "[" + arg + "]";
        fuzzing::fail("the command line does not split back into its arguments", line + "  ->  " + got);
    }
    return 0;
}
