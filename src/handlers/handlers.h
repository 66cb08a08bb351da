#pragma once

#include "text/string_list.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ISettingsStore;
class TTagInfo;

// A file type the scanner looks into: a Title that selects the reader, the
// extensions it claims (".MP3", upper case, sorted, no duplicates) and a switch.
struct THandler {
    std::string Title;
    TStringList Extensions{true, TDuplicates::Ignore};
    std::string Description;
    std::string String; // stored and loaded only
    bool Active = true;
    bool Internal = true;    // stored and loaded only
    std::string ExternalDLL; // stored and loaded only
    std::string Help;        // tool tip in the views
    bool Editable = false;   // stored and loaded only

    // Adds an extension as the editor does: "mp4" and ".Mp4" give ".MP4";
    // an empty text adds nothing.
    void AddExtension(std::string_view text);
    // Extensions joined with sep (the views use " ").
    std::string ExtensionsText(std::string_view sep = " ") const;
};

// Views keep rows on handlers that a reload may have replaced; shared
// ownership keeps such a handler alive while a row refers to it.
using THandlerPtr = std::shared_ptr<THandler>;

// A reader step: run the reader of `title` on `path` into `info`; true when
// the reader read the file.
using TReaderStepFn =
    std::function<bool(const std::string& title, const std::string& path, TTagInfo& info)>;

enum class TArchiveKind { None, Rar, Zip, Other };

// Titles of the archive handlers; every other Title selects a reader of
// audio, video or photo details.
inline constexpr const char* kRarTitle = "RAR";
inline constexpr const char* kZipTitle = "ZIP";
inline constexpr const char* kArchivesTitle = "Archives";
inline constexpr const char* kVideoTitle = "Video";
inline constexpr const char* kPhotoTitle = "Photo";
// Not a reader: the scan makes a thumbnail of each file it claims.
inline constexpr const char* kThumbnailsTitle = "Thumbnails";

// The table of handlers, sorted by Title (ignoring case); Titles are unique.
class THandlerList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    const THandlerPtr& operator[](int i) const { return items_[static_cast<size_t>(i)]; }
    const std::vector<THandlerPtr>& Items() const { return items_; }
    // The handler with that Title (ignoring case); nullptr when none.
    THandlerPtr Find(std::string_view title) const;
    int IndexOf(std::string_view title) const;

    // Adds a handler under its Title; a Title already there throws
    // EMessageError("errDuplicate", title) and leaves the table as it was.
    void Add(THandlerPtr handler);
    void Clear() { items_.clear(); }

    void AddDefExt(const std::string& title, const std::string& description,
                   const std::string& string, const std::string& help,
                   const std::vector<std::string>& extensions, bool editable);
    // Empties the table and fills in the default handlers.
    void SetDefaults();
    // Removes the stored table (key "Ext" and below), then SetDefaults.
    void LoadDefaultHandlers(ISettingsStore& store);
    // Reads the stored table; without one, LoadDefaultHandlers. Default
    // handlers newer than the stored table join it with their defaults; the
    // stored ones keep the user's choices. A stored duplicate Title throws
    // EMessageError("errDuplicate") (the caller loads the defaults then).
    void LoadFromSettings(ISettingsStore& store);
    // Writes handler i under "Ext\i", the Titles of the default table it
    // knew (value "Known" of "Ext"), and removes stored handlers numbered
    // beyond the table, so that a shorter table does not load old handlers back.
    void SaveToSettings(ISettingsStore& store) const;

    // Title names an active handler that claims the file's extension: the
    // text from the last dot, or from the one before it (".TAR.GZ").
    bool HandlerClaimsFile(std::string_view title, std::string_view fileName) const;
    // Which archive reader a file name goes to, by the active archive
    // handlers' extension lists (RAR first, then ZIP, then the others).
    TArchiveKind ArchiveKindOf(std::string_view fileName) const;
    // The content checksum runs beside the type's reader: true when its
    // handler is active and claims the file (every file when its extensions
    // hold ".*", else by extension as the others do).
    bool ChecksumClaimsFile(std::string_view fileName) const;
    // The scan makes a thumbnail of the file: the Thumbnails handler is
    // active and claims its extension.
    bool ThumbnailClaimsFile(std::string_view fileName) const;
    // The Active flag of the handler with that Title; false when none.
    bool isExtHandlerActive(std::string_view title) const;
    // The Active flag of the first handler (table order) claiming ext (".MP3").
    bool isFileExtActive(std::string_view ext) const;

    // What a view row does: the row's handler and the table's handler of the
    // same Title both take the change.
    void Check(const THandlerPtr& row, bool active);
    void SetExtensions(const THandlerPtr& row, const std::vector<std::string>& extensions);

    // The handler other than `row` (by Title) that claims `ext`; null when none.
    THandlerPtr ExtensionOwner(std::string_view ext, const THandler& row) const;
    // One extension as the extension editor takes it for `row`: normalized
    // (".MP3"); throws EMessageError "errExtBad" for "." alone or a text with
    // a blank, ";" or a control character, and "errExtTaken" when another
    // handler claims it (an extension belongs to one handler).
    std::string CheckExtension(std::string_view text, const THandler& row) const;
    // A whole new list for `row`: every extension checked, at least one
    // ("errExtNone"); returns the normalized list.
    std::vector<std::string> CheckExtensions(const std::vector<std::string>& texts,
                                             const THandler& row) const;

    // Runs the reader step of every active handler that claims the file's
    // extension, in a fixed order, all writing into info. The archive
    // handlers are left to the scan. Returns the number of steps that read
    // the file. A file that does not exist runs nothing.
    int ProcessFile(const std::string& fileName, TTagInfo& info) const;
    int ProcessFile(const std::string& fileName, TTagInfo& info, const TReaderStepFn& step) const;

    // The reader titles whose active handlers claim the file's extension, in run order.
    std::vector<const std::string*> ClaimingReaders(const std::string& fileName) const;
    // Runs the reader steps of `titles` (from ClaimingReaders) on a file
    // known to be regular (onlyHoles: the walk saw no block behind its size);
    // returns the number that read it.
    static int RunReaders(const std::vector<const std::string*>& titles,
                          const std::string& fileName, TTagInfo& info, bool onlyHoles);

    // The Titles that have reader steps, in the order ProcessFile runs them.
    static const std::vector<std::string>& ReaderTitles();

private:
    std::vector<THandlerPtr> items_;
};

// The settings key of the stored table and of handler number i.
inline constexpr const char* kHandlersKey = "Ext";
std::string HandlerKey(int index);
