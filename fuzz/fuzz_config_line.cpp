// The input is a whole configuration file. It is read twice into records that start as the
// loading sequence leaves them: through the line reader from a real file, and line by line
// through parseConfigLine. Both must give the same record, and the record must keep the
// normalisations every directive promises.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/launch_settings.h"
#include "base/text_ops.h"
#include "fuzz_support.h"
#include "platform/java_places.h"
#include "platform/platform.h"

namespace {

std::string configPath;

LaunchSettings freshRecord() {
    LaunchSettings record;
    record.setJavaHome(platform::kDefaultJavaHome);
    record.nativeCodePath = "/usr/local/bin:/usr/bin";
    return record;
}

bool holds(const std::string& text, char c) { return text.find(c) != std::string::npos; }

bool isTrimmed(const std::string& text) {
    std::string copy = text;
    return trim(copy) == text;
}

void checkRecord(const LaunchSettings& record) {
    using fuzzing::fail;
    for (const std::string& option : record.vmOptions) {
        if (option == "-Dapplication.handle.help=true" || option == "-Dno.shell.integration=true")
            fail("a flag option was handed to the VM", option);
        if (option.empty() || !isTrimmed(option)) fail("a VM option from the file is empty or untrimmed", option);
    }
    if (holds(record.configuredJavaHome, platform::kForeignSeparator))
        fail("configuredJavaHome kept a foreign separator", record.configuredJavaHome);
    if (holds(record.nativeCodePath, platform::kForeignSeparator))
        fail("nativeCodePath kept a foreign separator", record.nativeCodePath);
    if (holds(record.mainClass, '.')) fail("mainClass kept a '.'", record.mainClass);
    if (holds(record.updateMainClass, '.')) fail("updateMainClass kept a '.'", record.updateMainClass);
    if (holds(record.updateClassPath, platform::kForeignListSeparator))
        fail("updateClassPath kept a foreign list separator", record.updateClassPath);
    if (!isTrimmed(record.vmName)) fail("vmName is untrimmed", record.vmName);
    if (!record.appArgs.empty() || record.updateMode || record.multiInstance || record.verbose)
        fail("a configuration line wrote a field that only the command line writes");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzing::keepPathsAbsolute(argc, argv);
    fuzzing::silenceLauncherOutput();
    configPath = fuzzing::makeScratchDirectory("config-file") + "/app.conf";
    // AddJavaLibPath lists relative directories: make them resolve inside an empty one.
    fuzzing::enterDirectory(fuzzing::makeScratchDirectory("config-cwd"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::writeFile(configPath, data, size);
    LaunchSettings fromFile = freshRecord();
    if (!loadConfigFile(fromFile, configPath))
        fuzzing::fail("a written configuration file could not be read");

    LaunchSettings byLine = freshRecord();
    for (const auto& [text, number] : fuzzing::readerLines(data, size)) byLine.parseConfigLine(text, number);

    fuzzing::expectSameRecord(byLine, fromFile, "reading the file and handing over its lines");
    checkRecord(fromFile);
    return 0;
}
