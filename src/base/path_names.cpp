#include "base/path_names.h"

#include "base/digest.h"
#include "base/text_ops.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/text.h"

std::string trimWhitespace(const std::string& text) {
    std::string copy = text;
    return trimChars(copy, " \t\n\v\f\r");
}

std::string fileNameOf(std::string name) {
    if (platform::kHasDriveLetters && name.size() > 2 && name[1] == ':') name.erase(0, 2);
    std::size_t cut = name.rfind(platform::kDirSeparator);
    if (cut != std::string::npos) name.erase(0, cut + 1);
    if (platform::kHasDriveLetters) {  // '/' separates there too
        cut = name.rfind(platform::kForeignSeparator);
        if (cut != std::string::npos) name.erase(0, cut + 1);
    }
    return name;
}

std::string directoryOf(const std::string& path) {
    // Step backwards character by character, so that a trail byte of a double-byte character
    // is never taken for a separator.
    std::size_t pos = path.size();
    while (pos > 0) {
        pos = platform::previousCharStart(path, pos);
        if (pos == 0) break;
        if (path[pos] == platform::kDirSeparator) return path.substr(0, pos + 1);
    }
    return path;
}

std::string lowerCaseCopy(const std::string& text) {
    std::string copy = text;
    return toLower(copy);
}

bool hasExeSuffix(const std::string& name) {
    return platform::kNamesIgnoreCase ? endsWithIgnoringCase(name, platform::kExeSuffix)
                                      : endsWith(name, platform::kExeSuffix);
}

std::string withExeSuffix(const std::string& name) {
    return hasExeSuffix(name) ? name : name + platform::kExeSuffix;
}

namespace {

/// True when `exeName` is a console variant's name: it ends in "c" and the suffix, and a plain
/// executable's name remains without them (c.exe is no variant of ".exe").
bool isConsoleVariantName(const std::string& exeName) {
    const std::string ending = std::string("c") + platform::kExeSuffix;
    if (!platform::kHasConsoleVariant || !endsWith(lowerCaseCopy(exeName), ending)) return false;
    std::size_t stemLength = exeName.size() - ending.size();
    return stemLength > 0 && exeName[stemLength - 1] != platform::kDirSeparator &&
           exeName[stemLength - 1] != platform::kForeignSeparator && exeName[stemLength - 1] != ':';
}

std::string ownConfigName(const std::string& exeName) {
    std::string stem = exeName;
    if (hasExeSuffix(exeName)) stem.erase(stem.size() - std::string(platform::kExeSuffix).size());
    return stem + kConfigSuffix;
}

}  // namespace

std::string configNameFor(const std::string& exeName) {
    if (isConsoleVariantName(exeName))  // appc.exe shares app.conf
        return exeName.substr(0, exeName.size() - 1 - std::string(platform::kExeSuffix).size()) + kConfigSuffix;
    return ownConfigName(exeName);
}

std::string existingConfigNameFor(const std::string& exeName) {
    std::string shared = configNameFor(exeName);
    // basic.exe is no console variant of basi.exe when only basic.conf is there.
    if (isConsoleVariantName(exeName) && !platform::exists(shared)) {
        std::string own = ownConfigName(exeName);
        if (platform::exists(own)) return own;
    }
    return shared;
}

std::string absolutePath(const std::string& path) {
    std::optional<std::string> directory = platform::fullPathDirectory(path);
    std::size_t cut = path.find_last_of(std::string(1, platform::kDirSeparator) + platform::kForeignSeparator);
    return directory ? *directory + path.substr(cut == std::string::npos ? 0 : cut + 1) : path;
}

namespace {

bool isSeparator(char c, PathStyle style) { return c == '/' || (style == PathStyle::Windows && c == '\\'); }

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

/// True when `path` begins with a drive: a letter and a colon.
bool hasDrive(const std::string& path, PathStyle style) {
    return style == PathStyle::Windows && path.size() >= 2 && path[1] == ':' && isDriveLetter(path[0]);
}

/// The length of a network root "\\server\share\", or of as much of it as `path` holds.
std::size_t networkRootLength(const std::string& path, PathStyle style) {
    std::size_t at = 2;
    for (int part = 0; part < 2; ++part) {
        while (at < path.size() && !isSeparator(path[at], style)) ++at;
        if (at == path.size()) return at;
        ++at;
    }
    return at;
}

}  // namespace

std::size_t rootLength(const std::string& path, PathStyle style) {
    if (path.empty()) return 0;
    if (style == PathStyle::Posix) return path[0] == '/' ? 1 : 0;
    if (hasDrive(path, style)) return path.size() >= 3 && isSeparator(path[2], style) ? 3 : 0;
    if (path.size() >= 2 && isSeparator(path[0], style) && isSeparator(path[1], style))
        return networkRootLength(path, style);
    return isSeparator(path[0], style) ? 1 : 0;
}

bool isAbsolutePath(const std::string& path, PathStyle style) { return rootLength(path, style) != 0; }

bool isRelativePath(const std::string& path, PathStyle style) {
    return !isAbsolutePath(path, style) && !hasDrive(path, style);
}

std::string joinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    char last = directory.back();
    if (last == platform::kDirSeparator || (platform::kHasDriveLetters && last == platform::kForeignSeparator))
        return directory + name;
    return directory + platform::kDirSeparator + name;
}

std::string withoutConfigSuffix(const std::string& name) {
    const std::string suffix = kConfigSuffix;
    return name.size() > suffix.size() && endsWith(name, suffix) ? name.substr(0, name.size() - suffix.size()) : name;
}

std::string safeFolderName(const std::string& name) {
    bool safe = !name.empty() && name != "." && name != "..";
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == platform::kDirSeparator ||
            (platform::kHasDriveLetters && (c == platform::kForeignSeparator || c == ':')))
            safe = false;
    return safe ? name : "app-" + Digest().addBytes(name).hex(16);
}
