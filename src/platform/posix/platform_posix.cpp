// The POSIX port of the platform layer.
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/processes.h"
#include "platform/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iostream>

extern char** environ;

namespace platform {

namespace {

bool equalIgnoringCase(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

/// The locale's character set is read once; the C locale's plain ASCII counts as UTF-8,
/// which is what file names and arguments hold on every current system.
bool localeIsUtf8OrAscii() {
    static const bool result = [] {
        std::setlocale(LC_CTYPE, "");
        const char* codeset = nl_langinfo(CODESET);
        return !codeset || std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
               std::strcmp(codeset, "ASCII") == 0;
    }();
    return result;
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

std::u16string utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char c = s[i];
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        bool valid = extra >= 0 && i + extra < n + (extra == 0 ? 1 : 0) && i + static_cast<std::size_t>(extra) < n;
        for (int k = 1; valid && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (valid && (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) valid = false;
        if (!valid) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        appendUtf16(out, cp);
        i += extra + 1;
    }
    return out;
}

}  // namespace

std::optional<std::string> ownExecutablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", &buffer[0], buffer.size());
        if (length < 0) return std::nullopt;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> currentDirectory() {
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(&buffer[0], buffer.size())) {
            buffer.resize(std::strlen(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE) return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
}

bool changeDirectory(const std::string& directory) { return ::chdir(directory.c_str()) == 0; }

std::optional<std::string> fullPathDirectory(const std::string& name) {
    if (name.empty()) return std::nullopt;
    std::string full = name;
    if (name[0] != '/') {
        std::optional<std::string> cwd = currentDirectory();
        if (!cwd) return std::nullopt;
        full = joinPath(*cwd, name);
    }
    std::size_t start = fileNameStart(full);
    if (start == full.size()) return std::nullopt;  // no file-name part
    return full.substr(0, start);
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::vector<std::string> findFiles(const std::string& directory, const std::string& pattern) {
    std::vector<std::string> names;
    // Only the "*.ext" form is used: the entries whose names end in ".ext", ignoring case.
    std::string suffix = pattern.substr(pattern.find('*') == 0 ? 1 : 0);
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) return names;
    while (dirent* entry = ::readdir(dir)) {
        std::size_t length = std::strlen(entry->d_name);
        if (length < suffix.size() || std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (equalIgnoringCase(entry->d_name + length - suffix.size(), suffix.c_str(), suffix.size()))
            names.emplace_back(entry->d_name, length);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> getEnv(const std::string& name) {
    if (const char* value = std::getenv(name.c_str())) return std::string(value);
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (!equals || static_cast<std::size_t>(equals - *entry) != name.size()) continue;
        if (equalIgnoringCase(*entry, name.c_str(), name.size())) return std::string(equals + 1);
    }
    return std::nullopt;
}

std::optional<std::string> getEnvExactName(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

std::size_t previousCharStart(const std::string& text, std::size_t pos) {
    if (pos == 0) return 0;
    if (localeIsUtf8OrAscii()) {
        // A separator never occurs inside a UTF-8 sequence; step over continuation bytes.
        std::size_t at = pos - 1;
        while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
        return at;
    }
    std::mbstate_t state{};
    std::size_t at = 0, previous = 0;
    while (at < pos) {
        previous = at;
        std::size_t length = std::mbrlen(text.data() + at, pos - at, &state);
        if (length == 0 || length > pos - at) {
            length = 1;
            state = std::mbstate_t{};
        }
        at += length;
    }
    return previous;
}

std::u16string toUtf16(const std::string& text) {
    if (localeIsUtf8OrAscii()) return utf8ToUtf16(text);
    std::u16string out;
    std::mbstate_t state{};
    std::size_t at = 0;
    while (at < text.size()) {
        wchar_t wc = 0;
        std::size_t length = std::mbrtowc(&wc, text.data() + at, text.size() - at, &state);
        if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2)) {
            out += u'\uFFFD';
            state = std::mbstate_t{};
            ++at;
            continue;
        }
        if (length == 0) length = 1;  // an embedded NUL
        appendUtf16(out, static_cast<char32_t>(wc));
        at += length;
    }
    return out;
}

const char* const kJavaExecutable = "/bin/java";
const char* const kSplashLibraryBelowHome = "/lib/libsplashscreen.so";
const char* const kJreJavaExecutable = "/jre/bin/java";
const char* const kDefaultJavaHome = "../jre";

namespace {

#if defined(__x86_64__)
const char* const kArchDirectory = "amd64";
#elif defined(__aarch64__)
const char* const kArchDirectory = "aarch64";
#elif defined(__i386__)
const char* const kArchDirectory = "i386";
#else
const char* const kArchDirectory = "";
#endif

}  // namespace

std::vector<std::string> jvmCfgCandidates(const std::string& javaHome) {
    return {javaHome + "/lib/jvm.cfg", javaHome + "/lib/" + kArchDirectory + "/jvm.cfg"};
}

std::vector<std::string> vmLibraryCandidates(const std::string& javaHome, const std::string& vmDirectory) {
    return {javaHome + "/lib/" + vmDirectory + "/libjvm.so",
            javaHome + "/lib/" + kArchDirectory + "/" + vmDirectory + "/libjvm.so"};
}

ChildOutcome runAndWait(const std::string& program, const std::vector<std::string>& args) {
    ChildOutcome outcome;
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int error = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        outcome.errorText = std::strerror(error);
        return outcome;
    }
    outcome.started = true;
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == pid) {
        if (WIFEXITED(status))
            outcome.exitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            outcome.exitCode = 128 + WTERMSIG(status);
    }
    return outcome;
}

bool isRegularFile(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isSymbolicLink(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::optional<std::string> resolvedPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool setEnv(const std::string& name, const std::optional<std::string>& value) {
    return (value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str())) == 0;
}

}  // namespace platform
