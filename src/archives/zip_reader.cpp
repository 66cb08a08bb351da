#include "archives/zip_reader.h"

#include "archives/archive_io.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kLocalSig = 0x04034B50;
constexpr uint32_t kCentralSig = 0x02014B50;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kEnd64Sig = 0x06064B50;
constexpr uint32_t kLocator64Sig = 0x07064B50;
constexpr uint32_t kDescriptorSig = 0x08074B50;
constexpr uint64_t kMaxJunk = 60000;         // bytes searched for the first local header
constexpr uint64_t kExeArchiveStart = 14000; // where a self-extractor's archive part is looked for
constexpr const char* kSizeOutOfRange = "Member size out of range";

using archiveio::Crc32;
using archiveio::U16;
using archiveio::U32;
using archiveio::U64;
using TReader = archiveio::TPositionalReader;

uint32_t Crc32(std::string_view s) {
    return Crc32(s.data(), s.size());
}

// Messages name the archive by its displayable path.
[[noreturn]] void Fail(const std::string& file, const char* what) {
    throw EMessageError("msgsZipErr", nametext::ToDisplayPath(file) + ": " + what);
}

// The stored name as UTF-8: names flagged UTF-8 and names that are valid
// UTF-8 stay; others are read as code page 437, the format's legacy encoding.
std::string DecodeName(std::string_view raw, bool dosHost) {
    size_t nul = raw.find('\0');
    if (nul != std::string_view::npos) raw = raw.substr(0, nul);
    std::string name;
    if (nametext::IsValidUtf8(raw))
        name.assign(raw);
    else
        name = nametext::Cp437ToUtf8(raw);
    // DOS and Windows archivers that wrote "\" between folders.
    if (dosHost) std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// Sizes held in a ZIP64 extra field replace the 0xFFFFFFFF placeholders.
bool ApplyZip64Extra(std::string_view extra, TZipDirEntry& e, bool offsetToo) {
    size_t p = 0;
    while (p + 4 <= extra.size()) {
        auto* b = reinterpret_cast<const uint8_t*>(extra.data() + p);
        uint16_t id = U16(b), len = U16(b + 2);
        if (p + 4 + len > extra.size()) break;
        if (id == 0x0001) {
            const uint8_t* f = b + 4;
            size_t left = len;
            auto take = [&](uint64_t& v) {
                if (v != 0xFFFFFFFFu) return;
                if (left < 8) return;
                v = U64(f);
                f += 8;
                left -= 8;
            };
            take(e.UncompressedSize);
            take(e.CompressedSize);
            if (offsetToo) take(e.LocalHeaderOffset);
            return true;
        }
        p += 4 + len;
    }
    return false;
}

// The Unicode path extra field, used when it belongs to this very name.
std::optional<std::string> UnicodePathExtra(std::string_view extra, std::string_view raw) {
    size_t p = 0;
    while (p + 4 <= extra.size()) {
        auto* b = reinterpret_cast<const uint8_t*>(extra.data() + p);
        uint16_t id = U16(b), len = U16(b + 2);
        if (p + 4 + len > extra.size()) break;
        if (id == 0x7075 && len >= 5 && b[4] == 1 && U32(b + 5) == Crc32(raw)) {
            std::string_view name(extra.data() + p + 9, len - 5);
            if (nametext::IsValidUtf8(name)) return std::string(name);
        }
        p += 4 + len;
    }
    return std::nullopt;
}

// Sizes of a member written with a data descriptor follow its data: the
// descriptor is the first one whose size field equals the distance covered.
// Leaves the reader after the descriptor.
bool FindDescriptor(TReader& in, uint64_t dataStart, bool zip64, TZipDirEntry& e) {
    const size_t tailLen = zip64 ? 24 : 16;
    // Small members are the rule: start with a small window and widen it.
    std::vector<uint8_t> chunk(4096);
    uint64_t at = dataStart;
    while (true) {
        if (at != dataStart && chunk.size() < (1u << 20)) chunk.resize(chunk.size() * 2);
        in.Seek(at);
        size_t got = in.Read(chunk.data(), chunk.size());
        if (got < tailLen) return false;
        size_t last = got - tailLen; // candidates whose whole record is in the chunk
        for (size_t i = 0; i <= last; ++i) {
            const uint8_t* p =
                static_cast<const uint8_t*>(std::memchr(chunk.data() + i, 0x50, last + 1 - i));
            if (!p) break;
            i = static_cast<size_t>(p - chunk.data());
            if (U32(p) != kDescriptorSig) continue;
            uint64_t len = at + i - dataStart;
            if (zip64 ? U64(p + 8) != len : U32(p + 8) != len) continue;
            e.Crc32 = U32(p + 4);
            e.CompressedSize = len;
            e.UncompressedSize = zip64 ? U64(p + 16) : U32(p + 12);
            in.Seek(at + i + tailLen);
            return true;
        }
        at += last + 1;
    }
}

// Sizes no file system can hold come from damage, never from an archiver.
bool SizesFit(const TZipDirEntry& e) {
    return e.UncompressedSize <= kMaxMemberSize && e.CompressedSize <= kMaxMemberSize;
}

void FinishMember(TZipDirEntry& e) {
    e.Size = static_cast<int64_t>(e.UncompressedSize);
    e.PackedSize = static_cast<int64_t>(e.CompressedSize);
    e.Date = TArchiveMember::DosToDateTime(e.DosDateTime());
    e.Encrypted = (e.Flags & 1) != 0;
    if (!e.FileName.empty() && e.FileName.back() == '/') e.Attributes |= faDirectory;
    size_t slash = e.FileName.find_last_of('/', e.FileName.size() >= 2 ? e.FileName.size() - 2
                                                                       : std::string::npos);
    size_t base = slash == std::string::npos ? 0 : slash + 1;
    if (base < e.FileName.size() && e.FileName[base] == '.') e.Attributes |= faHidden;
}

// Fills the fields shared by local and central headers from the 26 bytes
// after the local signature (central: the 26 bytes after "version made by").
void ParseCommonHeader(const uint8_t* h, TZipDirEntry& e) {
    e.VersionNeeded = U16(h);
    e.Flags = U16(h + 2);
    e.Method = U16(h + 4);
    e.ModTime = U16(h + 6);
    e.ModDate = U16(h + 8);
    e.Crc32 = U32(h + 10);
    e.CompressedSize = U32(h + 14);
    e.UncompressedSize = U32(h + 18);
}

} // namespace

void TZip::SetZipFilename(const std::string& path) {
    fileName_ = path;
    Read();
}

void TZip::Read() {
    entries_.clear();
    std::exception_ptr failure;
    {
        archiveio::TFileHandle file(archiveio::OpenForReading(fileName_));
        try {
            if (file.Get() < 0) {
                if (errno != ENOENT && errno != ENOTDIR) Fail(fileName_, std::strerror(errno));
            } else {
                struct stat st;
                if (fstat(file.Get(), &st) != 0) Fail(fileName_, std::strerror(errno));
                if (!S_ISREG(st.st_mode)) Fail(fileName_, "not a regular file");
                auto size = static_cast<uint64_t>(st.st_size);
                // An archive whose directory says it is empty is not an error.
                if (!ReadCentralDirectory(file.Get(), size)) {
                    entries_.clear();
                    WalkLocalHeaders(file.Get(), size);
                    if (entries_.empty() && OnLog)
                        OnLog("msgsZipErr",
                              nametext::ToDisplayPath(fileName_) + ": No valid zip entries found");
                }
            }
        } catch (const EMessageError&) {
            failure = std::current_exception();
        }
    }
    if (OnMember)
        for (const TZipDirEntry& e : entries_)
            OnMember(e);
    if (OnDirUpdate) OnDirUpdate(*this);
    if (failure) std::rethrow_exception(failure);
}

bool TZip::ReadCentralDirectory(int fd, uint64_t fileSize) {
    if (fileSize < 22) return false;
    TReader in(fd, fileSize);
    uint64_t tailLen = std::min<uint64_t>(fileSize, 22 + 65535);
    uint64_t tailStart = fileSize - tailLen;
    std::vector<uint8_t> tail(static_cast<size_t>(tailLen));
    in.Seek(tailStart);
    if (!in.ReadExact(tail.data(), tail.size())) return false;

    // The last end record whose comment fits in the file.
    std::optional<size_t> endAt;
    for (size_t i = tail.size() - 22 + 1; i-- > 0;) {
        if (U32(&tail[i]) == kEndSig && i + 22 + U16(&tail[i + 20]) <= tail.size()) {
            endAt = i;
            break;
        }
    }
    if (!endAt) return false;
    const uint8_t* end = &tail[*endAt];
    uint64_t endPos = tailStart + *endAt;
    uint16_t disk = U16(end + 4), cdDisk = U16(end + 6);
    uint64_t total = U16(end + 10);
    uint64_t cdSize = U32(end + 12), cdOffset = U32(end + 16);
    uint64_t cdEnd = endPos;

    if (endPos >= 20) {
        uint8_t loc[20];
        in.Seek(endPos - 20);
        if (in.ReadExact(loc, 20) && U32(loc) == kLocator64Sig) {
            uint64_t locPos = endPos - 20;
            uint8_t rec[56];
            bool found = false;
            for (uint64_t at : {U64(loc + 8), locPos >= 56 ? locPos - 56 : UINT64_MAX}) {
                if (at > locPos || locPos - at < 56) continue;
                in.Seek(at);
                if (in.ReadExact(rec, 56) && U32(rec) == kEnd64Sig) {
                    found = true;
                    cdEnd = at;
                    break;
                }
            }
            if (!found) return false;
            disk = static_cast<uint16_t>(U32(rec + 16));
            cdDisk = static_cast<uint16_t>(U32(rec + 20));
            total = U64(rec + 32);
            cdSize = U64(rec + 40);
            cdOffset = U64(rec + 48);
        }
    }
    // Split archives are read member by member from their local headers.
    if (disk != 0 || cdDisk != 0) return false;
    if (cdSize > cdEnd) return false;
    if (total == 0 && cdSize == 0) return true; // an empty archive

    // Data put before the archive (a self-extractor) moves the directory.
    uint64_t cdStart = cdOffset;
    uint8_t sig[4];
    in.Seek(cdStart);
    if (cdStart > cdEnd || !in.ReadExact(sig, 4) || U32(sig) != kCentralSig) {
        cdStart = cdEnd - cdSize;
        in.Seek(cdStart);
        if (!in.ReadExact(sig, 4) || U32(sig) != kCentralSig) return false;
    }
    uint64_t shift = cdStart - std::min(cdStart, cdOffset);
    uint64_t stop = std::min(cdEnd, cdStart + cdSize);

    in.Seek(cdStart);
    // As many as the directory says and its size can hold (46 bytes each at least).
    entries_.reserve(static_cast<size_t>(std::min<uint64_t>(total, (stop - cdStart) / 46)));
    while (in.Pos() + 4 <= stop) {
        uint8_t h[46];
        if (!in.ReadExact(h, 4)) return false;
        if (U32(h) != kCentralSig) break; // a digital signature record or the end
        if (in.Pos() + 42 > stop || !in.ReadExact(h + 4, 42)) return false;
        TZipDirEntry e;
        ParseCommonHeader(h + 6, e);
        uint16_t madeBy = U16(h + 4);
        uint16_t nameLen = U16(h + 28), extraLen = U16(h + 30), commentLen = U16(h + 32);
        uint32_t external = U32(h + 38);
        e.LocalHeaderOffset = U32(h + 42);
        if (in.Pos() + nameLen + extraLen + commentLen > stop) return false;
        std::string extra;
        if (!in.ReadString(e.StoredName, nameLen) || !in.ReadString(extra, extraLen)) return false;
        in.Seek(in.Pos() + commentLen);

        ApplyZip64Extra(extra, e, true);
        if (!SizesFit(e)) Fail(fileName_, kSizeOutOfRange);
        e.LocalHeaderOffset += shift;
        unsigned host = madeBy >> 8;
        bool dosHost = host == 0 || host == 11 || host == 14;
        if (auto u = (e.Flags & 0x800) ? std::nullopt : UnicodePathExtra(extra, e.StoredName))
            e.FileName = *u;
        else
            e.FileName = DecodeName(e.StoredName, dosHost);
        if (host == 3) { // Unix: the mode sits in the high half
            uint32_t mode = external >> 16;
            if ((mode & 0170000) == 0040000) e.Attributes |= faDirectory;
            if ((mode & 0170000) == 0120000) e.Attributes |= faSymLink;
            if (mode != 0 && (mode & 0222) == 0) e.Attributes |= faReadOnly;
        } else {
            e.Attributes |= external & (faReadOnly | faHidden | faSysFile | faDirectory);
        }
        FinishMember(e);
        entries_.push_back(std::move(e));
    }
    return !entries_.empty() || total == 0;
}

void TZip::WalkLocalHeaders(int fd, uint64_t fileSize) {
    TReader in(fd, fileSize);
    std::string ext;
    size_t dot = fileName_.rfind('.');
    if (dot != std::string::npos && fileName_.find('/', dot) == std::string::npos)
        ext = fileName_.substr(dot);
    bool exe = ext.size() == 4 && (ext[1] | 0x20) == 'e' && (ext[2] | 0x20) == 'x' &&
               (ext[3] | 0x20) == 'e';
    in.Seek(exe ? kExeArchiveStart : 0);

    bool synced = false;
    uint64_t scanned = 0;
    while (true) {
        uint32_t sig = 0;
        if (!synced) {
            // Look for "PK\3\4"; a byte that breaks a partial match is not retried.
            static const uint8_t want[4] = {0x50, 0x4B, 0x03, 0x04};
            int matched = 0;
            bool found = false;
            while (!found) {
                uint8_t b;
                if (in.Read(&b, 1) != 1) return;
                if (matched == 0 && ++scanned > kMaxJunk) return;
                if (b == want[matched]) {
                    if (++matched == 4) found = true;
                } else {
                    matched = 0;
                }
            }
            synced = true;
            sig = kLocalSig;
        } else {
            uint8_t s[4];
            if (!in.ReadExact(s, 4)) Fail(fileName_, "Error reading Zip File");
            sig = U32(s);
        }

        if (sig == kCentralSig || sig == kEndSig || sig == kEnd64Sig) return;
        if (sig != kLocalSig) continue; // unknown: go on in 4-byte steps

        uint8_t h[26];
        TZipDirEntry e;
        e.LocalHeaderOffset = in.Pos() - 4;
        bool ok = in.ReadExact(h, 26);
        if (ok) {
            ParseCommonHeader(h, e);
            ok = in.ReadString(e.StoredName, U16(h + 22));
        }
        if (!ok) {
            if (!entries_.empty()) Fail(fileName_, "Error 2 reading Zip file");
            synced = false;
            continue;
        }
        uint64_t nameEnd = in.Pos();
        uint16_t extraLen = U16(h + 24);
        std::string extra;
        bool zip64 = false;
        if (nameEnd + extraLen <= fileSize) {
            in.ReadString(extra, extraLen);
            zip64 = ApplyZip64Extra(extra, e, false);
        }
        if (!SizesFit(e)) {
            if (entries_.empty()) {
                in.Seek(nameEnd);
                synced = false;
                continue;
            }
            Fail(fileName_, kSizeOutOfRange);
        }
        bool descriptor = (e.Flags & 0x08) != 0 && e.CompressedSize == 0;
        uint64_t need = nameEnd + extraLen + (descriptor ? 0 : e.CompressedSize);
        if (need < nameEnd || fileSize < 22 || need > fileSize - 22) {
            if (entries_.empty()) {
                in.Seek(nameEnd);
                synced = false;
                continue;
            }
            Fail(fileName_, "Error 3 reading Zip file");
        }
        uint64_t dataStart = nameEnd + extraLen;
        in.Seek(dataStart);
        e.FileName = DecodeName(e.StoredName, false);
        if (descriptor) {
            if (!FindDescriptor(in, dataStart, zip64, e)) {
                FinishMember(e);
                entries_.push_back(std::move(e));
                Fail(fileName_, "Error reading Zip File");
            }
        } else {
            in.Seek(dataStart + e.CompressedSize);
        }
        if (!SizesFit(e)) Fail(fileName_, kSizeOutOfRange);
        FinishMember(e);
        entries_.push_back(std::move(e));
    }
}
