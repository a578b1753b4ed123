#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "config/line_reader.h"

namespace fuzzing {
namespace {

// libFuzzer keeps the stream it was started with; failures are written there too.
std::FILE* const originalStderr = stderr;

std::vector<std::string>& scratchDirectories() {
    static std::vector<std::string> directories;
    return directories;
}

void removeScratchDirectories() {
    for (const std::string& directory : scratchDirectories()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
}

template <typename Field>
void expectSameField(const Field& expected, const Field& actual, const char* what, const char* field) {
    if (!(expected == actual)) fail(std::string(what) + ": the records differ in " + field);
}

// The flags whose value is a path, or a comma-separated list of paths.
const char* const kPathFlags[] = {"-dict=", "-artifact_prefix=", "-exact_artifact_path=", "-merge_control_file=",
                                  "-features_dir=", "-seed_inputs=", "-load_coverage_summary=",
                                  "-save_coverage_summary=", "-mutation_graph_file=", "-data_flow_trace=",
                                  "-collect_data_flow=", "-stop_file="};

std::string absolute(const std::string& path, bool commaList) {
    if (commaList) {
        std::string out;
        std::size_t start = 0;
        for (;;) {
            std::size_t comma = path.find(',', start);
            std::string item = path.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            out += absolute(item, false);
            if (comma == std::string::npos) return out;
            out += ',';
            start = comma + 1;
        }
    }
    if (path.empty() || path[0] == '/' || path[0] == '@') return path;
    std::error_code error;
    std::string current = std::filesystem::current_path(error).string();
    return error ? path : current + "/" + path;
}

std::string absoluteArgument(const std::string& arg) {
    if (arg.empty() || arg[0] != '-') return absolute(arg, false);
    for (const char* flag : kPathFlags) {
        std::size_t length = std::strlen(flag);
        if (arg.compare(0, length, flag) == 0)
            return flag + absolute(arg.substr(length), std::strcmp(flag, "-seed_inputs=") == 0);
    }
    return arg;
}

}  // namespace

void keepPathsAbsolute(int* argc, char*** argv) {
    // libFuzzer insists on its own argv[0]; the rest is ours to replace.
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    texts.clear();
    for (int i = 1; i < *argc; ++i) texts.push_back(absoluteArgument((*argv)[i]));
    pointers.assign(1, (*argv)[0]);
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    *argv = pointers.data();
}

void silenceLauncherOutput() {
    const char* show = std::getenv("FUZZ_SHOW_OUTPUT");
    if (show && std::strcmp(show, "1") == 0) return;
    if (!std::freopen("/dev/null", "w", stdout)) fail("cannot send stdout to /dev/null");
    // Reopening stderr would close descriptor 2, where the sanitizers and libFuzzer report.
    // glibc's stderr is a plain variable: pointing it elsewhere quiets only the launcher.
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (!sink) fail("cannot open /dev/null");
    stderr = sink;
}

std::string makeScratchDirectory(const std::string& purpose) {
    // Memory-backed where the system has it: every input is written to a file.
    std::error_code error;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, error)) base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / ("launcher-fuzz-" + purpose + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) fail("cannot create a scratch directory", pattern);
    if (scratchDirectories().empty()) std::atexit(&removeScratchDirectories);
    scratchDirectories().push_back(pattern);
    return pattern;
}

void enterDirectory(const std::string& directory) {
    if (::chdir(directory.c_str()) != 0) fail("cannot enter the scratch directory", directory);
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) fail("cannot open the scratch file", path);
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) fail("cannot write the scratch file", path);
}

std::vector<std::string> splitAt(const std::uint8_t* data, std::size_t size, char separator) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == separator)
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

std::vector<std::pair<std::string, LineNumber>> readerLines(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::pair<std::string, LineNumber>> lines;
    // A text in UTF-32, or in UTF-16 without its mark, is warned about and none of it is read.
    if (isWideTextWithoutMark(bytes)) return lines;
    const std::string text = decodeConfigText(bytes);
    std::size_t start = 0;
    LineNumber number = 1;
    while (start < text.size()) {
        std::size_t feed = text.find('\n', start);
        std::size_t end = feed == std::string::npos ? text.size() : feed;
        // The carriage return before a line feed goes with it.
        std::size_t last = feed != std::string::npos && end > start && text[end - 1] == '\r' ? end - 1 : end;
        if (last > start) {
            const char* line = text.data() + start;
            lines.emplace_back(std::string(line, strnlen(line, last - start)), number);
        }
        ++number;
        start = end + 1;
    }
    return lines;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void fail(const std::string& reason, const std::string& detail) {
    std::fprintf(originalStderr, "\n==fuzz check failed: %s\n", reason.c_str());
    if (!detail.empty()) std::fprintf(originalStderr, "  [%s]\n", escaped(detail).c_str());
    std::fflush(originalStderr);
    std::abort();
}

void expectSameRecord(const LaunchSettings& expected, const LaunchSettings& actual, const char* what) {
    expectSameField(expected.classPath, actual.classPath, what, "classPath");
    expectSameField(expected.nativeCodePath, actual.nativeCodePath, what, "nativeCodePath");
    expectSameField(expected.configuredJavaHome, actual.configuredJavaHome, what, "configuredJavaHome");
    expectSameField(expected.vmName, actual.vmName, what, "vmName");
    expectSameField(expected.mainClass, actual.mainClass, what, "mainClass");
    expectSameField(expected.userHome, actual.userHome, what, "userHome");
    expectSameField(expected.vmOptions, actual.vmOptions, what, "vmOptions");
    expectSameField(expected.appArgs, actual.appArgs, what, "appArgs");
    expectSameField(expected.updateMainClass, actual.updateMainClass, what, "updateMainClass");
    expectSameField(expected.updateClassPath, actual.updateClassPath, what, "updateClassPath");
    expectSameField(expected.updateMode, actual.updateMode, what, "updateMode");
    expectSameField(expected.appHandlesHelp, actual.appHandlesHelp, what, "appHandlesHelp");
    expectSameField(expected.multiInstance, actual.multiInstance, what, "multiInstance");
    expectSameField(expected.verbose, actual.verbose, what, "verbose");
}

}  // namespace fuzzing
