#pragma once

#include "ui/dialog_common.h"

class THandlerList;
class THandlerView;

// The file-type handlers: switch them, edit their extensions (F2 or a double
// click), or go back to the default table. Changes act on the table at once,
// as in the handler pages of the new-volume and update dialogs.
class TfrmHandlers : public TPlacedDialog {
    Q_OBJECT
public:
    TfrmHandlers(THandlerList& handlers, ISettingsStore& store, QWidget* parent = nullptr);

    // Shows the table; true on OK. The table may have changed either way.
    bool Execute();
    static bool EditHandlers(QWidget* parent, THandlerList& handlers, ISettingsStore& store);

    THandlerView* View() const { return lv_; }
    // "Defaults": the default table replaces the stored one.
    void btnDefaultsClick();

private:
    THandlerList& handlers_;
    THandlerView* lv_;
};
