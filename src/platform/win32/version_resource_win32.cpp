#include "platform/win32/version_resource_win32.h"

#include <windows.h>

#include <vector>

#include "platform/files.h"
#include "platform/user_interface.h"
#include "platform/unicode_text.h"
#include "res/resource.h"

namespace platform {
namespace {

/// One node of the block: a length, a value length, a type, a key, the value and the children,
/// each part aligned on 4 bytes from the block's start.
struct Node {
    std::size_t end = 0;  // one past the node
    std::u16string key;
    std::size_t value = 0;     // where the value starts
    std::size_t children = 0;  // where the first child starts
};

class Block {
public:
    Block(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    /// The node at `at`, which must lie whole within `limit`; nullopt when it does not.
    std::optional<Node> node(std::size_t at, std::size_t limit) const {
        if (at + 6 > limit || limit > size_) return std::nullopt;
        std::size_t length = word(at), valueLength = word(at + 2), type = word(at + 4);
        if (length < 6 || at + length > limit) return std::nullopt;
        Node node;
        node.end = at + length;
        std::size_t pos = at + 6;
        for (; pos + 2 <= node.end && word(pos) != 0; pos += 2) node.key += static_cast<char16_t>(word(pos));
        node.value = aligned(pos + 2);
        // A text value is counted in characters, binary data in bytes.
        node.children = aligned(node.value + (type == 1 ? 2 * valueLength : valueLength));
        if (node.value > node.end) node.value = node.end;
        if (node.children > node.end) node.children = node.end;
        return node;
    }

    /// The children of `parent`, in order, up to the first damaged one.
    std::vector<Node> children(const Node& parent) const {
        std::vector<Node> list;
        std::size_t at = parent.children;
        while (std::optional<Node> child = node(at, parent.end)) {
            list.push_back(*child);
            at = aligned(child->end);
        }
        return list;
    }

    /// The text value of `node`, up to its terminator or the node's end.
    std::u16string text(const Node& node) const {
        std::u16string value;
        for (std::size_t pos = node.value; pos + 2 <= node.end && word(pos) != 0; pos += 2)
            value += static_cast<char16_t>(word(pos));
        return value;
    }

private:
    std::size_t word(std::size_t at) const { return data_[at] | (data_[at + 1] << 8); }
    static std::size_t aligned(std::size_t at) { return (at + 3) & ~std::size_t(3); }

    const unsigned char* data_;
    std::size_t size_;
};

}  // namespace

std::optional<std::string> versionString(const unsigned char* data, std::size_t size, const std::u16string& name) {
    Block block(data, size);
    std::optional<Node> root = block.node(0, size);
    if (!root) return std::nullopt;
    for (const Node& info : block.children(*root)) {
        if (info.key != u"StringFileInfo") continue;
        for (const Node& table : block.children(info))
            for (const Node& entry : block.children(table))
                if (entry.key == name) return unicode_text::utf16ToUtf8(block.text(entry));
    }
    return std::nullopt;
}

namespace {

/// The string `name` of the running executable's own version information, unless it is empty
/// or the launcher's own `launcherValue`: only a stamped one counts.
std::optional<std::string> stampedString(const std::u16string& name, const char* launcherValue) {
    // The running executable's own resource, already mapped with it: no file is read.
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));  // RT_VERSION
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return std::nullopt;
    std::optional<std::string> value =
        versionString(static_cast<const unsigned char*>(data), SizeofResource(self, found), name);
    if (!value || value->empty() || *value == launcherValue) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> stampedProductName() { return stampedString(u"ProductName", LAUNCHER_PRODUCT_NAME); }

std::optional<std::string> stampedCompanyName() { return stampedString(u"CompanyName", LAUNCHER_COMPANY_NAME); }

}  // namespace platform
