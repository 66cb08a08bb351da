// The pages of the properties dialog: one builder per kind of target.
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "tags/tag_info.h"
#include "text/string_list.h"
#include "text/text_utils.h"
#include "ui/dialog_scan_pages.h"
#include "ui/pick_list_dialog.h"
#include "ui/properties_dialog.h"
#include "ui/text_edit_dialog.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QKeySequence>
#include <QtGui/QShortcut>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>
#include <optional>
#include <string_view>
#include <system_error>
#include <unordered_set>

namespace {

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    return e;
}

QComboBox* ListCombo(QWidget* parent, const char* name) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(16);
    return c;
}

// Comments keep their line breaks, so they are edited as a few lines of text.
QPlainTextEdit* CommentEdit(QWidget* parent, const char* name) {
    auto* e = new QPlainTextEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setTabChangesFocus(true);
    e->setFixedHeight(e->fontMetrics().lineSpacing() * 3 + 12);
    return e;
}

QString LabelName(const char* field) {
    return QStringLiteral("lbl_") + QLatin1String(field);
}

QLabel* FieldLabel(QWidget* parent, const char* field, const char* text, QWidget* buddy) {
    QLabel* l = DlgLabel(parent, "", text, buddy);
    l->setObjectName(LabelName(field));
    return l;
}

// A labelled field that spans the value and button columns.
void AddWideRow(QGridLayout* grid, int& row, QWidget* page, const char* field, const char* text,
                QWidget* w) {
    grid->addWidget(FieldLabel(page, field, text, w), row, 0);
    grid->addWidget(w, row++, 1, 1, 2);
}

} // namespace

QWidget* TfrmProperties::BuildLibraryPage() {
    auto* page = new QWidget(pcProp);
    page->setObjectName(QStringLiteral("tsLibrary"));
    auto* grid = new QGridLayout(page);
    libfile = ReadOnlyEdit(page, "libfile");
    libdate = ReadOnlyEdit(page, "libdate");
    libsize = ReadOnlyEdit(page, "libsize");
    LibCat = ListCombo(page, "LibCat");
    libCom = CommentEdit(page, "libCom");
    catButtons_[0] = DlgTool(page, "tbCatLib", "Edit Categories (F2)");
    editButtons_[0] = DlgTool(page, "tbEditLib", "Edit Comments");
    int row = 0;
    AddWideRow(grid, row, page, "libfile", "File:", libfile);
    AddWideRow(grid, row, page, "libdate", "Date:", libdate);
    AddWideRow(grid, row, page, "libsize", "Size:", libsize);
    grid->addWidget(FieldLabel(page, "LibCat", "&Category:", LibCat), row, 0);
    grid->addWidget(LibCat, row, 1);
    grid->addWidget(catButtons_[0], row++, 2);
    grid->addWidget(FieldLabel(page, "libCom", "Co&mments:", libCom), row, 0, Qt::AlignTop);
    grid->addWidget(libCom, row, 1);
    grid->addWidget(editButtons_[0], row++, 2, Qt::AlignTop);

    auto* info = new QGroupBox(QStringLiteral("Contents"), page);
    info->setObjectName(QStringLiteral("gbInfo"));
    auto* ig = new QGridLayout(info);
    infoV = ReadOnlyEdit(info, "infoV");
    infoF = ReadOnlyEdit(info, "infoF");
    infoFi = ReadOnlyEdit(info, "infoFi");
    infoFis = ReadOnlyEdit(info, "infoFis");
    btnRefresh = DlgButton(info, "btnRefresh", "&Refresh");
    ig->addWidget(FieldLabel(info, "infoV", "Volumes:", infoV), 0, 0);
    ig->addWidget(infoV, 0, 1);
    ig->addWidget(FieldLabel(info, "infoF", "Folders:", infoF), 0, 2);
    ig->addWidget(infoF, 0, 3);
    ig->addWidget(FieldLabel(info, "infoFi", "Files:", infoFi), 1, 0);
    ig->addWidget(infoFi, 1, 1);
    ig->addWidget(FieldLabel(info, "infoFis", "Total Size:", infoFis), 1, 2);
    ig->addWidget(infoFis, 1, 3);
    ig->addWidget(btnRefresh, 2, 3, Qt::AlignRight);
    ig->setColumnStretch(1, 1);
    ig->setColumnStretch(3, 1);
    grid->addWidget(info, row++, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* TfrmProperties::BuildVolumePage() {
    auto* page = new QWidget(pcProp);
    page->setObjectName(QStringLiteral("tsVolume"));
    auto* grid = new QGridLayout(page);
    volCaption = new QLineEdit(page);
    volCaption->setObjectName(QStringLiteral("volCaption"));
    volpath = ReadOnlyEdit(page, "volpath");
    volCat = ListCombo(page, "volCat");
    volcom = CommentEdit(page, "volcom");
    voldate = ReadOnlyEdit(page, "voldate");
    volsize = ReadOnlyEdit(page, "volsize");
    volLoc = ListCombo(page, "volLoc");
    volser = ReadOnlyEdit(page, "volser");
    volDrive = ReadOnlyEdit(page, "volDrive");
    catButtons_[1] = DlgTool(page, "tbCatVol", "Edit Categories (F2)");
    editButtons_[1] = DlgTool(page, "tbEditVol", "Edit Comments");
    tbLoc_ = DlgTool(page, "tbLoc", "Edit Locations (F4)");
    tbEditDrive = DlgTool(page, "tbEditDrive", "Edit Drive");
    tbEditDrive->defaultAction()->setCheckable(true);
    cb_rec_vol = DlgCheck(page, "cb_rec_vol", "&Update Subitems");
    cb_rec_volow = DlgCheck(page, "cb_rec_volow", "&Overwrite");
    int row = 0;
    AddWideRow(grid, row, page, "volCaption", "C&aption:", volCaption);
    AddWideRow(grid, row, page, "volpath", "Path:", volpath);
    grid->addWidget(FieldLabel(page, "volCat", "&Category:", volCat), row, 0);
    grid->addWidget(volCat, row, 1);
    grid->addWidget(catButtons_[1], row++, 2);
    grid->addWidget(FieldLabel(page, "volcom", "Co&mments:", volcom), row, 0, Qt::AlignTop);
    grid->addWidget(volcom, row, 1);
    grid->addWidget(editButtons_[1], row++, 2, Qt::AlignTop);
    grid->addWidget(FieldLabel(page, "volLoc", "&Location:", volLoc), row, 0);
    grid->addWidget(volLoc, row, 1);
    grid->addWidget(tbLoc_, row++, 2);
    AddWideRow(grid, row, page, "voldate", "Date:", voldate);
    AddWideRow(grid, row, page, "volsize", "Size:", volsize);
    AddWideRow(grid, row, page, "volser", "Serial:", volser);
    grid->addWidget(FieldLabel(page, "volDrive", "&Drive:", volDrive), row, 0);
    grid->addWidget(volDrive, row, 1);
    grid->addWidget(tbEditDrive, row++, 2);
    auto* checks = new QHBoxLayout;
    checks->addWidget(cb_rec_vol);
    checks->addWidget(cb_rec_volow);
    checks->addStretch();
    grid->addLayout(checks, row++, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* TfrmProperties::BuildFolderPage() {
    auto* page = new QWidget(pcProp);
    page->setObjectName(QStringLiteral("tsFolder"));
    auto* grid = new QGridLayout(page);
    catcaption = ReadOnlyEdit(page, "catcaption");
    catpath = ReadOnlyEdit(page, "catpath");
    catcat = ListCombo(page, "catcat");
    catcom = CommentEdit(page, "catcom");
    catDate = ReadOnlyEdit(page, "catDate");
    catSize = ReadOnlyEdit(page, "catSize");
    catButtons_[2] = DlgTool(page, "tbCatFol", "Edit Categories (F2)");
    editButtons_[2] = DlgTool(page, "tbEditFol", "Edit Comments");
    cb_rec_fol = DlgCheck(page, "cb_rec_fol", "&Update Subitems");
    cb_rec_folow = DlgCheck(page, "cb_rec_folow", "&Overwrite");
    int row = 0;
    AddWideRow(grid, row, page, "catcaption", "Name:", catcaption);
    AddWideRow(grid, row, page, "catpath", "Path:", catpath);
    grid->addWidget(FieldLabel(page, "catcat", "&Category:", catcat), row, 0);
    grid->addWidget(catcat, row, 1);
    grid->addWidget(catButtons_[2], row++, 2);
    grid->addWidget(FieldLabel(page, "catcom", "Co&mments:", catcom), row, 0, Qt::AlignTop);
    grid->addWidget(catcom, row, 1);
    grid->addWidget(editButtons_[2], row++, 2, Qt::AlignTop);
    AddWideRow(grid, row, page, "catDate", "Date:", catDate);
    AddWideRow(grid, row, page, "catSize", "Size:", catSize);
    auto* checks = new QHBoxLayout;
    checks->addWidget(cb_rec_fol);
    checks->addWidget(cb_rec_folow);
    checks->addStretch();
    grid->addLayout(checks, row++, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* TfrmProperties::BuildFilePage() {
    auto* page = new QWidget(pcProp);
    page->setObjectName(QStringLiteral("tsFile"));
    auto* grid = new QGridLayout(page);
    filecaption = ReadOnlyEdit(page, "filecaption");
    filepath = ReadOnlyEdit(page, "filepath");
    filecat = ListCombo(page, "filecat");
    filecom = CommentEdit(page, "filecom");
    filedate = ReadOnlyEdit(page, "filedate");
    filesize = ReadOnlyEdit(page, "filesize");
    catButtons_[3] = DlgTool(page, "tbCatFile", "Edit Categories (F2)");
    editButtons_[3] = DlgTool(page, "tbEditFile", "Edit Comments");
    int row = 0;
    AddWideRow(grid, row, page, "filecaption", "Name:", filecaption);
    AddWideRow(grid, row, page, "filepath", "Path:", filepath);
    grid->addWidget(FieldLabel(page, "filecat", "&Category:", filecat), row, 0);
    grid->addWidget(filecat, row, 1);
    grid->addWidget(catButtons_[3], row++, 2);
    grid->addWidget(FieldLabel(page, "filecom", "Co&mments:", filecom), row, 0, Qt::AlignTop);
    grid->addWidget(filecom, row, 1);
    grid->addWidget(editButtons_[3], row++, 2, Qt::AlignTop);
    AddWideRow(grid, row, page, "filedate", "Date:", filedate);
    AddWideRow(grid, row, page, "filesize", "Size:", filesize);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* TfrmProperties::BuildTagsPage() {
    auto* page = new QWidget(pcProp);
    page->setObjectName(QStringLiteral("tsTags"));
    auto* box = new QVBoxLayout(page);
    auto* bar = new QHBoxLayout;
    tbAdd = DlgTool(page, "tbAdd", "Add");
    tbDelete = DlgTool(page, "tbDelete", "Delete");
    bar->addWidget(tbAdd);
    bar->addWidget(tbDelete);
    bar->addStretch();
    box->addLayout(bar);
    vle = new QTableWidget(0, 2, page);
    vle->setObjectName(QStringLiteral("vle"));
    vle->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
    vle->horizontalHeader()->setStretchLastSection(true);
    vle->verticalHeader()->setVisible(false);
    vle->verticalHeader()->setDefaultSectionSize(vle->fontMetrics().height() + 8);
    vle->setColumnWidth(0, 160);
    vle->setSelectionBehavior(QAbstractItemView::SelectRows);
    vle->setSelectionMode(QAbstractItemView::SingleSelection);
    box->addWidget(vle);
    return page;
}

// ---------------------------------------------------------------------------
// Filling
