#include "config/path_names.h"

#include "config/text_ops.h"
#include "platform/platform.h"

std::string trimWhitespace(const std::string& text) {
    const char* space = " \t\n\v\f\r";
    std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return std::string();
    std::size_t last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
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
    return stem + ".conf";
}

}  // namespace

std::string configNameFor(const std::string& exeName) {
    if (isConsoleVariantName(exeName))  // appc.exe shares app.conf
        return exeName.substr(0, exeName.size() - 5) + ".conf";
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

std::size_t rootLength(const std::string& path) {
    if (!platform::kHasDriveLetters) return !path.empty() && path[0] == platform::kDirSeparator ? 1 : 0;
    if (path.size() >= 3 && path[1] == ':' && path[2] == platform::kDirSeparator) return 3;
    // A network path's root holds the server and the share.
    if (path.compare(0, 2, std::string(2, platform::kDirSeparator)) == 0) {
        std::size_t share = path.find(platform::kDirSeparator, 2);
        std::size_t end = share == std::string::npos ? std::string::npos : path.find(platform::kDirSeparator, share + 1);
        return end == std::string::npos ? path.size() : end + 1;
    }
    return !path.empty() && path[0] == platform::kDirSeparator ? 1 : 0;
}
