#include "icon_file.h"

#include <set>

namespace stamp {
namespace {

constexpr std::size_t kIcoHeader = 6, kIcoEntry = 16, kGroupEntry = 14;

std::uint32_t icoField(const std::string& bytes, std::size_t at, std::size_t width) {
    return readLe(bytes, at, width, "it ends inside its image directory");
}

bool looksLikeImage(const std::string& data) {
    static const std::string png("\x89PNG\r\n\x1a\n", 8);
    if (data.compare(0, png.size(), png) == 0) return true;
    return data.size() >= 40 && readLe(data, 0, 4, "") == 40;  // BITMAPINFOHEADER
}

// The RT_ICON ids a group icon's data lists (what is readable of it).
std::set<std::uint16_t> listedImages(const std::string& group) {
    std::set<std::uint16_t> ids;
    if (group.size() < kIcoHeader) return ids;
    std::size_t count = readLe(group, 4, 2, "");
    for (std::size_t i = 0; i < count && kIcoHeader + (i + 1) * kGroupEntry <= group.size(); ++i)
        ids.insert(static_cast<std::uint16_t>(readLe(group, kIcoHeader + i * kGroupEntry + 12, 2, "")));
    return ids;
}

void collectListed(const ResourceEntry& entry, std::set<std::uint16_t>& ids) {
    if (!entry.isDirectory) {
        for (std::uint16_t id : listedImages(entry.data)) ids.insert(id);
        return;
    }
    for (const ResourceEntry& c : entry.children) collectListed(c, ids);
}

std::string groupData(const std::vector<IconImage>& images, const std::vector<std::uint16_t>& ids) {
    std::string out;
    appendLe(out, 2, 0);
    appendLe(out, 2, 1);
    appendLe(out, 2, static_cast<std::uint32_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        out += static_cast<char>(image.width);
        out += static_cast<char>(image.height);
        out += static_cast<char>(image.colorCount);
        out += static_cast<char>(image.reserved);
        appendLe(out, 2, image.planes);
        appendLe(out, 2, image.bitCount);
        appendLe(out, 4, static_cast<std::uint32_t>(image.data.size()));
        appendLe(out, 2, ids[i]);
    }
    return out;
}

}  // namespace

std::vector<IconImage> parseIcoFile(const std::string& bytes) {
    if (icoField(bytes, 0, 2) != 0 || icoField(bytes, 2, 2) != 1) throw StampError("it does not start as an icon file");
    std::size_t count = icoField(bytes, 4, 2);
    if (count == 0) throw StampError("it holds no image");
    if (kIcoHeader + count * kIcoEntry > bytes.size()) throw StampError("it ends inside its image directory");
    std::vector<IconImage> images;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = kIcoHeader + i * kIcoEntry;
        IconImage image;
        image.width = static_cast<std::uint8_t>(icoField(bytes, at, 1));
        image.height = static_cast<std::uint8_t>(icoField(bytes, at + 1, 1));
        image.colorCount = static_cast<std::uint8_t>(icoField(bytes, at + 2, 1));
        image.reserved = static_cast<std::uint8_t>(icoField(bytes, at + 3, 1));
        image.planes = static_cast<std::uint16_t>(icoField(bytes, at + 4, 2));
        image.bitCount = static_cast<std::uint16_t>(icoField(bytes, at + 6, 2));
        std::size_t size = icoField(bytes, at + 8, 4), offset = icoField(bytes, at + 12, 4);
        std::string number = std::to_string(i + 1);
        if (size == 0 || offset > bytes.size() || size > bytes.size() - offset)
            throw StampError("image " + number + " lies outside the file");
        image.data = bytes.substr(offset, size);
        if (!looksLikeImage(image.data)) throw StampError("image " + number + " is neither PNG nor a bitmap");
        images.push_back(std::move(image));
    }
    return images;
}

void replaceIcon(ResourceEntry& root, const std::vector<IconImage>& images) {
    ResourceEntry& groups = root.childOrNew(kRtGroupIcon);
    ResourceEntry& icons = root.childOrNew(kRtIcon);
    ResourceName name;
    name.id = 1;
    std::uint16_t language = 0;
    std::uint32_t codePage = 0;
    std::set<std::uint16_t> dropped, kept;
    if (!groups.children.empty()) {
        ResourceEntry& first = groups.children.front();
        name = first.name;
        const ResourceEntry* leaf = &first;
        while (leaf->isDirectory && !leaf->children.empty()) leaf = &leaf->children.front();
        if (!leaf->isDirectory) codePage = leaf->codePage;
        if (first.isDirectory && !first.children.empty() && first.children.front().name.isId)
            language = first.children.front().name.id;
        collectListed(first, dropped);
        groups.children.erase(groups.children.begin());
        collectListed(groups, kept);
    }
    for (std::uint16_t id : dropped)
        if (!kept.count(id)) icons.removeChild(id);

    std::vector<std::uint16_t> ids;
    for (std::uint16_t id = 1; ids.size() < images.size(); ++id) {
        if (id == 0) throw StampError("the executable has no free icon numbers left");
        if (icons.child(id) || kept.count(id)) continue;
        ResourceEntry& image = icons.childOrNew(id).childOrNew(language);
        image.isDirectory = false;
        image.data = images[ids.size()].data;
        image.codePage = codePage;
        ids.push_back(id);
    }
    ResourceEntry group;
    group.name = name;
    ResourceEntry& leaf = group.childOrNew(language);
    leaf.isDirectory = false;
    leaf.data = groupData(images, ids);
    leaf.codePage = codePage;
    groups.children.insert(groups.children.begin(), std::move(group));
}

}  // namespace stamp
