#include "ui/dialog_scan_pages.h"

#include "catalog/scan_ops.h"
#include "settings/global_data.h"
#include "text/string_list.h"
#include "ui/dialog_common.h"
#include "ui/dialog_handler_view.h"
#include "ui/text_edit_dialog.h"

#include <QtCore/QDir>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

TDefaultsPage BuildDefaultsPage(QWidget* parent, bool withLocation) {
    TDefaultsPage p;
    p.Page = new QWidget(parent);
    p.Page->setObjectName(QStringLiteral("tsProperties"));
    auto* grid = new QGridLayout(p.Page);
    p.filecat = DlgTextCombo(p.Page, "filecat");
    p.tbCat = DlgTool(p.Page, "tbCat", "Edit Categories (F2)");
    p.filecom = DlgEdit(p.Page, "filecom");
    int row = 0;
    DlgGridField(grid, row, 0, "lblCat", "&Category:", p.filecat);
    grid->addWidget(p.tbCat, row++, 2);
    grid->addWidget(DlgLabel(p.Page, "lblCom", "Com&ments:", p.filecom), row, 0);
    grid->addWidget(p.filecom, row++, 1, 1, 2);
    if (withLocation) {
        p.volLoc = DlgTextCombo(p.Page, "volLoc");
        p.tbLoc = DlgTool(p.Page, "tbLoc", "Edit Locations (F3)");
        DlgGridField(grid, row, 0, "lblLoc", "&Location:", p.volLoc);
        grid->addWidget(p.tbLoc, row++, 2);
    }
    p.cbAddFolders = DlgCheck(p.Page, "cbAddFolders", "&Add to Folders");
    p.cbAddFiles = DlgCheck(p.Page, "cbAddFiles", "Add to &Files");
    grid->addWidget(p.cbAddFolders, row++, 1, 1, 2);
    grid->addWidget(p.cbAddFiles, row++, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return p;
}

template <class T> void TDefaultsPage::ReadInto(T& to) const {
    to.DefaultCategory = Ss(filecat->currentText());
    to.DefaultComments = Ss(filecom->text());
    if (volLoc) to.DefaultLocation = Ss(volLoc->currentText());
    to.DefaultsToFolders = cbAddFolders->isChecked();
    to.DefaultsToFiles = cbAddFiles->isChecked();
}

template void TDefaultsPage::ReadInto(TScanOptions&) const;
template void TDefaultsPage::ReadInto(TGlobalData&) const;

QLineEdit* MakeSerialEdit(QWidget* parent) {
    QLineEdit* e = DlgEdit(parent, "edser");
    e->setReadOnly(true);
    return e;
}

QSpinBox* MakeLevelsBox(QWidget* parent) {
    auto* b = new QSpinBox(parent);
    b->setObjectName(QStringLiteral("edLevels"));
    b->setRange(0, 65535);
    return b;
}

THandlerView* AddHandlersPage(QTabWidget* pages, THandlerList& handlers, ISettingsStore& store) {
    auto* page = new QWidget(pages);
    page->setObjectName(QStringLiteral("tsHandlers"));
    auto* box = new QVBoxLayout(page);
    auto* view = new THandlerView(handlers, store, page);
    // The Thumbnails handler's row, at hand: it is off until the user wants pictures.
    auto* thumbs = DlgCheck(page, "cbThumbs", "Make &thumbnails of photos and videos");
    auto sync = [&handlers, thumbs] {
        THandlerPtr h = handlers.Find(kThumbnailsTitle);
        QSignalBlocker block(thumbs);
        thumbs->setEnabled(h != nullptr);
        thumbs->setChecked(h && h->Active);
    };
    sync();
    QObject::connect(thumbs, &QCheckBox::toggled, view, [&handlers, view](bool on) {
        handlers.Check(handlers.Find(kThumbnailsTitle), on);
        for (int row = 0; THandlerPtr h = view->RowHandler(row); ++row)
            if (SameText(h->Title, kThumbnailsTitle)) view->CheckRow(row, on);
    });
    QObject::connect(view, &QTreeWidget::itemChanged, thumbs, sync);
    box->addWidget(thumbs);
    box->addWidget(view);
    pages->addTab(page, QStringLiteral("&Handlers"));
    return view;
}

void FillListCombo(QComboBox* combo, const TStringList& list) {
    QString text = combo->currentText();
    combo->clear();
    for (const auto& s : list.Lines())
        combo->addItem(Qs(s));
    combo->setCurrentIndex(-1);
    combo->setCurrentText(text);
}

bool EditSharedList(QWidget* parent, ISettingsStore& store, const QString& what, TStringList& list,
                    const QString& file) {
    return TfrmTextEdit::EditList(parent, store, what + QStringLiteral(" - ") + file, list);
}

QString BrowseFolder(QWidget* parent, const QString& caption, const QString& start) {
    QString dir = QFileDialog::getExistingDirectory(parent, caption, start);
    if (dir.isEmpty()) return {};
    // Folder paths handed to the scan end in the separator.
    dir = QDir::toNativeSeparators(dir);
    if (!dir.endsWith(QDir::separator())) dir += QDir::separator();
    return dir;
}
