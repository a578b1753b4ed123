// What a start hands the running instance of its application, as bytes on the instance
// channel: the start's working directory and its application arguments, then the bytes of the
// hand-over.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

/// The largest request a running instance takes, its length field included.
constexpr std::size_t kMaxInstanceRequestBytes = 1024 * 1024;
/// The most application arguments one request may carry.
constexpr std::size_t kMaxInstanceArguments = 32768;
/// The length field that begins every request: the bytes that follow it.
constexpr std::size_t kInstanceLengthBytes = 4;

/// The bytes of the hand-over after the request, one each. The running instance answers the
/// whole request with its receipt, and the start confirms it: from then on the request is the
/// instance's, which says when the method begins with it and how it ended. A start that has
/// no receipt within its limit withdraws by closing, and the instance drops what it did not
/// see confirmed.
constexpr char kInstanceReceipt = 'R';
constexpr char kInstanceConfirmed = 'C';
constexpr char kInstanceDelivering = 'S';
constexpr char kInstanceDelivered = 'D';
constexpr char kInstanceMethodFailed = 'F';

struct InstanceRequest {
    std::string workingDirectory;
    std::vector<std::string> arguments;
    bool operator==(const InstanceRequest& other) const {
        return workingDirectory == other.workingDirectory && arguments == other.arguments;
    }
};

/// The request's bytes: the length field, the number of arguments, then the working directory
/// and each argument as a length and its bytes (lengths little-endian, 32 bits). nullopt when
/// it would pass either limit, which the running instance would refuse.
std::optional<std::string> encodeInstanceRequest(const InstanceRequest& request);

/// The number of bytes that follow a length field, when they are within the limit; nullopt
/// for a length field that is short or promises too much.
std::optional<std::size_t> instanceRequestLength(const std::string& lengthField);

/// The request from the bytes that follow its length field; nullopt for bytes that are not
/// exactly one well-formed request within the limits.
std::optional<InstanceRequest> decodeInstanceRequest(const std::string& body);
