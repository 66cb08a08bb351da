#pragma once

#include "search/export.h"
#include "ui/dialog_common.h"

#include <QtWidgets/QStyle>
#include <vector>

class QCheckBox;
class QBoxLayout;
class QComboBox;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;
class QToolButton;

// Field order lists of the export and import dialogs: checkable items moved
// up and down with two buttons.
void FillFieldList(QListWidget* list, const std::vector<TFieldItem>& items);
std::vector<TFieldItem> FieldListItems(const QListWidget* list);
// Swaps the selected item with its neighbour (delta -1 up, +1 down).
void MoveFieldItem(QListWidget* list, int delta);
// The separator and qualifier drop-downs of both dialogs.
QComboBox* SeparatorCombo(QWidget* parent);
QComboBox* QualifierCombo(QWidget* parent);

// The file row and the "&Fields" page that the export and import dialogs share.
struct TFileAndFields {
    QLineEdit* File = nullptr;
    QToolButton* Browse = nullptr;
    QTabWidget* Pages = nullptr;
    QListWidget* Fields = nullptr;
    QToolButton* Up = nullptr;
    QToolButton* Down = nullptr;
};
TFileAndFields BuildFileAndFields(QWidget* dialog, QBoxLayout* top, const char* fileLabel,
                                  QStyle::StandardPixmap browseIcon, const char* listName);

// The export dialog: the columns, separator, qualifier and filters of a text
// export, kept in the settings under "frmExport" (read when shown, written
// when closed, on OK and Cancel alike). The caller runs the export on OK.
class TfrmExport : public TPlacedDialog {
    Q_OBJECT
public:
    explicit TfrmExport(ISettingsStore& store, QWidget* parent = nullptr);

    // Shows the dialog modally for a scope; true on OK. `catalogFile` is the
    // open catalog, which is refused as the target.
    bool Run(TExportScope scope, const std::string& catalogFile);
    // The choices in the controls, and back.
    TExportOptions Options() const;
    void SetOptions(const TExportOptions& o);
    TExportScope Scope() const { return scope_; }

    void accept() override;
    void done(int r) override;

    void btnBrowseClick();
    void cbFoldersClick();

    // The widgets tests fill in and read.
    QLineEdit* FileEdit() const { return edfile; }
    QTabWidget* Pages() const { return pc; }

private:
    QLineEdit* edfile = nullptr;
    QToolButton* btnBrowse = nullptr;
    QTabWidget* pc = nullptr;
    QListWidget* lbFields = nullptr;
    QToolButton* btnUp = nullptr;
    QToolButton* btnDown = nullptr;
    QComboBox* cbK = nullptr;
    QComboBox* cbSep = nullptr;
    QComboBox* cbTxtQ = nullptr;
    QCheckBox* cbFolders = nullptr;
    QCheckBox* cbFldProp = nullptr;
    QCheckBox* cbOnlyFld = nullptr;
    QCheckBox* cbLev = nullptr;
    QSpinBox* seLev = nullptr;
    QCheckBox* cbIndent = nullptr;
    QCheckBox* cbArch = nullptr;
    QPushButton* OKBtn = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    TExportScope scope_ = TExportScope::Library;
    std::string catalogFile_;
};
