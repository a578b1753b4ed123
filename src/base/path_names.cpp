#include "base/path_names.h"

#include "base/digest.h"
#include "base/text_ops.h"

std::string trimWhitespace(const std::string& text) {
    std::string copy = text;
    return trimChars(copy, " \t\n\v\f\r");
}

std::size_t fileNameStart(const std::string& path, PathStyle style) {
    for (std::size_t at = path.size(); at > 0; --at)
        if (isSeparator(path[at - 1], style)) return at;
    return style == PathStyle::Windows && path.size() > 2 && path[1] == ':' ? 2 : 0;
}

std::string fileNameOf(const std::string& path, PathStyle style) { return path.substr(fileNameStart(path, style)); }

// Text is UTF-8 inside the launcher on Windows, and a POSIX system's multibyte encodings never
// hold '/' inside a character: the last separator byte is the last separator.
std::string directoryOf(const std::string& path, PathStyle style) {
    std::size_t cut = path.rfind(separatorOf(style));
    return cut == std::string::npos || cut == 0 ? path : path.substr(0, cut + 1);
}

bool hasExeSuffix(const std::string& name, PathStyle style) {
    return namesIgnoreCase(style) ? endsWithIgnoringCase(name, exeSuffixOf(style)) : endsWith(name, exeSuffixOf(style));
}

std::string withExeSuffix(const std::string& name, PathStyle style) {
    return hasExeSuffix(name, style) ? name : name + exeSuffixOf(style);
}

namespace {

/// True when `exeName` is a console variant's name: it ends in "c" and the suffix, and a plain
/// executable's name remains without them (c.exe is no variant of ".exe"). Only Windows has
/// console variants.
bool isConsoleVariantName(const std::string& exeName, PathStyle style) {
    const std::string ending = std::string("c") + exeSuffixOf(style);
    if (style != PathStyle::Windows || !endsWithIgnoringCase(exeName, ending)) return false;
    std::size_t stemLength = exeName.size() - ending.size();
    return stemLength > 0 && !isSeparator(exeName[stemLength - 1], style) && exeName[stemLength - 1] != ':';
}

std::string ownConfigName(const std::string& exeName, PathStyle style) {
    std::string stem = exeName;
    if (hasExeSuffix(exeName, style)) stem.erase(stem.size() - std::string(exeSuffixOf(style)).size());
    return stem + kConfigSuffix;
}

}  // namespace

std::string configNameFor(const std::string& exeName, PathStyle style) {
    if (isConsoleVariantName(exeName, style))  // appc.exe shares app.conf
        return exeName.substr(0, exeName.size() - 1 - std::string(exeSuffixOf(style)).size()) + kConfigSuffix;
    return ownConfigName(exeName, style);
}

std::string existingConfigNameFor(const std::string& exeName, bool (*exists)(const std::string&), PathStyle style) {
    std::string shared = configNameFor(exeName, style);
    // basic.exe is no console variant of basi.exe when only basic.conf is there.
    if (isConsoleVariantName(exeName, style) && !exists(shared)) {
        std::string own = ownConfigName(exeName, style);
        if (exists(own)) return own;
    }
    return shared;
}

namespace {

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

std::string joinPath(const std::string& directory, const std::string& name, PathStyle style) {
    if (directory.empty()) return name;
    if (isSeparator(directory.back(), style)) return directory + name;
    return directory + separatorOf(style) + name;
}

std::string withoutConfigSuffix(const std::string& name) {
    const std::string suffix = kConfigSuffix;
    return name.size() > suffix.size() && endsWith(name, suffix) ? name.substr(0, name.size() - suffix.size()) : name;
}

std::string safeFolderName(const std::string& name, PathStyle style) {
    bool safe = !name.empty() && name != "." && name != "..";
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || isSeparator(static_cast<char>(c), style) || (style == PathStyle::Windows && c == ':'))
            safe = false;
    return safe ? name : "app-" + Digest().addBytes(name).hex(16);
}
