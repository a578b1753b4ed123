// What launcher-stamp does, apart from files: its command line, and the stamping of an
// executable image held in memory.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bytes.h"
#include "version_info.h"

namespace stamp {

struct StampOptions {
    std::string input, output;
    std::optional<std::string> icon;
    std::optional<VersionNumber> fileVersion, productVersion;
    std::vector<std::pair<std::string, std::string>> strings;  ///< name, value (UTF-8), in order
};

/// The usage text, one line per option, ending in a line feed.
std::string usageText();

/// Reads the arguments after the program name. Throws UsageError for a missing or unknown
/// argument, a version that is not A.B.C.D with numbers 0 to 65535, or a text that is not UTF-8.
StampOptions parseArguments(const std::vector<std::string>& args);

class UsageError : public StampError {
public:
    using StampError::StampError;
};

/// "A.B.C.D" (one to four numbers of 0 to 65535; the missing ones are 0), or nullopt.
std::optional<VersionNumber> parseVersionNumber(const std::string& text);

/// The UTF-16 form of UTF-8 `text`, or nullopt when it is not well-formed UTF-8.
std::optional<std::u16string> utf16FromUtf8(const std::string& text);

/// The stamped copy of the executable `image` (named `inputName` in messages): the icon images
/// of `icon` (the .ico file's bytes, named by options.icon) and the versions and strings of
/// `options`. Throws StampError with the whole message for an input that is not a PE image,
/// is damaged or signed, or an icon file that is not one.
std::string stampImage(const std::string& image, const std::string& inputName, const std::optional<std::string>& icon,
                       const StampOptions& options);

}  // namespace stamp
