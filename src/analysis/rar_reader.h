#pragma once

#include "analysis/archive_member.h"

#include <cstdint>
#include <functional>
#include <string>

enum TRarMode { DFRAR_EXTRACT = 0, DFRAR_LIST = 1 };
enum TRarStatus { RAR_ONOPEN = 0, RAR_ONBEFOREOPEN = 1, RAR_AFTERCLOSE = 2, RAR_ONPASSWORD = 3 };
enum TOverrideOptions { OR_ALWAYS = 0, OR_NEVER = 1, OR_EVENT = 2 };

// One RAR member header. FileName (whole path, "/" between folders), Size
// (unpacked, 64-bit), Date and Attributes come from the TArchiveMember part.
// Fields the archive library does not expose stay at their empty values.
struct TDFRARHeaderData : TArchiveMember {
    std::string ArchiveName;
    bool ContinuedOnNext = false;
    bool ContinuedFromPrev = false;
    int64_t PackSize = 0;   // not known to the library: 0
    int64_t UnpSize = 0;    // the same as Size
    TDateTime FileTime = 0; // the same as Date
    std::string HostOS;
    std::string CRC;
    int VersionMajor = 0; // 4 for RAR 1.5 to 4.x archives, 5 for RAR 5
    int VersionMinor = 0;
    std::string Method;
    bool attrArchive = false, attrCompressed = false, attrDirectory = false, attrHidden = false,
         attrNormal = false, attrOffline = false, attrReadOnly = false, attrSystem = false,
         attrTemporary = false;
};

// Lists the member headers of a RAR archive (RAR 1.5 to 5) through the archive
// library. Only listing is done; DFRAR_EXTRACT lists too.
class TRAR {
public:
    using TCommentEvent = std::function<void(TRAR& sender, const std::string& comment)>;
    // messageKey: a "txtRarMSG..." key of the message table; messageId: its code.
    using TErrorEvent =
        std::function<void(TRAR& sender, const std::string& messageKey, int messageId)>;
    using TFileEvent =
        std::function<void(TRAR& sender, const TDFRARHeaderData& hdrData, int status)>;
    using TPasswordEvent = std::function<void(TRAR& sender, std::string& password)>;
    using TStatusEvent =
        std::function<void(TRAR& sender, const std::string& message, TRarStatus status)>;

    TRAR();

    // Lists FileName: OnRarStatus(RAR_ONBEFOREOPEN), open, OnRarStatus(RAR_ONOPEN),
    // then one OnFileProcessing (status 0) per member header read, OnError for
    // each problem, and OnRarStatus(RAR_AFTERCLOSE) after closing. An archive
    // that cannot be opened is reported once through OnError and lists nothing.
    // Errors raised by the event handlers end the listing (the archive is
    // closed first) and reach the caller.
    void Execute();

    // Whether the archive library can read RAR archives at all.
    static bool RarSupported();

    std::string ArchivComment; // the library does not expose comments: stays empty
    uint32_t CommentSize = 0;
    bool CanProgress = false;
    std::string Directory;
    int DllVersion = 0; // the archive library's version number; 0 without RAR support
    std::string FileName;
    TRarMode Mode = DFRAR_LIST;
    TOverrideOptions OverrideEvent = OR_ALWAYS;
    std::string Password; // handed to the library for encrypted archives
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
