// Text at the system's edges: the launcher's encoding, the code page, and the VM's option strings.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

/// Position of the character before the one that starts at `pos`, stepping through the
/// encoding of the launcher's texts (Windows: UTF-8; POSIX: the locale's) so that a trail byte
/// is never taken for a character of its own. Returns 0 at the start of the text.
std::size_t previousCharStart(const std::string& text, std::size_t pos);

/// Converts a text of the launcher to UTF-16: on Windows from UTF-8 (the launcher's texts
/// there), on POSIX from the locale's encoding (UTF-8 when the locale names plain ASCII).
/// Bytes that do not convert become U+FFFD.
std::u16string toUtf16(const std::string& text);

/// The text of `bytes` in the system's ANSI code page as the launcher's own strings hold it:
/// UTF-8 on Windows (each byte sequence as the system's own conversion reads it), the bytes
/// unchanged on POSIX. Throws std::bad_alloc for texts of 1 GiB and more.
std::string codePageToUtf8(const std::string& bytes);

#ifdef _WIN32
/// The VM reads its option strings in the ANSI code page, which may not hold every character
/// of a path.
constexpr bool kVmOptionsInCodePage = true;
#else
constexpr bool kVmOptionsInCodePage = false;
#endif

/// What a VM option's value is, which decides how it may be given where the code page cannot
/// hold it.
enum class VmOptionValue {
    Text,      ///< only as it is
    PathList,  ///< after "-Dname=", else after the first ':': paths separated by ';'
    AgentPath, ///< after the first ':': a path, then from the first '=' on the agent's own text
};

/// A JNI option as the VM can read it, still as a text of the launcher. The VM reads options
/// in the ANSI code page on Windows: there each path of a PathList or AgentPath value that
/// the code page cannot hold is replaced by its short (8.3) name. nullopt when a part has no
/// form the code page holds (a path without a short name: that path in `unrepresentable`; any
/// other part: the whole option). POSIX: the option.
std::optional<std::string> vmOptionText(const std::string& option, VmOptionValue value, std::string& unrepresentable);

/// True when the VM can be given `path` in an option: the code page holds it, or its short
/// name (Windows). Always true on POSIX.
bool vmCanTakePath(const std::string& path);

/// The bytes the VM reads for a text that vmOptionText gave: the ANSI code page on Windows,
/// the text itself on POSIX.
std::string vmOptionBytes(const std::string& text);

}  // namespace platform
