#pragma once

#include "search/import.h"
#include "ui/export_dialog.h"

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
    QLineEdit* FileEdit() const { return parts_.File; }
    QListWidget* FieldList() const { return parts_.Fields; }

private:
    TTextFileParts parts_;
    QPushButton* OKBtn = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void ForceRequired();
};
