// Icon files (.ico) and the icon resources they become: one RT_ICON per image and an
// RT_GROUP_ICON directory that lists them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resource_tree.h"

namespace stamp {

struct IconImage {
    std::uint8_t width = 0, height = 0, colorCount = 0, reserved = 0;
    std::uint16_t planes = 0, bitCount = 0;
    std::string data;  ///< a PNG stream or a BITMAPINFOHEADER with its bits
};

/// The images of an .ico file, in file order. Throws StampError with the reason (without the
/// file's name) when the bytes are not an icon file: a wrong header, no images, or an image
/// that lies outside the file or is neither PNG nor a bitmap.
std::vector<IconImage> parseIcoFile(const std::string& bytes);

/// Makes `images` the executable's icon: the first icon group (the one Explorer shows) lists
/// exactly them, under its old name and language (name 1, neutral, when there was none), and
/// every image only that group listed is removed.
void replaceIcon(ResourceEntry& root, const std::vector<IconImage>& images);

}  // namespace stamp
