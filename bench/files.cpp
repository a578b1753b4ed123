// Files and directories of the benchmark's installations, and the jars it writes.
#include "files.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace bench {

void fatal(const std::string& text) {
    std::fprintf(stderr, "bench: %s\n", text.c_str());
    std::exit(2);
}

void makeDirs(const std::string& path) {
    std::string partial;
    std::stringstream parts(path);
    std::string part;
    if (!path.empty() && path[0] == '/') partial = "/";
    while (std::getline(parts, part, '/')) {
        if (part.empty()) continue;
        partial += part + "/";
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) fatal("cannot create " + partial);
    }
}

namespace {
int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }
}  // namespace

void removeTree(const std::string& path) {
    if (::access(path.c_str(), F_OK) != 0) return;
    if (::nftw(path.c_str(), removeEntry, 32, FTW_DEPTH | FTW_PHYS) != 0) fatal("cannot remove " + path);
}

void writeFile(const std::string& path, const std::string& content, mode_t mode) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) fatal("cannot write " + path);
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n <= 0) fatal("cannot write " + path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void copyFile(const std::string& from, const std::string& to, mode_t mode) {
    std::ifstream in(from, std::ios::binary);
    if (!in) fatal("cannot read " + from);
    std::stringstream bytes;
    bytes << in.rdbuf();
    writeFile(to, bytes.str(), mode);
}

void linkExecutable(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) != 0) copyFile(from, to, 0755);
}

// ---- Jars ----------------------------------------------------------------------------------

namespace {

std::uint32_t crc32(const std::string& data) {
    static std::uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : data) c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

}  // namespace

std::string makeJar(const std::vector<std::pair<std::string, std::string>>& entries) {
    const unsigned kDosTime = 0, kDosDate = (45 << 9) | (1 << 5) | 1;  // 2025-01-01
    std::string out, central;
    for (const auto& entry : entries) {
        // Named references, not a structured binding: C++17 lambdas cannot capture those.
        const std::string& name = entry.first;
        const std::string& data = entry.second;
        std::uint32_t offset = static_cast<std::uint32_t>(out.size()), crc = crc32(data);
        auto common = [&](std::string& header) {
            put16(header, 10);  // version needed
            put16(header, 0);   // flags
            put16(header, 0);   // stored
            put16(header, kDosTime);
            put16(header, kDosDate);
            put32(header, crc);
            put32(header, static_cast<std::uint32_t>(data.size()));
            put32(header, static_cast<std::uint32_t>(data.size()));
            put16(header, static_cast<unsigned>(name.size()));
            put16(header, 0);  // extra length
        };
        put32(out, 0x04034b50);
        common(out);
        out += name;
        out += data;
        put32(central, 0x02014b50);
        put16(central, 20);  // made by
        common(central);
        put16(central, 0);  // comment length
        put16(central, 0);  // disk
        put16(central, 0);  // internal attributes
        put32(central, 0);  // external attributes
        put32(central, offset);
        central += name;
    }
    std::uint32_t centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(entries.size()));
    put16(out, static_cast<unsigned>(entries.size()));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

std::string numbered(const char* prefix, long index, const char* suffix) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%05ld%s", prefix, index, suffix);
    return text;
}

}  // namespace bench
