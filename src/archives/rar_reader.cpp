#include "archives/rar_reader.h"

#include "archives/archive_io.h"
#include "archives/rar_headers.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

// The format versions the header reader knows, reported as the "library" version.
constexpr int kReaderVersion = 5;

} // namespace

TRAR::TRAR() {
    DllVersion = kReaderVersion;
}

bool TRAR::RarSupported() {
    return true;
}

void TRAR::Execute() {
    StopProcessing = false;
    ArchivComment.clear();
    CommentSize = 0;
    auto error = [this](const char* key, TRarError code) {
        if (OnError) OnError(*this, key, code);
    };
    auto status = [this](TRarStatus s) {
        if (OnRarStatus) OnRarStatus(*this, "", s);
    };

    status(RAR_ONBEFOREOPEN);
    archiveio::TFileHandle file(archiveio::OpenForReading(FileName));
    int openErr = file.Get() < 0 ? errno : 0;
    struct stat st {};
    if (!openErr && fstat(file.Get(), &st) != 0) openErr = errno;
    // Only a regular file is read: a FIFO or a device with a RAR name never is.
    if (!openErr && !S_ISREG(st.st_mode)) openErr = EINVAL;
    status(RAR_ONOPEN);
    if (openErr) {
        if (openErr == ENOMEM)
            error("txtRarMSG14", TRarError::NoMemory);
        else
            error("txtRarMSG11", TRarError::ReadError);
        status(RAR_AFTERCLOSE);
        return;
    }

    archiveio::TPositionalReader in(file.Get(), static_cast<uint64_t>(st.st_size));
    TRarHeaderReader reader(in);
    int damaged = 0;
    bool opened = reader.Open();
    while (opened && !StopProcessing) {
        TDFRARHeaderData hdr;
        TRarHeaderReader::TStep step = reader.Next(hdr);
        if (step == TRarHeaderReader::TStep::End) break;
        if (step == TRarHeaderReader::TStep::Damaged) {
            error("txtRarMSG17", TRarError::BadData);
            if (++damaged >= kMaxDamagedHeaders) break;
            continue;
        }
        if (step == TRarHeaderReader::TStep::Failed) break;
        hdr.ArchiveName = FileName;
        if (OnFileProcessing) OnFileProcessing(*this, hdr, 0);
    }
    switch (reader.Error()) {
    case TRarHeaderReader::TError::None:
        break;
    case TRarHeaderReader::TError::NotRar:
        error("txtRarMSG7", TRarError::UnknownFormat);
        break;
    case TRarHeaderReader::TError::BadArchive:
        error("txtRarMSG6", TRarError::BadArchive);
        break;
    case TRarHeaderReader::TError::CorruptData:
        error("txtRarMSG5", TRarError::BadData);
        break;
    case TRarHeaderReader::TError::PasswordNeeded:
        error("txtRarMSG22", TRarError::MissingPassword);
        break;
    }
    status(RAR_AFTERCLOSE);
}
