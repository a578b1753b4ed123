// The one hash of the launcher, for names that must stay the same from start to start and from
// build to build: the remembered Java's file, the start-up cache's key and folder names.
#pragma once

#include <cstdint>
#include <string>

/// 64-bit FNV-1a over the bytes added so far: stable across builds and platforms, which
/// std::hash is not. Not for secrets: it names files, it does not guard them.
class Digest {
public:
    /// Adds the bytes of `text` as they are.
    Digest& addBytes(const std::string& text);

    /// Adds the bytes of `text` and a 0 after them, so that "ab","c" and "a","bc" differ.
    Digest& add(const std::string& text);

    /// The lowest `digits` hexadecimal digits of the digest (1 to 16), lower case, zero-padded.
    std::string hex(int digits) const;

private:
    void mix(unsigned char c);
    std::uint64_t value_ = 14695981039346656037ULL;
};
