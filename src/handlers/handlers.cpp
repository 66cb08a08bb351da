#include "handlers/handlers.h"

#include "files/file_checksum.h"
#include "files/file_utils.h"
#include "settings/settings_store.h"
#include "tags/reader_steps.h"
#include "text/message_error.h"
#include "text/text_utils.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace {

bool TitleLess(const THandlerPtr& h, std::string_view title) {
    return CompareText(h->Title, title) < 0;
}

// A stored handler number: decimal digits only, no sign or leading zero.
bool ParseHandlerNumber(const std::string& name, int& out) {
    if (name.empty() || (name.size() > 1 && name[0] == '0')) return false;
    auto r = std::from_chars(name.data(), name.data() + name.size(), out);
    return r.ec == std::errc() && r.ptr == name.data() + name.size();
}

// The Titles of the first default table: a stored table that names no
// "Known" list was saved when these were all the defaults there were.
const char* const kFirstDefaults = "AAC\r\nAPE\r\nCDA\r\nFLAC\r\nMP3\r\nMPG\r\nMPP\r\nOFR\r\n"
                                   "OGG\r\nRAR\r\nVQF\r\nWAV\r\nWMA\r\nWPA\r\nZIP\r\n";

bool Claims(const THandler& h, const std::string& ext, const std::string& doubleExt) {
    return h.Extensions.IndexOf(ext) >= 0 ||
           (!doubleExt.empty() && h.Extensions.IndexOf(doubleExt) >= 0);
}

} // namespace

std::string HandlerKey(int index) {
    return std::string(kHandlersKey) + "\\" + std::to_string(index);
}

void THandler::AddExtension(std::string_view text) {
    std::string ext = NormalizeExtension(text);
    if (!ext.empty()) Extensions.Add(ext);
}

std::string THandler::ExtensionsText(std::string_view sep) const {
    return JoinStrings(Extensions, sep);
}

int THandlerList::IndexOf(std::string_view title) const {
    auto it = std::lower_bound(items_.begin(), items_.end(), title, TitleLess);
    if (it != items_.end() && SameText((*it)->Title, title))
        return static_cast<int>(it - items_.begin());
    return -1;
}

THandlerPtr THandlerList::Find(std::string_view title) const {
    int i = IndexOf(title);
    return i < 0 ? nullptr : items_[static_cast<size_t>(i)];
}

void THandlerList::Add(THandlerPtr handler) {
    if (!handler) return;
    auto it = std::lower_bound(items_.begin(), items_.end(), handler->Title, TitleLess);
    if (it != items_.end() && SameText((*it)->Title, handler->Title))
        throw EMessageError("errDuplicate", handler->Title);
    items_.insert(it, std::move(handler));
}

void THandlerList::AddDefExt(const std::string& title, const std::string& description,
                             const std::string& string, const std::string& help,
                             const std::vector<std::string>& extensions, bool editable) {
    auto h = std::make_shared<THandler>();
    h->Title = title;
    h->Description = description;
    h->String = string;
    h->Help = help;
    for (const auto& e : extensions)
        h->AddExtension(e);
    h->Editable = editable;
    h->Active = true;
    h->Internal = true;
    Add(std::move(h));
}

void THandlerList::SetDefaults() {
    items_.clear();
    AddDefExt(kRarTitle, "RAR Archive", "", "", {".RAR"}, false);
    AddDefExt(kZipTitle, "ZIP Archive", "", "", {".ZIP"}, false);
    AddDefExt("MP3", "MP3 File", "", "", {".MP3"}, true);
    AddDefExt("WAV", "WAV File", "", "", {".WAV"}, true);
    AddDefExt("WPA", "WAV Pack File", "", "", {".WV"}, true);
    AddDefExt("WMA", "WMA File", "", "", {".WMA"}, true);
    AddDefExt("MPG", "MPG File", "", "", {".MPG", ".MPEG", ".MPA", ".MP1", ".MP2"}, true);
    AddDefExt("OGG", "OGG File", "", "", {".OGG", ".OGA"}, true);
    AddDefExt("CDA", "CD Audio Track", "", "", {".CDA"}, true);
    AddDefExt("MPP", "MPG Plus File", "", "", {".MP+", ".MPC"}, true);
    AddDefExt("APE", "APE File", "", "", {".APE", ".MAC"}, true);
    AddDefExt("VQF", "TwinVQ File", "", "", {".VQF"}, true);
    AddDefExt("AAC", "AAC File", "", "", {".AAC"}, true);
    AddDefExt("FLAC", "FLAC File", "", "", {".FLAC"}, true);
    AddDefExt("OFR", "OptimFROG File", "", "", {".OFS", ".OFR"}, true);
    AddDefExt(kArchivesTitle, "Archives (7z, TAR, ISO, CAB)", "", "", ArchiveKindExtensions(),
              false);
    AddDefExt("M4A", "MPEG-4 Audio File", "", "", {".M4A", ".M4B"}, true);
    AddDefExt("OPUS", "Opus File", "", "", {".OPUS"}, true);
    // Off by default: it reads every byte of every file.
    AddDefExt(kChecksumTitle, "Content checksum (XXH3-128)", "",
              "Hashes the contents of every file (\".*\") or of the listed types, so that "
              "copies can be found whatever their names",
              {kEveryFileExtension}, true);
    Find(kChecksumTitle)->Active = false;
    // MPEG program streams share .MPG and .MPEG with MPEG audio: both steps
    // run, the video step last, so a film's container values win.
    AddDefExt(kVideoTitle, "Video File", "", "",
              {".MP4", ".M4V", ".MOV", ".MKV", ".WEBM", ".AVI", ".MPG", ".MPEG", ".VOB", ".TS",
               ".M2TS", ".MTS", ".WMV", ".ASF", ".FLV", ".3GP", ".3G2"},
              true);
    AddDefExt(kPhotoTitle, "Photo", "", "",
              {".JPG", ".JPEG", ".TIF", ".TIFF", ".PNG", ".WEBP", ".HEIC", ".HEIF", ".AVIF", ".CR2",
               ".CR3", ".NEF", ".ARW", ".DNG", ".ORF", ".RW2"},
              true);
    // Off by default: it decodes the pictures of every photo and video.
    AddDefExt(kThumbnailsTitle, "Thumbnails of photos and videos", "",
              "Keeps a small picture of every photo and video in a file beside the catalog, "
              "so that they can be seen while the disc is not there",
              {".JPG",  ".JPEG", ".TIF", ".TIFF", ".PNG", ".WEBP", ".HEIC", ".HEIF",
               ".AVIF", ".CR2",  ".NEF", ".ARW",  ".DNG", ".ORF",  ".RW2",  ".MP4",
               ".M4V",  ".MOV",  ".MKV", ".WEBM", ".AVI", ".MPG",  ".MPEG", ".VOB",
               ".TS",   ".M2TS", ".MTS", ".WMV",  ".ASF", ".FLV",  ".3GP",  ".3G2"},
              true);
    Find(kThumbnailsTitle)->Active = false;
}

void THandlerList::LoadDefaultHandlers(ISettingsStore& store) {
    if (store.KeyExists(kHandlersKey)) store.DeleteKey(kHandlersKey);
    SetDefaults();
}

void THandlerList::LoadFromSettings(ISettingsStore& store) {
    if (!store.KeyExists(kHandlersKey)) {
        LoadDefaultHandlers(store);
        return;
    }
    // Built apart so that a failed load leaves the table as it was.
    THandlerList loaded;
    for (int i = 0;; ++i) {
        const std::string key = HandlerKey(i);
        if (!store.KeyExists(key)) break;
        auto h = std::make_shared<THandler>();
        h->Title = store.ReadString(key, "Title", "");
        h->Description = store.ReadString(key, "Description", "");
        h->String = store.ReadString(key, "String", "");
        h->Active = store.ReadBool(key, "Active", true);
        h->Internal = store.ReadBool(key, "Internal", true);
        h->ExternalDLL = store.ReadString(key, "ExternalDLL", "");
        h->Help = store.ReadString(key, "Help", "");
        h->Editable = store.ReadBool(key, "Editable", false);
        TStringList lines;
        lines.SetText(store.ReadString(key, "Extensions", ""));
        for (const auto& line : lines.Lines())
            h->AddExtension(line);
        loaded.Add(std::move(h));
    }
    TStringList known{true, TDuplicates::Ignore};
    known.SetText(store.ReadString(kHandlersKey, "Known", kFirstDefaults));
    THandlerList defaults;
    defaults.SetDefaults();
    for (const auto& h : defaults.items_)
        if (known.IndexOf(h->Title) < 0 && loaded.IndexOf(h->Title) < 0) loaded.Add(h);
    items_ = std::move(loaded.items_);
}

void THandlerList::SaveToSettings(ISettingsStore& store) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string key = HandlerKey(i);
        const THandler& h = *items_[static_cast<size_t>(i)];
        store.WriteString(key, "Title", h.Title);
        store.WriteString(key, "Description", h.Description);
        store.WriteString(key, "String", h.String);
        store.WriteBool(key, "Active", h.Active);
        store.WriteBool(key, "Internal", h.Internal);
        store.WriteString(key, "ExternalDLL", h.ExternalDLL);
        store.WriteString(key, "Help", h.Help);
        store.WriteBool(key, "Editable", h.Editable);
        store.WriteString(key, "Extensions", h.Extensions.Text());
    }
    for (const auto& name : store.SubKeys(kHandlersKey)) {
        int n;
        if (ParseHandlerNumber(name, n) && n >= Count())
            store.DeleteKey(std::string(kHandlersKey) + "\\" + name);
    }
    // Marks the table as stored even when it is empty (a store may drop an empty key).
    store.WriteInt(kHandlersKey, "Count", Count());
    THandlerList defaults;
    defaults.SetDefaults();
    std::string known;
    for (const auto& h : defaults.items_)
        known += h->Title + "\r\n";
    store.WriteString(kHandlersKey, "Known", known);
}

bool THandlerList::HandlerClaimsFile(std::string_view title, std::string_view fileName) const {
    std::string ext = UpperFileExt(fileName);
    if (ext.empty()) return false;
    THandlerPtr h = Find(title);
    return h && h->Active && Claims(*h, ext, UpperDoubleFileExt(fileName));
}

TArchiveKind THandlerList::ArchiveKindOf(std::string_view fileName) const {
    std::string ext = UpperFileExt(fileName);
    if (ext.empty()) return TArchiveKind::None;
    std::string doubleExt = UpperDoubleFileExt(fileName);
    for (auto [title, kind] :
         {std::pair{kRarTitle, TArchiveKind::Rar}, std::pair{kZipTitle, TArchiveKind::Zip},
          std::pair{kArchivesTitle, TArchiveKind::Other}}) {
        THandlerPtr h = Find(title);
        if (h && h->Active && Claims(*h, ext, doubleExt)) return kind;
    }
    return TArchiveKind::None;
}

bool THandlerList::ChecksumClaimsFile(std::string_view fileName) const {
    THandlerPtr h = Find(kChecksumTitle);
    if (!h || !h->Active) return false;
    if (h->Extensions.IndexOf(kEveryFileExtension) >= 0) return true;
    std::string ext = UpperFileExt(fileName);
    return !ext.empty() && Claims(*h, ext, UpperDoubleFileExt(fileName));
}

bool THandlerList::ThumbnailClaimsFile(std::string_view fileName) const {
    return HandlerClaimsFile(kThumbnailsTitle, fileName);
}

bool THandlerList::isExtHandlerActive(std::string_view title) const {
    THandlerPtr h = Find(title);
    return h && h->Active;
}

bool THandlerList::isFileExtActive(std::string_view ext) const {
    if (ext.empty()) return false;
    for (const auto& h : items_)
        if (h->Extensions.IndexOf(ext) >= 0) return h->Active;
    return false;
}

void THandlerList::Check(const THandlerPtr& row, bool active) {
    if (!row) return;
    row->Active = active;
    if (THandlerPtr h = Find(row->Title)) h->Active = active;
}

void THandlerList::SetExtensions(const THandlerPtr& row,
                                 const std::vector<std::string>& extensions) {
    if (!row) return;
    auto apply = [&](THandler& h) {
        h.Extensions.Clear();
        for (const auto& e : extensions)
            h.AddExtension(e);
    };
    apply(*row);
    if (THandlerPtr h = Find(row->Title); h && h != row) apply(*h);
}

THandlerPtr THandlerList::ExtensionOwner(std::string_view ext, const THandler& row) const {
    const std::string wanted(ext);
    for (const auto& h : items_)
        if (!SameText(h->Title, row.Title) && h->Extensions.IndexOf(wanted) >= 0) return h;
    return nullptr;
}

std::string THandlerList::CheckExtension(std::string_view text, const THandler& row) const {
    std::string ext = NormalizeExtension(text);
    bool bad = ext.size() < 2;
    for (unsigned char ch : ext)
        if (ch <= ' ' || ch == ';' || ch == 0x7f) bad = true;
    if (bad) throw EMessageError("errExtBad", std::string(text));
    // Only an extension the row does not hold yet is checked: the shipped table
    // shares .MPG and .MPEG between MPEG audio and video, and such a list must
    // stay editable.
    if (row.Extensions.IndexOf(ext) < 0)
        if (THandlerPtr other = ExtensionOwner(ext, row))
            throw EMessageError("errExtTaken", ext + " (" + other->Title + ")");
    return ext;
}

std::vector<std::string> THandlerList::CheckExtensions(const std::vector<std::string>& texts,
                                                       const THandler& row) const {
    TStringList list{true, TDuplicates::Ignore};
    for (const auto& t : texts)
        list.Add(CheckExtension(t, row));
    if (list.Count() == 0) throw EMessageError("errExtNone", row.Title);
    return list.Lines();
}

const std::vector<std::string>& THandlerList::ReaderTitles() {
    static const std::vector<std::string> titles = {
        "MP3",  "MPG", "WMA", "WPA", "WAV",  "OGG", "APE",       "VQF",      "AAC",
        "FLAC", "OFR", "CDA", "M4A", "OPUS", "MPP", kVideoTitle, kPhotoTitle};
    return titles;
}

int THandlerList::ProcessFile(const std::string& fileName, TTagInfo& info) const {
    return ProcessFile(fileName, info, [](const std::string& t, const std::string& p, TTagInfo& i) {
        return RunReaderStep(t, p, i);
    });
}

std::vector<const std::string*> THandlerList::ClaimingReaders(const std::string& fileName) const {
    std::string ext = UpperFileExt(fileName);
    if (ext.empty()) return {};
    // Most files are claimed by no active handler: answer that without lookups by title.
    bool claimed = false;
    for (const auto& h : items_) {
        if (h->Active && h->Extensions.IndexOf(ext) >= 0) {
            claimed = true;
            break;
        }
    }
    if (!claimed) return {};
    std::vector<const std::string*> titles;
    for (const auto& title : ReaderTitles()) {
        THandlerPtr h = Find(title);
        if (h && h->Active && h->Extensions.IndexOf(ext) >= 0) titles.push_back(&title);
    }
    return titles;
}

int THandlerList::ProcessFile(const std::string& fileName, TTagInfo& info,
                              const TReaderStepFn& step) const {
    const std::vector<const std::string*> titles = ClaimingReaders(fileName);
    // Most files match nothing; only those that do cost a look at the disk.
    if (titles.empty()) return 0;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec)) return 0;
    int read = 0;
    for (const std::string* title : titles)
        if (step(*title, fileName, info)) ++read;
    return read;
}

int THandlerList::RunReaders(const std::vector<const std::string*>& titles,
                             const std::string& fileName, TTagInfo& info, bool onlyHoles) {
    int read = 0;
    for (const std::string* title : titles)
        if (RunReaderStep(*title, fileName, info, onlyHoles)) ++read;
    return read;
}
