// The pages of the properties dialog: one builder per kind of target.
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "tags/tag_info.h"
#include "text/string_list.h"
#include "text/text_utils.h"
#include "ui/dialog_scan_pages.h"
#include "ui/multi_lang.h"
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
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>
#include <array>
#include <optional>
#include <string_view>
#include <system_error>
#include <unordered_set>

namespace {

QLineEdit* ReadOnlyEdit(QWidget* parent, const char* name) {
    QLineEdit* e = DlgEdit(parent, name);
    e->setReadOnly(true);
    return e;
}

QComboBox* ListCombo(QWidget* parent, const char* name) {
    QComboBox* c = DlgTextCombo(parent, name);
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

// A label named after its field ("lbl_" + the field's name), for the translation.
QLabel* FieldLabel(QWidget* parent, const char* text, QWidget* buddy) {
    QLabel* l = DlgLabel(parent, "", text, buddy);
    l->setObjectName(QStringLiteral("lbl_") + buddy->objectName());
    return l;
}

// A field and its label at (row, column) of a grid laid over a box.
void GridField(QGridLayout* grid, int row, int column, const char* text, QWidget* field) {
    grid->addWidget(FieldLabel(grid->parentWidget(), text, field), row, column);
    grid->addWidget(field, row, column + 1);
}

// The rows of a page's grid: a label, its field, and a button or nothing at the right.
class TFieldRows {
public:
    explicit TFieldRows(QWidget* page) : page_(page), grid_(new QGridLayout(page)) {}

    // A row of its own across every column (a picture).
    void Whole(QWidget* field) { grid_->addWidget(field, row_++, 0, 1, 3); }
    // A field that spans the value and button columns.
    void Wide(const char* text, QWidget* field) {
        grid_->addWidget(FieldLabel(page_, text, field), row_, 0);
        grid_->addWidget(field, row_++, 1, 1, 2);
    }
    void WithButton(const char* text, QWidget* field, QWidget* button) {
        grid_->addWidget(FieldLabel(page_, text, field), row_, 0);
        grid_->addWidget(field, row_, 1);
        grid_->addWidget(button, row_++, 2);
    }
    // Several lines high: the label and the button stay at the top.
    void Comments(QWidget* field, QWidget* button) {
        grid_->addWidget(FieldLabel(page_, "Co&mments:", field), row_, 0, Qt::AlignTop);
        grid_->addWidget(field, row_, 1);
        grid_->addWidget(button, row_++, 2, Qt::AlignTop);
    }
    // The two "update subitems" check boxes, side by side under the fields.
    void Checks(QWidget* update, QWidget* overwrite) {
        auto* checks = new QHBoxLayout;
        checks->addWidget(update);
        checks->addWidget(overwrite);
        checks->addStretch();
        grid_->addLayout(checks, row_++, 1, 1, 2);
    }
    // A box across all three columns.
    void Full(QWidget* box) { grid_->addWidget(box, row_++, 0, 1, 3); }
    // The fields take the spare width; the spare height stays below them.
    QWidget* Done() {
        grid_->setColumnStretch(1, 1);
        grid_->setRowStretch(row_, 1);
        return page_;
    }

private:
    QWidget* page_;
    QGridLayout* grid_;
    int row_ = 0;
};

// The fields the folder and file pages share, in their order on the page.
struct TEntryFields {
    QLineEdit*& Caption;
    QLineEdit*& Path;
    QComboBox*& Category;
    QPlainTextEdit*& Comments;
    QLineEdit*& Date;
    QLineEdit*& Size;
    QToolButton*& CategoryTool;
    QToolButton*& CommentsTool;

    // Makes them on `page` under `names`, in the order above.
    void Make(QWidget* page, const std::array<const char*, 8>& names) const {
        Caption = ReadOnlyEdit(page, names[0]);
        Path = ReadOnlyEdit(page, names[1]);
        Category = ListCombo(page, names[2]);
        Comments = CommentEdit(page, names[3]);
        Date = ReadOnlyEdit(page, names[4]);
        Size = ReadOnlyEdit(page, names[5]);
        CategoryTool = DlgTool(page, names[6], "Edit Categories (F2)");
        CommentsTool = DlgTool(page, names[7], "Edit Comments");
    }
    void AddRows(TFieldRows& rows) const {
        rows.Wide("Name:", Caption);
        rows.Wide("Path:", Path);
        rows.WithButton("&Category:", Category, CategoryTool);
        rows.Comments(Comments, CommentsTool);
        rows.Wide("Date:", Date);
        rows.Wide("Size:", Size);
    }
};

QWidget* NewPage(QWidget* parent, const char* name) {
    auto* page = new QWidget(parent);
    page->setObjectName(QLatin1String(name));
    return page;
}

} // namespace

QWidget* TfrmProperties::BuildLibraryPage() {
    QWidget* page = NewPage(pcProp, "tsLibrary");
    TFieldRows rows(page);
    libfile = ReadOnlyEdit(page, "libfile");
    libdate = ReadOnlyEdit(page, "libdate");
    libsize = ReadOnlyEdit(page, "libsize");
    LibCat = ListCombo(page, "LibCat");
    libCom = CommentEdit(page, "libCom");
    catButtons_[0] = DlgTool(page, "tbCatLib", "Edit Categories (F2)");
    editButtons_[0] = DlgTool(page, "tbEditLib", "Edit Comments");
    rows.Wide("File:", libfile);
    rows.Wide("Date:", libdate);
    rows.Wide("Size:", libsize);
    rows.WithButton("&Category:", LibCat, catButtons_[0]);
    rows.Comments(libCom, editButtons_[0]);

    auto* info = new QGroupBox(QStringLiteral("Contents"), page);
    info->setObjectName(QStringLiteral("gbInfo"));
    MarkTranslated(info);
    auto* ig = new QGridLayout(info);
    infoV = ReadOnlyEdit(info, "infoV");
    infoF = ReadOnlyEdit(info, "infoF");
    infoFi = ReadOnlyEdit(info, "infoFi");
    infoFis = ReadOnlyEdit(info, "infoFis");
    btnRefresh = DlgButton(info, "btnRefresh", "&Refresh");
    GridField(ig, 0, 0, "Volumes:", infoV);
    GridField(ig, 0, 2, "Folders:", infoF);
    GridField(ig, 1, 0, "Files:", infoFi);
    GridField(ig, 1, 2, "Total Size:", infoFis);
    infoMem = ReadOnlyEdit(info, "infoMem");
    GridField(ig, 2, 0, "Archive members:", infoMem);
    ig->addWidget(btnRefresh, 2, 3, Qt::AlignRight);
    ig->setColumnStretch(1, 1);
    ig->setColumnStretch(3, 1);
    rows.Full(info);
    return rows.Done();
}

QWidget* TfrmProperties::BuildVolumePage() {
    QWidget* page = NewPage(pcProp, "tsVolume");
    TFieldRows rows(page);
    volCaption = DlgEdit(page, "volCaption");
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
    rows.Wide("C&aption:", volCaption);
    rows.Wide("Path:", volpath);
    rows.WithButton("&Category:", volCat, catButtons_[1]);
    rows.Comments(volcom, editButtons_[1]);
    rows.WithButton("Locatio&n:", volLoc, tbLoc_);
    rows.Wide("Date:", voldate);
    rows.Wide("Size:", volsize);
    rows.Wide("Serial:", volser);
    rows.WithButton("&Drive:", volDrive, tbEditDrive);
    rows.Checks(cb_rec_vol, cb_rec_volow);
    return rows.Done();
}

QWidget* TfrmProperties::BuildFolderPage() {
    QWidget* page = NewPage(pcProp, "tsFolder");
    TFieldRows rows(page);
    const TEntryFields fields{catcaption, catpath, catcat,         catcom,
                              catDate,    catSize, catButtons_[2], editButtons_[2]};
    fields.Make(page, {"catcaption", "catpath", "catcat", "catcom", "catDate", "catSize",
                       "tbCatFol", "tbEditFol"});
    cb_rec_fol = DlgCheck(page, "cb_rec_fol", "&Update Subitems");
    cb_rec_folow = DlgCheck(page, "cb_rec_folow", "&Overwrite");
    fields.AddRows(rows);
    rows.Checks(cb_rec_fol, cb_rec_folow);
    return rows.Done();
}

QWidget* TfrmProperties::BuildFilePage() {
    QWidget* page = NewPage(pcProp, "tsFile");
    TFieldRows rows(page);
    const TEntryFields fields{filecaption, filepath, filecat,        filecom,
                              filedate,    filesize, catButtons_[3], editButtons_[3]};
    fields.Make(page, {"filecaption", "filepath", "filecat", "filecom", "filedate", "filesize",
                       "tbCatFile", "tbEditFile"});
    filethumb = new QLabel(page);
    filethumb->setObjectName(QStringLiteral("filethumb"));
    filethumb->setAlignment(Qt::AlignCenter);
    filethumb->hide();
    rows.Whole(filethumb);
    fields.AddRows(rows);
    return rows.Done();
}

QWidget* TfrmProperties::BuildTagsPage() {
    QWidget* page = NewPage(pcProp, "tsTags");
    auto* box = new QVBoxLayout(page);
    tbAdd = DlgTool(page, "tbAdd", "Add");
    tbDelete = DlgTool(page, "tbDelete", "Delete");
    DlgToolRow(box, {tbAdd, tbDelete});
    vle = DlgPairTable(page, "vle", "Name", "Value", 160);
    vle->setSelectionBehavior(QAbstractItemView::SelectRows);
    vle->setSelectionMode(QAbstractItemView::SingleSelection);
    box->addWidget(vle);
    return page;
}

// ---------------------------------------------------------------------------
// Filling
