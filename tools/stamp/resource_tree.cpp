#include "resource_tree.h"

#include <algorithm>
#include <deque>
#include <map>

namespace stamp {
namespace {

constexpr std::uint32_t kSubdirectory = 0x80000000u, kNamed = 0x80000000u;
constexpr int kLevels = 3;  // type, name, language

class TreeReader {
public:
    TreeReader(const PeImage& image, std::vector<std::pair<std::size_t, std::size_t>>* used)
        : image_(image), used_(used) {}

    void readDirectory(std::uint32_t relative, ResourceEntry& into, int level) {
        std::size_t at = map(relative, 16);
        const std::string& b = image_.bytes();
        into.characteristics = get(b, at, 4);
        into.timeDateStamp = get(b, at + 4, 4);
        into.majorVersion = static_cast<std::uint16_t>(get(b, at + 8, 2));
        into.minorVersion = static_cast<std::uint16_t>(get(b, at + 10, 2));
        std::size_t count = get(b, at + 12, 2) + get(b, at + 14, 2);
        std::size_t entries = map(relative + 16, static_cast<std::uint32_t>(count * 8));
        // In a sound file every directory has bytes of its own: more than the file holds means
        // entries lead to the same directory again, which would multiply the tree.
        claim(directoryBytes_, 16 + count * 8, "its resource directory has too many entries");
        for (std::size_t i = 0; i < count; ++i) {
            ResourceEntry child;
            std::uint32_t name = get(b, entries + i * 8, 4), target = get(b, entries + i * 8 + 4, 4);
            child.name = readName(name);
            if (target & kSubdirectory) {
                if (level + 1 >= kLevels) throw PeError(false, "its resource directory nests too deeply");
                readDirectory(target & ~kSubdirectory, child, level + 1);
            } else {
                readData(target, child);
            }
            into.children.push_back(std::move(child));
        }
        // The format's order, named entries first, whatever the file had.
        std::stable_partition(into.children.begin(), into.children.end(),
                              [](const ResourceEntry& c) { return !c.name.isId; });
    }

private:
    // Adds `size` to one kind of part read; throws (damaged) when the parts of that kind hold
    // more bytes than the whole file, which only parts read more than once can: what the tree
    // holds in memory, and what writing it makes, stays within a few times the input's size.
    void claim(std::size_t& total, std::size_t size, const char* reason) {
        total += size;
        if (total > image_.bytes().size()) throw PeError(false, reason);
    }

    static std::uint32_t get(const std::string& b, std::size_t at, std::size_t width) {
        return readLe(b, at, width, "its resource directory runs past the end of the file");
    }

    // A range inside the resource directory, by its offset from the directory's start.
    std::size_t map(std::uint32_t relative, std::uint32_t size) {
        if (relative > 0xFFFFFFFFu - image_.resourceRva()) throw PeError(false, "its resource directory is corrupt");
        std::size_t at = image_.offsetOf(image_.resourceRva() + relative, size);
        if (used_) used_->emplace_back(at, size);
        return at;
    }

    ResourceName readName(std::uint32_t field) {
        ResourceName name;
        if (!(field & kNamed)) {
            name.id = static_cast<std::uint16_t>(field);
            return name;
        }
        name.isId = false;
        std::uint32_t relative = field & ~kNamed;
        std::size_t length = get(image_.bytes(), map(relative, 2), 2);
        claim(nameBytes_, 2 + 2 * length, "its resource entries share their names");
        std::size_t at = map(relative + 2, static_cast<std::uint32_t>(length * 2));
        for (std::size_t i = 0; i < length; ++i)
            name.text.push_back(static_cast<char16_t>(get(image_.bytes(), at + 2 * i, 2)));
        return name;
    }

    void readData(std::uint32_t relative, ResourceEntry& leaf) {
        std::size_t at = map(relative, 16);
        std::uint32_t rva = get(image_.bytes(), at, 4), size = get(image_.bytes(), at + 4, 4);
        leaf.isDirectory = false;
        leaf.codePage = get(image_.bytes(), at + 8, 4);
        claim(dataBytes_, size, "its resource entries share their data");
        std::size_t data = image_.offsetOf(rva, size);
        if (used_) used_->emplace_back(data, size);
        leaf.data = image_.bytes().substr(data, size);
    }

    const PeImage& image_;
    std::vector<std::pair<std::size_t, std::size_t>>* used_;
    std::size_t directoryBytes_ = 0, nameBytes_ = 0, dataBytes_ = 0;
};

}  // namespace

ResourceEntry* ResourceEntry::child(std::uint16_t id) {
    for (ResourceEntry& c : children)
        if (c.name.isId && c.name.id == id) return &c;
    return nullptr;
}

ResourceEntry& ResourceEntry::childOrNew(std::uint16_t id) {
    if (ResourceEntry* found = child(id)) return *found;
    auto at = std::find_if(children.begin(), children.end(),
                           [&](const ResourceEntry& c) { return c.name.isId && c.name.id > id; });
    ResourceEntry made;
    made.name.id = id;
    return *children.insert(at, std::move(made));
}

bool sameTree(const ResourceEntry& a, const ResourceEntry& b) {
    if (!(a.name == b.name) || a.isDirectory != b.isDirectory || a.data != b.data || a.codePage != b.codePage ||
        a.children.size() != b.children.size())
        return false;
    for (std::size_t i = 0; i < a.children.size(); ++i)
        if (!sameTree(a.children[i], b.children[i])) return false;
    return true;
}

ResourceEntry readResources(const PeImage& image, std::vector<std::pair<std::size_t, std::size_t>>* used) {
    ResourceEntry root;
    if (image.resourceRva() == 0 && image.resourceSize() == 0) return root;
    TreeReader(image, used).readDirectory(0, root, 0);
    return root;
}

namespace {

// Named entries come first in a directory, numbered ones after, as the format requires.
std::vector<const ResourceEntry*> formatOrder(const ResourceEntry& directory) {
    std::vector<const ResourceEntry*> order;
    for (const ResourceEntry& c : directory.children)
        if (!c.name.isId) order.push_back(&c);
    for (const ResourceEntry& c : directory.children)
        if (c.name.isId) order.push_back(&c);
    return order;
}

// Where each part of the section goes: directories, then data entries, then names, then data.
struct Layout {
    std::vector<const ResourceEntry*> directories, leaves, named;
    std::map<const ResourceEntry*, std::uint32_t> directoryAt, leafAt, nameAt, dataAt;
    std::size_t size = 0;

    explicit Layout(const ResourceEntry& root) {
        std::deque<const ResourceEntry*> queue{&root};
        while (!queue.empty()) {
            const ResourceEntry* d = queue.front();
            queue.pop_front();
            directories.push_back(d);
            for (const ResourceEntry* c : formatOrder(*d)) {
                if (!c->name.isId) named.push_back(c);
                if (c->isDirectory) queue.push_back(c);
                else leaves.push_back(c);
            }
        }
        for (const ResourceEntry* d : directories) {
            // A directory counts its named and its numbered entries in 16 bits each.
            auto named = std::count_if(d->children.begin(), d->children.end(),
                                       [](const ResourceEntry& c) { return !c.name.isId; });
            if (named > 0xFFFF || d->children.size() - named > 0xFFFF)
                throw StampError("a resource directory would hold more than 65535 entries of one kind");
            place(directoryAt, d, 16 + 8 * d->children.size(), 1);
        }
        for (const ResourceEntry* l : leaves) place(leafAt, l, 16, 1);
        for (const ResourceEntry* n : named) place(nameAt, n, 2 + 2 * n->name.text.size(), 2);
        for (const ResourceEntry* l : leaves) place(dataAt, l, l->data.size(), 8);
    }

    void place(std::map<const ResourceEntry*, std::uint32_t>& offsets, const ResourceEntry* entry, std::size_t length,
               std::size_t alignment) {
        size = alignUp(size, alignment);
        if (size > 0x7FFFFFFF) throw StampError("the resources are larger than 2 GiB");
        offsets[entry] = static_cast<std::uint32_t>(size);
        size += length;
    }
};

}  // namespace

std::string writeResources(const ResourceEntry& root, std::uint32_t sectionRva) {
    Layout layout(root);
    std::string out(layout.size, '\0');
    for (const ResourceEntry* d : layout.directories) {
        const ResourceEntry& dir = *d;
        std::size_t at = layout.directoryAt[d];
        writeLe(out, at, 4, dir.characteristics);
        writeLe(out, at + 4, 4, dir.timeDateStamp);
        writeLe(out, at + 8, 2, dir.majorVersion);
        writeLe(out, at + 10, 2, dir.minorVersion);
        std::vector<const ResourceEntry*> order = formatOrder(dir);
        auto namedCount = std::count_if(order.begin(), order.end(), [](const ResourceEntry* c) { return !c->name.isId; });
        writeLe(out, at + 12, 2, static_cast<std::uint32_t>(namedCount));
        writeLe(out, at + 14, 2, static_cast<std::uint32_t>(order.size() - namedCount));
        for (std::size_t i = 0; i < order.size(); ++i) {
            const ResourceEntry* c = order[i];
            std::size_t entry = at + 16 + 8 * i;
            writeLe(out, entry, 4,
                    c->name.isId ? c->name.id : 0x80000000u | layout.nameAt[c]);
            writeLe(out, entry + 4, 4,
                    c->isDirectory ? 0x80000000u | layout.directoryAt[c]
                                   : layout.leafAt[c]);
        }
    }
    for (const ResourceEntry* n : layout.named) {
        const std::u16string& text = n->name.text;
        writeLe(out, layout.nameAt[n], 2, static_cast<std::uint32_t>(text.size()));
        for (std::size_t i = 0; i < text.size(); ++i) writeLe(out, layout.nameAt[n] + 2 + 2 * i, 2, text[i]);
    }
    for (const ResourceEntry* l : layout.leaves) {
        const ResourceEntry& leaf = *l;
        writeLe(out, layout.leafAt[l], 4, sectionRva + layout.dataAt[l]);
        writeLe(out, layout.leafAt[l] + 4, 4, static_cast<std::uint32_t>(leaf.data.size()));
        writeLe(out, layout.leafAt[l] + 8, 4, leaf.codePage);
        out.replace(layout.dataAt[l], leaf.data.size(), leaf.data);
    }
    return out;
}

}  // namespace stamp
