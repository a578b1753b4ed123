// The input is an executable for launcher-stamp (or an icon file). What its PE reader accepts
// must survive the writer: the resource tree written into a new section reads back the same
// from the rewritten image, with a correct checksum, and every version resource that parses
// writes back to bytes that parse to the same. Refusals are StampErrors, nothing else.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "icon_file.h"
#include "pe_image.h"
#include "resource_tree.h"
#include "version_info.h"

namespace {

using namespace stamp;

void checkVersionBlocks(const ResourceEntry& entry) {
    if (entry.isDirectory) {
        for (const ResourceEntry& c : entry.children) checkVersionBlocks(c);
        return;
    }
    std::string written;
    try {
        written = writeVersionInfo(parseVersionInfo(entry.data));
    } catch (const StampError&) {
        return;
    }
    if (writeVersionInfo(parseVersionInfo(written)) != written) fuzzing::fail("a version resource changed on rewriting");
}

void checkImage(const std::string& bytes) {
    std::string out;
    ResourceEntry tree;
    try {
        PeImage image(bytes);
        tree = readResources(image);
        std::uint32_t rva = image.resourceSectionRva();
        out = image.withResourceSection(writeResources(tree, rva), {});
    } catch (const StampError&) {
        return;
    }
    try {
        PeImage rewritten(out);
        if (!sameTree(readResources(rewritten), tree)) fuzzing::fail("the resources read back differ");
        std::size_t field = checksumOffset(readLe(out, 0x3C, 4, ""));
        std::uint32_t checksum = readLe(out, field, 4, "");
        if (checksum != 0 && checksum != peChecksum(out, field)) fuzzing::fail("a wrong checksum was written");
    } catch (const StampError& e) {
        fuzzing::fail(std::string("the rewritten image does not read: ") + e.what());
    }
    if (const ResourceEntry* versions = tree.child(kRtVersion)) checkVersionBlocks(*versions);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    checkImage(bytes);
    try {
        parseIcoFile(bytes);
    } catch (const StampError&) {
    }
    return 0;
}
