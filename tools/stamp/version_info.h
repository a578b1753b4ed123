// The VS_VERSIONINFO structure of an RT_VERSION resource: a tree of blocks (key, value,
// children), with the fixed file information at its root and the StringFileInfo tables below.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace stamp {

struct VersionBlock {
    std::u16string key;
    std::uint16_t type = 1;  ///< 1: the value is UTF-16 text; 0: binary
    std::string value;       ///< raw bytes (text values keep their terminating zero)
    std::vector<VersionBlock> children;
};

using VersionNumber = std::array<std::uint16_t, 4>;

/// Reads the blocks of an RT_VERSION resource. Throws StampError when a block's length runs
/// past its parent or its key has no end.
VersionBlock parseVersionInfo(const std::string& data);
/// The resource bytes of `root`, each block aligned to 4 bytes from the start.
std::string writeVersionInfo(const VersionBlock& root);
/// A version resource with no strings: fixed information for an application, an empty
/// "040904b0" string table and its translation.
VersionBlock newVersionInfo();

/// Sets the fixed file version (`product` false) or product version, making the fixed
/// information when the root has none.
void setFixedVersion(VersionBlock& root, bool product, const VersionNumber& version);
/// Sets `name` to `value` in every string table, adding the string (and the StringFileInfo
/// block and a table for the resource's translation) where it is missing.
void setVersionString(VersionBlock& root, const std::u16string& name, const std::u16string& value);

}  // namespace stamp
