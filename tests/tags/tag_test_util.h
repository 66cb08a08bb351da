#pragma once

#include "support/temp_folder.h"

#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

// Byte strings for hand-built files.
using Bytes = std::string;

// Bytes of a literal, embedded zeros included.
template <size_t N> Bytes B(const char (&s)[N]) {
    return Bytes(s, N - 1);
}

inline Bytes Le16b(uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
inline Bytes Le32b(uint32_t v) {
    return Le16b(v & 0xFFFF) + Le16b(v >> 16);
}
inline Bytes Le64b(uint64_t v) {
    return Le32b(static_cast<uint32_t>(v)) + Le32b(static_cast<uint32_t>(v >> 32));
}
inline Bytes Be16b(uint32_t v) {
    return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}
inline Bytes Be32b(uint32_t v) {
    return Be16b(v >> 16) + Be16b(v & 0xFFFF);
}
inline Bytes SyncSafe(uint32_t v) {
    return {static_cast<char>((v >> 21) & 0x7F), static_cast<char>((v >> 14) & 0x7F),
            static_cast<char>((v >> 7) & 0x7F), static_cast<char>(v & 0x7F)};
}
inline Bytes Zeros(size_t n) {
    return Bytes(n, '\0');
}
inline Bytes Pad(Bytes s, size_t n) {
    s.resize(n, '\0');
    return s;
}

// One Ogg page holding the given packets (each under 255 * 255 bytes).
inline Bytes OggPage(const std::vector<Bytes>& packets, int64_t granule, uint32_t serial = 1,
                     uint32_t seq = 0, bool continued = false, bool lastOpen = false) {
    Bytes lacing, body;
    for (size_t i = 0; i < packets.size(); ++i) {
        size_t n = packets[i].size();
        while (n >= 255) {
            lacing += '\xFF';
            n -= 255;
        }
        if (!(lastOpen && i + 1 == packets.size())) lacing += static_cast<char>(n);
        body += packets[i];
    }
    return "OggS" + Bytes(1, '\0') + Bytes(1, continued ? '\1' : '\0') +
           Le64b(static_cast<uint64_t>(granule)) + Le32b(serial) + Le32b(seq) + Le32b(0) +
           Bytes(1, static_cast<char>(lacing.size())) + lacing + body;
}

// A file with the given content in a folder of its own, removed when the object goes away.
class TTempFile {
public:
    explicit TTempFile(std::string_view content, std::string_view ext = ".bin")
        : path_(folder_.File("file" + std::string(ext))) {
        Write(content);
    }
    void Write(std::string_view content) const { WriteFile(path_, content); }
    const std::string& Path() const { return path_; }

private:
    TTempFolder folder_;
    std::string path_;
};

// A reader of kind R that has read a file of `content`; the read must succeed.
template <class R> R ReadContent(const Bytes& content) {
    TTempFile f(content);
    R r;
    EXPECT_TRUE(r.ReadFromFile(f.Path()));
    return r;
}

inline std::string Fixture(const std::string& name) {
    return std::string(TAMBLIX_TEST_DATA) + "/audio/" + name;
}
