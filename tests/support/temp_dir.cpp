#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace testing_support {
namespace {

void setEnvironment(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    // The launcher reads the process environment through the system, where a variable may be
    // set and empty; the C runtime's _putenv would remove it instead.
    SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
#else
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
#endif
}

std::optional<std::string> getEnvironment(const std::string& name) {
#ifdef _WIN32
    DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (size == 0) return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::string>("");
    std::string value(size, '\0');
    DWORD got = GetEnvironmentVariableA(name.c_str(), &value[0], size);
    value.resize(got);
    return value;
#else
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
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
    old_ = getEnvironment(name_);
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
