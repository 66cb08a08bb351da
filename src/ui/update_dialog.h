#pragma once

#include "catalog/scan_ops.h"
#include "ui/dialog_common.h"
#include "ui/dialog_scan_pages.h"

#include <optional>

class QCheckBox;
class QLineEdit;
class QToolButton;
class QSpinBox;
class QTabWidget;
class TGlobalData;
class THandlerList;
class THandlerView;
class TLibFolder;

// What an update runs with: defaults for the folder and what is below it,
// and optionally a rescan of the real source ("Use &Real Source"), which may
// delete what it no longer finds. Stores nothing between runs.
class TfrmUpdate : public TPlacedDialog {
    Q_OBJECT
public:
    TfrmUpdate(TGlobalData& globals, THandlerList& handlers, ISettingsStore& store,
               QWidget* parent = nullptr);

    // Shows the dialog for the selected folder, starting from its source
    // path. On OK: the options (also written into the global data's scan
    // fields); FolderResult is the folder to rescan. Nothing on Cancel, or when
    // a rescan is asked for without a folder.
    std::optional<TScanOptions> Run(const TLibFolder* selected);

    // The steps of Run, for callers that show the dialog themselves.
    void PrepareShow(const QString& sourcePath);
    TScanOptions Options() const;
    QString FolderResult;

    void accept() override;

    void cbRealClick();
    void SpeedButton1Click();
    void tbCatClick();

    // The widgets tests fill in and read.
    QTabWidget* Pages() const { return pc; }
    QLineEdit* FolderEdit() const { return edFolder; }
    QLineEdit* SerialEdit() const { return edser; }
    QSpinBox* LevelsBox() const { return edLevels; }
    QCheckBox* RealSourceBox() const { return cbReal; }
    QCheckBox* DeleteMissingBox() const { return cbDel; }
    QToolButton* BrowseButton() const { return SpeedButton1; }
    const TDefaultsPage& DefaultsPage() const { return Defaults; }

private:
    QTabWidget* pc = nullptr;
    TDefaultsPage Defaults;
    QLineEdit* edFolder = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLineEdit* edser = nullptr;
    QSpinBox* edLevels = nullptr;
    QCheckBox* cbReal = nullptr;
    QCheckBox* cbDel = nullptr;
    QCheckBox* cbFoldersOnly = nullptr;
    THandlerView* lv_Ext = nullptr;

private:
    void ApplyRealState();

    TGlobalData& globals_;
};
