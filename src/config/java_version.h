// Java versions as runtimes and folder names state them, and the ranges an application accepts
// (SetJavaVersion).
#pragma once

#include <optional>
#include <string>
#include <vector>

/// A Java version as a runtime states it, the feature version first: "1.8.0_392" gives 8, 0,
/// 392; "17.0.15" gives 17, 0, 15.
struct JavaVersion {
    std::vector<int> numbers;
    std::string text;  ///< as written
    int feature() const { return numbers.empty() ? 0 : numbers[0]; }
};

/// The version a text begins with: numbers separated by '.' or '_', up to anything else; a
/// leading "1." is dropped when more follows. nullopt when the text does not begin with a digit,
/// when a number has more than nine digits, or when the feature version is above 999: such a
/// version is unknown, never the newest.
std::optional<JavaVersion> parseJavaVersion(const std::string& text);

/// The version in a folder or registry name, from its first digit on ("jdk-17.0.8+7" gives
/// 17.0.8, "zulu-17" 17, "jdk1.8.0_392" 8.0.392); nullopt when it holds no digit.
std::optional<JavaVersion> versionInName(const std::string& name);

/// True when `a` is a later version than `b`, number by number.
bool isNewer(const JavaVersion& a, const JavaVersion& b);

/// The feature versions an application accepts; 0 where there is no bound.
struct VersionRange {
    int min = 0;
    int max = 0;
};

/// "17", "17-21", "1.8" (8), "1.8-11"; nullopt for anything else, or a maximum below the
/// minimum.
std::optional<VersionRange> parseVersionRange(const std::string& text);
