// The resource directory of a PE image as a tree (type, name, language, data), read from an
// image and written back as the contents of a resource section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pe_image.h"

namespace stamp {

/// An entry's name: a number, or a UTF-16 text.
struct ResourceName {
    bool isId = true;
    std::uint16_t id = 0;
    std::u16string text;
    bool operator==(const ResourceName& other) const {
        return isId == other.isId && (isId ? id == other.id : text == other.text);
    }
};

/// A directory (children) or a data leaf (data, codePage).
struct ResourceEntry {
    ResourceName name;
    bool isDirectory = true;
    std::uint32_t characteristics = 0, timeDateStamp = 0;
    std::uint16_t majorVersion = 0, minorVersion = 0;
    std::vector<ResourceEntry> children;
    std::string data;
    std::uint32_t codePage = 0;

    /// The child with the numeric name `id`, or nullptr.
    ResourceEntry* child(std::uint16_t id);
    /// The child with the numeric name `id`, made as an empty directory (in the order the
    /// format wants: named entries first, then numbers ascending) when there is none.
    ResourceEntry& childOrNew(std::uint16_t id);
};

/// True when the two trees hold the same names, data and code pages in the same order (the
/// directories' own fields aside): what a rewritten tree must read back as.
bool sameTree(const ResourceEntry& a, const ResourceEntry& b);

/// The well-known resource types stamping touches.
constexpr std::uint16_t kRtIcon = 3, kRtGroupIcon = 14, kRtVersion = 16;

/// The resource tree of `image` (an empty root when it has none). `used` receives the file
/// ranges (offset, size) the tree occupies. Throws PeError (damaged) for a tree that points
/// outside the image, nests deeper than type/name/language, or is unreasonably large.
ResourceEntry readResources(const PeImage& image, std::vector<std::pair<std::size_t, std::size_t>>* used = nullptr);

/// The bytes of a resource section holding `root`, whose data entries address the section as
/// loaded at `sectionRva`.
std::string writeResources(const ResourceEntry& root, std::uint32_t sectionRva);

}  // namespace stamp
