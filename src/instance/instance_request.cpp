#include "instance/instance_request.h"

#include <cstdint>

namespace {

void appendNumber(std::string& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((value >> shift) & 0xff));
}

/// The number at `position`, which moves past it; nullopt when the bytes end first.
std::optional<std::uint32_t> readNumber(const std::string& bytes, std::size_t& position) {
    if (bytes.size() - position < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[position + i]);
    position += 4;
    return value;
}

std::optional<std::string> readText(const std::string& bytes, std::size_t& position) {
    std::optional<std::uint32_t> length = readNumber(bytes, position);
    if (!length || bytes.size() - position < *length) return std::nullopt;
    std::string text = bytes.substr(position, *length);
    position += *length;
    return text;
}

}  // namespace

std::optional<std::string> encodeInstanceRequest(const InstanceRequest& request) {
    if (request.arguments.size() > kMaxInstanceArguments) return std::nullopt;
    std::size_t total = kInstanceLengthBytes + 8 + request.workingDirectory.size();
    for (const std::string& argument : request.arguments) total += 4 + argument.size();
    if (total > kMaxInstanceRequestBytes) return std::nullopt;
    std::string bytes;
    bytes.reserve(total);
    appendNumber(bytes, static_cast<std::uint32_t>(total - kInstanceLengthBytes));
    appendNumber(bytes, static_cast<std::uint32_t>(request.arguments.size()));
    appendNumber(bytes, static_cast<std::uint32_t>(request.workingDirectory.size()));
    bytes += request.workingDirectory;
    for (const std::string& argument : request.arguments) {
        appendNumber(bytes, static_cast<std::uint32_t>(argument.size()));
        bytes += argument;
    }
    return bytes;
}

std::optional<std::size_t> instanceRequestLength(const std::string& lengthField) {
    std::size_t position = 0;
    std::optional<std::uint32_t> length = lengthField.size() == kInstanceLengthBytes ? readNumber(lengthField, position) : std::nullopt;
    if (!length || *length > kMaxInstanceRequestBytes - kInstanceLengthBytes) return std::nullopt;
    return *length;
}

std::optional<InstanceRequest> decodeInstanceRequest(const std::string& body) {
    if (body.size() > kMaxInstanceRequestBytes - kInstanceLengthBytes) return std::nullopt;
    std::size_t position = 0;
    std::optional<std::uint32_t> count = readNumber(body, position);
    // Each argument takes at least its length field: a count the bytes cannot hold is refused
    // before anything is reserved for it.
    if (!count || *count > kMaxInstanceArguments || *count > (body.size() - position) / 4) return std::nullopt;
    std::optional<std::string> directory = readText(body, position);
    if (!directory) return std::nullopt;
    InstanceRequest request;
    request.workingDirectory = std::move(*directory);
    request.arguments.reserve(*count);
    for (std::uint32_t i = 0; i < *count; ++i) {
        std::optional<std::string> argument = readText(body, position);
        if (!argument) return std::nullopt;
        request.arguments.push_back(std::move(*argument));
    }
    if (position != body.size()) return std::nullopt;
    return request;
}
