#include "archives/rar_headers.h"

#include "text/encodings.h"
#include "text/name_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using archiveio::Crc32;
using archiveio::U16;
using archiveio::U32;
using archiveio::U64;

namespace {

constexpr uint64_t kSfxSearch = 1u << 20; // a self-extractor's program is smaller
constexpr size_t kMaxHeader5 = 2u << 20;  // RAR 5 header sizes use at most 3 bytes

// RAR 4 block types and flags.
constexpr uint8_t kMainHead = 0x73, kFileHead = 0x74, kServiceHead = 0x7A, kEndHead = 0x7B;
constexpr uint16_t kLongBlock = 0x8000;
constexpr uint16_t kMainVolume = 0x0001, kMainSolid = 0x0008, kMainPassword = 0x0080;
constexpr uint16_t kFileSplitBefore = 0x01, kFileSplitAfter = 0x02, kFilePassword = 0x04,
                   kFileComment = 0x08, kFileDirMask = 0xE0, kFileLarge = 0x100,
                   kFileUnicode = 0x200, kFileSalt = 0x400, kFileExtTime = 0x1000;

// RAR 5 header types and flags.
constexpr uint64_t kMain5 = 1, kFile5 = 2, kCrypt5 = 4, kEnd5 = 5;
constexpr uint64_t kHasExtra = 0x01, kHasData = 0x02, kSplitBefore5 = 0x08, kSplitAfter5 = 0x10;

uint64_t AddClamped(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// A RAR 5 variable-length integer: 7 bits a byte, low bits first.
bool ReadVint(const uint8_t* p, size_t end, size_t& at, uint64_t& v) {
    v = 0;
    for (unsigned shift = 0; shift < 64 && at < end; shift += 7) {
        uint8_t b = p[at++];
        if (shift == 63 && (b & 0x7E)) return false;
        v |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return true;
    }
    return false;
}

// Windows attribute bits of a member from a DOS, OS/2 or Windows host.
void ApplyWindowsAttributes(uint32_t attr, TDFRARHeaderData& h) {
    h.attrArchive = attr & 0x20;
    h.attrCompressed = attr & 0x800;
    h.attrDirectory = attr & 0x10;
    h.attrHidden = attr & 0x02;
    h.attrNormal = attr & 0x80;
    h.attrOffline = attr & 0x1000;
    h.attrReadOnly = attr & 0x01;
    h.attrSystem = attr & 0x04;
    h.attrTemporary = attr & 0x100;
    h.Attributes |= attr & (faReadOnly | faHidden | faSysFile | faDirectory | faArchive);
}

// Mode bits of a member from a Unix host.
void ApplyUnixMode(uint32_t mode, TDFRARHeaderData& h) {
    if ((mode & 0170000) == 0040000) {
        h.attrDirectory = true;
        h.Attributes |= faDirectory;
    }
    if ((mode & 0170000) == 0120000) h.Attributes |= faSymLink;
    if (mode != 0 && (mode & 0222) == 0) {
        h.attrReadOnly = true;
        h.Attributes |= faReadOnly;
    }
}

// What every member record shares once the fields are in.
void FinishMember(TDFRARHeaderData& h, bool folder, uint32_t crc, bool hasCrc) {
    if (folder) {
        h.attrDirectory = true;
        h.Attributes |= faDirectory;
    }
    if (h.IsFolder()) h.Size = h.UnpSize = h.PackSize = 0;
    h.FileTime = h.Date;
    h.attrNormal = h.attrNormal || h.Attributes == 0;
    if (hasCrc) {
        char buf[12];
        std::snprintf(buf, sizeof buf, "%X", crc);
        h.CRC = buf;
    }
    // The last path part starting with a dot is hidden on the hosts that say so.
    size_t slash = h.FileName.find_last_of('/');
    if (h.FileName.compare(slash == std::string::npos ? 0 : slash + 1, 1, ".") == 0 &&
        h.HostOS == "Unix") {
        h.attrHidden = true;
        h.Attributes |= faHidden;
    }
}

const char* HostName(unsigned host) {
    switch (host) {
    case 0:
        return "DOS";
    case 1:
        return "IBM OS/2";
    case 2:
        return "Windows";
    case 3:
        return "Unix";
    default:
        return "";
    }
}

const char* MethodName(unsigned method) {
    static const char* const names[] = {"store", "fastest", "fast", "normal", "good", "best"};
    return method >= 0x30 && method <= 0x35 ? names[method - 0x30] : "";
}

// The RAR 4 extended time of the last change: the DOS time's odd second and
// the fraction it cannot hold. Returns the seconds to add to the DOS time.
double ExtendedMtimeSeconds(const uint8_t* p, size_t size) {
    if (size < 2) return 0;
    unsigned flags = U16(p);
    unsigned mode = flags >> 12; // the last change comes first
    if (!(mode & 8)) return 0;
    unsigned count = mode & 3;
    if (2 + count > size) return 0;
    uint32_t fraction = 0; // in 100 ns units, the high bytes stored
    for (unsigned i = 0; i < count; ++i)
        fraction |= static_cast<uint32_t>(p[2 + i]) << ((i + 3 - count) * 8);
    return ((mode & 4) ? 1.0 : 0.0) + fraction * 1e-7;
}

TDateTime FileTimeToDateTime(uint64_t ft) {
    // 100 ns units since 1601-01-01; 0 and impossible values give no date
    if (ft == 0 || ft > 0x7FFFFFFFFFFFFFFFull) return 0;
    int64_t secs = static_cast<int64_t>(ft / 10000000) - 11644473600LL;
    return UnixToDateTime(secs, static_cast<int64_t>(ft % 10000000) * 100);
}

} // namespace

std::string TRarHeaderReader::DecodeRar4Name(std::string_view field, bool unicodeFlag) {
    auto eightBit = [](std::string_view s) {
        return nametext::IsValidUtf8(s) ? std::string(s) : nametext::Cp437ToUtf8(s);
    };
    size_t zero = field.find('\0');
    if (!unicodeFlag) return eightBit(field.substr(0, zero));
    if (zero == std::string_view::npos) return eightBit(field); // stored as UTF-8
    std::string_view ansi = field.substr(0, zero);
    std::string_view enc = field.substr(zero + 1);
    if (enc.empty()) return eightBit(ansi);

    // The compact Unicode form: a high byte shared by many characters, then
    // two-bit commands that take a byte, a byte with the high byte, a whole
    // character, or a run copied from the 8-bit name with a correction.
    auto at = [&](size_t i) -> unsigned { return i < enc.size() ? uint8_t(enc[i]) : 0; };
    auto ansiAt = [&](size_t i) -> unsigned { return i < ansi.size() ? uint8_t(ansi[i]) : 0; };
    const size_t maxUnits = field.size() + 256; // a name never grows much beyond its field
    std::string utf16;
    auto put = [&](unsigned unit) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    };
    unsigned high = at(0);
    size_t pos = 1;
    unsigned flags = 0, flagBits = 0;
    while (pos < enc.size() && utf16.size() / 2 < maxUnits) {
        if (flagBits == 0) {
            flags = at(pos++);
            flagBits = 8;
        }
        switch (flags >> 6) {
        case 0:
            put(at(pos++));
            break;
        case 1:
            put(at(pos++) + (high << 8));
            break;
        case 2:
            put(at(pos) + (at(pos + 1) << 8));
            pos += 2;
            break;
        default: {
            unsigned length = at(pos++);
            if (length & 0x80) {
                unsigned correction = at(pos++);
                for (length = (length & 0x7F) + 2; length > 0 && utf16.size() / 2 < maxUnits;
                     --length)
                    put(((ansiAt(utf16.size() / 2) + correction) & 0xFF) + (high << 8));
            } else {
                for (length += 2; length > 0 && utf16.size() / 2 < maxUnits; --length)
                    put(ansiAt(utf16.size() / 2));
            }
            break;
        }
        }
        flags = (flags << 2) & 0xFF;
        flagBits -= 2;
    }
    std::string name = Utf16ToUtf8(utf16, false, true);
    return name.empty() ? eightBit(ansi) : name;
}

bool TRarHeaderReader::Open() {
    // "Rar!" 1A 07, then 00 for 1.5 to 4.x or 01 00 for 5.
    // Most archives start with it: only a self-extractor costs the longer search.
    uint8_t head[8] = {};
    in_.Seek(0);
    const bool atStart = in_.Read(head, 8) >= 7 && std::memcmp(head, "Rar!\x1A\x07", 6) == 0;
    const uint64_t limit = atStart ? 8 : std::min(in_.Size(), kSfxSearch);
    std::vector<uint8_t> buf(static_cast<size_t>(limit));
    in_.Seek(0);
    size_t got = in_.Read(buf.data(), buf.size());
    for (size_t i = 0; i + 7 <= got; ++i) {
        const uint8_t* p = static_cast<const uint8_t*>(std::memchr(&buf[i], 'R', got - i));
        if (!p) break;
        i = static_cast<size_t>(p - buf.data());
        if (i + 7 > got || std::memcmp(p, "Rar!\x1A\x07", 6) != 0) continue;
        if (p[6] == 0) {
            version_ = 4;
            pos_ = i + 7;
            return true;
        }
        if (p[6] == 1 && i + 8 <= got && p[7] == 0) {
            version_ = 5;
            pos_ = i + 8;
            return true;
        }
    }
    error_ = TError::NotRar;
    return false;
}

TRarHeaderReader::TStep TRarHeaderReader::Fail(TError e) {
    error_ = e;
    pos_ = UINT64_MAX;
    return TStep::Failed;
}

bool TRarHeaderReader::ReadHeaderAt(uint64_t pos, size_t size) {
    hdr_.resize(size);
    in_.Seek(pos);
    return in_.ReadExact(hdr_.data(), size);
}

TRarHeaderReader::TStep TRarHeaderReader::Next(TDFRARHeaderData& out) {
    if (error_ != TError::None) return TStep::Failed;
    if (cutShort_) return Fail(TError::CorruptData);
    return version_ == 5 ? Next5(out) : Next4(out);
}

TRarHeaderReader::TStep TRarHeaderReader::Next4(TDFRARHeaderData& out) {
    while (true) {
        // Archives of the early versions may end without an end block.
        if (pos_ >= in_.Size()) return TStep::End;
        uint8_t base[7];
        in_.Seek(pos_);
        if (!in_.ReadExact(base, 7)) return Fail(TError::CorruptData);
        const uint8_t type = base[2];
        const uint16_t flags = U16(base + 3), size = U16(base + 5);
        if (size < 7) return Fail(TError::BadArchive);
        if (!ReadHeaderAt(pos_, size)) return Fail(TError::CorruptData);
        const uint8_t* h = hdr_.data();
        uint32_t crc = Crc32(h + 2, size - 2) & 0xFFFF;
        // Old archives checked only the fixed part of a main header with a comment.
        bool crcOk = crc == U16(h) ||
                     (type == kMainHead && size > 13 && (Crc32(h + 2, 11) & 0xFFFF) == U16(h)) ||
                     (type == kFileHead && (flags & kFileComment));
        uint64_t dataSize = (flags & kLongBlock) && size >= 11 ? U32(h + 7) : 0;
        const bool member = type == kFileHead || type == kServiceHead;
        const bool large = member && (flags & kFileLarge);
        if (member) {
            if (size < (large ? 40 : 32)) {
                if (!crcOk) { // skip what the size says and try the next block
                    pos_ += size;
                    return TStep::Damaged;
                }
                return Fail(TError::BadArchive);
            }
            if (large) dataSize |= static_cast<uint64_t>(U32(h + 32)) << 32;
        }
        pos_ = AddClamped(pos_ + size, dataSize);
        if (!crcOk) return TStep::Damaged;

        if (type == kMainHead) {
            solid_ = flags & kMainSolid;
            volume_ = flags & kMainVolume;
            if (flags & kMainPassword) return Fail(TError::PasswordNeeded);
            continue;
        }
        if (type == kEndHead) return TStep::End;
        if (type != kFileHead) continue; // comments, recovery records, service data

        const size_t nameAt = large ? 40 : 32;
        const size_t nameSize = U16(h + 26);
        if (nameAt + nameSize > size) return Fail(TError::BadArchive);
        uint64_t unp = U32(h + 11);
        if (large) unp |= static_cast<uint64_t>(U32(h + 36)) << 32;
        if (unp > kMaxMemberSize || dataSize > kMaxMemberSize) return TStep::Damaged;

        out = TDFRARHeaderData{};
        const unsigned host = h[15];
        out.ContinuedFromPrev = flags & kFileSplitBefore;
        out.ContinuedOnNext = flags & kFileSplitAfter;
        out.Encrypted = flags & kFilePassword;
        out.PackSize = static_cast<int64_t>(dataSize);
        out.Size = out.UnpSize = static_cast<int64_t>(unp);
        out.HostOS = HostName(host);
        out.VersionMajor = h[24] / 10;
        out.VersionMinor = h[24] % 10;
        out.Method = MethodName(h[25]);
        std::string_view field(reinterpret_cast<const char*>(h + nameAt), nameSize);
        out.FileName = DecodeRar4Name(field, flags & kFileUnicode);
        // DOS, OS/2 and Windows archivers write "\" between folders.
        if (host <= 2) std::replace(out.FileName.begin(), out.FileName.end(), '\\', '/');
        uint32_t attr = U32(h + 28);
        if (host == 3 || host == 5) // Unix, BeOS
            ApplyUnixMode(attr, out);
        else
            ApplyWindowsAttributes(attr, out);
        out.Date = TArchiveMember::DosToDateTime(U32(h + 20));
        size_t extAt = nameAt + nameSize + ((flags & kFileSalt) ? 8 : 0);
        if ((flags & kFileExtTime) && out.Date != 0 && extAt < size)
            out.Date += ExtendedMtimeSeconds(h + extAt, size - extAt) / 86400.0;
        FinishMember(out, (flags & kFileDirMask) == kFileDirMask, U32(h + 16), true);
        // A member whose data the file does not hold is the last one listed.
        if (pos_ > in_.Size()) cutShort_ = true;
        return TStep::Member;
    }
}

TRarHeaderReader::TStep TRarHeaderReader::Next5(TDFRARHeaderData& out) {
    while (true) {
        if (pos_ >= in_.Size()) return Fail(TError::CorruptData); // no end header
        uint8_t base[7] = {};
        in_.Seek(pos_);
        size_t got = in_.Read(base, sizeof base);
        size_t at = 4;
        uint64_t headSize = 0;
        if (got < 5) return Fail(TError::CorruptData);
        if (!ReadVint(base, std::min<size_t>(got, 7), at, headSize) || headSize == 0 ||
            headSize > kMaxHeader5)
            return Fail(TError::BadArchive);
        const size_t total = at + static_cast<size_t>(headSize);
        if (!ReadHeaderAt(pos_, total)) return Fail(TError::CorruptData);
        const uint8_t* h = hdr_.data();
        const bool crcOk = Crc32(h + 4, total - 4) == U32(h);

        uint64_t type = 0, flags = 0, extraSize = 0, dataSize = 0;
        bool fieldsOk = ReadVint(h, total, at, type) && ReadVint(h, total, at, flags) &&
                        (!(flags & kHasExtra) || ReadVint(h, total, at, extraSize)) &&
                        (!(flags & kHasData) || ReadVint(h, total, at, dataSize)) &&
                        extraSize <= total - at;
        if (!crcOk || !fieldsOk) {
            pos_ += total; // the data size cannot be trusted: try right after the header
            if (!crcOk) return TStep::Damaged;
            return Fail(TError::BadArchive);
        }
        pos_ = AddClamped(pos_ + total, dataSize);
        const size_t extraAt = total - static_cast<size_t>(extraSize);

        if (type == kCrypt5) return Fail(TError::PasswordNeeded);
        if (type == kEnd5) return TStep::End;
        if (type == kMain5) {
            uint64_t archFlags = 0;
            if (ReadVint(h, extraAt, at, archFlags)) {
                volume_ = archFlags & 0x01;
                solid_ = archFlags & 0x04;
            }
            continue;
        }
        if (type != kFile5) continue; // service headers: comments, locks, recovery

        uint64_t fileFlags = 0, unp = 0, attr = 0, comp = 0, host = 0, nameLen = 0;
        uint32_t mtime = 0, crc = 0;
        bool ok = ReadVint(h, extraAt, at, fileFlags) && ReadVint(h, extraAt, at, unp) &&
                  ReadVint(h, extraAt, at, attr);
        if (ok && (fileFlags & 0x02)) {
            ok = at + 4 <= extraAt;
            if (ok) mtime = U32(h + at), at += 4;
        }
        if (ok && (fileFlags & 0x04)) {
            ok = at + 4 <= extraAt;
            if (ok) crc = U32(h + at), at += 4;
        }
        ok = ok && ReadVint(h, extraAt, at, comp) && ReadVint(h, extraAt, at, host) &&
             ReadVint(h, extraAt, at, nameLen) && nameLen <= extraAt - at;
        if (!ok) return Fail(TError::BadArchive);
        if (fileFlags & 0x08) unp = 0; // size unknown when the archive was made
        if (unp > kMaxMemberSize || dataSize > kMaxMemberSize) return TStep::Damaged;

        out = TDFRARHeaderData{};
        out.ContinuedFromPrev = flags & kSplitBefore5;
        out.ContinuedOnNext = flags & kSplitAfter5;
        out.PackSize = static_cast<int64_t>(dataSize);
        out.Size = out.UnpSize = static_cast<int64_t>(unp);
        out.HostOS = host == 0 ? "Windows" : host == 1 ? "Unix" : "";
        out.VersionMajor = 5;
        out.VersionMinor = static_cast<int>(comp & 0x3F);
        unsigned method = static_cast<unsigned>((comp >> 7) & 7);
        out.Method = MethodName(0x30 + method);
        out.FileName = nametext::ToDisplayName(
            std::string_view(reinterpret_cast<const char*>(h + at), static_cast<size_t>(nameLen)));
        if (host == 1)
            ApplyUnixMode(static_cast<uint32_t>(attr), out);
        else
            ApplyWindowsAttributes(static_cast<uint32_t>(attr), out);
        if (fileFlags & 0x02) out.Date = UnixToDateTime(mtime);

        // Extra records: encryption, and the precise time of the last change.
        size_t x = extraAt;
        while (x < total) {
            uint64_t recSize = 0, recType = 0;
            size_t r = x;
            if (!ReadVint(h, total, r, recSize) || recSize == 0 || recSize > total - r) break;
            const size_t recEnd = r + static_cast<size_t>(recSize);
            if (!ReadVint(h, recEnd, r, recType)) break;
            if (recType == 1) out.Encrypted = true;
            uint64_t timeFlags = 0;
            if (recType == 3 && ReadVint(h, recEnd, r, timeFlags) && (timeFlags & 0x02)) {
                if ((timeFlags & 0x01) && r + 4 <= recEnd)
                    out.Date = UnixToDateTime(U32(h + r));
                else if (!(timeFlags & 0x01) && r + 8 <= recEnd)
                    out.Date = FileTimeToDateTime(U64(h + r));
            }
            x = recEnd;
        }
        FinishMember(out, fileFlags & 0x01, crc, fileFlags & 0x04);
        if (pos_ > in_.Size()) cutShort_ = true;
        return TStep::Member;
    }
}
