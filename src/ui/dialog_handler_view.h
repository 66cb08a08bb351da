#pragma once

#include "handlers/handlers.h"

#include <QtWidgets/QTreeWidget>
#include <vector>

class ISettingsStore;

// The handler table as a check-box list (object name "lv_Ext"): columns
// "Handler", "Description", "File Extensions"; the check box switches the
// handler, a double click (or EditCurrent) edits its extensions, the tool tip
// is its help text. Changes reach the table at once.
class THandlerView : public QTreeWidget {
    Q_OBJECT
public:
    THandlerView(THandlerList& handlers, ISettingsStore& store, QWidget* parent);

    // One row per handler in table order; rows keep their handler alive.
    void LoadView();
    THandlerPtr RowHandler(int row) const;
    // What the check box and the extension editor do.
    void CheckRow(int row, bool active);
    void SetRowExtensions(int row, const std::vector<std::string>& extensions);
    void EditCurrent();

private:
    void EditRow(int row);

    THandlerList& handlers_;
    ISettingsStore& store_;
    std::vector<THandlerPtr> rows_;
    bool loading_ = false;
};
