#include "ui/view_layout.h"

#include "settings/global_data.h"
#include "settings/settings_helpers.h"
#include "settings/settings_store.h"
#include "ui/catalog_models.h"
#include "ui/main_views.h"
#include "ui/name_fit_delegate.h"

#include <QtCore/QEvent>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QListView>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QTreeView>
#include <algorithm>
#include <cstdio>

namespace {
const char* const kPos = "Pos\\frmMain";
const char* const kSplitters = "Pos\\frmMain\\Splitters";

// Tells the layout when the views are shown or resized.
class TViewsWatcher : public QObject {
public:
    explicit TViewsWatcher(TViewLayout& layout) : layout_(layout) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !shown_) {
            shown_ = true;
            // A window manager that never gives the saved size must not keep
            // the restore waiting.
            QTimer::singleShot(2000, this, [this] { layout_.StopRestoring(); });
        }
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            layout_.ViewsResized();
        return QObject::eventFilter(watched, event);
    }

private:
    TViewLayout& layout_;
    bool shown_ = false;
};

std::string SizeText(QSize s) {
    return std::to_string(s.width()) + "x" + std::to_string(s.height());
}

QSize SizeOfText(const std::string& text) {
    int w = 0, h = 0;
    if (std::sscanf(text.c_str(), "%dx%d", &w, &h) != 2) return {};
    return QSize(w, h);
}

} // namespace

TViewLayout::TViewLayout(TMainViews& views, TGlobalData& gd, ISettingsStore& store)
    : views_(views), gd_(gd), store_(store), watcher_(std::make_unique<TViewsWatcher>(*this)) {
    views_.Root()->installEventFilter(watcher_.get());
}

TViewLayout::~TViewLayout() {
    views_.Root()->removeEventFilter(watcher_.get());
}

std::vector<QSplitter*> TViewLayout::SavedSplitters() const {
    return {views_.MessageSplitter(), views_.MainSplitter(), views_.ListSplitter()};
}

void TViewLayout::AddSortChecks(const std::vector<QAction*>& columns) {
    sortChecks_.insert(sortChecks_.end(), columns.begin(), columns.end());
}

void TViewLayout::AddStyleChecks(const std::vector<QAction*>& styles) {
    styleChecks_.insert(styleChecks_.end(), styles.begin(), styles.end());
}

void TViewLayout::ApplyViewSettings() {
    const TViewSettings& v = gd_.ViewSettings;
    views_.MessagePanel()->setVisible(v.Messages);
    views_.InfoPanel()->setVisible(v.InfoBar);
    ApplyColumnWidths();
    SetTab(std::clamp(v.View, 0, 2));
}

void TViewLayout::KeepMixedWidths() {
    if (currentTab_ != 2) return;
    QList<int> s = views_.TreeSplitter()->sizes();
    if (s.size() == 2 && s[0] > 0 && s[1] > 0) {
        gd_.CollectionWidth = s[0];
        gd_.TreeWidth = s[1];
    }
}

void TViewLayout::ApplyMixedWidths() {
    int c = gd_.CollectionWidth > 0 ? gd_.CollectionWidth : 150;
    int t = gd_.TreeWidth > 0 ? gd_.TreeWidth : 200;
    views_.TreeSplitter()->setSizes({c, t});
}

void TViewLayout::StoreViewSettings() {
    gd_.ViewSettings.View = views_.Tabs()->currentIndex();
    KeepMixedWidths();
}

void TViewLayout::ApplyColumnWidths() {
    QHeaderView* h = views_.ListView()->header();
    for (int i = 0; i < TEntryListModel::kColumnCount; ++i) {
        if (gd_.ViewSettings.AutoResizeColumns) {
            h->setSectionResizeMode(i, QHeaderView::ResizeToContents);
        } else {
            h->setSectionResizeMode(i, QHeaderView::Interactive);
            int def = i == 0 ? 200 : (i == 3 ? 150 : 80);
            int w = ReadInt32(store_, std::string(kPos) + "\\LV\\" + std::to_string(i), "Width",
                              def, 10, 5000);
            h->resizeSection(i, w);
        }
    }
}

void TViewLayout::LoadPanelLayout() {
    pending_.clear();
    for (QSplitter* split : SavedSplitters()) {
        const std::string name = split->objectName().toStdString();
        const std::string state = store_.ReadString(kSplitters, name, "");
        if (!state.empty())
            pending_[name] = QByteArray::fromBase64(QByteArray::fromStdString(state));
    }
    savedSize_ = SizeOfText(store_.ReadString(kSplitters, "Size", ""));
    if (pending_.empty()) LoadOldPanelLayout();
}

void TViewLayout::ViewsResized() {
    QWidget* root = views_.Root();
    if (pending_.empty() || !root->isVisible()) return;
    for (QSplitter* split : SavedSplitters()) {
        auto it = pending_.find(split->objectName().toStdString());
        if (it != pending_.end()) split->restoreState(it->second);
    }
    if (currentTab_ == 2) ApplyMixedWidths();
    if (root->size() == savedSize_) pending_.clear();
}

// Settings written before splitter states were kept: the panels' widths.
void TViewLayout::LoadOldPanelLayout() {
    auto restore = [this](const char* panel, QSplitter* split, int index, bool horizontal) {
        TPlacement p;
        if (!LoadPlacement(store_, std::string(kPos) + "\\" + panel, p)) return;
        QList<int> sizes = split->sizes();
        if (index >= sizes.size()) return;
        int total = 0;
        for (int s : sizes)
            total += s;
        int want = horizontal ? p.Width : p.Height;
        if (total <= 0) total = horizontal ? 1000 : 700;
        want = std::clamp(want, 20, std::max(20, total - 20));
        QList<int> out;
        for (int i = 0; i < sizes.size(); ++i)
            out << (i == index ? want : std::max(20, (total - want) / (int(sizes.size()) - 1)));
        split->setSizes(out);
    };
    restore("TAB", views_.MainSplitter(), 0, true);
    restore("Info", views_.ListSplitter(), 1, false);
    restore("Msg", views_.MessageSplitter(), 1, false);
}

void TViewLayout::SavePanelLayout() {
    auto save = [this](const char* panel, QWidget* w) {
        if (!w->isVisible() || w->width() <= 0 || w->height() <= 0) return;
        QRect r = w->geometry();
        SavePlacement(store_, std::string(kPos) + "\\" + panel,
                      TPlacement{r.left(), r.top(), r.width(), r.height(), TWindowState::Normal});
    };
    save("TAB", views_.MainSplitter()->widget(0));
    save("LV", views_.ListPanel());
    save("Msg", views_.MessagePanel());
    save("Info", views_.InfoPanel());
    // While a restore still waits, the views never reached the saved layout: keep it.
    if (pending_.empty() && views_.Root()->isVisible()) {
        for (QSplitter* split : SavedSplitters())
            store_.WriteString(kSplitters, split->objectName().toStdString(),
                               split->saveState().toBase64().toStdString());
        store_.WriteString(kSplitters, "Size", SizeText(views_.Root()->size()));
    }
    if (!gd_.ViewSettings.AutoResizeColumns)
        for (int i = 0; i < TEntryListModel::kColumnCount; ++i) {
            int w = views_.ListView()->header()->sectionSize(i);
            if (w > 0)
                store_.WriteInt(std::string(kPos) + "\\LV\\" + std::to_string(i), "Width", w);
        }
}

void TViewLayout::SetTab(int index) {
    index = std::clamp(index, 0, 2);
    KeepMixedWidths();
    QTabBar* tab = views_.Tabs();
    if (tab->currentIndex() != index) {
        QSignalBlocker block(tab);
        tab->setCurrentIndex(index);
    }
    views_.CollectionPanel()->setVisible(index == 0 || index == 2);
    views_.TreePanel()->setVisible(index == 1 || index == 2);
    if (index == 2) ApplyMixedWidths();
    currentTab_ = index;
    gd_.ViewSettings.View = index;
}

void TViewLayout::ApplySort() {
    const int column = gd_.LVSortIndex;
    ShowSort(column, gd_.ColumnSortState[static_cast<size_t>(column)]);
}

void TViewLayout::CheckSortColumn(int column) {
    const size_t n = static_cast<size_t>(TEntryListModel::kColumnCount);
    for (size_t i = 0; i < sortChecks_.size(); ++i)
        sortChecks_[i]->setChecked(static_cast<int>(i % n) == column);
}

void TViewLayout::SortListBy(int column) {
    if (column < 0 || column >= TEntryListModel::kColumnCount) return;
    uint8_t& state = gd_.ColumnSortState[static_cast<size_t>(column)];
    state = state == 1 ? 2 : 1;
    gd_.LVSortIndex = static_cast<uint8_t>(column);
    ShowSort(column, state);
}

void TViewLayout::ShowSort(int column, uint8_t storedState) {
    // Settings keep 1 for descending and 2 (or 0, never set) for ascending.
    const Qt::SortOrder order = storedState == 1 ? Qt::DescendingOrder : Qt::AscendingOrder;
    views_.ListModel()->SortBy(column, order);
    views_.ListView()->header()->setSortIndicator(column, order);
    CheckSortColumn(column);
}

void TViewLayout::SetListViewStyle(int style) {
    for (size_t i = 0; i < styleChecks_.size(); ++i)
        styleChecks_[i]->setChecked(static_cast<int>(i % kListStyles) == style);
    if (thumbsToggle_) thumbsToggle_->setChecked(style == kThumbnailStyle);
    QStackedWidget* stack = views_.ListStack();
    if (style == kDetailsStyle) {
        stack->setCurrentWidget(views_.ListView());
        return;
    }
    if (style == kThumbnailStyle) {
        stack->setCurrentWidget(views_.ThumbsView());
        return;
    }
    QListView* icons = views_.IconsView();
    stack->setCurrentWidget(icons);
    if (style == 0) {
        icons->setViewMode(QListView::IconMode);
        icons->setIconSize(QSize(48, 48));
        icons->setGridSize(QSize(110, 80));
        icons->setWordWrap(true);
    } else {
        icons->setViewMode(QListView::ListMode);
        icons->setIconSize(QSize(16, 16));
        icons->setGridSize(QSize());
        icons->setWordWrap(false);
        icons->setFlow(style == 1 ? QListView::LeftToRight : QListView::TopToBottom);
        icons->setWrapping(true);
    }
    icons->setResizeMode(QListView::Adjust);
    views_.NameFit()->Fit();
}
