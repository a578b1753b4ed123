// Little-endian reading and writing over byte strings, and the error the stamping tool reports.
// Every read is bounds-checked: the PE and icon readers take hostile input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace stamp {

/// A refusal: the text is the whole reason, shown to the user after "launcher-stamp: ".
class StampError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The unsigned value of the `width` (at most 4) bytes at `at`. Throws StampError(`what`)
/// when the bytes are not all inside `data`.
inline std::uint32_t readLe(const std::string& data, std::size_t at, std::size_t width, const char* what) {
    if (at > data.size() || width > data.size() - at) throw StampError(what);
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = value << 8 | static_cast<unsigned char>(data[at + i]);
    return value;
}

/// Overwrites `width` bytes at `at` with `value`; the bytes must exist.
inline void writeLe(std::string& data, std::size_t at, std::size_t width, std::uint32_t value) {
    for (std::size_t i = 0; i < width; ++i, value >>= 8) data.at(at + i) = static_cast<char>(value & 0xFF);
}

/// Appends `width` bytes of `value`.
inline void appendLe(std::string& data, std::size_t width, std::uint32_t value) {
    for (std::size_t i = 0; i < width; ++i, value >>= 8) data.push_back(static_cast<char>(value & 0xFF));
}

/// Appends zero bytes until the size is a multiple of `alignment` (a power of two).
inline void padTo(std::string& data, std::size_t alignment) {
    while (data.size() % alignment != 0) data.push_back('\0');
}

inline std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

}  // namespace stamp
