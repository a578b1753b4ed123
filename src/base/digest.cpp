#include "base/digest.h"

Digest& Digest::addBytes(const std::string& text) {
    for (unsigned char c : text) mix(c);
    return *this;
}

Digest& Digest::add(const std::string& text) {
    addBytes(text);
    mix(0);
    return *this;
}

std::string Digest::hex(int digits) const {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (int i = digits - 1; i >= 0; --i) text += kDigits[(value_ >> (4 * i)) & 0xF];
    return text;
}

void Digest::mix(unsigned char c) {
    value_ ^= c;
    value_ *= 1099511628211ULL;
}
