#include "config/line_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "config/launch_settings.h"
#include "base/text_ops.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/unicode_text.h"

namespace {

static_assert(kMaxConfigFileBytes == 128u << 20, "message kMsgFileTooLarge names the limit: 128 MiB");

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The one place that opens a configuration file, so that another way of opening (a wide path
// on Windows) replaces only this. Binary mode: a Ctrl-Z byte is text like any other, and the
// carriage returns before line feeds are the line reader's to drop, on every system alike.
File openForReading(const std::string& path) { return File(platform::openFile(path, "rb"), &std::fclose); }

// UTF-16 from `start` on, as UTF-8. What is no character (a surrogate without its partner, a
// last odd byte) becomes U+FFFD, one for each unit or byte, so nothing is dropped unseen.
std::string utf16ToUtf8(const std::string& bytes, std::size_t start, bool bigEndian) {
    auto unitAt = [&](std::size_t at) {
        unsigned first = static_cast<unsigned char>(bytes[at]), second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    };
    std::string out;
    out.reserve(bytes.size() - start);
    std::size_t at = start;
    for (; at + 1 < bytes.size(); at += 2) {
        char32_t unit = unitAt(at);
        if (unit >= 0xD800 && unit < 0xDC00 && at + 3 < bytes.size()) {
            char32_t low = unitAt(at + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                unicode_text::appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                at += 2;
                continue;
            }
        }
        unicode_text::appendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    if (at < bytes.size()) unicode_text::appendUtf8(out, 0xFFFD);
    return out;
}

// Length of the UTF-8 sequence at `at`, or 0 when none starts there: no overlong forms, no
// surrogates, nothing above U+10FFFF.
std::size_t utf8SequenceLength(const std::string& bytes, std::size_t at) {
    auto byte = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    unsigned lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead < 0xE0) length = 2;
    if (lead >= 0xE0 && lead < 0xF0) length = 3;
    if (lead >= 0xF0 && lead < 0xF5) length = 4;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    unsigned second = byte(at + 1);
    bool outOfRange = (lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
                      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90);
    return outOfRange ? 0 : length;
}

bool isValidUtf8(const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t length = utf8SequenceLength(bytes, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

}  // namespace

FileBytes readFileBytes(const std::string& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    File file = openForReading(path);
    if (!file) return FileBytes::kCannotRead;
    // A file that tells its size gets its room at once, so a large one is not copied while it
    // grows; a pipe or a device tells nothing and grows the text as it comes.
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        long size = std::ftell(file.get());
        if (size > 0) bytes.reserve(std::min(static_cast<std::size_t>(size), limit));
        std::rewind(file.get());
    } else {
        std::clearerr(file.get());
    }
    char chunk[64 * 1024];
    for (;;) {
        std::size_t count = std::fread(chunk, 1, sizeof chunk, file.get());
        if (count > limit - bytes.size()) return FileBytes::kTooLarge;
        bytes.append(chunk, count);
        if (count < sizeof chunk) break;
    }
    // A name that opens but cannot be read (a directory, on POSIX) counts as unreadable.
    return std::ferror(file.get()) ? FileBytes::kCannotRead : FileBytes::kRead;
}

bool isWideTextWithoutMark(const std::string& bytes) {
    if (bytes.compare(0, 4, std::string("\xFF\xFE\0\0", 4)) == 0 || bytes.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0)
        return true;
    if (startsWith(bytes, "\xEF\xBB\xBF") || startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) return false;
    // Directives are ASCII: in UTF-16 (and UTF-32) nearly every pair of bytes has its zero on
    // the same side, where a stray NUL byte of a UTF-8 or code page text has few.
    std::size_t pairs = std::min<std::size_t>(bytes.size(), 64) / 2, zeros[2] = {0, 0};
    for (std::size_t i = 0; i < 2 * pairs; ++i)
        if (bytes[i] == '\0') ++zeros[i % 2];
    return pairs >= 2 && std::max(zeros[0], zeros[1]) * 4 >= pairs * 3;
}

std::string decodeConfigText(std::string bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) return bytes.erase(0, 3);
    if (startsWith(bytes, "\xFF\xFE")) return utf16ToUtf8(bytes, 2, false);
    if (startsWith(bytes, "\xFE\xFF")) return utf16ToUtf8(bytes, 2, true);
    // Valid UTF-8 (plain ASCII among it) reads the same in UTF-8 as the launcher's own text on
    // every system; anything else can only be the code page's.
    if (isValidUtf8(bytes)) return bytes;
    return platform::codePageToUtf8(bytes);
}

std::int64_t readLine(std::vector<char>& buffer, TextCursor& cursor, bool keepLineFeed) {
    const std::string& text = cursor.text;
    if (cursor.position >= text.size()) return -1;
    std::size_t start = cursor.position;
    std::size_t feed = text.find('\n', start);
    std::size_t stored = (feed == std::string::npos ? text.size() : feed + 1) - start;
    // The same capacities as growing byte by byte: more than the bytes stored, line feed included.
    while (buffer.size() <= stored) buffer.resize(buffer.empty() ? 512 : buffer.size() * 2);
    std::memcpy(buffer.data(), text.data() + start, stored);
    cursor.position = start + stored;
    std::size_t count = stored;
    if (feed != std::string::npos && !keepLineFeed) {
        --count;
        if (count > 0 && buffer[count - 1] == '\r') --count;
    }
    buffer[count] = '\0';
    return static_cast<std::int64_t>(count);
}

bool readTextLines(const std::string& path, const std::function<void(const std::string&, LineNumber)>& handler) {
    std::string text;
    FileBytes outcome = readFileBytes(path, kMaxConfigFileBytes, text);
    if (outcome == FileBytes::kTooLarge) throw JavaLauncherException(kMsgFileTooLarge, path);
    if (outcome != FileBytes::kRead) return false;
    readTextOf(std::move(text), path, handler);
    return true;
}

void readTextOf(std::string text, const std::string& path, const std::function<void(const std::string&, LineNumber)>& handler) {
    // Read as UTF-16 or UTF-8, such a text gives lines cut at their first zero byte: nothing
    // of what was written, or single letters taken for settings. None of it is read.
    if (isWideTextWithoutMark(text)) {
        printErr("WARNING: " + path + " is in UTF-32, or in UTF-16 without a byte-order mark, and is not read: "
                 "save it as UTF-8.\n");
        return;
    }
    text = decodeConfigText(std::move(text));
    TextCursor cursor{text};
    std::vector<char> buffer;
    LineNumber lineNumber = 1;
    for (std::int64_t length; (length = readLine(buffer, cursor, false)) != -1; ++lineNumber) {
        if (length > 0) handler(std::string(buffer.data(), std::strlen(buffer.data())), lineNumber);
    }
}
