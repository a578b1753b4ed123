// The line reader shared by the configuration file and jvm.cfg: the file's bytes, their text,
// and the lines of that text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// The most bytes a configuration file or jvm.cfg may hold: 128 MiB, thousands of times any
/// real one. The text of message kMsgFileTooLarge names it.
constexpr std::size_t kMaxConfigFileBytes = std::size_t(128) * 1024 * 1024;

/// The most bytes a jvm.cfg may hold: 1 MiB, hundreds of times any real one, so that a search
/// over many runtimes reads little of a damaged one.
constexpr std::size_t kMaxJvmCfgBytes = std::size_t(1) * 1024 * 1024;

/// What readFileBytes found.
enum class FileBytes { kRead, kCannotRead, kTooLarge };

/// Reads the whole of `path` in binary mode (no byte is special, 0x1A included) into `bytes`,
/// stopping before more than `limit` bytes are held. kCannotRead when the file cannot be opened
/// or a read fails (a directory, on POSIX); kTooLarge when it holds more than `limit` bytes,
/// however it ends (a pipe, a device that never ends); `bytes` is then incomplete.
FileBytes readFileBytes(const std::string& path, std::size_t limit, std::string& bytes);

/// The text of a configuration file's bytes, as the launcher's strings hold it. A byte-order
/// mark decides first: UTF-8 (the mark is dropped), UTF-16 little- or big-endian (converted to
/// UTF-8; a lone surrogate or a last odd byte becomes U+FFFD). Without a mark, bytes that are
/// valid UTF-8 stay as they are, and any others are taken in the system's code page
/// (platform::codePageToUtf8: unchanged on POSIX). Never fails but for memory.
std::string decodeConfigText(std::string bytes);

/// True for the bytes of a text in UTF-32 (with or without its byte-order mark) or in UTF-16
/// without one: a UTF-32 mark, or, without a UTF-8 or UTF-16 mark, a zero byte on the same side
/// of at least three quarters of the first 32 pairs of bytes (at least 2), as ASCII text in
/// those encodings has. decodeConfigText would make nothing readable of it.
bool isWideTextWithoutMark(const std::string& bytes);

/// Where readLine is in a text: the text and the position of the next byte.
struct TextCursor {
    const std::string& text;
    std::size_t position = 0;
};

/// Reads the next line of `cursor` into `buffer` (grown to 512 bytes, then doubled, as needed)
/// and leaves a NUL after it. The line feed, with a carriage return just before it, is dropped
/// unless `keepLineFeed`. Returns the line's length, or -1 at the end of the text when nothing
/// was read. Throws std::bad_alloc when the buffer cannot grow.
std::int64_t readLine(std::vector<char>& buffer, TextCursor& cursor, bool keepLineFeed);
