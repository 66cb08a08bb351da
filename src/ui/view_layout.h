#pragma once

#include <vector>

class ISettingsStore;
class QAction;
class TGlobalData;
class TMainViews;

// The layout state of the main window's views: which tab shows which trees,
// the panel sizes, the list's columns, sort order and view style, kept in the
// settings between runs.
class TViewLayout {
public:
    TViewLayout(TMainViews& views, TGlobalData& gd, ISettingsStore& store);

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
    // 0 large icons, 1 small icons, 2 list, 3 details.
    void SetListViewStyle(int style);

    void LoadPanelLayout();
    void SavePanelLayout();

private:
    void KeepMixedWidths();

    TMainViews& views_;
    TGlobalData& gd_;
    ISettingsStore& store_;
    int currentTab_ = -1;
    std::vector<QAction*> sortChecks_;
    std::vector<QAction*> styleChecks_;
};
