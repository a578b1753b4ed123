// Text at the edges on POSIX: the system's bytes are the launcher's texts, unchanged.
#include <cstdio>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/text.h"

namespace platform {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(argv[i] ? argv[i] : "");
    return args;
}

std::optional<std::string> vmOptionText(const std::string& option, VmOptionValue /*value*/,
                                        std::string& /*unrepresentable*/) {
    return option;
}

bool vmCanTakePath(const std::string& /*path*/) { return true; }

std::string vmOptionBytes(const std::string& text) { return text; }

std::FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

void writeText(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }

}  // namespace platform
