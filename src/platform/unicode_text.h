// UTF-8 and UTF-16 as pure functions over strings, for the Windows platform layer (whose texts
// are UTF-8 inside and UTF-16 at the system's wide interface), tested on any host.
//
// Windows names and command lines are sequences of 16-bit units that need not be valid UTF-16:
// a lone surrogate is allowed. So that every such text survives the round trip exactly, a lone
// surrogate is carried in UTF-8's three-byte form (the generalisation known as WTF-8), and
// decoded back to the same unit.
#pragma once

#include <cstddef>
#include <string>

namespace unicode_text {

/// The length (1 to 4) of the well-formed UTF-8 sequence that starts at `pos`, with its code
/// point in `codePoint`; 0 when the byte there begins none. A surrogate's three-byte form
/// counts as well-formed here. Overlong forms and values over U+10FFFF do not.
std::size_t decodeUtf8(const std::string& text, std::size_t pos, char32_t& codePoint);

/// Appends the UTF-8 form of `codePoint` (up to U+10FFFF; a surrogate gets its three-byte form).
void appendUtf8(std::string& out, char32_t codePoint);

/// UTF-16 (lone surrogates allowed) to UTF-8, each lone surrogate in its three-byte form.
std::string utf16ToUtf8(const std::u16string& text);

/// UTF-8 to UTF-16: each byte that begins no well-formed sequence becomes U+FFFD; a
/// surrogate's three-byte form becomes that surrogate, unless it completes a pair with the one
/// before it (then the pair).
std::u16string utf8ToUtf16(const std::string& text);

/// The start of the character before `pos`: the trail bytes of a well-formed sequence are
/// stepped over, any other byte is a character of its own. 0 at the start of the text.
std::size_t previousUtf8Start(const std::string& text, std::size_t pos);

}  // namespace unicode_text
