#pragma once

#include "settings/progress_state.h"
#include "settings/settings_helpers.h"
#include "settings/settings_store.h"
#include "text/string_list.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The stored "Version". Settings of an older version are reset; a store with
// no version yet (a first start, or one the command-line tool began) is kept.
inline constexpr const char* kSettingsVersion = "1.0 (Build: 1)";

// Whether a stored version is older than this program's (numbers compared in
// order; a version with no number counts as older, an empty one does not).
bool IsOlderSettingsVersion(std::string_view stored);
// What both programs do before they write settings: reset a store of an older
// version, then mark it with this version. True when it reset.
bool PrepareSettingsVersion(ISettingsStore& store);

// The main window's view switches, kept with the settings under "View".
struct TViewSettings {
    bool Toolbar = true;
    bool StatusBar = true;
    bool Messages = false;
    bool InfoBar = true;
    bool AutoResizeColumns = false;
    int32_t View = 0; // tab index
};

// The program-wide settings, shared name lists, recent files and busy state.
// Windows reach it through the program's one instance; the core never shows
// anything itself.
class TGlobalData {
public:
    // `configFolder` holds the list files by default; empty means the user's
    // config folder (DefaultConfigFolder()).
    explicit TGlobalData(std::string configFolder = {});
    ~TGlobalData();
    TGlobalData(const TGlobalData&) = delete;
    TGlobalData& operator=(const TGlobalData&) = delete;

    // $XDG_CONFIG_HOME (when absolute) or $HOME/.config, followed by "/Tamblix/".
    static std::string DefaultConfigFolder();
    const std::string& ConfigFolder() const { return configFolder_; }

    // Every field back to its default (the list-file names included).
    void SetDefaults();
    // Reads the list files, then the stored settings unless the stored version
    // differs, in which case the store is emptied and the defaults stay.
    void LoadSettings(ISettingsStore& store);
    // Writes the settings and the list files. Every part is attempted; the
    // first list-file failure is thrown afterwards (EMessageError "errWrite").
    void SaveSettings(ISettingsStore& store);
    // Panel widths, recent files and the sort column; errors are ignored.
    void LoadLayout(const ISettingsStore& store);
    void SaveLayout(ISettingsStore& store) const;

    // The four list files. A missing file leaves its list empty; a file that
    // cannot be read is remembered so that a save never writes over it.
    void LoadLists();
    void SaveLists();
    // Registers the tag names and the "Add2Globals Tags" switch with the tag
    // records; LoadSettings does it.
    void RegisterTagNames();

    // Caption of the favorite that opens `path` (the value of the first line
    // with that caption); empty when none does.
    std::string FavoriteCaptionOf(const std::string& path) const;
    // Adds path=path to Favorites and writes the favorites file. Throws
    // EMessageError("errAssigned", caption) when a favorite already opens path;
    // asking "confAddFav" first is the caller's part.
    void AddFavorite(const std::string& path);

    // Puts `path` at the top of RecentFiles; at most RecentMax entries, no repeats.
    void AddRecent(const std::string& path);
    // The menu caption of recent entry i: "&" + (i + 1) + " " + path.
    std::string RecentCaption(int i) const;

    // List files (empty: not kept).
    std::string FavoritesFile;
    std::string TagsFile;
    std::string ImagesFile;
    std::string LocationsFile;
    std::string CategoriesFile;
    std::string OriginalLanguageFile = "OriginalLanguage.bab";
    std::string Language;
    // The catalog opened last ("Last Library"); the catalog's file name once
    // one is open.
    std::string LastLibrary;

    bool Sort = true;
    bool ShowIcons = true;
    bool DisableControls = true;
    bool ActionEndBeep = true;
    bool CheckSerial = true;
    bool FoldersOnly = false;
    bool MultiApps = true;
    bool LoadLast = true;
    bool SaveSettingsOnExit = true;
    uint8_t Sizes = 0;       // 0 bytes, 1 KB, 2 MB
    uint8_t LVSortIndex = 0; // list column last sorted, 0..5
    bool LocateMain = true;
    bool ConfirmDeleteFile = true;
    bool ConfirmDeleteFolder = true;
    bool ConfirmDeleteVolume = true;
    bool ConfirmDeleteCollection = true;
    bool ConfirmReplace = true;
    bool ConfirmNew = true;
    bool ConfirmSaveChanges = true;
    bool ConfirmExit = true;
    bool ConfirmReload = true;
    bool ConfirmClose = true;
    std::string NewLine = ";";
    bool AddToGlobalsTags = true;
    bool AddToGlobalsLocs = true;
    bool AddToGlobalsCats = true;
    int32_t RecentMax = 5;
    std::array<uint8_t, 6> ColumnSortState{};
    int32_t Zoom = 0;
    std::string FontName;
    int32_t FontSize = 0;
    int32_t FontColor = 0;
    int32_t FontCharSet = 0;
    std::array<bool, 4> FontStyles{};
    TViewSettings ViewSettings;

    TStringList Favorites{true, TDuplicates::Error}; // caption=path
    TStringList TagNames{true, TDuplicates::Error};  // key=caption
    TStringList GlobalLocations{true, TDuplicates::Ignore};
    TStringList GlobalCategories{true, TDuplicates::Ignore};
    // Latest first, as the recent-file menu shows them.
    TStringList RecentFiles{false, TDuplicates::Accept};

    // Scan choices of the new-volume and update dialogs; not stored.
    int32_t DriveNumber = 0;
    bool ApplyDefaults = false;
    std::string DefaultCategory;
    std::string DefaultComments;
    std::string DefaultLocation;
    bool DefaultsToFolders = false;
    bool DefaultsToFiles = false;
    bool DeleteNotFound = false;

    int32_t TreeWidth = 0;
    int32_t CollectionWidth = 0;
    // The main window's placement as stored; the window applies it.
    std::optional<TPlacement> MainPlacement;

    bool FirstRun = false;
    // Errors met while loading the list files (EMessageError texts), for the log.
    std::vector<std::string> LoadErrors;

    TProgressState Progress;

private:
    struct TListFile {
        TStringList* List;
        std::string* FileName;
        bool* Unreadable;
    };
    std::array<TListFile, 4> ListFiles();

    std::string configFolder_;
    // Set for a list file that exists but could not be read.
    std::array<bool, 4> unreadable_{};
};
