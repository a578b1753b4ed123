// The version information block of a Windows executable (VS_VERSIONINFO), read without the
// system's version library: the launcher reads one string of its own block at start-up.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

/// The string `name` of the first string table of the version information `block` (the bytes
/// of an RT_VERSION resource) that has it, in UTF-8. nullopt when the block holds no such
/// string, or is damaged where it would lie.
std::optional<std::string> versionString(const unsigned char* block, std::size_t size, const std::u16string& name);

}  // namespace platform
