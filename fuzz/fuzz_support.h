// What the fuzz targets share: quiet launcher output, scratch directories, the line splitting
// the reader does, and checks that stop the run with a readable reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "config/launch_settings.h"

namespace fuzzing {

/// Sends what the launcher writes on stdout and stderr to /dev/null, so that a run is not
/// slowed by the terminal. libFuzzer's own lines and the sanitizers' reports still reach file
/// descriptor 2. FUZZ_SHOW_OUTPUT=1 in the environment keeps the output (for reproducing).
void silenceLauncherOutput();

/// Rewrites the relative paths among libFuzzer's arguments (corpus directories, inputs and the
/// path-valued flags) as absolute ones, so that they still name the same files
/// after enterDirectory. Called from LLVMFuzzerInitialize, before libFuzzer reads its flags.
void keepPathsAbsolute(int* argc, char*** argv);

/// A new empty directory under the system's temporary directory, removed when the process
/// ends normally. Aborts when none can be made.
std::string makeScratchDirectory(const std::string& purpose);

/// Makes `directory` the current one, so that relative paths the parsers list or test land
/// in it. Aborts when the system refuses.
void enterDirectory(const std::string& directory);

/// Replaces the file's content with the bytes; aborts when it cannot be written.
void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size);

/// The input cut at every `separator`; n separators give n + 1 pieces.
std::vector<std::string> splitAt(const std::uint8_t* data, std::size_t size, char separator);

/// The calls the line reader makes for a file of these bytes: the text decoded as the reader
/// decodes it (decodeConfigText), then each physical line without its line feed (and a
/// carriage return just before it), cut at its first NUL, with its 1-based number; lines of no
/// bytes are skipped, and a last line without a line feed counts.
std::vector<std::pair<std::string, LineNumber>> readerLines(const std::uint8_t* data, std::size_t size);

/// Stops the run with `reason` (and `detail`, shown with its bytes escaped) on the real stderr.
[[noreturn]] void fail(const std::string& reason, const std::string& detail = std::string());

/// Fails unless the two records hold the same value in every field.
void expectSameRecord(const LaunchSettings& expected, const LaunchSettings& actual, const char* what);

/// The text with control bytes, backslashes and non-ASCII bytes escaped, for messages.
std::string escaped(const std::string& text);

}  // namespace fuzzing
