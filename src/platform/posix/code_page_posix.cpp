#include "platform/text.h"

namespace platform {

// POSIX strings are the system's bytes (normally UTF-8) everywhere: nothing to convert.
std::string codePageToUtf8(const std::string& bytes) { return bytes; }

}  // namespace platform
