// The parts of a PE image (PE32 or PE32+) that stamping reads and changes: the headers, the
// section table and the resource data directory. Everything else is carried as bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"

namespace stamp {

/// Why a file could not be read as a PE image: `notPe` when it does not even start as one.
class PeError : public StampError {
public:
    PeError(bool notPe, const std::string& reason) : StampError(reason), notPe(notPe) {}
    bool notPe;
};

/// One entry of the section table: where the section is in memory and in the file.
struct Section {
    std::size_t headerOffset = 0;  ///< file offset of its 40-byte section header
    std::uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0;
};

/// A PE image read from its bytes, and the copies of it with other resources.
class PeImage {
public:
    /// Reads the headers and the section table of `bytes`. Throws PeError: notPe without the MZ
    /// and PE signatures, otherwise for any header or section that lies outside the file or
    /// contradicts the format.
    explicit PeImage(std::string bytes);

    /// The whole file.
    const std::string& bytes() const { return bytes_; }
    /// True for PE32+ (64-bit), false for PE32.
    bool is64() const { return is64_; }
    /// The resource data directory entry: address and size, both 0 without resources.
    std::uint32_t resourceRva() const { return resourceRva_; }
    std::uint32_t resourceSize() const { return resourceSize_; }
    /// True when the image carries an Authenticode signature (certificate table).
    bool isSigned() const { return signed_; }

    /// The file offset of the `size` bytes at `rva`, which must all lie in one section's data
    /// in the file. Throws PeError (damaged) otherwise.
    std::size_t offsetOf(std::uint32_t rva, std::uint32_t size) const;
    /// The section whose address range holds `rva`, or nullptr.
    const Section* sectionAt(std::uint32_t rva) const;

    /// A copy of the image whose resource directory is `section`, built for the address that
    /// resourceSectionRva() gives, with `cleared` (file offset, size pairs of the old resource
    /// data) zeroed. Replaces the resource section in place when it is the last one both in
    /// memory and in the file, otherwise adds a section after the last; what follows the
    /// sections' data (symbols, appended data) moves behind it. Fixes SizeOfImage, the
    /// initialized-data size, the data directory, the symbol and debug data offsets and a
    /// non-zero checksum. Throws StampError when the headers have no room for another section.
    std::string withResourceSection(const std::string& section,
                                    const std::vector<std::pair<std::size_t, std::size_t>>& cleared) const;
    /// The address at which withResourceSection() places the new resource section.
    std::uint32_t resourceSectionRva() const;

private:
    void readOptionalHeader(std::size_t optional, std::size_t optionalSize);
    void readSections(std::size_t table, std::size_t count);
    bool replacesInPlace() const;
    std::uint64_t sectionDataEnd() const;
    std::size_t firstSectionData() const;
    void shiftTrailingOffsets(std::string& out, std::uint64_t replaced, std::uint64_t from, std::int64_t delta) const;
    void clearOldResources(std::string& out, const std::vector<std::pair<std::size_t, std::size_t>>& cleared) const;
    void updateOptionalHeader(std::string& out, std::uint32_t rva, std::size_t size, std::int64_t addedData) const;
    void writeSectionHeader(std::string& out, std::size_t at, std::uint32_t rva, std::uint32_t size,
                            std::uint32_t rawPointer, std::uint32_t rawSize) const;

    std::string bytes_;
    bool is64_ = false, signed_ = false, hasDebugDirectory_ = false;
    std::size_t optional_ = 0, sectionTable_ = 0, dataDirectories_ = 0;
    std::uint32_t fileAlignment_ = 0, sectionAlignment_ = 0, sizeOfHeaders_ = 0;
    std::uint32_t resourceRva_ = 0, resourceSize_ = 0;
    std::vector<Section> sections_;
};

/// The PE checksum of `bytes` with the 4 bytes at `checksumOffset` taken as zero.
std::uint32_t peChecksum(const std::string& bytes, std::size_t checksumOffset);

/// The file offset of the CheckSum field of a PE image whose PE signature is at `peOffset`.
inline std::size_t checksumOffset(std::size_t peOffset) { return peOffset + 24 + 64; }

}  // namespace stamp
