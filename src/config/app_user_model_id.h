// The application's taskbar identity (Windows' AppUserModelID): the value SetAppUserModelId
// takes, and the one a stamped executable has without it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

/// The most characters (UTF-16 units) the system takes in an id.
constexpr std::size_t kMaxAppUserModelIdLength = 128;

/// True when `id` may name the taskbar identity: 1 to kMaxAppUserModelIdLength characters
/// (counted in UTF-16 units, `id` being UTF-8), none of them a blank or a control character.
bool isAppUserModelId(const std::string& id);

/// The identity of an executable stamped with the CompanyName `company` (and the ProductName
/// `product`, when stamped too): "<Company>.<Product>", each part its name without blanks and
/// ASCII punctuation, a letter that begins a later word upper-cased ("Example Ltd" gives
/// "ExampleLtd"), cut to kMaxAppUserModelIdLength. Empty, for no identity at all, without a
/// company, or when nothing of its name is left: a product's name alone could be another
/// publisher's as well.
std::string defaultAppUserModelId(const std::optional<std::string>& company, const std::optional<std::string>& product);
