#include "settings/global_data.h"

#include "files/safe_file.h"
#include "settings/message_table.h"
#include "tags/tag_info.h"
#include "text/encodings.h"
#include "text/message_error.h"
#include "text/text_utils.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char* const kDefaults = "Defaults";
const char* const kConfirm = "Confirm";
const char* const kFind = "Find";
const char* const kView = "View";
const char* const kPrint = "Print";
const char* const kRecent = "Recent";
const char* const kMainWindow = "frmMain";

// A list file larger than this is not a list someone keeps by hand.
constexpr uintmax_t kMaxListFile = 64u << 20;

uint8_t ReadByte(const ISettingsStore& store, const char* key, const char* name, uint8_t def,
                 uint8_t max) {
    return static_cast<uint8_t>(ReadInt32(store, key, name, def, 0, max));
}

// The file's lines: duplicates dropped (the first kept), empty lines skipped,
// sorted as the list sorts. Sorting once keeps a long file from costing a
// sorted insert per line.
void SetListLines(TStringList& list, std::string_view text) {
    TStringList raw(false, TDuplicates::Accept);
    raw.SetText(text);
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(raw.Count()));
    for (const std::string& l : raw.Lines())
        if (!l.empty()) lines.push_back(EightBitText(l)); // older files are 8-bit
    std::stable_sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
        return CompareText(a, b) < 0;
    });
    lines.erase(std::unique(lines.begin(), lines.end(),
                            [](const std::string& a, const std::string& b) {
                                return CompareText(a, b) == 0;
                            }),
                lines.end());
    std::string joined;
    for (const std::string& l : lines) {
        joined += l;
        joined += '\n';
    }
    bool sorted = list.Sorted;
    list.Sorted = false;
    list.SetText(joined);
    list.Sorted = sorted;
}

} // namespace

TGlobalData::TGlobalData(std::string configFolder) : configFolder_(std::move(configFolder)) {
    if (configFolder_.empty()) configFolder_ = DefaultConfigFolder();
    if (!configFolder_.empty() && configFolder_.back() != '/') configFolder_ += '/';
    SetDefaults();
    Progress.FormatSize = [this](int64_t bytes) {
        return FormatSize(Sizes, static_cast<int64_t>(bytes), GetMessageText("infoStrKB"),
                          GetMessageText("infoStrMB"));
    };
}

TGlobalData::~TGlobalData() {
    if (TTagInfo::SharedTagNames() == &TagNames) TTagInfo::SetSharedTagNames(nullptr);
}

std::string TGlobalData::DefaultConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/Tamblix/";
    const char* home = std::getenv("HOME");
    if (home && home[0]) return std::string(home) + "/.config/Tamblix/";
    return {};
}

void TGlobalData::SetDefaults() {
    FavoritesFile = configFolder_ + "Favorites.txt";
    TagsFile = configFolder_ + "Tags.txt";
    ImagesFile.clear();
    LocationsFile = configFolder_ + "Locations.txt";
    CategoriesFile = configFolder_ + "Categories.txt";
    OriginalLanguageFile = "OriginalLanguage.bab";
    Language.clear();
    LastLibrary.clear();
    Sort = true;
    ShowIcons = true;
    DisableControls = true;
    ActionEndBeep = true;
    CheckSerial = true;
    FoldersOnly = false;
    MultiApps = true;
    LoadLast = true;
    SaveSettingsOnExit = true;
    Sizes = 0;
    LVSortIndex = 0;
    LocateMain = true;
    ConfirmDeleteFile = ConfirmDeleteFolder = ConfirmDeleteVolume = ConfirmDeleteCollection = true;
    ConfirmReplace = ConfirmNew = ConfirmSaveChanges = ConfirmExit = ConfirmReload = true;
    ConfirmClose = true;
    NewLine = ";";
    AddToGlobalsTags = AddToGlobalsLocs = AddToGlobalsCats = true;
    RecentMax = 5;
    ColumnSortState.fill(0);
    Zoom = 0;
    FontName.clear();
    FontSize = FontColor = FontCharSet = 0;
    FontStyles.fill(false);
    ViewSettings = TViewSettings();
    DriveNumber = 0;
    ApplyDefaults = false;
    DefaultCategory.clear();
    DefaultComments.clear();
    DefaultLocation.clear();
    DefaultsToFolders = DefaultsToFiles = DeleteNotFound = false;
    TreeWidth = CollectionWidth = 0;
    MainPlacement.reset();
    FirstRun = false;
    Progress.ActionEndBeep = ActionEndBeep;
}

namespace {

std::vector<long> VersionNumbers(std::string_view v) {
    std::vector<long> out;
    for (size_t i = 0; i < v.size();) {
        if (v[i] < '0' || v[i] > '9') {
            ++i;
            continue;
        }
        long n = 0;
        for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i)
            n = n < 100000000 ? n * 10 + (v[i] - '0') : n;
        out.push_back(n);
    }
    return out;
}

} // namespace

bool IsOlderSettingsVersion(std::string_view stored) {
    if (stored.empty()) return false;
    std::vector<long> have = VersionNumbers(stored);
    return have.empty() || have < VersionNumbers(kSettingsVersion);
}

bool PrepareSettingsVersion(ISettingsStore& store) {
    std::string version = store.ReadString("", "Version", "");
    bool reset = IsOlderSettingsVersion(version);
    if (reset) DeleteAllSettings(store);
    // A newer program's mark stays.
    if (version.empty() || reset) store.WriteString("", "Version", kSettingsVersion);
    return reset;
}

void TGlobalData::LoadSettings(ISettingsStore& store) {
    SetDefaults();
    LoadErrors.clear();
    // The handler table is read here, before the version check.

    std::string version = store.ReadString("", "Version", "");
    FirstRun = version.empty();
    if (IsOlderSettingsVersion(version)) {
        DeleteAllSettings(store);
    } else {
        TPlacement p;
        if (LoadPlacement(store, PlacementKey(kMainWindow), p)) MainPlacement = p;

        LastLibrary = store.ReadString(kDefaults, "Last Library", LastLibrary);
        Sort = store.ReadBool(kDefaults, "Sort", Sort);
        ShowIcons = store.ReadBool(kDefaults, "Show Icons", ShowIcons);
        MultiApps = store.ReadBool(kDefaults, "Multi Apps", MultiApps);
        LoadLast = store.ReadBool(kDefaults, "Load Last", LoadLast);
        SaveSettingsOnExit = store.ReadBool(kDefaults, "Save settings", SaveSettingsOnExit);
        Sizes = ReadByte(store, kDefaults, "Sizes", Sizes, 2);
        DisableControls = store.ReadBool(kDefaults, "Disable Controls", DisableControls);
        ActionEndBeep = store.ReadBool(kDefaults, "Action End Beep", ActionEndBeep);
        CheckSerial = store.ReadBool(kDefaults, "Check Serial", CheckSerial);
        FavoritesFile = store.ReadString(kDefaults, "Favorites File", FavoritesFile);
        TagsFile = store.ReadString(kDefaults, "Tags File", TagsFile);
        ImagesFile = store.ReadString(kDefaults, "Images File", ImagesFile);
        LocationsFile = store.ReadString(kDefaults, "Location File", LocationsFile);
        CategoriesFile = store.ReadString(kDefaults, "Categories File", CategoriesFile);
        NewLine = store.ReadString(kDefaults, "New Line", NewLine);
        AddToGlobalsTags = store.ReadBool(kDefaults, "Add2Globals Tags", AddToGlobalsTags);
        AddToGlobalsLocs = store.ReadBool(kDefaults, "Add2Globals Locs", AddToGlobalsLocs);
        AddToGlobalsCats = store.ReadBool(kDefaults, "Add2Globals Cats", AddToGlobalsCats);

        ConfirmDeleteFile = store.ReadBool(kConfirm, "Confirm Delete file", ConfirmDeleteFile);
        ConfirmDeleteFolder =
            store.ReadBool(kConfirm, "Confirm Delete folder", ConfirmDeleteFolder);
        ConfirmDeleteVolume =
            store.ReadBool(kConfirm, "Confirm Delete volume", ConfirmDeleteVolume);
        ConfirmDeleteCollection =
            store.ReadBool(kConfirm, "Confirm Delete collection", ConfirmDeleteCollection);
        ConfirmReplace = store.ReadBool(kConfirm, "Confirm Replace", ConfirmReplace);
        ConfirmNew = store.ReadBool(kConfirm, "Confirm New", ConfirmNew);
        ConfirmSaveChanges = store.ReadBool(kConfirm, "Confirm Save changes", ConfirmSaveChanges);
        ConfirmExit = store.ReadBool(kConfirm, "Confirm Exit", ConfirmExit);
        ConfirmReload = store.ReadBool(kConfirm, "Confirm Reload", ConfirmReload);
        ConfirmClose = store.ReadBool(kConfirm, "Confirm Close", ConfirmClose);

        LocateMain = store.ReadBool(kFind, "Locate Main", LocateMain);
        Language = store.ReadString(kView, "Language", Language);

        Zoom = ReadInt32(store, kPrint, "Zoom", Zoom);
        FontName = store.ReadString(kPrint, "Font", FontName);
        FontSize = ReadInt32(store, kPrint, "FontSize", FontSize);
        FontColor = ReadInt32(store, kPrint, "FontColor", FontColor);
        FontCharSet = ReadInt32(store, kPrint, "FontCharSet", FontCharSet);
        for (size_t i = 0; i < FontStyles.size(); ++i)
            FontStyles[i] =
                store.ReadBool(kPrint, "FontStyle" + std::to_string(i + 1), FontStyles[i]);

        TViewSettings& v = ViewSettings;
        v.Toolbar = store.ReadBool(kView, "Toolbar", v.Toolbar);
        v.StatusBar = store.ReadBool(kView, "StatusBar", v.StatusBar);
        v.Messages = store.ReadBool(kView, "Messages", v.Messages);
        v.InfoBar = store.ReadBool(kView, "InfoBar", v.InfoBar);
        v.AutoResizeColumns = store.ReadBool(kView, "Auto Resize Columns", v.AutoResizeColumns);
        v.View = ReadInt32(store, kView, "View", v.View, 0, INT32_MAX);
    }
    Progress.ActionEndBeep = ActionEndBeep;

    // The lists come after the stored settings so that file names the user
    // chose are the ones read (and later written).
    LoadLists();
    RegisterTagNames();
}

void TGlobalData::SaveSettings(ISettingsStore& store) {
    store.WriteString("", "Version", kSettingsVersion);
    store.WriteString(kDefaults, "Last Library", LastLibrary);
    store.WriteBool(kDefaults, "Sort", Sort);
    store.WriteBool(kDefaults, "Show Icons", ShowIcons);
    store.WriteBool(kDefaults, "Multi Apps", MultiApps);
    store.WriteBool(kDefaults, "Load Last", LoadLast);
    store.WriteBool(kDefaults, "Save settings", SaveSettingsOnExit);
    store.WriteInt(kDefaults, "Sizes", Sizes);
    store.WriteBool(kDefaults, "Disable Controls", DisableControls);
    store.WriteBool(kDefaults, "Action End Beep", ActionEndBeep);
    store.WriteBool(kDefaults, "Check Serial", CheckSerial);
    store.WriteString(kDefaults, "Favorites File", FavoritesFile);
    store.WriteString(kDefaults, "Tags File", TagsFile);
    store.WriteString(kDefaults, "Images File", ImagesFile);
    store.WriteString(kDefaults, "Location File", LocationsFile);
    store.WriteString(kDefaults, "Categories File", CategoriesFile);
    store.WriteString(kDefaults, "New Line", NewLine);
    store.WriteBool(kDefaults, "Add2Globals Tags", AddToGlobalsTags);
    store.WriteBool(kDefaults, "Add2Globals Locs", AddToGlobalsLocs);
    store.WriteBool(kDefaults, "Add2Globals Cats", AddToGlobalsCats);

    store.WriteBool(kConfirm, "Confirm Delete file", ConfirmDeleteFile);
    store.WriteBool(kConfirm, "Confirm Delete folder", ConfirmDeleteFolder);
    store.WriteBool(kConfirm, "Confirm Delete volume", ConfirmDeleteVolume);
    store.WriteBool(kConfirm, "Confirm Delete collection", ConfirmDeleteCollection);
    store.WriteBool(kConfirm, "Confirm Replace", ConfirmReplace);
    store.WriteBool(kConfirm, "Confirm New", ConfirmNew);
    store.WriteBool(kConfirm, "Confirm Save changes", ConfirmSaveChanges);
    store.WriteBool(kConfirm, "Confirm Exit", ConfirmExit);
    store.WriteBool(kConfirm, "Confirm Reload", ConfirmReload);
    store.WriteBool(kConfirm, "Confirm Close", ConfirmClose);

    store.WriteBool(kFind, "Locate Main", LocateMain);

    const TViewSettings& v = ViewSettings;
    store.WriteBool(kView, "Toolbar", v.Toolbar);
    store.WriteBool(kView, "StatusBar", v.StatusBar);
    store.WriteBool(kView, "Messages", v.Messages);
    store.WriteBool(kView, "InfoBar", v.InfoBar);
    store.WriteBool(kView, "Auto Resize Columns", v.AutoResizeColumns);
    store.WriteInt(kView, "View", v.View);
    store.WriteString(kView, "Language", Language);

    store.WriteInt(kPrint, "Zoom", Zoom);
    store.WriteString(kPrint, "Font", FontName);
    store.WriteInt(kPrint, "FontSize", FontSize);
    store.WriteInt(kPrint, "FontColor", FontColor);
    store.WriteInt(kPrint, "FontCharSet", FontCharSet);
    for (size_t i = 0; i < FontStyles.size(); ++i)
        store.WriteBool(kPrint, "FontStyle" + std::to_string(i + 1), FontStyles[i]);

    if (MainPlacement) SavePlacement(store, PlacementKey(kMainWindow), *MainPlacement);
    // The handler table is saved here.

    SaveLists();
}

void TGlobalData::LoadLayout(const ISettingsStore& store) {
    std::string pos = PlacementKey(kMainWindow);
    TreeWidth = ReadInt32(store, pos, "TV", TreeWidth, 0, INT32_MAX);
    CollectionWidth = ReadInt32(store, pos, "Collection", CollectionWidth, 0, INT32_MAX);
    RecentFiles.Clear();
    for (int32_t i = 0; i < RecentMax; ++i) {
        std::string path =
            store.ReadString(std::string(kRecent) + "\\" + std::to_string(i), "Filename", "");
        if (path.empty()) continue;
        if (std::find(RecentFiles.Lines().begin(), RecentFiles.Lines().end(), path) !=
            RecentFiles.Lines().end())
            continue;
        RecentFiles.Add(path);
    }
    LVSortIndex = ReadByte(store, kMainWindow, "LVSortIndex", LVSortIndex,
                           static_cast<uint8_t>(ColumnSortState.size() - 1));
    ColumnSortState[0] = 2;
}

void TGlobalData::SaveLayout(ISettingsStore& store) const {
    std::string pos = PlacementKey(kMainWindow);
    store.WriteInt(pos, "TV", TreeWidth);
    store.WriteInt(pos, "Collection", CollectionWidth);
    // Entries past the current count would come back at the next start.
    store.DeleteKey(kRecent);
    for (int i = 0; i < RecentFiles.Count(); ++i)
        store.WriteString(std::string(kRecent) + "\\" + std::to_string(i), "Filename",
                          RecentFiles[i]);
    store.WriteInt(kMainWindow, "LVSortIndex", LVSortIndex);
}

std::array<TGlobalData::TListFile, 4> TGlobalData::ListFiles() {
    return {{{&Favorites, &FavoritesFile, &unreadable_[0]},
             {&TagNames, &TagsFile, &unreadable_[1]},
             {&GlobalLocations, &LocationsFile, &unreadable_[2]},
             {&GlobalCategories, &CategoriesFile, &unreadable_[3]}}};
}

void TGlobalData::LoadLists() {
    for (TListFile& f : ListFiles()) {
        f.List->Clear();
        *f.Unreadable = false;
        const std::string& name = *f.FileName;
        if (name.empty()) continue;
        std::error_code ec;
        auto status = fs::status(name, ec);
        if (status.type() == fs::file_type::not_found) continue;
        std::string text;
        bool read = false;
        if (!ec && fs::is_regular_file(status)) {
            uintmax_t size = fs::file_size(name, ec);
            std::ifstream in;
            if (!ec && size <= kMaxListFile) in.open(name, std::ios::binary);
            if (in.is_open()) {
                text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
                read = !in.bad();
            }
        }
        if (!read) {
            *f.Unreadable = true;
            LoadErrors.push_back(GetMessageText("errFNF", name));
            continue;
        }
        SetListLines(*f.List, text);
    }
}

void TGlobalData::SaveLists() {
    std::optional<EMessageError> first;
    for (TListFile& f : ListFiles()) {
        const std::string& name = *f.FileName;
        // Writing over a file we could not read would lose what it holds.
        if (name.empty() || *f.Unreadable) continue;
        try {
            fs::path parent = fs::path(name).parent_path();
            std::error_code ec;
            if (!parent.empty()) fs::create_directories(parent, ec);
            WriteFileAtomically(name, f.List->Text());
        } catch (const EMessageError& e) {
            if (!first) first = e;
        }
    }
    if (first) throw *first;
}

void TGlobalData::RegisterTagNames() {
    TTagInfo::SetSharedTagNames(&TagNames);
    TTagInfo::SetAddToGlobalsTags(AddToGlobalsTags);
}

std::string TGlobalData::FavoriteCaptionOf(const std::string& path) const {
    for (int i = 0; i < Favorites.Count(); ++i) {
        std::string caption = Favorites.Name(i);
        if (Favorites.Value(caption) == path) return caption;
    }
    return {};
}

void TGlobalData::AddFavorite(const std::string& path) {
    if (path.empty()) return;
    std::string caption = FavoriteCaptionOf(path);
    if (!caption.empty()) throw EMessageError("errAssigned", caption);
    Favorites.Add(path + "=" + path);
    if (FavoritesFile.empty() || unreadable_[0]) return;
    std::error_code ec;
    fs::path parent = fs::path(FavoritesFile).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ec);
    WriteFileAtomically(FavoritesFile, Favorites.Text());
}

void TGlobalData::AddRecent(const std::string& path) {
    for (int i = RecentFiles.Count() - 1; i >= 0; --i)
        if (RecentFiles[i] == path) RecentFiles.Delete(i);
    RecentFiles.Insert(0, path);
    while (RecentFiles.Count() > std::max(RecentMax, 0))
        RecentFiles.Delete(RecentFiles.Count() - 1);
}

std::string TGlobalData::RecentCaption(int i) const {
    return "&" + std::to_string(i + 1) + " " + RecentFiles[i];
}
