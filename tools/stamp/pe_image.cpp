#include "pe_image.h"

#include <algorithm>

namespace stamp {
namespace {

constexpr std::uint16_t kMagicPe32 = 0x10B, kMagicPe32Plus = 0x20B;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint32_t kResourceDirectory = 2, kCertificateDirectory = 4, kDebugDirectory = 6;
// IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ, as linkers mark .rsrc.
constexpr std::uint32_t kResourceCharacteristics = 0x40000040;

std::uint32_t field(const std::string& bytes, std::size_t at, std::size_t width) {
    return readLe(bytes, at, width, "the headers end before the file does");
}

bool isPowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

std::uint32_t memorySize(const Section& s) { return s.virtualSize != 0 ? s.virtualSize : s.rawSize; }

}  // namespace

PeImage::PeImage(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() < 0x40 || bytes_.compare(0, 2, "MZ") != 0) throw PeError(true, "it has no MZ header");
    std::size_t pe = field(bytes_, 0x3C, 4);
    if (pe > bytes_.size() || bytes_.size() - pe < 24 || bytes_.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        throw PeError(true, "it has no PE header");
    std::size_t sectionCount = field(bytes_, pe + 6, 2);
    std::size_t optionalSize = field(bytes_, pe + 20, 2);
    if ((field(bytes_, pe + 22, 2) & 0x0002) == 0) throw PeError(true, "it is not marked as an executable image");
    optional_ = pe + 24;
    readOptionalHeader(optional_, optionalSize);
    sectionTable_ = optional_ + optionalSize;
    readSections(sectionTable_, sectionCount);
}

void PeImage::readOptionalHeader(std::size_t optional, std::size_t optionalSize) {
    try {
        std::uint32_t magic = field(bytes_, optional, 2);
        if (magic != kMagicPe32 && magic != kMagicPe32Plus)
            throw PeError(false, "its optional header is neither PE32 nor PE32+");
        is64_ = magic == kMagicPe32Plus;
        sectionAlignment_ = field(bytes_, optional + 32, 4);
        fileAlignment_ = field(bytes_, optional + 36, 4);
        sizeOfHeaders_ = field(bytes_, optional + 60, 4);
        std::size_t countField = optional + (is64_ ? 108 : 92);
        dataDirectories_ = countField + 4;
        std::uint32_t directoryCount = field(bytes_, countField, 4);
        if (!isPowerOfTwo(fileAlignment_) || fileAlignment_ > 0x10000 || !isPowerOfTwo(sectionAlignment_) ||
            sectionAlignment_ < fileAlignment_)
            throw PeError(false, "its section or file alignment is invalid");
        if (sizeOfHeaders_ > bytes_.size()) throw PeError(false, "its headers are longer than the file");
        if (directoryCount <= kCertificateDirectory ||
            dataDirectories_ + (kCertificateDirectory + 1) * 8 > optional + optionalSize)
            throw PeError(false, "its optional header has no resource directory entry");
        resourceRva_ = field(bytes_, dataDirectories_ + kResourceDirectory * 8, 4);
        resourceSize_ = field(bytes_, dataDirectories_ + kResourceDirectory * 8 + 4, 4);
        signed_ = field(bytes_, dataDirectories_ + kCertificateDirectory * 8 + 4, 4) != 0;
        hasDebugDirectory_ = directoryCount > kDebugDirectory &&
                             dataDirectories_ + (kDebugDirectory + 1) * 8 <= optional + optionalSize;
    } catch (const PeError&) {
        throw;
    } catch (const StampError& e) {
        throw PeError(false, e.what());
    }
}

void PeImage::readSections(std::size_t table, std::size_t count) {
    if (count == 0 || count > 96) throw PeError(false, "its section count is out of range");
    if (table + count * kSectionHeaderSize > std::min<std::size_t>(sizeOfHeaders_, bytes_.size()))
        throw PeError(false, "its section table lies outside its headers");
    for (std::size_t i = 0; i < count; ++i) {
        Section s;
        s.headerOffset = table + i * kSectionHeaderSize;
        s.virtualSize = field(bytes_, s.headerOffset + 8, 4);
        s.virtualAddress = field(bytes_, s.headerOffset + 12, 4);
        s.rawSize = field(bytes_, s.headerOffset + 16, 4);
        s.rawPointer = field(bytes_, s.headerOffset + 20, 4);
        if (s.rawSize != 0 && std::uint64_t{s.rawPointer} + s.rawSize > bytes_.size())
            throw PeError(false, "section " + std::to_string(i + 1) + " runs past the end of the file");
        if (s.rawSize != 0 && s.rawPointer < sizeOfHeaders_)
            throw PeError(false, "section " + std::to_string(i + 1) + " overlaps the headers");
        if (std::uint64_t{s.virtualAddress} + memorySize(s) > 0xFFFFFFFFu)
            throw PeError(false, "section " + std::to_string(i + 1) + " runs past the end of the address space");
        // The loader wants the sections in address order, one after the other.
        if (i > 0 && s.virtualAddress < std::uint64_t{sections_.back().virtualAddress} + memorySize(sections_.back()))
            throw PeError(false, "section " + std::to_string(i + 1) + " overlaps the one before it");
        sections_.push_back(s);
    }
}

const Section* PeImage::sectionAt(std::uint32_t rva) const {
    for (const Section& s : sections_)
        if (rva >= s.virtualAddress && rva - s.virtualAddress < memorySize(s)) return &s;
    return nullptr;
}

std::size_t PeImage::offsetOf(std::uint32_t rva, std::uint32_t size) const {
    // Nothing is read of an empty range, which may well end a section (a directory without
    // entries as the last thing of the resource section).
    if (size == 0) return 0;
    const Section* s = sectionAt(rva);
    std::uint64_t within = s ? std::uint64_t{rva} - s->virtualAddress : 0;
    if (!s || within + size > std::min(s->rawSize, memorySize(*s)))
        throw PeError(false, "its resources point outside the data of its sections");
    return s->rawPointer + within;
}

std::uint64_t PeImage::sectionDataEnd() const {
    std::uint64_t end = sizeOfHeaders_;
    for (const Section& s : sections_)
        if (s.rawSize != 0) end = std::max<std::uint64_t>(end, std::uint64_t{s.rawPointer} + s.rawSize);
    return end;
}

bool PeImage::replacesInPlace() const {
    if (resourceRva_ == 0) return false;  // no resources yet
    const Section* holder = sectionAt(resourceRva_);
    if (!holder || holder->virtualAddress != resourceRva_ || holder->rawSize == 0) return false;
    // Last in memory, and no other section's data reaches into its bytes in the file.
    for (const Section& s : sections_) {
        if (&s == holder) continue;
        if (s.virtualAddress > holder->virtualAddress) return false;
        if (s.rawSize != 0 && std::uint64_t{s.rawPointer} + s.rawSize > holder->rawPointer) return false;
    }
    return std::uint64_t{holder->rawPointer} + holder->rawSize == sectionDataEnd();
}

std::uint32_t PeImage::resourceSectionRva() const {
    if (replacesInPlace()) return resourceRva_;
    std::uint64_t end = sizeOfHeaders_;
    for (const Section& s : sections_) end = std::max<std::uint64_t>(end, std::uint64_t{s.virtualAddress} + memorySize(s));
    end = alignUp(end, sectionAlignment_);
    if (end >= 0xFFFFFFFFu) throw StampError("its sections leave no address space for another");
    return static_cast<std::uint32_t>(end);
}

void PeImage::writeSectionHeader(std::string& out, std::size_t at, std::uint32_t rva, std::uint32_t size,
                                 std::uint32_t rawPointer, std::uint32_t rawSize) const {
    out.replace(at, 8, std::string(".rsrc\0\0\0", 8));
    writeLe(out, at + 8, 4, size);
    writeLe(out, at + 12, 4, rva);
    writeLe(out, at + 16, 4, rawSize);
    writeLe(out, at + 20, 4, rawPointer);
    out.replace(at + 24, 12, std::string(12, '\0'));  // no relocations or line numbers
    writeLe(out, at + 36, 4, kResourceCharacteristics);
}

// What follows the sections' data (the COFF symbols, appended data) moves by the size the
// resource section changes; the file offsets that point there move with it. The bytes from
// `replaced` to `from` are the old resource section's, given way to the new one: a debug
// directory among them is gone with them, and nothing may be written there in its name.
void PeImage::shiftTrailingOffsets(std::string& out, std::uint64_t replaced, std::uint64_t from,
                                   std::int64_t delta) const {
    std::size_t symbols = optional_ - 20 + 8;
    std::uint32_t symbolTable = field(out, symbols, 4);
    if (symbolTable != 0 && symbolTable >= from) writeLe(out, symbols, 4, static_cast<std::uint32_t>(symbolTable + delta));
    if (!hasDebugDirectory_) return;
    std::uint32_t debugRva = field(out, dataDirectories_ + kDebugDirectory * 8, 4);
    std::uint32_t debugSize = field(out, dataDirectories_ + kDebugDirectory * 8 + 4, 4);
    if (debugRva == 0 || debugSize == 0) return;
    std::size_t debug = 0;
    try {
        debug = offsetOf(debugRva, debugSize);
    } catch (const PeError&) {
        return;  // a debug directory the loader ignores as well
    }
    if (debug < from && debug + debugSize > replaced) return;
    for (std::size_t at = debug; at + 28 <= debug + debugSize; at += 28) {
        std::uint32_t pointer = field(out, at + 24, 4);
        if (pointer >= from) writeLe(out, at + 24, 4, static_cast<std::uint32_t>(pointer + delta));
    }
}

// The old tree's bytes go, so that no old image is left in the file; only those inside the old
// resource section, which nothing else refers to.
void PeImage::clearOldResources(std::string& out, const std::vector<std::pair<std::size_t, std::size_t>>& cleared) const {
    const Section* old = resourceRva_ != 0 ? sectionAt(resourceRva_) : nullptr;
    if (!old) return;
    for (const auto& [offset, size] : cleared)
        if (offset >= old->rawPointer && offset + size <= std::uint64_t{old->rawPointer} + old->rawSize)
            out.replace(offset, size, std::string(size, '\0'));
}

// The optional header's sizes, the resource directory entry and the checksum of the new image.
void PeImage::updateOptionalHeader(std::string& out, std::uint32_t rva, std::size_t size, std::int64_t addedData) const {
    writeLe(out, optional_ + 8, 4, static_cast<std::uint32_t>(field(out, optional_ + 8, 4) + addedData));
    writeLe(out, optional_ + 56, 4, static_cast<std::uint32_t>(alignUp(rva + size, sectionAlignment_)));
    writeLe(out, dataDirectories_ + kResourceDirectory * 8, 4, rva);
    writeLe(out, dataDirectories_ + kResourceDirectory * 8 + 4, 4, static_cast<std::uint32_t>(size));
    if (field(out, optional_ + 64, 4) != 0) writeLe(out, optional_ + 64, 4, peChecksum(out, optional_ + 64));
}

std::string PeImage::withResourceSection(const std::string& section,
                                         const std::vector<std::pair<std::size_t, std::size_t>>& cleared) const {
    std::string out = bytes_;
    clearOldResources(out, cleared);
    std::uint32_t rva = resourceSectionRva();
    std::uint64_t rawSize = alignUp(section.size(), fileAlignment_);
    if (std::uint64_t{rva} + alignUp(section.size(), sectionAlignment_) > 0xFFFFFFFFu ||
        out.size() + rawSize + fileAlignment_ > 0xFFFFFFFFu)
        throw StampError("the stamped file would be larger than the format allows");
    std::string raw = section;
    padTo(raw, fileAlignment_);
    // The bytes [from, to) of the file give way to the new section's data, which starts at `at`.
    const Section* old = replacesInPlace() ? sectionAt(resourceRva_) : nullptr;
    std::uint64_t to = sectionDataEnd(), from = old ? old->rawPointer : to, at = old ? from : alignUp(from, fileAlignment_);
    std::size_t header = old ? old->headerOffset : sectionTable_ + sections_.size() * kSectionHeaderSize;
    if (!old) {
        if (header + kSectionHeaderSize > firstSectionData() ||
            out.compare(header, kSectionHeaderSize, std::string(kSectionHeaderSize, '\0')) != 0)
            throw StampError("its headers have no room for another section");
        raw.insert(0, at - from, '\0');
        writeLe(out, optional_ - 20 + 2, 2, static_cast<std::uint32_t>(sections_.size() + 1));
    }
    out.replace(from, to - from, raw);
    shiftTrailingOffsets(out, from, to, static_cast<std::int64_t>(raw.size()) - static_cast<std::int64_t>(to - from));
    writeSectionHeader(out, header, rva, static_cast<std::uint32_t>(section.size()), static_cast<std::uint32_t>(at),
                       static_cast<std::uint32_t>(rawSize));
    updateOptionalHeader(out, rva, section.size(), static_cast<std::int64_t>(rawSize) - (old ? old->rawSize : 0));
    return out;
}

std::size_t PeImage::firstSectionData() const {
    std::size_t first = sizeOfHeaders_;
    for (const Section& s : sections_)
        if (s.rawSize != 0) first = std::min<std::size_t>(first, s.rawPointer);
    return first;
}

std::uint32_t peChecksum(const std::string& bytes, std::size_t checksumOffset) {
    auto byte = [&](std::size_t i) -> std::uint32_t {
        if (i >= bytes.size() || (i >= checksumOffset && i < checksumOffset + 4)) return 0;
        return static_cast<unsigned char>(bytes[i]);
    };
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        sum += byte(i) | byte(i + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + bytes.size());
}

}  // namespace stamp
