#include "analysis/rar_reader.h"

#include "analysis/name_text.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Frees the library's reader on every way out, handler errors included.
struct TArchiveHandle {
    archive* a = archive_read_new();
    int fd = -1;
    ~TArchiveHandle() {
        if (a) archive_read_free(a);
        if (fd >= 0) close(fd);
    }
};

// A time_t shown as the local wall-clock time the archiver stored, with no shift.
TDateTime LocalDateTime(time_t t, long nsec) {
    struct tm tm;
    if (!localtime_r(&t, &tm)) return 0;
    std::chrono::year_month_day ymd{std::chrono::year{tm.tm_year + 1900},
                                    std::chrono::month{static_cast<unsigned>(tm.tm_mon + 1)},
                                    std::chrono::day{static_cast<unsigned>(tm.tm_mday)}};
    if (!ymd.ok()) return 0;
    auto days = std::chrono::sys_days{ymd}.time_since_epoch().count();
    double secs = tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + nsec * 1e-9;
    return kUnixEpochDays + static_cast<double>(days) + secs / 86400.0;
}

// The library's own error numbers on this platform (not in its public headers).
constexpr int kErrFileFormat = EILSEQ;
constexpr int kErrMisc = -1;

bool IsFormatError(int err) {
    return err == kErrFileFormat || err == 0;
}

struct TPasswordContext {
    TRAR* rar;
    std::string text;
};

} // namespace

TRAR::TRAR() {
    DllVersion = RarSupported() ? archive_version_number() : 0;
}

bool TRAR::RarSupported() {
    static const bool supported = [] {
        archive* a = archive_read_new();
        bool ok = a && archive_read_support_format_rar(a) == ARCHIVE_OK &&
                  archive_read_support_format_rar5(a) == ARCHIVE_OK;
        if (a) archive_read_free(a);
        return ok;
    }();
    return supported;
}

void TRAR::Execute() {
    StopProcessing = false;
    ArchivComment.clear();
    CommentSize = 0;
    if (!RarSupported()) {
        if (OnError) OnError(*this, "txtRarMSG4", 0);
        return;
    }
    TArchiveHandle h;
    if (!h.a) {
        if (OnError) OnError(*this, "txtRarMSG14", 11);
        return;
    }
    archive_read_support_format_rar(h.a);
    archive_read_support_format_rar5(h.a);
    if (!Password.empty()) archive_read_add_passphrase(h.a, Password.c_str());
    TPasswordContext pw{this, {}};
    archive_read_set_passphrase_callback(h.a, &pw, [](archive*, void* data) -> const char* {
        auto* ctx = static_cast<TPasswordContext*>(data);
        TRAR& self = *ctx->rar;
        if (self.StopProcessing) return nullptr;
        ctx->text = self.Password;
        if (self.OnPassword)
            self.OnPassword(self, ctx->text);
        else if (self.OnError)
            self.OnError(self, "txtRarMSG2", 0);
        if (ctx->text.empty()) return nullptr;
        if (self.OnRarStatus) self.OnRarStatus(self, "txtRarMSG3", RAR_ONPASSWORD);
        return ctx->text.c_str();
    });

    if (OnRarStatus) OnRarStatus(*this, "", RAR_ONBEFOREOPEN);
    // Opened here, non-blocking, so that only a regular file reaches the
    // library: a FIFO or a device given a RAR name would hang or never end.
    int r = ARCHIVE_FATAL;
    int openErr = 0;
    h.fd = open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st;
    if (h.fd < 0)
        openErr = errno;
    else if (fstat(h.fd, &st) != 0 || !S_ISREG(st.st_mode))
        openErr = EINVAL;
    else
        r = archive_read_open_fd(h.a, h.fd, 65536);
    if (OnRarStatus) OnRarStatus(*this, "", RAR_ONOPEN);
    if (r != ARCHIVE_OK) {
        // Reported once; nothing more is asked of a reader that is not open.
        int err = openErr ? openErr : archive_errno(h.a);
        if (OnError) {
            if (err == ENOMEM)
                OnError(*this, "txtRarMSG14", 11);
            else if (!openErr && IsFormatError(err))
                OnError(*this, "txtRarMSG7", 14);
            else
                OnError(*this, "txtRarMSG11", 18);
        }
        archive_read_free(h.a);
        h.a = nullptr;
        if (OnRarStatus) OnRarStatus(*this, "", RAR_AFTERCLOSE);
        return;
    }

    int damaged = 0;
    bool first = true;
    while (!StopProcessing) {
        archive_entry* entry = nullptr;
        r = archive_read_next_header(h.a, &entry);
        if (r == ARCHIVE_EOF) break;
        if (r == ARCHIVE_RETRY) {
            if (OnError) OnError(*this, "txtRarMSG17", 12);
            if (++damaged >= kMaxDamagedHeaders) break;
            continue;
        }
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            int err = archive_errno(h.a);
            if (OnError) {
                if (err == ENOMEM)
                    OnError(*this, "txtRarMSG14", 11);
                else if (first && err == kErrFileFormat)
                    OnError(*this, "txtRarMSG7", 14);
                else if (IsFormatError(err) || err == kErrMisc)
                    OnError(*this, "txtRarMSG6", 13);
                else
                    OnError(*this, "txtRarMSG11", 18);
            }
            break;
        }
        first = false;

        if (OnFileProcessing) {
            TDFRARHeaderData hdr;
            hdr.ArchiveName = FileName;
            const char* utf8 = archive_entry_pathname_utf8(entry);
            const char* raw = archive_entry_pathname(entry);
            if (utf8 && nametext::IsValidUtf8(utf8))
                hdr.FileName = utf8;
            else if (raw)
                hdr.FileName = nametext::ToDisplayName(raw);
            int64_t size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
            hdr.Size = hdr.UnpSize = size < 0 ? 0 : size;
            if (archive_entry_mtime_is_set(entry))
                hdr.Date = hdr.FileTime =
                    LocalDateTime(archive_entry_mtime(entry), archive_entry_mtime_nsec(entry));
            mode_t mode = archive_entry_mode(entry);
            if (S_ISDIR(mode)) {
                hdr.Attributes |= faDirectory;
                hdr.attrDirectory = true;
                hdr.Size = hdr.UnpSize = 0;
            }
            if (S_ISLNK(mode)) hdr.Attributes |= faSymLink;
            if ((mode & 0222) == 0) {
                hdr.Attributes |= faReadOnly;
                hdr.attrReadOnly = true;
            }
            if (const char* ff = archive_entry_fflags_text(entry)) {
                if (std::strstr(ff, "hidden")) {
                    hdr.Attributes |= faHidden;
                    hdr.attrHidden = true;
                }
                if (std::strstr(ff, "system")) {
                    hdr.Attributes |= faSysFile;
                    hdr.attrSystem = true;
                }
                if (std::strstr(ff, "rdonly") || std::strstr(ff, "readonly")) {
                    hdr.Attributes |= faReadOnly;
                    hdr.attrReadOnly = true;
                }
            }
            hdr.attrNormal = hdr.Attributes == 0;
            hdr.Encrypted = archive_entry_is_encrypted(entry) != 0;
            hdr.VersionMajor = archive_format(h.a) == ARCHIVE_FORMAT_RAR_V5 ? 5 : 4;
            OnFileProcessing(*this, hdr, 0);
        }
        if (StopProcessing) break;

        // Listing skips the member's data; a failure here ends the listing.
        int c = archive_read_data_skip(h.a);
        if (c == ARCHIVE_FATAL) {
            if (OnError) OnError(*this, "txtRarMSG5", 12);
            break;
        }
    }

    int closed = archive_read_close(h.a);
    if (closed != ARCHIVE_OK && OnError) OnError(*this, "txtRarMSG1", 17);
    archive_read_free(h.a);
    h.a = nullptr;
    if (OnRarStatus) OnRarStatus(*this, "", RAR_AFTERCLOSE);
}
