#include "settings/message_table.h"

#include "text/text_utils.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <utility>

namespace {

struct TMessage {
    const char* Key;
    const char* Text;
};

// The English texts, as stored: a text in double quotes doubles the quotes it
// holds. Groups: information, errors, export captions, questions, progress
// and log lines, archive reader texts.
const TMessage kEnglish[] = {
    {"infoRun", "Application already running!"},
    {"infoOldDB", "Previous database version detected. File will be Converted!"},
    {"infoDefNewMemo", "Memo"},
    {"infoItems", "Items: %s"},
    {"infoDefNewFile", "New File"},
    {"infoDefNewFol", "New Folder"},
    {"infoDefNewCol", "New Collection"},
    {"infoCancel", "Operation Canceled"},
    {"infoCom", "Comments: %s"},
    {"InfoCat", "Category: %s"},
    {"InfoLoc", "Location: %s"},
    {"infoVol", "Volumes: %s"},
    {"infoSize", "Size: %s"},
    {"infoTotal", "Total: %s"},
    {"infoTotalCounts", "Total: %s in %s files and %s folders"},
    {"infoTotalMembers", "Total: %s in %s files and %s folders, and %s archive members"},
    {"infoFiles", "Files: %s"},
    {"infoFol", "Folders: %s"},
    {"infoFindResults", "Results: %s"},
    {"infoCol", "Collections: %s"},
    {"infoNoChecksum", "Without checksum: %s"},
    {"infoEmptyLeftOut", "Empty files left out: %s"},
    {"infoDupGroup", "Group"},
    {"infoDupLink", "link"},
    {"infoImportedSource", "This volume was imported: choose the folder to read"},
    {"infoChooseSource", "Choose the folder to read"},
    {"infoAny", "Any"},
    {"infoAbout", "A disc cataloguer."},
    {"infoHelpTitle", "Tamblix Help"},
    {"infoStrKB", "KB"},
    {"infoStrMB", "MB"},

    {"errAssigned", R"("Already assigned as "%s"")"},
    {"errStop", "Stop current process first."},
    {"errFNF", "File not found: %s"},
    {"errNoProgram", "No program could open %s"},
    {"errUnknownFile", "Unknown File Version!"},
    {"errWrongFile", "Wrong file version!"},
    {"errFileEmpty", "File name not specified."},
    {"errWrite", "Cannot write file: %s"},
    {"errNotRegular", "Not a regular file, nothing was written: %s"},
    {"errReadOnlyFolder", "The folder %s is read-only: save the file somewhere else."},
    {"errDamaged", "Damaged catalog file: %s"},
    {"errCatalogLocked",
     "Another program is writing the catalog %s. Nothing was changed: try again when it has "
     "finished."},
    {"errDuplicate", "Duplicate entry: %s"},
    {"errSourceEmpty",
     "The source folder %s is empty, but the catalog holds entries for it: is the disc mounted?"},
    {"errSourceSerial",
     "The source has serial %s, but the volume was scanned from serial %s: is it the same disc?"},
    {"errNotSameMedium", "%s Nothing was changed."},
    {"errNoSourceFolder",
     "%s was not read from a folder of this computer (it was imported): choose the folder to "
     "read. Nothing was changed."},

    {"expCaptRes", "Export Search Results"},
    {"expCaptVol", "Export Volume/Folder"},
    {"expCaptLib", "Export Library"},

    {"confFindReplace", "Replace found items?"},
    {"confContinue", "Continue?"},
    {"confDeleteAnyway", "Delete the entries that are not found there?"},
    {"confSerDup", R"("Found Volumes with Serial ""%s"":")"},
    {"confCreateFav", "Create Favorites File?"},
    {"confClose", "Close Current Library?"},
    {"confLoad", R"("Load Library ""%s"" ?")"},
    {"confImport", R"("Import Library ""%s"" ?")"},
    {"confReplace", R"("Replace existing ""%s"" ?")"},
    {"confReload", "Reload Current Library?"},
    {"confSave", "Save changes?"},
    {"confNewerOnDisk",
     "Another program has changed %s since it was loaded here. Replace it with this catalog "
     "and lose those changes? Choose No to save this catalog under another name."},
    {"confReloadChanged",
     "Another program has changed %s since it was loaded here. Load it again to see what the "
     "file holds now?"},
    {"confSaveElsewhere",
     "The folder %s is read-only, so the catalog cannot be saved there. Save it somewhere else?"},
    {"confExit", "Exit?"},
    {"confAddFav", R"("Add ""%s"" to favorites?")"},
    {"confCreate", "Create New?"},
    {"confDelete", "Delete %s"},
    {"confDeleteNodes", "Delete %s? This removes %s folders, %s files and %s archive members "
                        "from the catalog; the disc itself is not touched."},

    {"msgsMp3err", "Mp3 extract error: %s : %s"},
    {"msgsAdded", "Added %s"},
    {"msgsLoaded", "Loaded %s"},
    {"msgsUntitled", "Untitled"},
    {"msgsSourceInfo", "%s file system, %s used of %s"},
    {"msgsLoading", "Loading %s"},
    {"msgsLoadingCat", "Loading Categories.. %s"},
    {"msgsLoadingCol", "Loading Collections.. %s"},
    {"msgsSaved", "Saved %s"},
    {"msgsSavingCat", "Saving Categories.. %s"},
    {"msgsSavingCol", "Saving Collections.. %s"},
    {"msgsSaving", "Saving %s"},
    {"msgsRefreshed", "Refreshed %s"},
    {"msgsRefreshing", "Refreshing.. %s"},
    {"msgsUpdated", "Updated %s"},
    {"msgsDeleted", "Deleted: %s files"},
    {"msgsDeleting", "Deleting non existings.. %s"},
    {"msgsStopped", "Stopped by user."},
    {"msgsZipMsg", "Zip msg: %s : %s"},
    {"msgsChecking", "Checking.. %s"},
    {"msgsAnalyzed", "Analyzed: %s files"},
    {"msgsAnalyzing", "Analyzing.. %s"},
    {"msgsNodeDel", "Node deleted: %s"},
    {"msgsFree", "Free data.. %s"},
    {"msgsAdding", "Adding %s"},
    {"msgsScanned", "%s entries, %s"},
    {"msgsScanRate", "%s entries/s"},
    {"msgsScanRateMB", "%s/s"},
    {"msgsInfo", "Volumes: %s Folders: %s Files: %s Size: %s Time: %s"},
    {"msgsInfoMembers", "Volumes: %s Folders: %s Files: %s Archive members: %s Size: %s Time: %s"},
    {"msgsZipErr", "Zip error: %s"},
    {"msgsUpdating", "Updating.. %s"},
    {"msgsFindSearching", "Searching.. %s"},
    {"msgsExporting", "Exporting.. %s"},
    {"msgsExported", "Exported: %s"},
    {"msgsExportFailed", "Export failed: %s"},
    {"msgsRarErr", "RAR error: %s"},
    {"msgsArcErr", "Archive error: %s"},
    {"msgsFileErr", "Unknown error: %s"},
    {"msgsFolderErr", "Cannot read folder %s"},
    {"msgsEntryErr", "Cannot read the details of %s"},
    {"msgsThumbErr", "No thumbnail of %s"},
    {"msgsThumbsUnreadable", "The thumbnails cannot be read, the catalog opens without them: %s"},
    {"msgsThumbsNotSaved", "The thumbnails were not saved: %s"},
    {"msgsThumbsPutAside",
     "The damaged thumbnail file was put aside (.damaged) and a new one begun: %s"},
    {"msgsImporting", "Importing.. %s"},
    {"msgsImported", "Imported: %s"},
    {"msgsImportFailed", "Import failed: %s"},
    {"msgsImpErr", "Import Error %s"},
    {"msgsImpMerged", "%s records repeat an entry of the same volume, folder and name and were "
                      "left out: volumes of the same name are imported as one volume."},

    // Readable names of the tag keys the readers write.
    {"tagDurationSec", "Length (seconds)"},
    {"tagWidth", "Width (pixels)"},
    {"tagHeight", "Height (pixels)"},
    {"tagRotation", "Rotation (degrees)"},
    {"tagFrameRate", "Frame rate (per second)"},
    {"tagVideoCodec", "Video codec"},
    {"tagAudioCodec", "Audio codec"},
    {"tagChannels", "Channels"},
    {"tagSampleRateHZ", "Sample rate (Hz)"},
    {"tagBitRateKBS", "Bit rate (kbit/s)"},
    {"tagDate", "Date"},
    {"tagDateTaken", "Date taken"},
    {"tagCameraMake", "Camera make"},
    {"tagCameraModel", "Camera model"},
    {"tagLens", "Lens"},
    {"tagExposureTime", "Exposure time (s)"},
    {"tagFNumber", "F-number"},
    {"tagISO", "ISO speed"},
    {"tagFocalLength", "Focal length (mm)"},
    {"tagOrientation", "Orientation"},
    {"tagGPSLatitude", "Latitude"},
    {"tagGPSLongitude", "Longitude"},
    {"tagXXH128", "Checksum (XXH3-128)"},
    {"msgsTextCut", "Text over 65,536 bytes was cut: %s"},
    {"errNotDelimited", "Not a delimited text file: %s"},
    {"errIsFolder", "This is a folder, not a file: %s"},
    {"errRead", "Cannot read file: %s"},
    {"errIsFifo", "This is a FIFO (named pipe), not a file: %s"},
    {"errIsSocket", "This is a socket, not a file: %s"},
    {"errIsDevice", "This is a device, not a file: %s"},
    {"errSameFile", "The output is the same file as an input, nothing was written: %s"},
    {"errNotSavedSearch", "Not a saved search (no [Search] section with criteria): %s"},
    {"errSepEmpty", "The separator is empty: the text could not be read back."},
    {"errSepQualifier",
     "The separator and the text qualifier overlap, so the text could not be read back: %s"},
    {"errSepInValues",
     "The separator %s occurs in sizes or dates: choose a text qualifier or another separator."},
    {"errExtBad", "Not a file extension: %s"},
    {"errExtTaken", "The extension already belongs to another handler: %s"},
    {"errExtNone", "A handler needs at least one extension: %s"},
    {"errPeerUnknown", "Not a CDCat, catcli or gocatcli catalog: %s"},
    {"errPeerNotFormat", "Not a catalog of this kind: %s"},
    {"errPeerDamaged", "Damaged catalog, nothing was imported: %s"},
    {"errPeerTomlSize",
     "TOML catalog over 64 MB: save it as JSON in gocatcli (a .catalog name) and import that: %s"},
    {"errPeerEncrypted",
     "This CDCat catalog is encrypted: save it without a password in CDCat, then import it: %s"},
    {"errPeerBomb",
     "Refused: the file unpacks to far more than a catalog of its size holds (damaged, or a "
     "compression bomb): %s"},
    {"msgsPeerSize", "Unreadable size, taken as 0: %s"},
    {"msgsPeerNoSize", "No size given, taken as 0: %s"},
    {"msgsPeerSizeClamped", "Size beyond the largest a catalog holds, taken as that: %s"},
    {"msgsPeerMember", "Unreadable archive member line: %s"},
    {"msgsPeerLink", "Link to another catalog not imported: %s"},
    {"msgsPeerCharset", "Unknown character set %s: read as UTF-8"},
    {"msgsPeerTextCut", "Text over 4 MB was cut: %s"},
    {"msgsPeerMore", "%s more import messages not shown"},
    {"msgsPeerSummary",
     "Imported %s: %s volumes, %s folders, %s files, %s archive members, %s errors"},

    // Buttons of message boxes and dialogs.
    {"btnOK", "OK"},
    {"btnCancel", "Cancel"},
    {"btnHelp", "&Help"},
    {"btnYes", "&Yes"},
    {"btnNo", "&No"},
    {"btnSave", "&Save"},
    {"btnDiscard", "&Discard"},
    {"btnClose", "&Close"},

    // Drives mounted while the program runs.
    {"mntNewDrive", "A new drive is mounted at %s"},
    {"mntNewLabel", "A new drive %s is mounted at %s"},
    {"mntKnown", "%s in %s is mounted at %s"},
    {"mntSeveral",
     "%s in %s are all the disc mounted at %s; update one of them with Update Volume"},
    {"mntUpdating", "%s is mounted at %s: updating it"},
    {"mntGone", "%s was unmounted during the update: the catalog is as it was"},
    {"mntMountedAt", "Mounted at %s"},

    // File dialogs.
    {"fltAllFiles", "All Files"},
    {"fltTextFiles", "Text Files"},
    {"fltCatalogs", "Catalogs"},
    {"fltSearches", "Catalog Search"},
    {"fltLanguages", "Languages"},
    {"fltOtherCatalogs", "Other catalogs"},
    {"dlgImportOther", "Import Other Catalog"},

    // The space view.
    {"spaceBytes", "%s (%s bytes)"},
    {"spaceInFiles", "%s in %s files"},
    {"spaceMore", "%s more"},
    {"spaceSmaller", "%s smaller entries"},
    {"spaceInAll", "%s in all"},
    {"spaceLargest", "Largest:"},
    {"spaceBusy", "The catalog is busy; the picture comes back when it is done."},
    {"spaceSelect", "Select a volume or folder in the catalog tree."},
    {"spaceGone", "This folder is no longer in the catalog."},
    {"spaceEmpty", "Nothing below this folder takes space."},

    {"txtRarMSG1", "Error on close"},
    {"txtRarMSG2", "No Password!"},
    {"txtRarMSG3", "Used Pass is: "},
    {"txtRarMSG4", "UnRar.Dll not loaded"},
    {"txtRarMSG5", "corrupt data"},
    {"txtRarMSG6", "Bad Archive"},
    {"txtRarMSG7", "unknown format"},
    {"txtRarMSG8", "Volume-Error"},
    {"txtRarMSG9", "error on create file"},
    {"txtRarMSG10", "error on closing file"},
    {"txtRarMSG11", "read error"},
    {"txtRarMSG12", "write error"},
    {"txtRarMSG14", "no memory"},
    {"txtRarMSG16", "buffer too small"},
    {"txtRarMSG17", "File Header corrupt"},
    {"txtRarMSG22", "password-protected"},
    {"txtRarVOLDLGCAPTION", "Next Archive: ..."},
    {"txtRarPASSDLGCAPTION", "Password: ..."},
    {"txtRarCANCELCAPTION", "Cancel"},
    {"txtRarOKCAPTION", "Ok"},

    {"txtzipmsg1", "No valid zip entries found"},
    {"txtzipmsg2", "Error reading Zip File"},
    {"txtzipmsg3", "Error 2 reading Zip file"},
    {"txtzipmsg4", "Error 3 reading Zip file"},
    {"txtzipmsg5", "Error 4 reading Zip file"},
    {"txtzipmsg6", "Error 5 reading Zip file"},
    {"txtzipmsg7", "Enter Password"},
    {"txtzipmsg8", "Confirm Password"},
    {"txtzipmsg9", "Error - passwords do NOT match. Password ignored"},
    {"txtzipmsg10", "Enter Password"},
    {"txtzipmsg11", "UNZ DLL Loaded"},
    {"txtzipmsg12", "UnzDllExec function not found in UNZDLL.DLL"},
    {"txtzipmsg13", "GetZipDllVersion function not found in UNZDLL.DLL"},
    {"txtzipmsg14", "UNZDLL.DLL not found"},
};

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

class TMessageTable {
public:
    TMessageTable() { Reset(); }

    void Reset() {
        std::unique_lock lock(mutex_);
        entries_.clear();
        index_.clear();
        for (const TMessage& m : kEnglish)
            SetLocked(m.Key, m.Text);
    }

    bool Find(std::string_view key, std::string& stored) const {
        std::shared_lock lock(mutex_);
        auto it = index_.find(Upper(key));
        if (it == index_.end()) return false;
        stored = entries_[it->second].second;
        return true;
    }

    void Set(std::string_view key, std::string_view stored) {
        std::unique_lock lock(mutex_);
        SetLocked(key, stored);
    }

    std::vector<std::string> Lines() const {
        std::shared_lock lock(mutex_);
        std::vector<std::string> out;
        out.reserve(entries_.size());
        for (const auto& [k, v] : entries_)
            out.push_back(k + "=" + v);
        return out;
    }

private:
    void SetLocked(std::string_view key, std::string_view stored) {
        auto [it, added] = index_.emplace(Upper(key), entries_.size());
        if (added)
            entries_.emplace_back(std::string(key), std::string(stored));
        else
            entries_[it->second].second = std::string(stored);
    }

    mutable std::shared_mutex mutex_;
    std::vector<std::pair<std::string, std::string>> entries_; // table order
    std::unordered_map<std::string, size_t> index_;            // upper-case key -> entry
};

TMessageTable& Table() {
    static TMessageTable table;
    return table;
}

// The size formatting keeps its own copy of the unit words.
void SyncSizeUnits() {
    SetSizeUnitTexts(GetMessageText("infoStrKB"), GetMessageText("infoStrMB"));
}

} // namespace

std::string UnquoteMessageText(std::string_view stored) {
    // Only a text that is quoted as a whole is in the stored form; anything
    // else (a translator's line with a quote inside) is shown as it stands.
    if (stored.size() < 2 || stored.front() != '"' || stored.back() != '"')
        return std::string(stored);
    std::string_view inner = stored.substr(1, stored.size() - 2);
    std::string out;
    out.reserve(inner.size());
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '"' && i > 0 && inner[i - 1] == '"') continue;
        out += inner[i];
    }
    return out;
}

std::string FillMessage(std::string_view text, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(text.size());
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next < args.size()) out += args[next];
            ++next;
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

bool HasMessageKey(std::string_view key) {
    std::string stored;
    return Table().Find(key, stored);
}

std::string StoredMessageText(std::string_view key) {
    std::string stored;
    Table().Find(key, stored);
    return stored;
}

std::string GetMessageText(std::string_view key) {
    std::string stored;
    if (!Table().Find(key, stored)) return std::string(key);
    return UnquoteMessageText(stored);
}

std::string GetMessageText(std::string_view key, std::string_view arg) {
    std::string text = GetMessageText(key);
    std::string out;
    out.reserve(text.size() + arg.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            out += arg;
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string GetMessageText(std::string_view key, const std::vector<std::string>& args) {
    return FillMessage(GetMessageText(key), args);
}

void SetMessageText(std::string_view key, std::string_view stored) {
    if (key.empty()) return;
    Table().Set(key, stored);
    SyncSizeUnits();
}

int ApplyMessageTexts(const std::vector<std::string>& lines) {
    std::unordered_map<std::string, bool> seen;
    int replaced = 0;
    for (const std::string& line : lines) {
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        std::string_view key(line.data(), eq);
        // The first line of a file with a given key wins.
        if (!seen.emplace(Upper(key), true).second) continue;
        std::string_view text = std::string_view(line).substr(eq + 1);
        if (text.empty() || !HasMessageKey(key)) continue;
        Table().Set(key, text);
        ++replaced;
    }
    SyncSizeUnits();
    return replaced;
}

void ResetMessageTable() {
    Table().Reset();
    SyncSizeUnits();
}

std::vector<std::string> MessageTableLines() {
    return Table().Lines();
}
