#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QSize>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ISettingsStore;
class QAction;
class QObject;
class QSplitter;
class TGlobalData;
class TMainViews;

// The layout state of the main window's views: which tab shows which trees,
// the panel sizes, the list's columns, sort order and view style, kept in the
// settings between runs.
inline constexpr int kListStyles = 5;
inline constexpr int kDetailsStyle = 3;
inline constexpr int kThumbnailStyle = 4;

class TViewLayout {
public:
    TViewLayout(TMainViews& views, TGlobalData& gd, ISettingsStore& store);
    ~TViewLayout();

    // The checkable menu items that show the sort column and the list style.
    void AddSortChecks(const std::vector<QAction*>& columns);
    void AddStyleChecks(const std::vector<QAction*>& styles);

    // 0 Collection, 1 Volume, 2 Mixed.
    void SetTab(int index);
    int Tab() const { return currentTab_; }
    // The information bar, message pane, column widths and tab of the view settings.
    void ApplyViewSettings();
    void StoreViewSettings();
    void ApplyColumnWidths();
    void ApplySort();
    // A column header click or an arrange-icons item: that column, the other direction.
    void SortListBy(int column);
    // 0 large icons, 1 small icons, 2 list, 3 details, 4 thumbnails.
    void SetListViewStyle(int style);
    // The toolbar's toggle, checked while the thumbnails show.
    void SetThumbsToggle(QAction* toggle) { thumbsToggle_ = toggle; }

    // Splitter sizes are saved with the size the views had then, and restored
    // once the views are shown at that size again (a maximised window gets its
    // size only after it is shown), so they come back to the pixel.
    void LoadPanelLayout();
    void SavePanelLayout();
    // The views were shown or resized: apply the saved sizes while they wait.
    void ViewsResized();
    // Gives up waiting for the saved size (another screen): what was applied stays.
    void StopRestoring() { pending_.clear(); }
    bool Restoring() const { return !pending_.empty(); }

private:
    void KeepMixedWidths();
    void ApplyMixedWidths();
    void CheckSortColumn(int column);
    void ShowSort(int column, uint8_t storedState);
    std::vector<QSplitter*> SavedSplitters() const;
    void LoadOldPanelLayout();

    TMainViews& views_;
    TGlobalData& gd_;
    ISettingsStore& store_;
    int currentTab_ = -1;
    std::vector<QAction*> sortChecks_;
    std::vector<QAction*> styleChecks_;
    QAction* thumbsToggle_ = nullptr;
    std::map<std::string, QByteArray> pending_; // splitter name -> saved state
    QSize savedSize_;
    std::unique_ptr<QObject> watcher_;
};
