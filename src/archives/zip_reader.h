#pragma once

#include "archives/archive_member.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One ZIP member: the catalog's view (TArchiveMember) plus the header fields.
struct TZipDirEntry : TArchiveMember {
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0; // general purpose bits: 3 data descriptor, 11 UTF-8 name
    uint16_t Method = 0;
    uint16_t ModTime = 0; // MS-DOS time
    uint16_t ModDate = 0; // MS-DOS date
    uint32_t Crc32 = 0;
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;
    uint64_t LocalHeaderOffset = 0;
    std::string StoredName; // the name bytes as stored, whole

    uint32_t DosDateTime() const { return (uint32_t(ModDate) << 16) | ModTime; }
};

// Lists the members of a ZIP archive (nothing is decompressed). The central
// directory gives the members when the archive has a usable one (data
// descriptors and ZIP64 sizes included); otherwise the local headers are
// walked from the front.
class TZip {
public:
    using TNotifyEvent = std::function<void(TZip& sender)>;
    using TMemberEvent = std::function<void(const TZipDirEntry& member)>;
    // A line for the message pane: a message key and the text for its "%s".
    using TLogEvent = std::function<void(const std::string& key, const std::string& arg)>;

    // Stores the name and reads the archive at once (also when unchanged).
    // Members are handed over through OnMember, in directory order, and then
    // OnDirUpdate fires, also when the read fails; after that a damaged
    // archive raises EMessageError("msgsZipErr", "<path>: <what went wrong>")
    // with the members found so far kept. A missing file lists nothing and
    // says nothing; a file with no member logs "msgsZipErr" through OnLog
    // ("<path>: No valid zip entries found") and raises nothing.
    void SetZipFilename(const std::string& path);
    const std::string& ZipFilename() const { return fileName_; }

    int Count() const { return static_cast<int>(entries_.size()); }
    const TZipDirEntry& Entry(int i) const { return entries_[static_cast<size_t>(i)]; }
    const std::vector<TZipDirEntry>& Entries() const { return entries_; }

    TNotifyEvent OnDirUpdate;
    TMemberEvent OnMember;
    TLogEvent OnLog;

private:
    void Read();
    bool ReadCentralDirectory(int fd, uint64_t fileSize);
    void WalkLocalHeaders(int fd, uint64_t fileSize);

    std::string fileName_;
    std::vector<TZipDirEntry> entries_;
};
