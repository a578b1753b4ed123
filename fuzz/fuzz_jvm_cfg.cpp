// The input is a runtime's jvm.cfg. It is read through readJvmCfg from a real file and line by
// line through parseJvmCfgLine; both must give the same VM table, and each line must add what
// the jvm.cfg format allows it to add.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>
#include <string>

#include "config/launch_settings.h"
#include "vm/java_home.h"
#include "base/text_ops.h"
#include "fuzz_support.h"

namespace {

std::string jvmCfgPath;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What one line may add: nothing unless it starts with '-' once trimmed, otherwise at most one
// entry whose name comes from the line and holds no blank or tab, and whose directory is the
// line's own text, empty, or one of the texts the keywords give.
void checkLine(const std::string& line, const std::vector<VmEntry>& table, std::size_t before) {
    using fuzzing::fail;
    std::size_t added = table.size() - before;
    if (added > 1) fail("one jvm.cfg line added several entries", line);
    std::string trimmed = line;
    trim(trimmed);
    bool declares = !trimmed.empty() && trimmed[0] == '-';
    if (!declares) {
        if (added != 0) fail("a line not starting with '-' added an entry", line);
        return;
    }
    std::string rest = trimmed.substr(1);
    bool oneWord = rest.find_first_of(" \t") == std::string::npos;
    if (oneWord && added != 1) fail("a single '-' word added no entry", line);
    if (added == 0) return;
    const VmEntry& entry = table.back();
    if (entry.name.find_first_of(" \t") != std::string::npos) fail("a VM name holds a blank or tab", line);
    if (!contains(rest, entry.name)) fail("a VM name that is not in its line", line);
    if (oneWord && !(entry.name == rest && entry.directory == rest)) fail("a single word did not name itself", line);
    if (!(entry.directory.empty() || entry.directory == "hotspot" || entry.directory == "aliased_to" ||
          contains(rest, entry.directory)))
        fail("a VM directory that neither the line nor a keyword gives", line);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzing::keepPathsAbsolute(argc, argv);
    fuzzing::silenceLauncherOutput();
    std::string directory = fuzzing::makeScratchDirectory("jvm-cfg");
    jvmCfgPath = directory + "/jvm.cfg";
    fuzzing::enterDirectory(directory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::writeFile(jvmCfgPath, data, size);
    std::optional<std::vector<VmEntry>> fromFile = readJvmCfg(jvmCfgPath);
    if (!fromFile) fuzzing::fail("a written jvm.cfg could not be read");

    std::vector<VmEntry> byLine;
    for (const auto& line : fuzzing::readerLines(data, size)) {
        const std::string& text = line.first;
        std::size_t before = byLine.size();
        parseJvmCfgLine(text, byLine);
        checkLine(text, byLine, before);
    }
    if (byLine != *fromFile) fuzzing::fail("reading jvm.cfg and handing over its lines gave different VM tables");
    return 0;
}
