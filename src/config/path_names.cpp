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

std::string configNameFor(const std::string& exeName) {
    std::string stem = exeName;
    if (platform::kHasConsoleVariant && endsWith(lowerCaseCopy(exeName), std::string("c") + platform::kExeSuffix))
        stem.erase(stem.size() - 5);  // appc.exe shares app.conf
    else if (hasExeSuffix(exeName))
        stem.erase(stem.size() - std::string(platform::kExeSuffix).size());
    return stem + ".conf";
}
