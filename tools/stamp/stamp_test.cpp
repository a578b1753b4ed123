// The stamping code on real launcher executables (the Windows trees' launcher.exe, named by
// STAMP_SAMPLE_EXES, comma-separated) and on small hand-made inputs.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "icon_file.h"
#include "pe_image.h"
#include "resource_tree.h"
#include "stamp.h"
#include "version_info.h"

namespace stamp {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> samples() {
    std::vector<std::string> files;
    const char* list = std::getenv("STAMP_SAMPLE_EXES");
    std::istringstream names(list ? list : "");
    for (std::string name; std::getline(names, name, ',');)
        if (!name.empty()) files.push_back(name);
    return files;
}

std::uint32_t u32(const std::string& bytes, std::size_t at) { return readLe(bytes, at, 4, "test read"); }
std::size_t peOffset(const std::string& bytes) { return u32(bytes, 0x3C); }

std::string stamped(const std::string& image, const StampOptions& options = {}, const std::optional<std::string>& icon = {}) {
    return stampImage(image, "in.exe", icon, options);
}

class RealLauncher : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        image_ = readFile(GetParam());
        ASSERT_GT(image_.size(), 4096u) << GetParam();
    }
    std::string image_;
};

// The linker's checksum is what ours computes, and a stamped copy carries a correct one.
TEST_P(RealLauncher, ChecksumMatchesTheLinkersAndStaysCorrect) {
    std::size_t field = checksumOffset(peOffset(image_));
    ASSERT_NE(u32(image_, field), 0u);
    EXPECT_EQ(peChecksum(image_, field), u32(image_, field));
    std::string out = stamped(image_);
    EXPECT_EQ(peChecksum(out, field), u32(out, field));
}

// Stamping with nothing to change keeps every resource; stamping a stamped copy replaces its
// resource section in place, so that the file does not grow.
TEST_P(RealLauncher, ResourcesSurviveAndRestampingReplacesInPlace) {
    std::string once = stamped(image_), twice = stamped(once);
    EXPECT_TRUE(sameTree(readResources(PeImage(image_)), readResources(PeImage(once))));
    EXPECT_TRUE(sameTree(readResources(PeImage(once)), readResources(PeImage(twice))));
    EXPECT_EQ(once.size(), twice.size());
    EXPECT_EQ(readLe(once, peOffset(once) + 6, 2, ""), readLe(image_, peOffset(image_) + 6, 2, "") + 1);
    EXPECT_EQ(readLe(twice, peOffset(twice) + 6, 2, ""), readLe(once, peOffset(once) + 6, 2, ""));
}

// Outside the headers, the old resources and the new section every byte stays, and what
// follows the sections' data (the symbol table) moves whole, its pointer with it.
TEST_P(RealLauncher, EverythingElseIsKept) {
    // A stripped release build has no symbol table: the sample gets one, bytes after the
    // sections that the header points to, so that their move is checked all the same.
    std::string image = image_;
    if (u32(image, peOffset(image) + 12) == 0) {
        std::size_t symbols = image.size();
        image += std::string("symbols and their strings, kept whole");
        writeLe(image, peOffset(image) + 12, 4, symbols);
    }
    PeImage before(image);
    std::string out = stamped(image, {}, readFile(std::string(STAMP_TEST_DIR) + "/app.ico"));
    PeImage after(out);
    const Section* old = before.sectionAt(before.resourceRva());
    ASSERT_NE(old, nullptr);
    std::size_t headers = u32(image, peOffset(image) + 24 + 60), insertAt = 0;
    for (std::size_t i = 0; i < readLe(image, peOffset(image) + 6, 2, ""); ++i) {
        std::size_t h = peOffset(image) + 24 + readLe(image, peOffset(image) + 20, 2, "") + 40 * i;
        insertAt = std::max<std::size_t>(insertAt, u32(image, h + 20) + u32(image, h + 16));
    }
    for (std::size_t i = headers; i < insertAt; ++i) {
        if (i >= old->rawPointer && i < old->rawPointer + old->rawSize) continue;
        ASSERT_EQ(image[i], out[i]) << "byte " << i << " changed";
    }
    std::size_t added = out.size() - image.size();
    EXPECT_EQ(image.substr(insertAt), out.substr(insertAt + added));
    EXPECT_EQ(u32(out, peOffset(out) + 12), u32(image, peOffset(image) + 12) + added);
    EXPECT_EQ(std::string(old->rawSize, '\0').compare(0, 64, out, old->rawPointer, 64), 0) << "old resources left";
}

// A resource directory without entries, the last bytes of its section, reads and stamps, and
// so does the copy made from it.
TEST_P(RealLauncher, StampsAnEmptyResourceDirectory) {
    PeImage image(image_);
    std::string empty = image_;
    writeLe(empty, image.offsetOf(image.resourceRva(), 16) + 12, 4, 0);
    std::string once = stamped(empty);
    EXPECT_TRUE(readResources(PeImage(once)).children.empty());
    EXPECT_NO_THROW(stamped(once));
    StampOptions options;
    options.strings = {{"ProductName", "Made"}};
    EXPECT_EQ(readResources(PeImage(stamped(once, options))).children.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Samples, RealLauncher, ::testing::ValuesIn(samples()));
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealLauncher);

// Damaged and unfit executables, each made from a real one, and the message each gives.
TEST_P(RealLauncher, RefusesDamagedInputsWithTheirReason) {
    std::size_t pe = peOffset(image_);
    std::size_t optional = pe + 24, directories = optional + (readLe(image_, optional, 2, "") == 0x20B ? 112 : 96);
    std::size_t table = optional + readLe(image_, pe + 20, 2, "");
    std::size_t count = readLe(image_, pe + 6, 2, "");
    auto patched = [&](std::size_t at, std::size_t width, std::uint32_t value) {
        std::string copy = image_;
        writeLe(copy, at, width, value);
        return copy;
    };
    const std::string notPe = "in.exe is not a PE executable: ", damaged = "in.exe is a damaged PE executable: ";
    // The resource root's first type entry pointed back at the root: a loop.
    std::string looped = image_;
    std::size_t rootAt = PeImage(image_).offsetOf(PeImage(image_).resourceRva(), 16);
    writeLe(looped, rootAt + 16 + 4, 4, 0x80000000u);
    struct Case {
        std::string image, message;
    } cases[] = {
        {"", notPe + "it has no MZ header"},
        {patched(0, 2, 0x4D5A), notPe + "it has no MZ header"},
        {patched(0x3C, 4, 0x7FFFFFF0), notPe + "it has no PE header"},
        {patched(pe, 4, 0x4550 + 1), notPe + "it has no PE header"},
        {patched(pe + 22, 2, 0), notPe + "it is not marked as an executable image"},
        {image_.substr(0, pe + 30), damaged + "the headers end before the file does"},
        {patched(optional, 2, 0x107), damaged + "its optional header is neither PE32 nor PE32+"},
        {patched(optional + 36, 4, 3), damaged + "its section or file alignment is invalid"},
        {patched(pe + 6, 2, 0), damaged + "its section count is out of range"},
        {patched(pe + 6, 2, 60), damaged + "its section table lies outside its headers"},
        {image_.substr(0, 4096), damaged + "section 1 runs past the end of the file"},
        {patched(directories + 16, 4, 0x7FFFF000), damaged + "its resources point outside the data of its sections"},
        {looped, damaged + "its resource directory nests too deeply"},
        {patched(directories + 4 * 8 + 4, 4, 0x100), "in.exe is signed: stamp it before signing it"},
        {patched(table + count * 40, 4, 0x7478742E), "cannot stamp in.exe: its headers have no room for another section"},
        {patched(table + 40 + 12, 4, 0), damaged + "section 2 overlaps the one before it"},
        {patched(table + 20, 4, 0x200), damaged + "section 1 overlaps the headers"},
        {patched(table + (count - 1) * 40 + 8, 4, 0xFFFFFFFFu - u32(image_, table + (count - 1) * 40 + 12)),
         "cannot stamp in.exe: its sections leave no address space for another"},
    };
    for (const Case& c : cases) {
        try {
            stamped(c.image);
            ADD_FAILURE() << "accepted; expected: " << c.message;
        } catch (const StampError& e) {
            EXPECT_EQ(e.what(), c.message);
        }
    }
}

// ---- Hand-made inputs ---------------------------------------------------------------------

TEST(VersionNumber, ParsesOneToFourNumbersUpTo65535) {
    using V = VersionNumber;
    EXPECT_EQ(parseVersionNumber("1.2.3.4"), (V{1, 2, 3, 4}));
    EXPECT_EQ(parseVersionNumber("2.3"), (V{2, 3, 0, 0}));
    EXPECT_EQ(parseVersionNumber("65535.0.0.00007"), (V{65535, 0, 0, 7}));
    for (const char* bad : {"", "1.2.3.4.5", "65536", "1..2", "1.2.", ".1", "-1", "1.2a", "1 .2", "000000"})
        EXPECT_EQ(parseVersionNumber(bad), std::nullopt) << bad;
}

TEST(Utf8, ConvertsWellFormedTextOnly) {
    EXPECT_EQ(utf16FromUtf8("A\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80"), std::u16string(u"A\u00C4\u20AC\U0001F600"));
    for (const char* bad : {"\x80", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3\x28"})
        EXPECT_EQ(utf16FromUtf8(bad), std::nullopt) << bad;
}

std::string icoHeader(std::size_t count) {
    std::string ico;
    appendLe(ico, 2, 0);
    appendLe(ico, 2, 1);
    appendLe(ico, 2, static_cast<std::uint32_t>(count));
    return ico;
}

// An icon file whose two entries name the same image, which the file holds once.
std::string sharedImage(const std::string& image) {
    std::string ico = icoHeader(2);
    for (int i = 0; i < 2; ++i) {
        ico += std::string(8, '\x10');
        appendLe(ico, 4, static_cast<std::uint32_t>(image.size()));
        appendLe(ico, 4, 6 + 2 * 16);
    }
    return ico + image;
}

TEST(IcoFile, RefusesWhatIsNotAnIconFile) {
    std::string png("\x89PNG\r\n\x1a\nrest", 12);
    auto withImage = [&](std::uint32_t size, std::uint32_t offset, const std::string& data) {
        std::string ico = icoHeader(1) + std::string(8, '\x10');
        appendLe(ico, 4, size);
        appendLe(ico, 4, offset);
        return ico + data;
    };
    EXPECT_EQ(parseIcoFile(withImage(12, 22, png)).front().data, png);
    struct Case {
        std::string bytes, reason;
    } cases[] = {
        {"", "it ends inside its image directory"},
        {"GIF89a", "it does not start as an icon file"},
        {icoHeader(0), "it holds no image"},
        {icoHeader(2) + std::string(16, '\0'), "it ends inside its image directory"},
        {withImage(0, 22, png), "image 1 lies outside the file"},
        {withImage(13, 22, png), "image 1 lies outside the file"},
        {withImage(12, 0xFFFFFFFF, png), "image 1 lies outside the file"},
        {withImage(12, 22, std::string(12, 'x')), "image 1 is neither PNG nor a bitmap"},
        {sharedImage(png + std::string(100, 'x')), "image 2 shares its bytes with another"},
    };
    for (const Case& c : cases) {
        try {
            parseIcoFile(c.bytes);
            ADD_FAILURE() << "accepted: " << c.reason;
        } catch (const StampError& e) {
            EXPECT_EQ(e.what(), c.reason);
        }
    }
}

ResourceEntry leafWith(std::uint16_t language, const std::string& data) {
    ResourceEntry leaf;
    leaf.name.id = language;
    leaf.isDirectory = false;
    leaf.data = data;
    return leaf;
}

std::string groupListing(const std::vector<std::uint16_t>& ids) {
    std::string group = icoHeader(ids.size());
    for (std::uint16_t id : ids) {
        group += std::string(12, '\0');
        appendLe(group, 2, id);
    }
    return group;
}

// The first group's images go unless another group lists them; the new images take numbers
// that no remaining image uses, and the group keeps its name and language.
TEST(ReplaceIcon, RemovesOnlyTheFirstGroupsOwnImages) {
    ResourceEntry root;
    for (std::uint16_t id : {1, 2, 3}) root.childOrNew(kRtIcon).childOrNew(id).children = {leafWith(1033, "old")};
    root.childOrNew(kRtGroupIcon).childOrNew(7).children = {leafWith(1033, groupListing({1, 2}))};
    root.childOrNew(kRtGroupIcon).childOrNew(9).children = {leafWith(1033, groupListing({2, 3}))};
    IconImage image;
    image.width = 16;
    image.data = "new";
    replaceIcon(root, {image, image});

    std::vector<std::uint16_t> icons;
    for (const ResourceEntry& e : root.child(kRtIcon)->children) icons.push_back(e.name.id);
    EXPECT_EQ(icons, (std::vector<std::uint16_t>{1, 2, 3, 4}));
    EXPECT_EQ(root.child(kRtIcon)->child(1)->children.front().data, "new");
    EXPECT_EQ(root.child(kRtIcon)->child(2)->children.front().data, "old");
    EXPECT_EQ(root.child(kRtIcon)->child(4)->children.front().name.id, 1033);
    const ResourceEntry& group = root.child(kRtGroupIcon)->children.front();
    EXPECT_EQ(group.name.id, 7);
    EXPECT_EQ(group.children.front().name.id, 1033);
    EXPECT_EQ(group.children.front().data.substr(0, 6), icoHeader(2));
    EXPECT_EQ(readLe(group.children.front().data, 6 + 12, 2, ""), 1u);
    EXPECT_EQ(readLe(group.children.front().data, 6 + 14 + 12, 2, ""), 4u);
}

// Strings are replaced where they are and added at the end of every table; the resource
// written and read again is the same tree.
TEST(VersionInfo, SetsStringsAndNumbersAndRoundTrips) {
    VersionBlock info = newVersionInfo();
    setVersionString(info, u"ProductName", u"One");
    setVersionString(info, u"Comments", u"");
    setVersionString(info, u"ProductName", u"Two \u00C4");
    setFixedVersion(info, true, {1, 2, 3, 4});
    VersionBlock back = parseVersionInfo(writeVersionInfo(info));
    ASSERT_EQ(back.children.size(), 2u);
    const VersionBlock& table = back.children.front().children.front();
    EXPECT_EQ(table.key, u"040904b0");
    ASSERT_EQ(table.children.size(), 2u);
    EXPECT_EQ(table.children[0].key, u"ProductName");
    EXPECT_EQ(table.children[0].value, std::string("T\0w\0o\0 \0\xC4\0\0\0", 12));
    EXPECT_EQ(table.children[1].value, std::string(2, '\0'));
    EXPECT_EQ(readLe(back.value, 16, 4, ""), 0x00010002u);
    EXPECT_EQ(readLe(back.value, 20, 4, ""), 0x00030004u);
    EXPECT_EQ(writeVersionInfo(back), writeVersionInfo(info));
    EXPECT_THROW(parseVersionInfo(std::string("\x40\0\0\0\0\0", 6)), StampError);
}

// Every input that once broke the reader or the writer (the fuzz target's corpus): what
// stamps once stamps again, and its version resources rewrite to the same bytes.
TEST(FuzzFindings, StampOnceAndAgain) {
    std::string corpus = std::string(STAMP_TEST_DIR) + "/../../../fuzz/corpus/fuzz_pe_resources/";
    for (const char* name : {"empty_resource_directory_at_section_end.exe", "section_at_the_end_of_the_address_space.exe",
                             "section_data_in_the_headers.exe", "section_data_overlapping_the_resources.exe",
                             "version_text_length_in_bytes.exe", "named_entry_after_numbered.exe",
                             "debug_directory_in_the_resources.exe"}) {
        std::string input = readFile(corpus + name), once;
        ASSERT_FALSE(input.empty()) << name;
        // The tree as it is, rewritten, reads back the same.
        std::string rewritten;
        ResourceEntry asRead;
        try {
            PeImage image(input);
            asRead = readResources(image);
            rewritten = image.withResourceSection(writeResources(asRead, image.resourceSectionRva()), {});
        } catch (const StampError&) {
        }
        if (!rewritten.empty()) {
            ResourceEntry again;
            EXPECT_NO_THROW(again = readResources(PeImage(rewritten))) << name;
            EXPECT_TRUE(sameTree(again, asRead)) << name;
        }
        try {
            once = stamped(input);
        } catch (const StampError&) {
            continue;
        }
        EXPECT_NO_THROW(stamped(once)) << name;
        EXPECT_TRUE(sameTree(readResources(PeImage(input)), readResources(PeImage(once)))) << name;
        ResourceEntry tree = readResources(PeImage(once));
        if (ResourceEntry* versions = tree.child(kRtVersion)) {
            for (const ResourceEntry& language : versions->children.front().children) {
                std::string written;
                try {
                    written = writeVersionInfo(parseVersionInfo(language.data));
                } catch (const StampError&) {
                    continue;  // a damaged one, which stamping refuses to change
                }
                EXPECT_EQ(writeVersionInfo(parseVersionInfo(written)), written) << name;
            }
        }
    }
}

std::string corpusFile(const std::string& name) {
    return readFile(std::string(STAMP_TEST_DIR) + "/../../../fuzz/corpus/fuzz_pe_resources/" + name);
}

// The corpus's small executable with `section` as its resources.
std::string withResources(const std::string& section) {
    PeImage image(corpusFile("pe32_gui_icon_version.exe"));
    return image.withResourceSection(section, {});
}

// A resource root of `count` entries, each named (or a directory of `children` leaves), the
// first of them with a long name (or many leaves): the file holds that one once, and each of
// the other entries is pointed at it, as a hostile file would to make the tree multiply.
std::string sharedRootEntries(std::size_t count, bool shareNames) {
    ResourceEntry root;
    for (std::size_t i = 0; i < count; ++i) {
        ResourceEntry entry = leafWith(0, "x");
        entry.name.isId = false;
        entry.name.text = i == 0 && shareNames ? std::u16string(30000, u'n') : u"n" + std::u16string(1, char16_t(u'a' + i % 26));
        if (!shareNames) {
            entry.isDirectory = true;
            for (std::uint16_t id = 0; id < (i == 0 ? 4000 : 1); ++id) entry.children.push_back(leafWith(id, "x"));
        }
        root.children.push_back(entry);
    }
    std::uint32_t rva = PeImage(corpusFile("pe32_gui_icon_version.exe")).resourceSectionRva();
    std::string section = writeResources(root, rva);
    std::size_t field = shareNames ? 0 : 4;  // the entry's name, or its subdirectory
    for (std::size_t i = 1; i < count; ++i) writeLe(section, 16 + 8 * i + field, 4, readLe(section, 16 + field, 4, ""));
    return withResources(section);
}

// A tree read from an executable holds no more than a few times the file's size, however its
// entries point at each other; what would hold more is refused as damaged.
TEST(ReadResources, RefusesEntriesThatShareTheirParts) {
    struct Case {
        std::string image, reason;
    } cases[] = {
        {sharedRootEntries(300, true), "its resource entries share their names"},
        {sharedRootEntries(300, false), "its resource directory has too many entries"},
    };
    for (const Case& c : cases) {
        try {
            readResources(PeImage(c.image));
            ADD_FAILURE() << "accepted: " << c.reason;
        } catch (const PeError& e) {
            EXPECT_EQ(e.what(), c.reason);
        }
    }
}

// The most images an icon file can hold: the stamped copy reads back, and stamps again.
TEST(ReplaceIcon, TheMostImagesAnIconFileHoldsStampAgain) {
    const std::size_t count = 65535;
    std::string png("\x89PNG\r\n\x1a\n", 8), ico = icoHeader(count);
    for (std::size_t i = 0; i < count; ++i) {
        ico += std::string(8, '\x10');
        appendLe(ico, 4, 8);
        appendLe(ico, 4, static_cast<std::uint32_t>(6 + 16 * count + 8 * i));
    }
    for (std::size_t i = 0; i < count; ++i) ico += png;
    std::string input = corpusFile("pe32_gui_icon_version.exe"), once = stamped(input, {}, ico), twice;
    ASSERT_NO_THROW(twice = stamped(once, {}, ico));
    EXPECT_EQ(readResources(PeImage(twice)).child(kRtIcon)->children.size(), count);
    EXPECT_TRUE(sameTree(readResources(PeImage(once)), readResources(PeImage(twice))));
}

// A directory counts each kind of entry in 16 bits: one that would hold more is refused when
// written, not written wrong.
TEST(WriteResources, RefusesMoreEntriesOfOneKindThanADirectoryCounts) {
    ResourceEntry root;
    for (std::uint32_t id = 0; id <= 0xFFFF; ++id) root.children.push_back(leafWith(static_cast<std::uint16_t>(id), ""));
    EXPECT_THROW(writeResources(root, 0x1000), StampError);
    root.children.pop_back();
    EXPECT_NO_THROW(writeResources(root, 0x1000));
}

TEST(Arguments, ReadsOptionsInAnyOrder) {
    StampOptions o = parseArguments({"--set-version-string", "A", "b", "in.exe", "--set-icon", "i.ico", "out.exe",
                                     "--set-file-version", "1.2"});
    EXPECT_EQ(o.input, "in.exe");
    EXPECT_EQ(o.output, "out.exe");
    EXPECT_EQ(o.icon, std::optional<std::string>("i.ico"));
    EXPECT_EQ(o.fileVersion, (VersionNumber{1, 2, 0, 0}));
    EXPECT_EQ(o.strings, (std::vector<std::pair<std::string, std::string>>{{"A", "b"}}));
    EXPECT_THROW(parseArguments({"in.exe", "out.exe", "extra"}), UsageError);
    EXPECT_THROW(parseArguments({"in.exe", "out.exe", "--set-version-string", "", "x"}), UsageError);
    EXPECT_THROW(parseArguments({"in.exe", "out.exe", "--set-version-string", "N", "\xFF"}), UsageError);
}

}  // namespace
}  // namespace stamp
