#pragma once

#include "search/export.h"
#include "ui/dialog_common.h"
#include "ui/ui_questions.h"

#include <QtWidgets/QStyle>
#include <functional>

class QCheckBox;
class QBoxLayout;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;
class QToolButton;

// The file row, the "&Fields" page and the start of the "&Options" page that
// the export and import dialogs share. The field list holds checkable items
// that two buttons move up and down.
struct TTextFileParts {
    QLineEdit* File = nullptr;
    QToolButton* Browse = nullptr;
    QTabWidget* Pages = nullptr;
    QListWidget* Fields = nullptr;
    QToolButton* Up = nullptr;
    QToolButton* Down = nullptr;
    QWidget* Options = nullptr;
    QGridLayout* OptionsGrid = nullptr;
    QComboBox* SizeUnit = nullptr;
    QComboBox* Separator = nullptr;
    QComboBox* Qualifier = nullptr;

    // Labels the size unit, the separator and the qualifier in the first rows
    // of the options grid; gives the next free row.
    int AddOptionRows() const;
    // Adds the options page, its rows from `endRow` on left empty, and the pages to `top`.
    void AddPages(QBoxLayout* top, int endRow) const;
    // OK only with a file name; Browse and F4 call `browse`; the arrows move the selected field.
    void Connect(QWidget* dialog, QPushButton* ok, const std::function<void()>& browse) const;
    // Asks for the file, starting at the one named; a file picked goes into the file row.
    void ChooseFile(IUiQuestions& questions, TFileQuestion question) const;
    // The choices both dialogs have, from the controls and back.
    template <class TOptions> void Read(TOptions& o) const;
    template <class TOptions> void Show(const TOptions& o) const;
};
TTextFileParts BuildTextFileParts(QWidget* dialog, QBoxLayout* top, const char* fileLabel,
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
    QLineEdit* FileEdit() const { return parts_.File; }
    QTabWidget* Pages() const { return parts_.Pages; }

private:
    TTextFileParts parts_;
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
