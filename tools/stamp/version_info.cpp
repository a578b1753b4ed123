#include "version_info.h"

#include <cstdio>

#include "bytes.h"

namespace stamp {
namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kFixedSize = 52;
constexpr int kMaxDepth = 8;

std::uint32_t get(const std::string& data, std::size_t at, std::size_t width) {
    return readLe(data, at, width, "its version information is damaged");
}

VersionBlock parseBlock(const std::string& data, std::size_t at, std::size_t limit, int depth, std::size_t& end) {
    if (depth > kMaxDepth) throw StampError("its version information nests too deeply");
    std::size_t length = get(data, at, 2), valueLength = get(data, at + 2, 2);
    VersionBlock block;
    block.type = static_cast<std::uint16_t>(get(data, at + 4, 2));
    end = at + length;
    if (length < 6 || end > limit) throw StampError("its version information is damaged");
    std::size_t cursor = at + 6;
    for (std::uint32_t c; (c = get(data, cursor, 2)) != 0; cursor += 2) {
        if (cursor + 2 > end) throw StampError("its version information is damaged");
        block.key.push_back(static_cast<char16_t>(c));
    }
    std::size_t value = alignUp(cursor + 2, 4);
    std::size_t valueBytes = block.type == 1 ? 2 * valueLength : valueLength;
    // Some resource compilers count a text value in bytes: take what fits.
    if (block.type == 1 && value + valueBytes > end && value + valueLength <= end) valueBytes = valueLength & ~std::size_t{1};
    if (valueBytes != 0 && value + valueBytes > end) throw StampError("its version information is damaged");
    if (valueBytes != 0) block.value = data.substr(value, valueBytes);
    for (std::size_t child = alignUp(value + valueBytes, 4); child + 6 <= end;) {
        std::size_t childEnd = 0;
        block.children.push_back(parseBlock(data, child, end, depth + 1, childEnd));
        child = alignUp(childEnd, 4);
    }
    return block;
}

void writeBlock(const VersionBlock& block, std::string& out) {
    padTo(out, 4);
    std::size_t start = out.size();
    appendLe(out, 2, 0);
    appendLe(out, 2, static_cast<std::uint32_t>(block.type == 1 ? block.value.size() / 2 : block.value.size()));
    appendLe(out, 2, block.type);
    for (char16_t c : block.key) appendLe(out, 2, c);
    appendLe(out, 2, 0);
    padTo(out, 4);
    out += block.value;
    for (const VersionBlock& child : block.children) writeBlock(child, out);
    if (out.size() - start > 0xFFFF) throw StampError("the version information would be larger than 64 KiB");
    writeLe(out, start, 2, static_cast<std::uint32_t>(out.size() - start));
}

VersionBlock* childWithKey(VersionBlock& block, const std::u16string& key) {
    for (VersionBlock& c : block.children)
        if (c.key == key) return &c;
    return nullptr;
}

std::string utf16Value(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) appendLe(out, 2, c);
    appendLe(out, 2, 0);
    return out;
}

std::string defaultFixedInfo() {
    std::string fixed;
    appendLe(fixed, 4, kFixedSignature);
    appendLe(fixed, 4, 0x00010000);  // structure version 1.0
    for (int i = 0; i < 4; ++i) appendLe(fixed, 4, 0);
    appendLe(fixed, 4, 0x3F);     // flags mask
    appendLe(fixed, 4, 0);        // flags
    appendLe(fixed, 4, 0x40004);  // VOS_NT_WINDOWS32
    appendLe(fixed, 4, 1);        // VFT_APP
    for (int i = 0; i < 3; ++i) appendLe(fixed, 4, 0);
    return fixed;
}

// The key of a string table for the resource's first translation ("040904b0" without one).
std::u16string tableKey(VersionBlock& root) {
    unsigned language = 0x0409, codePage = 1200;
    if (VersionBlock* var = childWithKey(root, u"VarFileInfo")) {
        if (VersionBlock* translation = childWithKey(*var, u"Translation"); translation && translation->value.size() >= 4) {
            language = get(translation->value, 0, 2);
            codePage = get(translation->value, 2, 2);
        }
    }
    char text[9];
    std::snprintf(text, sizeof text, "%04x%04x", language, codePage);
    return std::u16string(text, text + 8);
}

}  // namespace

VersionBlock parseVersionInfo(const std::string& data) {
    std::size_t end = 0;
    return parseBlock(data, 0, data.size(), 0, end);
}

std::string writeVersionInfo(const VersionBlock& root) {
    std::string out;
    writeBlock(root, out);
    return out;
}

VersionBlock newVersionInfo() {
    VersionBlock root{u"VS_VERSION_INFO", 0, defaultFixedInfo(), {}};
    VersionBlock strings{u"StringFileInfo", 1, "", {VersionBlock{u"040904b0", 1, "", {}}}};
    std::string translation;
    appendLe(translation, 2, 0x0409);
    appendLe(translation, 2, 1200);
    VersionBlock var{u"VarFileInfo", 1, "", {VersionBlock{u"Translation", 0, translation, {}}}};
    root.children = {strings, var};
    return root;
}

void setFixedVersion(VersionBlock& root, bool product, const VersionNumber& version) {
    if (root.value.size() < kFixedSize || get(root.value, 0, 4) != kFixedSignature) {
        root.type = 0;
        root.value = defaultFixedInfo();
    }
    std::size_t at = product ? 16 : 8;
    writeLe(root.value, at, 4, std::uint32_t{version[0]} << 16 | version[1]);
    writeLe(root.value, at + 4, 4, std::uint32_t{version[2]} << 16 | version[3]);
}

void setVersionString(VersionBlock& root, const std::u16string& name, const std::u16string& value) {
    VersionBlock* strings = childWithKey(root, u"StringFileInfo");
    if (!strings) {
        root.children.insert(root.children.begin(), VersionBlock{u"StringFileInfo", 1, "", {}});
        strings = &root.children.front();
    }
    if (strings->children.empty()) strings->children.push_back(VersionBlock{tableKey(root), 1, "", {}});
    for (VersionBlock& table : strings->children) {
        VersionBlock* entry = childWithKey(table, name);
        if (!entry) {
            table.children.push_back(VersionBlock{name, 1, "", {}});
            entry = &table.children.back();
        }
        entry->type = 1;
        entry->value = utf16Value(value);
    }
}

}  // namespace stamp
