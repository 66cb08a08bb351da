#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes small stored (uncompressed) RAR archives for the tests: no RAR
// creator is packaged, so the archives are built here byte by byte.
struct TRarTestMember {
    std::string Name; // "/" between folders; written with "\" in RAR 4 as DOS-host archivers do
    std::string Data;
    uint32_t DosTime = 0;  // RAR 4: MS-DOS date (high half) and time
    uint32_t UnixTime = 0; // RAR 5: seconds since 1970 (UTC)
    bool Folder = false;
    bool Utf8Name = false;    // RAR 4: set the Unicode-name flag and store UTF-8
    uint64_t UnpSize = ~0ull; // claimed unpacked size; ~0 means Data's size
};

std::string MakeRar4(const std::vector<TRarTestMember>& members);
std::string MakeRar5(const std::vector<TRarTestMember>& members);

// DOS date-time from its parts.
uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);
