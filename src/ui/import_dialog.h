#pragma once

#include "search/import.h"
#include "ui/dialog_common.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QToolButton;

// The import dialog: the file and the shape of its lines, kept in the
// settings under "frmImport". "Volume", "Path" and "Name" stay ticked.
class TfrmImport : public TPlacedDialog {
    Q_OBJECT
public:
    explicit TfrmImport(ISettingsStore& store, QWidget* parent = nullptr);

    // Shows the dialog modally; true on OK.
    bool Run();
    TImportOptions Options() const;
    void SetOptions(const TImportOptions& o);

    void done(int r) override;
    void btnBrowseClick();

    // The widgets tests fill in and read.
    QLineEdit* FileEdit() const { return edfile; }
    QListWidget* FieldList() const { return lb; }

private:
    QLineEdit* edfile = nullptr;
    QToolButton* btnBrowse = nullptr;
    QTabWidget* pc = nullptr;
    QListWidget* lb = nullptr;
    QToolButton* btnUp = nullptr;
    QToolButton* btnDown = nullptr;
    QComboBox* cbK = nullptr;
    QComboBox* cbSep = nullptr;
    QComboBox* cbTxtQ = nullptr;
    QPushButton* OKBtn = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void ForceRequired();
};
