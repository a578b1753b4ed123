#include "config/max_heap_setting.h"

#include <cctype>
#include <cstdlib>

#include "base/text_ops.h"

namespace {

/// "512m", "2G", "64k", "1t" in bytes; nullopt for anything else, or a size that overflows.
std::optional<std::uint64_t> parseSize(const std::string& word) {
    std::size_t digits = 0;
    while (digits < word.size() && std::isdigit(static_cast<unsigned char>(word[digits]))) ++digits;
    if (digits == 0 || digits + 1 != word.size() || digits > 12) return std::nullopt;
    const std::string units = "kmgt";
    std::size_t unit = units.find(lowerAscii(word.back()));
    if (unit == std::string::npos) return std::nullopt;
    std::uint64_t size = std::strtoull(word.substr(0, digits).c_str(), nullptr, 10);
    for (std::size_t i = 0; i <= unit; ++i) {
        if (size > (UINT64_MAX >> 10)) return std::nullopt;
        size <<= 10;
    }
    return size;
}

/// "25%", "12.5%" as a number; nullopt when it is no percentage. Read digit by digit: the C
/// library's strtod brings a whole floating-point reader into the Windows executables.
std::optional<double> parseShare(const std::string& word) {
    if (word.size() < 2 || word.back() != '%' || word.size() > 12) return std::nullopt;
    double share = 0, scale = 0;
    for (std::size_t i = 0; i + 1 < word.size(); ++i) {
        char c = word[i];
        if (c == '.' && scale == 0 && i > 0) {
            scale = 1;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            if (scale == 0) share = share * 10 + (c - '0');
            else share += (c - '0') / (scale *= 10);
        } else {
            return std::nullopt;
        }
    }
    return share;
}

}  // namespace

std::optional<MaxHeapRequest> parseMaxHeap(const std::string& value, std::string& problem) {
    std::vector<std::string> parts = blankSeparatedWords(value);
    if (parts.size() != 1 && parts.size() != 3) {
        problem = "a share or a size, then optionally a floor and a cap";
        return std::nullopt;
    }
    MaxHeapRequest request;
    request.text = value;
    if (std::optional<double> share = parseShare(parts[0])) {
        if (*share <= 0 || *share > 100) {
            problem = "a share over 0 % and at most 100 %";
            return std::nullopt;
        }
        request.sharePercent = *share;
    } else if (std::optional<std::uint64_t> size = parseSize(parts[0])) {
        request.fixedBytes = *size;
    } else {
        problem = "a share such as 25% or a size in k, m, g or t";
        return std::nullopt;
    }
    if (parts.size() == 3) {
        std::optional<std::uint64_t> floor = parseSize(parts[1]), cap = parseSize(parts[2]);
        if (!floor || !cap) {
            problem = "a floor and a cap in k, m, g or t";
            return std::nullopt;
        }
        if (*floor == 0 || *cap == 0) {
            problem = "a floor and a cap over 0";
            return std::nullopt;
        }
        if (*cap < *floor) {
            problem = "a cap that is not below the floor";
            return std::nullopt;
        }
        request.floorBytes = *floor;
        request.capBytes = *cap;
    }
    return request;
}
