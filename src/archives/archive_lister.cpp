#include "archives/archive_lister.h"

#include "archives/archive_format.h"
#include "archives/archive_io.h"
#include "archives/sevenzip_headers.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <ctime>
#include <locale.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Damaged headers the library may ask to retry before the listing gives up.
constexpr int kMaxRetries = 64;

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw EMessageError("msgsArcErr", nametext::ToDisplayPath(path) + ": " + what);
}

// Frees the library's reader on every way out, handler errors included.
class TArchiveReader {
public:
    TArchiveReader() : a_(archive_read_new()) {}
    TArchiveReader(const TArchiveReader&) = delete;
    TArchiveReader& operator=(const TArchiveReader&) = delete;
    ~TArchiveReader() {
        if (a_) archive_read_free(a_);
    }
    archive* Get() const { return a_; }

private:
    archive* a_;
};

// The library turns stored names into the thread's character set, and a
// name it cannot convert comes back empty: while it reads, the thread's
// character set is UTF-8, whatever the process locale (a service runs in "C").
class TUtf8Names {
public:
    TUtf8Names() {
        // One for the process, never freed: archives are listed on several
        // threads at once, each using it in turn.
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (utf8) old_ = uselocale(utf8);
    }
    TUtf8Names(const TUtf8Names&) = delete;
    TUtf8Names& operator=(const TUtf8Names&) = delete;
    ~TUtf8Names() {
        if (old_) uselocale(old_);
    }

private:
    locale_t old_ = static_cast<locale_t>(0);
};

// What the library said, with encrypted headers named the way users know them.
std::string ErrorText(archive* a) {
    const char* text = archive_error_string(a);
    std::string s = text ? text : "";
    // (The library's own encryption query is not safe before a format is known.)
    if (s.find("ncrypt") != std::string::npos || s.find("assphrase") != std::string::npos)
        return "password-protected";
    if (archive_errno(a) == ENOMEM) return "no memory";
    return s.empty() ? "unknown format" : s;
}

// The member's path as the catalog shows it: no "./" or "/" in front.
std::string CleanName(std::string name) {
    size_t start = 0;
    while (start < name.size()) {
        if (name[start] == '/')
            ++start;
        else if (name.compare(start, 2, "./") == 0)
            start += 2;
        else
            break;
    }
    name.erase(0, start);
    if (name == ".") name.clear();
    return name;
}

// The library's name of the member, UTF-8 whatever the locale.
std::string MemberName(archive_entry* entry) {
    const char* utf8 = archive_entry_pathname_utf8(entry);
    if (utf8 && nametext::IsValidUtf8(utf8)) return CleanName(utf8);
    const char* raw = archive_entry_pathname(entry);
    return CleanName(raw ? nametext::ToDisplayName(raw) : std::string());
}

// CAB stores local time as MS-DOS fields, which the library turns into a
// moment with mktime(). The catalog shows the fields as stored, unshifted, as
// the ZIP and RAR readers show theirs: they are read from the cabinet's file
// entries, in the order the library lists them.
class TCabTimes {
public:
    TDateTime Of(int fd, uint64_t fileSize, time_t moment) {
        if (!read_) Read(fd, fileSize);
        const size_t index = next_++;
        // Only fields the library read as this very moment are this member's.
        if (index < stored_.size()) {
            const uint32_t dos = stored_[index];
            struct tm fields {};
            fields.tm_year = static_cast<int>(dos >> 25) + 80;
            fields.tm_mon = static_cast<int>(dos >> 21 & 0x0F) - 1;
            fields.tm_mday = static_cast<int>(dos >> 16 & 0x1F);
            fields.tm_hour = static_cast<int>(dos >> 11 & 0x1F);
            fields.tm_min = static_cast<int>(dos >> 5 & 0x3F);
            fields.tm_sec = static_cast<int>(dos & 0x1F) * 2;
            fields.tm_isdst = -1;
            if (mktime(&fields) == moment) return TArchiveMember::DosToDateTime(dos);
        }
        // Otherwise the same zone gives the fields back, but for the hour a
        // change to summer time skips.
        struct tm fields {};
        if (!localtime_r(&moment, &fields)) return 0;
        return UnixToDateTime(timegm(&fields));
    }

private:
    // The date and time of each file entry; none for a self-extractor.
    void Read(int fd, uint64_t fileSize) {
        read_ = true;
        archiveio::TPositionalReader in(fd, fileSize);
        uint8_t head[36];
        if (!in.ReadExact(head, sizeof head) || std::memcmp(head, "MSCF", 4) != 0) return;
        in.Seek(archiveio::U32(head + 16));
        for (unsigned i = archiveio::U16(head + 28); i > 0; --i) {
            uint8_t entry[16];
            uint8_t c = 1;
            if (!in.ReadExact(entry, sizeof entry)) break;
            for (int n = 0; c != 0 && n <= 256; ++n) // the name and its zero
                if (!in.ReadExact(&c, 1)) break;
            if (c != 0) break;
            stored_.push_back(uint32_t{archiveio::U16(entry + 10)} << 16 |
                              archiveio::U16(entry + 12));
        }
    }

    bool read_ = false;
    size_t next_ = 0;
    std::vector<uint32_t> stored_;
};

// A disc image whose volume recognition area names UDF but no ISO 9660
// directory. The library has no UDF reader, and such an image's blank system
// area reads as an empty TAR archive: it would be listed with no members.
bool IsUdfOnlyImage(int fd) {
    constexpr off_t kArea = 32768;
    constexpr size_t kSector = 2048;
    constexpr size_t kMaxDescriptors = 32; // 4096-byte sectors take two steps each
    constexpr size_t kId = 6;
    // One read of the whole area: every archive of a scan comes this way,
    // and one positioned read per descriptor cost more than the listing.
    // Kept per thread: a fresh 62 KiB block per archive made malloc sweep its free lists.
    static thread_local std::vector<char> area((kMaxDescriptors - 1) * kSector + kId);
    ssize_t got;
    do {
        got = pread(fd, area.data(), area.size(), kArea);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return false;
    bool udf = false;
    for (size_t i = 0; i < kMaxDescriptors && i * kSector + kId <= static_cast<size_t>(got); ++i) {
        const std::string_view name(area.data() + i * kSector + 1, 5);
        if (name == "CD001") return false;
        if (name == "NSR02" || name == "NSR03") udf = true;
    }
    return udf;
}

} // namespace

void TArchiveLister::List(const std::string& path) {
    archiveio::TFileHandle file(archiveio::OpenForReading(path));
    if (file.Get() < 0) Fail(path, std::strerror(errno));
    struct stat st {};
    if (fstat(file.Get(), &st) != 0) Fail(path, std::strerror(errno));
    // A FIFO or a device with an archive's name is never read: it could block or never end.
    if (!S_ISREG(st.st_mode)) Fail(path, "not a regular file");
    // Members whose contents need a password still have names, sizes and dates.
    bool toldLocked = false;
    auto hand = [&](const TArchiveMember& m) {
        if (m.Encrypted && !toldLocked && OnLog) {
            toldLocked = true;
            OnLog("msgsArcErr",
                  nametext::ToDisplayPath(path) + ": contents are password-protected");
        }
        if (!m.FileName.empty() && OnMember) OnMember(m);
    };
    // 7z headers are read by our own reader: the library ends the listing at the
    // first member whose data it cannot read, such as a link in an encrypted archive.
    const sevenzip::TListing own = sevenzip::ListMembers(
        file.Get(), static_cast<uint64_t>(st.st_size), [&](TArchiveMember& m) {
            if (StopRequested && StopRequested()) return false;
            m.FileName = CleanName(std::move(m.FileName));
            hand(m);
            return true;
        });
    if (own.Outcome == sevenzip::TOutcome::HeaderEncrypted) Fail(path, "password-protected");
    if (own.Outcome == sevenzip::TOutcome::Listed) return;

    if (IsUdfOnlyImage(file.Get()))
        Fail(path, "a UDF image without an ISO 9660 directory; its members cannot be listed");

    TUtf8Names utf8; // before the reader, which picks its conversions when made
    TArchiveReader reader;
    archive* a = reader.Get();
    if (!a) Fail(path, "no memory");
    // Only the readers the file calls for: none of the others may take it for theirs.
    const unsigned readers = archiveformat::ReadersFor(path, file.Get());
    if ((readers & archiveformat::kIso) &&
        archiveformat::CheckIsoDirectories(file.Get(), static_cast<uint64_t>(st.st_size)) ==
            archiveformat::TIsoCheck::ClaimsTooMuch)
        Fail(path, "a directory of the disc image lies beyond the end of the file");
    if (readers & archiveformat::kSevenZip) archive_read_support_format_7zip(a);
    if (readers & archiveformat::kIso) archive_read_support_format_iso9660(a);
    if (readers & archiveformat::kCab) archive_read_support_format_cab(a);
    if (readers & archiveformat::kTar) {
        archive_read_support_format_tar(a);
        archive_read_support_format_gnutar(a);
        archive_read_support_filter_gzip(a);
        archive_read_support_filter_bzip2(a);
        archive_read_support_filter_xz(a);
        archive_read_support_filter_lzma(a);
        archive_read_support_filter_zstd(a);
        archive_read_support_filter_compress(a);
    }
    if (archive_read_open_fd(a, file.Get(), 65536) != ARCHIVE_OK) Fail(path, ErrorText(a));

    int retries = 0;
    TCabTimes cabTimes;
    while (!StopRequested || !StopRequested()) {
        archive_entry* entry = nullptr;
        int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF) break;
        if (r == ARCHIVE_RETRY && ++retries < kMaxRetries) continue;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) Fail(path, ErrorText(a));

        TArchiveMember m;
        m.FileName = MemberName(entry);
        const mode_t mode = archive_entry_mode(entry);
        if (S_ISDIR(mode)) m.Attributes |= faDirectory;
        if (S_ISLNK(mode)) m.Attributes |= faSymLink;
        if (mode != 0 && (mode & 0222) == 0) m.Attributes |= faReadOnly;
        if (archive_entry_size_is_set(entry) && !m.IsFolder()) {
            // Sizes come as signed 64-bit numbers: a negative one was beyond any file system.
            int64_t size = archive_entry_size(entry);
            if (size < 0) Fail(path, "Member size out of range");
            m.Size = size;
        }
        // A link's size is the length of the target it stores, in every kind
        // of archive alike (ZIP stores it as the member's data).
        if (S_ISLNK(mode)) {
            const char* target = archive_entry_symlink(entry);
            if (!target) target = archive_entry_symlink_utf8(entry);
            m.Size = target ? static_cast<int64_t>(std::strlen(target)) : 0;
        }
        if ((archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_CAB)
            m.Date = cabTimes.Of(file.Get(), static_cast<uint64_t>(st.st_size),
                                 archive_entry_mtime(entry));
        else if (archive_entry_mtime_is_set(entry))
            m.Date = UnixToDateTime(archive_entry_mtime(entry), archive_entry_mtime_nsec(entry));
        m.Encrypted = archive_entry_is_encrypted(entry) != 0;
        hand(m);
        if (archive_read_data_skip(a) == ARCHIVE_FATAL) Fail(path, ErrorText(a));
    }
}
