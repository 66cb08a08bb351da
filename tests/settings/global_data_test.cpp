#include "files/safe_file.h"
#include "settings/global_data.h"
#include "support/scoped_state.h"
#include "support/temp_folder.h"
#include "tags/tag_info.h"
#include "text/message_error.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class GlobalDataTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = dir_.string() + "/conf/"; }

    TTempFolder tmp_;
    fs::path dir_{tmp_.Path()};
    std::string folder_;
    TMemorySettingsStore store_;
};

TEST_F(GlobalDataTest, DefaultsAndListFilesInTheConfigFolder) {
    TGlobalData g(folder_);
    EXPECT_EQ(g.FavoritesFile, folder_ + "Favorites.txt");
    EXPECT_EQ(g.TagsFile, folder_ + "Tags.txt");
    EXPECT_EQ(g.LocationsFile, folder_ + "Locations.txt");
    EXPECT_EQ(g.CategoriesFile, folder_ + "Categories.txt");
    EXPECT_EQ(g.ImagesFile, "");
    EXPECT_EQ(g.OriginalLanguageFile, "OriginalLanguage.bab");
    EXPECT_TRUE(g.Sort && g.ShowIcons && g.DisableControls && g.ActionEndBeep && g.CheckSerial);
    EXPECT_TRUE(g.MultiApps && g.LoadLast && g.SaveSettingsOnExit && g.LocateMain);
    EXPECT_FALSE(g.FoldersOnly);
    EXPECT_TRUE(g.ConfirmDeleteFile && g.ConfirmClose && g.ConfirmSaveChanges);
    EXPECT_EQ(g.NewLine, ";");
    EXPECT_EQ(g.RecentMax, 5);
    EXPECT_EQ(g.Sizes, 0);
    EXPECT_TRUE(g.Progress.Idle());
    EXPECT_EQ(g.Progress.ProgressScale, 1.0);
}

TEST_F(GlobalDataTest, DefaultConfigFolderFollowsXdgThenHome) {
    TScopedEnv xdg("XDG_CONFIG_HOME", "/x/cfg");
    EXPECT_EQ(TGlobalData::DefaultConfigFolder(), "/x/cfg/Tamblix/");
    xdg.Set("relative"); // not absolute: ignored
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    if (!home.empty()) {
        EXPECT_EQ(TGlobalData::DefaultConfigFolder(), home + "/.config/Tamblix/");
    }
}

// A store with no version yet (another program of ours began it) is read, not wiped.
TEST_F(GlobalDataTest, FirstRunKeepsAnUnmarkedStore) {
    store_.WriteBool("Defaults", "Sort", false);
    store_.WriteInt("Pos\\frmMain\\LV\\0", "Width", 10);
    TGlobalData g(folder_);
    g.LoadSettings(store_);
    EXPECT_TRUE(g.FirstRun);
    EXPECT_FALSE(g.Sort);
    EXPECT_EQ(store_.ReadInt("Pos\\frmMain\\LV\\0", "Width", 0), 10);

    g.SaveSettings(store_);
    EXPECT_EQ(store_.ReadString("", "Version", ""), "1.0 (Build: 1)");
    TGlobalData again(folder_);
    again.LoadSettings(store_);
    EXPECT_FALSE(again.FirstRun);
}

TEST_F(GlobalDataTest, OtherVersionResetsEverything) {
    store_.WriteString("", "Version", "0.9");
    store_.WriteBool("Defaults", "Sort", false);
    store_.WriteString("View", "Language", "Deutsch");
    TGlobalData g(folder_);
    g.LoadSettings(store_);
    EXPECT_FALSE(g.FirstRun);
    EXPECT_TRUE(g.Sort);
    EXPECT_EQ(g.Language, "");
    EXPECT_TRUE(store_.Keys.empty());
}

// What the command-line tool wrote (it marks the store as the desktop program
// does) survives the desktop program's first start; a newer mark is kept too.
TEST_F(GlobalDataTest, OnlyOlderVersionsReset) {
    EXPECT_FALSE(PrepareSettingsVersion(store_));
    EXPECT_EQ(store_.ReadString("", "Version", ""), kSettingsVersion);
    store_.WriteString("Handlers\\0", "Title", "MP3");
    TGlobalData g(folder_);
    g.LoadSettings(store_);
    EXPECT_EQ(store_.ReadString("Handlers\\0", "Title", ""), "MP3");

    store_.WriteString("", "Version", "1.2 (Build: 7)");
    EXPECT_FALSE(PrepareSettingsVersion(store_));
    TGlobalData newer(folder_);
    newer.LoadSettings(store_);
    EXPECT_EQ(store_.ReadString("Handlers\\0", "Title", ""), "MP3");
    EXPECT_EQ(store_.ReadString("", "Version", ""), "1.2 (Build: 7)");

    store_.WriteString("", "Version", "1.0 (Build: 0)");
    EXPECT_TRUE(PrepareSettingsVersion(store_));
    EXPECT_EQ(store_.ReadString("Handlers\\0", "Title", ""), "");
    EXPECT_EQ(store_.ReadString("", "Version", ""), kSettingsVersion);
    EXPECT_TRUE(IsOlderSettingsVersion("beta"));
    EXPECT_FALSE(IsOlderSettingsVersion(""));
}

TEST_F(GlobalDataTest, SaveAndLoadRoundTrip) {
    TScopedTagNames restoreTagNames; // loading registers the list and its switch
    TGlobalData g(folder_);
    g.LastLibrary = "/data/discs.txc";
    g.Sort = false;
    g.Sizes = 2;
    g.ConfirmExit = false;
    g.ConfirmDeleteCollection = false;
    g.LocateMain = false;
    g.NewLine = " | ";
    g.AddToGlobalsTags = false;
    g.Language = "Deutsch";
    g.Zoom = 150;
    g.FontName = "DejaVu Sans";
    g.FontSize = 12;
    g.FontStyles = {true, false, true, false};
    g.ViewSettings.Messages = true;
    g.ViewSettings.View = 1;
    g.ImagesFile = "/img/icons.dll";
    g.MainPlacement = TPlacement{10, 20, 800, 600, TWindowState::Maximized};
    g.SaveSettings(store_);

    EXPECT_EQ(store_.Keys["Confirm"].count("Confirm Delete collection"), 1u);
    EXPECT_EQ(store_.Keys["Print"].count("FontStyle4"), 1u);
    EXPECT_EQ(store_.Keys["Defaults"].count("Location File"), 1u);

    TGlobalData h(folder_);
    h.LoadSettings(store_);
    EXPECT_EQ(h.LastLibrary, "/data/discs.txc");
    EXPECT_FALSE(h.Sort);
    EXPECT_EQ(h.Sizes, 2);
    EXPECT_FALSE(h.ConfirmExit);
    EXPECT_FALSE(h.ConfirmDeleteCollection);
    EXPECT_TRUE(h.ConfirmDeleteFile);
    EXPECT_FALSE(h.LocateMain);
    EXPECT_EQ(h.NewLine, " | ");
    EXPECT_FALSE(h.AddToGlobalsTags);
    EXPECT_FALSE(TTagInfo::AddToGlobalsTags());
    EXPECT_EQ(TTagInfo::SharedTagNames(), &h.TagNames);
    EXPECT_EQ(h.Language, "Deutsch");
    EXPECT_EQ(h.Zoom, 150);
    EXPECT_EQ(h.FontName, "DejaVu Sans");
    EXPECT_EQ(h.FontSize, 12);
    EXPECT_EQ(h.FontStyles, (std::array<bool, 4>{true, false, true, false}));
    EXPECT_TRUE(h.ViewSettings.Messages);
    EXPECT_EQ(h.ViewSettings.View, 1);
    EXPECT_EQ(h.ImagesFile, "/img/icons.dll");
    ASSERT_TRUE(h.MainPlacement);
    EXPECT_EQ(*h.MainPlacement, (TPlacement{10, 20, 800, 600, TWindowState::Maximized}));
}

TEST_F(GlobalDataTest, OutOfRangeStoredNumbersKeepDefaults) {
    store_.WriteString("", "Version", kSettingsVersion);
    store_.WriteInt("Defaults", "Sizes", 7);
    store_.WriteInt("frmMain", "LVSortIndex", 6);
    store_.WriteInt("Print", "Zoom", int64_t(1) << 40);
    TGlobalData g(folder_);
    g.LoadSettings(store_);
    g.LoadLayout(store_);
    EXPECT_EQ(g.Sizes, 0);
    EXPECT_EQ(g.LVSortIndex, 0);
    EXPECT_EQ(g.Zoom, 0);
}

TEST_F(GlobalDataTest, ListsSortDropRepeatsAndWriteCrLf) {
    TGlobalData g(folder_);
    WriteFile(g.CategoriesFile, "rock\nJazz\r\n\r\nROCK\rblues\r\nCaf\xe9\r\n");
    WriteFile(g.FavoritesFile, "b=/x/b.txc\r\na=/x/a.txc\r\nA=/X/A.TXC\r\n");
    g.LoadLists();
    // An 8-bit line from an older file comes in as UTF-8.
    EXPECT_EQ(g.GlobalCategories.Lines(),
              (std::vector<std::string>{"blues", "Caf\xc3\xa9", "Jazz", "rock"}));
    EXPECT_EQ(g.Favorites.Lines(), (std::vector<std::string>{"a=/x/a.txc", "b=/x/b.txc"}));

    // The lists keep their rules after loading.
    EXPECT_EQ(g.GlobalCategories.Add("JAZZ"), -1);
    EXPECT_THROW(g.Favorites.Add("B=/X/B.TXC"), EMessageError);
    g.TagNames.Add("Title=Title");
    g.TagNames.Add("Artist=Artist");
    EXPECT_THROW(g.TagNames.Add("artist=artist"), EMessageError);

    g.SaveLists();
    EXPECT_EQ(ReadFile(g.CategoriesFile), "blues\r\nCaf\xc3\xa9\r\nJazz\r\nrock\r\n");
    EXPECT_EQ(ReadFile(g.TagsFile), "Artist=Artist\r\nTitle=Title\r\n");
    EXPECT_EQ(ReadFile(g.LocationsFile), "");

    TGlobalData h(folder_);
    h.LoadLists();
    EXPECT_EQ(h.TagNames.Lines(), g.TagNames.Lines());
    EXPECT_EQ(h.Favorites.Lines(), g.Favorites.Lines());
}

TEST_F(GlobalDataTest, ListsComeFromTheStoredFileNames) {
    std::string custom = dir_.string() + "/elsewhere/cats.txt";
    WriteFile(custom, "Films\r\n");
    store_.WriteString("", "Version", kSettingsVersion);
    store_.WriteString("Defaults", "Categories File", custom);
    store_.WriteString("Defaults", "Location File", "");
    TGlobalData g(folder_);
    WriteFile(g.LocationsFile, "Shelf\r\n");
    g.LoadSettings(store_);
    EXPECT_EQ(g.GlobalCategories.Lines(), std::vector<std::string>{"Films"});
    EXPECT_EQ(g.LocationsFile, "");
    EXPECT_EQ(g.GlobalLocations.Count(), 0); // an empty name means the list is not kept
    g.GlobalCategories.Add("Music");
    g.SaveSettings(store_);
    EXPECT_EQ(ReadFile(custom), "Films\r\nMusic\r\n");
    EXPECT_EQ(ReadFile(folder_ + "Locations.txt"), "Shelf\r\n");
}

TEST_F(GlobalDataTest, UnreadableListFileIsNeverOverwritten) {
    TGlobalData g(folder_);
    fs::create_directories(g.TagsFile); // a folder where the file should be
    WriteFile(g.CategoriesFile, "Films\r\n");
    g.LoadSettings(store_);
    EXPECT_EQ(g.LoadErrors.size(), 1u);
    EXPECT_EQ(g.GlobalCategories.Count(), 1);
    g.SaveSettings(store_); // no throw: the unreadable file is left alone
    EXPECT_TRUE(fs::is_directory(g.TagsFile));
}

TEST_F(GlobalDataTest, ListWriteFailureIsReportedAfterTheRest) {
    TGlobalData g(folder_);
    g.FavoritesFile = dir_.string() + "/file/inside/a/file.txt";
    WriteFile(dir_.string() + "/file", "x");
    g.GlobalCategories.Add("Films");
    try {
        g.SaveSettings(store_);
        FAIL() << "no error";
    } catch (const EMessageError& e) {
        EXPECT_EQ(e.Key, "errWrite");
    }
    EXPECT_EQ(ReadFile(g.CategoriesFile), "Films\r\n");
    EXPECT_EQ(store_.ReadString("", "Version", ""), kSettingsVersion);
}

TEST_F(GlobalDataTest, AddFavoriteRefusesAPathAlreadyThere) {
    TGlobalData g(folder_);
    WriteFile(g.FavoritesFile, "Music=/c/music.txc\r\n");
    g.LoadLists();
    try {
        g.AddFavorite("/c/music.txc");
        FAIL() << "no error";
    } catch (const EMessageError& e) {
        EXPECT_EQ(e.Key, "errAssigned");
        EXPECT_EQ(e.Arg, "Music");
    }
    g.AddFavorite("/c/films.txc");
    EXPECT_EQ(ReadFile(g.FavoritesFile), "/c/films.txc=/c/films.txc\r\nMusic=/c/music.txc\r\n");
    EXPECT_EQ(g.FavoriteCaptionOf("/c/films.txc"), "/c/films.txc");
}

TEST_F(GlobalDataTest, RecentFilesKeepTheFiveLatest) {
    TGlobalData g(folder_);
    for (int i = 1; i <= 6; ++i)
        g.AddRecent("/c/" + std::to_string(i) + ".txc");
    EXPECT_EQ(g.RecentFiles.Lines(), (std::vector<std::string>{"/c/6.txc", "/c/5.txc", "/c/4.txc",
                                                               "/c/3.txc", "/c/2.txc"}));
    EXPECT_EQ(g.RecentCaption(0), "&1 /c/6.txc");
    EXPECT_EQ(g.RecentCaption(4), "&5 /c/2.txc");

    g.AddRecent("/c/4.txc");
    EXPECT_EQ(g.RecentFiles.Lines(), (std::vector<std::string>{"/c/4.txc", "/c/6.txc", "/c/5.txc",
                                                               "/c/3.txc", "/c/2.txc"}));
    g.AddRecent("/C/4.TXC"); // another file on a case-sensitive file system
    EXPECT_EQ(g.RecentFiles[0], "/C/4.TXC");
    EXPECT_EQ(g.RecentFiles[1], "/c/4.txc");
    EXPECT_EQ(g.RecentFiles.Count(), 5);

    g.RecentMax = 0;
    g.AddRecent("/c/7.txc");
    EXPECT_EQ(g.RecentFiles.Count(), 0);
}

TEST_F(GlobalDataTest, LayoutRoundTripDropsStaleRecentEntries) {
    store_.WriteString("Recent\\4", "Filename", "/old/stale.txc");
    TGlobalData g(folder_);
    g.TreeWidth = 250;
    g.CollectionWidth = 120;
    g.LVSortIndex = 3;
    g.AddRecent("/c/a.txc");
    g.AddRecent("/c/b.txc");
    g.SaveLayout(store_);
    EXPECT_FALSE(store_.KeyExists("Recent\\4"));

    TGlobalData h(folder_);
    h.LoadLayout(store_);
    EXPECT_EQ(h.TreeWidth, 250);
    EXPECT_EQ(h.CollectionWidth, 120);
    EXPECT_EQ(h.LVSortIndex, 3);
    EXPECT_EQ(h.ColumnSortState[0], 2);
    EXPECT_EQ(h.RecentFiles.Lines(), (std::vector<std::string>{"/c/b.txc", "/c/a.txc"}));
}

TEST_F(GlobalDataTest, SummaryShowsTheSizeInTheChosenUnit) {
    TGlobalData g(folder_);
    g.Sizes = 2;
    g.Progress.Counts = [] { return TProgressCounts{1, 2, 3, 3 * 1048576}; };
    EXPECT_EQ(g.Progress.Summary().substr(0, 40), "Volumes: 1 Folders: 2 Files: 3 Size: 3 M");
}

TEST_F(GlobalDataTest, DestroyedDataUnregistersTagNames) {
    {
        TGlobalData g(folder_);
        g.RegisterTagNames();
        EXPECT_EQ(TTagInfo::SharedTagNames(), &g.TagNames);
    }
    EXPECT_EQ(TTagInfo::SharedTagNames(), nullptr);
}

} // namespace
