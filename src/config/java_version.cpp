#include "config/java_version.h"

#include <cctype>
#include <string>

namespace {

/// Java counts one feature version a half year: a larger one is a made-up name, not a runtime
/// that would be newer than all others.
const int kMaxFeatureVersion = 999;

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::optional<JavaVersion> parseJavaVersion(const std::string& text) {
    if (text.empty() || !isDigit(text[0])) return std::nullopt;
    JavaVersion version;
    std::size_t at = 0;
    while (at < text.size() && isDigit(text[at])) {
        std::size_t end = at;
        while (end < text.size() && isDigit(text[end])) ++end;
        // A number that an int cannot hold is no version any runtime states: read as its first
        // nine digits, it would rank above every real one.
        if (end - at > 9) return std::nullopt;
        version.numbers.push_back(std::stoi(text.substr(at, end - at)));
        at = end;
        if (at + 1 < text.size() && (text[at] == '.' || text[at] == '_') && isDigit(text[at + 1])) ++at;
        else break;
    }
    version.text = text.substr(0, at);
    if (version.numbers.size() > 1 && version.numbers[0] == 1) version.numbers.erase(version.numbers.begin());
    if (version.feature() > kMaxFeatureVersion) return std::nullopt;
    return version;
}

std::optional<JavaVersion> versionInName(const std::string& name) {
    std::size_t first = 0;
    while (first < name.size() && !isDigit(name[first])) ++first;
    return parseJavaVersion(name.substr(first));
}

bool isNewer(const JavaVersion& a, const JavaVersion& b) { return a.numbers > b.numbers; }

std::optional<VersionRange> parseVersionRange(const std::string& text) {
    std::size_t dash = text.find('-');
    std::string low = text.substr(0, dash);
    std::string high = dash == std::string::npos ? std::string() : text.substr(dash + 1);
    std::optional<JavaVersion> min = parseJavaVersion(low);
    std::optional<JavaVersion> max = parseJavaVersion(high);
    if (!min || min->text != low || min->feature() < 1) return std::nullopt;
    if (dash != std::string::npos && (!max || max->text != high || max->feature() < min->feature()))
        return std::nullopt;
    return VersionRange{min->feature(), max ? max->feature() : 0};
}
