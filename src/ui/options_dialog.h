#pragma once

#include "ui/dialog_common.h"

#include <array>
#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;
class TGlobalData;

// Edits the settings of the global data. It keeps nothing of its own: every
// showing loads the controls from the global data, OK stores them back.
class TfrmOptions : public TPlacedDialog {
    Q_OBJECT
public:
    TfrmOptions(TGlobalData& globals, ISettingsStore& store, QWidget* parent = nullptr);

    // Shows the dialog modally. True when the global data may have changed:
    // after OK, and after "Defaults" even when the dialog was then cancelled
    // (the defaults apply at once).
    static bool Execute(QWidget* parent, TGlobalData& globals, ISettingsStore& store);

    // The controls from the global data, and back.
    void LoadControls();
    void StoreControls();

    void accept() override;

    // Handlers of the controls.
    void btnResetClick();
    // Browse for the file of edit `tag` (0 images, 1 favorites, 2 locations,
    // 3 categories, 4 tags).
    void SpeedButton1Click(int tag);
    bool DefaultsApplied() const { return defaultsApplied_; }

    // The open dialog; replaceable so that tests need no file dialog.
    std::function<QString(QWidget* parent, const QString& start)> OpenDlg;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QWidget* Page(const char* name);
    // Makes the check boxes of `page` (by its name) and binds them to their settings.
    std::vector<QCheckBox*> MakeChecks(QWidget* page);
    void FitTexts();

    QTabWidget* pcOpt = nullptr;
    QPushButton* btnReset = nullptr;
    // View.
    QComboBox* cbK = nullptr;
    QComboBox* cbSep = nullptr;
    QLineEdit* edImg = nullptr;
    // Files.
    QLineEdit* edFav = nullptr;
    QLineEdit* edLoc = nullptr;
    QLineEdit* edCat = nullptr;
    QLineEdit* edTag = nullptr;

    // The file edits and their browse buttons by tag.
    std::array<QLineEdit*, 5> FileEdits{};
    std::array<QToolButton*, 5> BrowseButtons{};

    // Every check box and the setting it shows.
    std::vector<std::pair<QCheckBox*, bool TGlobalData::*>> checks_;

    TGlobalData& globals_;
    bool defaultsApplied_ = false;
};
