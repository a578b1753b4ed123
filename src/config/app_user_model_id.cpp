#include "config/app_user_model_id.h"

namespace {

bool isAsciiLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

/// The UTF-16 units of the character that the UTF-8 byte `c` begins: 0 for a byte inside one.
std::size_t unitsBegunBy(char c) {
    auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xc0) == 0x80) return 0;
    return byte >= 0xf0 ? 2 : 1;
}

/// `name` without its blanks and ASCII punctuation ("." separates the parts), a letter that
/// begins a later word upper-cased ("my app-2" gives "myApp2"; the first stays as written).
/// Letters beyond ASCII stay: the system takes any character but a blank.
std::string idPart(const std::string& name) {
    std::string part;
    bool wordStart = false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x80 && !isAsciiLetterOrDigit(c)) {
            wordStart = !part.empty();
            continue;
        }
        part += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        wordStart = false;
    }
    return part;
}

}  // namespace

bool isAppUserModelId(const std::string& id) {
    std::size_t units = 0;
    for (char c : id) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) return false;
        units += unitsBegunBy(c);
    }
    return units >= 1 && units <= kMaxAppUserModelIdLength;
}

std::string defaultAppUserModelId(const std::optional<std::string>& company, const std::optional<std::string>& product) {
    std::string whole = company ? idPart(*company) : std::string();
    if (whole.empty()) return whole;
    std::string productPart = product ? idPart(*product) : std::string();
    if (!productPart.empty()) whole += "." + productPart;
    // Cut before the character that would pass the limit, never inside one.
    std::string id;
    std::size_t units = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        units += unitsBegunBy(whole[i]);
        if (units > kMaxAppUserModelIdLength) break;
        id += whole[i];
    }
    // A cut right after the dot leaves no product part.
    if (id.back() == '.') id.pop_back();
    return id;
}
