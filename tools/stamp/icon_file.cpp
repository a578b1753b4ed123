#include "icon_file.h"

#include <algorithm>
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
    std::size_t imageBytes = 0;
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
        // Each image has bytes of its own in an icon file: images that add up to more than the
        // file share them, and each copy would be another image in the executable.
        imageBytes += size;
        if (imageBytes > bytes.size()) throw StampError("image " + number + " shares its bytes with another");
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
    // One pass over the images, not one for each: an icon file may hold 65,535 of them.
    auto goes = [&](const ResourceEntry& e) { return e.name.isId && dropped.count(e.name.id) && !kept.count(e.name.id); };
    icons.children.erase(std::remove_if(icons.children.begin(), icons.children.end(), goes), icons.children.end());
    std::set<std::uint16_t> taken = kept;
    for (const ResourceEntry& e : icons.children)
        if (e.name.isId) taken.insert(e.name.id);

    std::vector<std::uint16_t> ids;
    for (std::uint16_t id = 1; ids.size() < images.size(); ++id) {
        if (id == 0) throw StampError("the executable has no free icon numbers left");
        if (taken.count(id)) continue;
        ResourceEntry image;
        image.name.id = id;
        ResourceEntry& leaf = image.childOrNew(language);
        leaf.isDirectory = false;
        leaf.data = images[ids.size()].data;
        leaf.codePage = codePage;
        icons.children.push_back(std::move(image));
        ids.push_back(id);
    }
    // The format's order: named entries first, then numbers ascending.
    std::stable_sort(icons.children.begin(), icons.children.end(), [](const ResourceEntry& a, const ResourceEntry& b) {
        return !a.name.isId ? b.name.isId : b.name.isId && a.name.id < b.name.id;
    });
    ResourceEntry group;
    group.name = name;
    ResourceEntry& leaf = group.childOrNew(language);
    leaf.isDirectory = false;
    leaf.data = groupData(images, ids);
    leaf.codePage = codePage;
    groups.children.insert(groups.children.begin(), std::move(group));
}

}  // namespace stamp
