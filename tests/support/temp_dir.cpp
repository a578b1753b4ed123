#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {
namespace {

void setEnvironment(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    // An empty value would unset the variable through _putenv_s; SetEnvironmentVariable-style
    // semantics are what the launcher reads, so go through the C runtime only for non-empty.
    std::string entry = name + "=" + (value ? *value : std::string());
    _putenv(entry.c_str());
#else
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
#endif
}

}  // namespace

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() / ("launcher-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = fs::canonical(candidate).string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempDir::operator/(const std::string& relative) const {
    return (fs::path(path_) / fs::path(relative).make_preferred()).string();
}

std::string TempDir::write(const std::string& relative, const std::string& content) const {
    fs::path file = fs::path(*this / relative);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << content;
    return file.string();
}

std::string TempDir::mkdir(const std::string& relative) const {
    fs::path dir = fs::path(*this / relative);
    fs::create_directories(dir);
    return dir.string();
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    setEnvironment(name_, value);
}

ScopedEnv::~ScopedEnv() { setEnvironment(name_, old_); }

ScopedCurrentDir::ScopedCurrentDir(const std::string& dir) : old_(fs::current_path().string()) {
    fs::current_path(dir);
}

ScopedCurrentDir::~ScopedCurrentDir() {
    std::error_code ec;
    fs::current_path(old_, ec);
}

}  // namespace testing_support
