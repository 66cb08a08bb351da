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
    // RAR 4: the name field exactly as stored (replaces Name), with or without
    // the Unicode-name flag; for DOS names and the compact Unicode form.
    std::string RawName{};
    bool UnicodeFlag = false;
    uint16_t Flags = 0;      // RAR 4: more file flags (0x01/0x02 split, 0x04 password, 0x10 solid)
    uint8_t HostOS = 2;      // RAR 4: 0 DOS, 2 Windows, 3 Unix
    uint32_t Attributes = 0; // 0: folder or file bits of the host
    int ExtTimeSecond = -1;  // RAR 4: odd second stored in an extended time (0 or 1)
    uint64_t NameLenExtra = 0; // RAR 5: added to the stored name length (a damaged header)
};

struct TRarTestOptions {
    uint16_t MainFlags = 0;        // RAR 4: 0x01 volume, 0x08 solid, 0x80 encrypted headers
    uint64_t ArchiveFlags = 0;     // RAR 5: 0x01 volume, 0x04 solid
    bool EncryptedHeaders = false; // RAR 5: an encryption header before everything
    bool EndBlock = true;
    std::string Prefix{}; // bytes before the signature (a self-extractor)
};

std::string MakeRar4(const std::vector<TRarTestMember>& members, const TRarTestOptions& o = {});
std::string MakeRar5(const std::vector<TRarTestMember>& members, const TRarTestOptions& o = {});

// DOS date-time from its parts.
uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);
