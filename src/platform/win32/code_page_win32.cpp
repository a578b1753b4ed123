// Text in the ANSI code page, turned into the UTF-8 that the launcher holds inside.
#include <windows.h>

#include <new>
#include <string>

#include "platform/text.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// Far below the int counts of the conversion calls, even when every byte becomes three.
constexpr std::size_t kLargestText = std::size_t(1) << 30;

std::wstring codePageToWide(const std::string& bytes) {
    int count = static_cast<int>(bytes.size());
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 0, L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, &wide[0], length);
    return wide;
}

}  // namespace

std::string codePageToUtf8(const std::string& bytes) {
    if (bytes.size() >= kLargestText) throw std::bad_alloc();
    if (bytes.empty()) return bytes;
    return fromWide(codePageToWide(bytes));
}

}  // namespace platform
