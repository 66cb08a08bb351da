#pragma once

#include "archives/archive_member.h"

#include <cstdint>
#include <functional>
#include <string>

enum TRarMode { DFRAR_EXTRACT = 0, DFRAR_LIST = 1 };
enum TRarStatus { RAR_ONOPEN = 0, RAR_ONBEFOREOPEN = 1, RAR_AFTERCLOSE = 2, RAR_ONPASSWORD = 3 };
enum TOverrideOptions { OR_ALWAYS = 0, OR_NEVER = 1, OR_EVENT = 2 };

// The codes reported with each message key through OnError.
enum class TRarError : int {
    NoMemory = 11,        // "txtRarMSG14"
    BadData = 12,         // "txtRarMSG5" (data), "txtRarMSG17" (a header)
    BadArchive = 13,      // "txtRarMSG6"
    UnknownFormat = 14,   // "txtRarMSG7"
    ReadError = 18,       // "txtRarMSG11"
    MissingPassword = 22, // "txtRarMSG22": the headers are encrypted
};

// One RAR member header. FileName (whole path, "/" between folders, UTF-8),
// Size (unpacked, 64-bit), Date and Attributes come from the TArchiveMember part.
struct TDFRARHeaderData : TArchiveMember {
    std::string ArchiveName;
    bool ContinuedOnNext = false;
    bool ContinuedFromPrev = false; // the member starts in an earlier volume
    int64_t PackSize = 0;           // the stored bytes in this volume
    int64_t UnpSize = 0;            // the same as Size
    TDateTime FileTime = 0;         // the same as Date
    std::string HostOS;             // "DOS", "IBM OS/2", "Windows", "Unix" or empty
    std::string CRC;                // the data's CRC-32, upper-case hexadecimal
    int VersionMajor = 0;           // unpack version: 2 and 9 for 2.9; 5 and 0 for RAR 5
    int VersionMinor = 0;
    std::string Method; // "store" to "best"; empty when unknown
    bool attrArchive = false, attrCompressed = false, attrDirectory = false, attrHidden = false,
         attrNormal = false, attrOffline = false, attrReadOnly = false, attrSystem = false,
         attrTemporary = false;
};

// Lists the member headers of a RAR archive (RAR 1.5 to 5) with our own
// header reader. Only listing is done; DFRAR_EXTRACT lists too.
class TRAR {
public:
    using TCommentEvent = std::function<void(TRAR& sender, const std::string& comment)>;
    // messageKey: a "txtRarMSG..." key of the message table; messageId: its code.
    using TErrorEvent =
        std::function<void(TRAR& sender, const std::string& messageKey, TRarError messageId)>;
    using TFileEvent =
        std::function<void(TRAR& sender, const TDFRARHeaderData& hdrData, int status)>;
    using TPasswordEvent = std::function<void(TRAR& sender, std::string& password)>;
    using TStatusEvent =
        std::function<void(TRAR& sender, const std::string& message, TRarStatus status)>;

    TRAR();

    // Lists FileName: OnRarStatus(RAR_ONBEFOREOPEN), open, OnRarStatus(RAR_ONOPEN),
    // then one OnFileProcessing (status 0) per member header read, OnError for
    // each problem, and OnRarStatus(RAR_AFTERCLOSE) after closing. An archive
    // that cannot be opened is reported once through OnError and lists nothing;
    // one whose headers are encrypted reports "txtRarMSG22" and lists nothing.
    // Errors raised by the event handlers end the listing (the archive is
    // closed first) and reach the caller.
    void Execute();

    // Always true: the header reader is part of the program.
    static bool RarSupported();

    std::string ArchivComment; // comments are packed data, never unpacked: stays empty
    uint32_t CommentSize = 0;
    bool CanProgress = false;
    std::string Directory;
    int DllVersion = 0; // the newest RAR format version the reader knows
    std::string FileName;
    TRarMode Mode = DFRAR_LIST;
    TOverrideOptions OverrideEvent = OR_ALWAYS;
    std::string Password; // unused: nothing is decrypted
    bool PromptForPass = false;
    bool PromptForVolumn = false;
    bool StopProcessing = false; // cleared by Execute

    TCommentEvent OnComment;
    TErrorEvent OnError;
    TFileEvent OnFileProcessing;
    TPasswordEvent OnPassword;
    TStatusEvent OnRarStatus;

    // Damaged headers tolerated in one archive before the listing gives up.
    static constexpr int kMaxDamagedHeaders = 64;
};
