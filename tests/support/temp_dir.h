// Real temporary directories and environment variables for the unit tests.
#pragma once

#include <optional>
#include <string>

namespace testing_support {

/// A fresh directory under the system's temporary directory, removed with everything in it
/// when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    /// The directory's path, in the platform's own form, without a trailing separator.
    const std::string& path() const { return path_; }
    /// path() + separator + relative (relative written with '/').
    std::string operator/(const std::string& relative) const;
    /// Writes a file (creating its directories) and returns its full path.
    std::string write(const std::string& relative, const std::string& content = "") const;
    /// Creates a directory (and its parents) and returns its full path.
    std::string mkdir(const std::string& relative) const;

private:
    std::string path_;
};

/// Sets (or, with nullopt, unsets) an environment variable for the object's lifetime and
/// restores the old value afterwards.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

/// Makes a directory current for the object's lifetime.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::string& dir);
    ~ScopedCurrentDir();

private:
    std::string old_;
};

}  // namespace testing_support
