#include "ui/properties_dialog.h"

#include "catalog/catalog_edits.h"
#include "catalog/catalog_thumbs.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "tags/tag_info.h"
#include "text/string_list.h"
#include "text/text_utils.h"
#include "ui/dialog_scan_pages.h"
#include "ui/pick_list_dialog.h"
#include "ui/text_edit_dialog.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QAction>
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

// Joined names and paths stop here: a selection of a whole large folder would
// otherwise make a line edit of megabytes.
constexpr int kMaxJoined = 1000;

// The tag grid keeps the stored key of each row it was filled with, so that a
// caption that several keys share still writes back to the right key.
constexpr int kKeyRole = Qt::UserRole + 1;

// Writes value into a text field when its control was changed; true when the
// stored text differed.
template <typename S> bool Put(S& field, bool marked, const std::string& value) {
    if (!marked || std::string_view(field) == value) return false;
    field = value;
    return true;
}

QString DateText(TDateTime d) {
    return Qs(FormatDateTime(d));
}

// A merged text: the first value, empty as soon as another differs.
template <typename T> struct TMerged {
    T Value{};
    bool Set = false;
    bool Same = true;
    void Add(const T& v) {
        if (!Set) {
            Value = v;
            Set = true;
        } else if (Same && !(v == Value)) {
            Same = false;
        }
    }
    bool Shared() const { return Set && Same; }
};

} // namespace

// ---------------------------------------------------------------------------
// Size threads

bool TSizeJob::Start(const TLibObj& lib, std::vector<const TTreeNode*> nodes) {
    Stop();
    stop_.store(false);
    finished_.store(false);
    total_.store(0);
    try {
        thread_ = std::thread([this, &lib, nodes = std::move(nodes)] {
            int64_t base = 0;
            try {
                auto progress = [&](int64_t t) { total_.store(base + t); };
                if (nodes.empty()) {
                    base = TotalFileSize(lib, nullptr, stop_, progress);
                } else {
                    for (const TTreeNode* n : nodes) {
                        if (stop_.load()) break;
                        base += TotalFileSize(lib, n, stop_, progress);
                        total_.store(base);
                    }
                }
                total_.store(base);
            } catch (...) {
                // A total that could not be made leaves its field as it was.
            }
            finished_.store(true);
        });
    } catch (const std::system_error&) {
        finished_.store(true);
        return false;
    }
    return true;
}

void TSizeJob::Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
}

// ---------------------------------------------------------------------------
// Building

TfrmProperties::TfrmProperties(TGlobalData& globals, ISettingsStore& store, QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmProperties"), store, parent), globals_(globals) {
    setWindowTitle(QStringLiteral("Properties"));
    auto* top = new QVBoxLayout(this);
    pcProp = new QTabWidget(this);
    pcProp->setObjectName(QStringLiteral("pcProp"));
    pcProp->addTab(BuildLibraryPage(), QStringLiteral("&Library"));
    pcProp->addTab(BuildVolumePage(), QStringLiteral("&Volume"));
    pcProp->addTab(BuildFolderPage(), QStringLiteral("&Folder"));
    pcProp->addTab(BuildFilePage(), QStringLiteral("F&ile"));
    pcProp->addTab(BuildTagsPage(), QStringLiteral("&Tags"));
    top->addWidget(pcProp);
    top->addWidget(MakeButtons(true));
    resize(520, 440);

    // The buttons beside the fields take one width, so the fields line up.
    for (QToolButton* b :
         {catButtons_[0], catButtons_[1], catButtons_[2], catButtons_[3], editButtons_[0],
          editButtons_[1], editButtons_[2], editButtons_[3], tbLoc_, tbEditDrive})
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    sizeTimer_ = new QTimer(this);
    sizeTimer_->setInterval(50);
    connect(sizeTimer_, &QTimer::timeout, this, &TfrmProperties::ShowSizeTotals);

    for (size_t i = 0; i < catButtons_.size(); ++i)
        connect(catButtons_[i], &QToolButton::triggered, this, &TfrmProperties::tbCatLibClick);
    connect(tbLoc_, &QToolButton::triggered, this, &TfrmProperties::tbLocClick);
    for (size_t i = 0; i < editButtons_.size(); ++i)
        connect(editButtons_[i], &QToolButton::triggered, this,
                [this, i] { tbEditClick(static_cast<int>(i)); });
    connect(tbEditDrive, &QToolButton::triggered, this, &TfrmProperties::tbEditDriveClick);
    connect(btnRefresh, &QPushButton::clicked, this, &TfrmProperties::btnRefreshClick);
    connect(tbAdd, &QToolButton::triggered, this, &TfrmProperties::tbAddClick);
    connect(tbDelete, &QToolButton::triggered, this, &TfrmProperties::tbDeleteClick);
    connect(cb_rec_vol, &QCheckBox::toggled, this, &TfrmProperties::UpdateOverwriteBoxes);
    connect(cb_rec_fol, &QCheckBox::toggled, this, &TfrmProperties::UpdateOverwriteBoxes);
    DlgKey(this, Qt::Key_F2, &TfrmProperties::tbCatLibClick);
    DlgKey(this, Qt::Key_F4, &TfrmProperties::tbLocClick);
}

TfrmProperties::~TfrmProperties() {
    StopSizeThreads();
}

QString TfrmProperties::FormatBytes(int64_t bytes) const {
    return Qs(FormatSize(globals_.Sizes, static_cast<int64_t>(bytes), GetMessageText("infoStrKB"),
                         GetMessageText("infoStrMB")));
}

QString TfrmProperties::EditableText(int which) const {
    switch (which) {
    case eLibCat:
        return LibCat->currentText();
    case eLibCom:
        return libCom->toPlainText();
    case eVolCaption:
        return volCaption->text();
    case eVolCat:
        return volCat->currentText();
    case eVolCom:
        return volcom->toPlainText();
    case eVolLoc:
        return volLoc->currentText();
    case eVolDrive:
        return volDrive->text();
    case eCatCat:
        return catcat->currentText();
    case eCatCom:
        return catcom->toPlainText();
    case eFileCat:
        return filecat->currentText();
    case eFileCom:
        return filecom->toPlainText();
    default:
        return {};
    }
}

void TfrmProperties::FillCategoryCombos() {
    for (QComboBox* c : {LibCat, volCat, catcat, filecat})
        FillListCombo(c, globals_.GlobalCategories);
}

void TfrmProperties::ClearFields() {
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        // The combo boxes' own line edits are cleared through their boxes.
        if (!qobject_cast<QComboBox*>(e->parentWidget())) e->clear();
    }
    for (QPlainTextEdit* e : {libCom, volcom, catcom, filecom})
        e->clear();
    for (QComboBox* c : {LibCat, volCat, catcat, filecat, volLoc})
        c->setCurrentText(QString());
    FillCategoryCombos();
    FillListCombo(volLoc, globals_.GlobalLocations);
    marks_.fill(false);
    volDrive->setReadOnly(true);
    tbEditDrive->defaultAction()->setChecked(false);
    vle->setRowCount(0);
    rawTags_.clear();
    shownTags_.clear();
    for (QCheckBox* c : {cb_rec_vol, cb_rec_volow, cb_rec_fol, cb_rec_folow})
        c->setChecked(false);
    UpdateOverwriteBoxes();
    shownTotals_.fill(-1);
}

void TfrmProperties::UpdateOverwriteBoxes() {
    cb_rec_volow->setEnabled(cb_rec_vol->isChecked());
    cb_rec_folow->setEnabled(cb_rec_fol->isChecked());
}

void TfrmProperties::ShowCounters() {
    infoV->setText(QString::number(lib_->VolumeCount));
    const TCatalogTotals& t = lib_->Totals;
    infoF->setText(QString::number(t.Folders));
    infoFi->setText(QString::number(t.Files));
    infoMem->setText(QString::number(t.Members));
    infoFis->setText(FormatBytes(t.Bytes));
}

void TfrmProperties::FillLibrary() {
    TLibObj& lib = *lib_;
    LibCat->setCurrentText(Qs(lib.Category));
    libCom->setPlainText(Qs(lib.Comments));
    if (!lib.CountsValid) lib.Recount();
    ShowCounters();
    if (lib.FileName.empty()) return;
    libfile->setText(Qs(lib.FileName));
    QFileInfo fi(Qs(lib.FileName));
    if (fi.exists()) {
        libdate->setText(fi.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        libsize->setText(FormatBytes(fi.size()));
    }
}

void TfrmProperties::FillEntries() {
    const auto& entries = target_.Entries;
    if (entries.empty()) return;
    int64_t sum = 0;
    QStringList names, paths;
    TMerged<TDateTime> date;
    TMerged<std::string_view> comments, category;
    bool first = true;
    for (const TLibFolderItem* e : entries) {
        sum += e->Size;
        if (names.size() < kMaxJoined) {
            names << Qs(e->Caption.view());
            paths << (e->Owner ? Qs(GetDisplayPath(e->Owner)) : QString()) + Qs(e->Caption.view());
        } else if (names.size() == kMaxJoined) {
            names << QStringLiteral("...");
            paths << QStringLiteral("...");
        }
        date.Add(e->Date);
        comments.Add(e->Comments.view());
        category.Add(e->Category.view());
        // Only lines every entry holds survive; once none is left none can come
        // back (an entry without tags must not take another's).
        if (first)
            rawTags_ = e->TagInfo.Values();
        else if (!rawTags_.empty())
            CommonValues(e->TagInfo.Values(), rawTags_);
        first = false;
    }
    filecaption->setText(names.join(QStringLiteral("; ")));
    filepath->setText(paths.join(QStringLiteral("; ")));
    // One photo or video: its picture from the catalog's thumbnails.
    TThumbnail thumb;
    QPixmap picture;
    if (entries.size() == 1 && lib_ && TCatalogThumbs(*lib_).Find(entries[0], thumb))
        picture.loadFromData(reinterpret_cast<const uchar*>(thumb.Data.data()),
                             static_cast<uint>(thumb.Data.size()), "JPEG");
    filethumb->setPixmap(picture);
    filethumb->setVisible(!picture.isNull());
    filesize->setText(FormatBytes(sum));
    if (date.Shared()) filedate->setText(DateText(date.Value));
    if (comments.Shared()) filecom->setPlainText(Qs(comments.Value));
    if (category.Shared()) filecat->setCurrentText(Qs(category.Value));
}

void TfrmProperties::FillNodes() {
    const auto& nodes = target_.Nodes;
    if (nodes.empty()) return;
    int64_t sum = 0;
    QStringList names;
    TMerged<TDateTime> date;
    TMerged<std::string_view> comments, category;
    for (const TTreeNode* n : nodes) {
        const TLibFolder* f = FolderOf(n);
        if (!f) continue;
        sum += DirectItemsSize(f);
        if (names.size() < kMaxJoined)
            names << Qs(f->Caption);
        else if (names.size() == kMaxJoined)
            names << QStringLiteral("...");
        date.Add(f->Date);
        comments.Add(f->Comments);
        category.Add(f->Category);
    }
    const TLibFolder* last = FolderOf(nodes.back());
    if (last) catpath->setText(Qs(GetDisplayPath(last->Parent ? last->Parent : last)));
    catcaption->setText(names.join(QStringLiteral("; ")));
    catSize->setText(FormatBytes(sum));
    if (date.Shared()) catDate->setText(DateText(date.Value));
    if (comments.Shared()) catcom->setPlainText(Qs(comments.Value));
    if (category.Shared()) catcat->setCurrentText(Qs(category.Value));
}

void TfrmProperties::FillVolume() {
    const TLibFolder* f = FolderOf(volumeNode_);
    if (!f) return;
    volser->setText(Qs(f->Serial));
    volCaption->setText(Qs(f->Caption));
    voldate->setText(DateText(f->Date));
    volcom->setPlainText(Qs(f->Comments));
    volCat->setCurrentText(Qs(f->Category));
    volpath->setText(Qs(GetDisplayPath(f)));
    volLoc->setCurrentText(Qs(f->Location));
    volDrive->setText(Qs(f->SourcePath));
}

void TfrmProperties::FillTags() {
    ToCaptions(rawTags_, shownTags_, globals_.TagNames);
    vle->setRowCount(static_cast<int>(shownTags_.size()));
    for (size_t i = 0; i < shownTags_.size(); ++i) {
        auto* name = new QTableWidgetItem(Qs(TagLineName(shownTags_[i])));
        name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        name->setData(kKeyRole, Qs(TagLineName(rawTags_[i])));
        vle->setItem(static_cast<int>(i), 0, name);
        vle->setItem(static_cast<int>(i), 1, new QTableWidgetItem(Qs(TagLineValue(shownTags_[i]))));
    }
}

void TfrmProperties::Fill(TLibObj& lib, const TPropertiesTarget& target) {
    StopSizeThreads();
    lib_ = &lib;
    target_ = target;
    if (target_.LibraryOnly) {
        target_.Nodes.clear();
        target_.Entries.clear();
        target_.ListFolder = nullptr;
    }
    changed_ = false;
    volumeNode_ = nullptr;
    if (!target_.Nodes.empty())
        volumeNode_ = RootNode(target_.Nodes.front());
    else if (target_.ListFolder && target_.ListFolder->Node)
        volumeNode_ = RootNode(target_.ListFolder->Node);
    else if (!target_.Entries.empty() && target_.Entries.front()->Owner &&
             target_.Entries.front()->Owner->Node)
        volumeNode_ = RootNode(target_.Entries.front()->Owner->Node);

    ClearFields();
    FillLibrary();
    FillEntries();
    FillNodes();
    FillVolume();
    FillTags();
    for (int i = 0; i < kEditableCount; ++i)
        snapshot_[static_cast<size_t>(i)] = EditableText(i);

    // Pages without anything to show are disabled.
    pcProp->setTabEnabled(kLibraryPage, true);
    pcProp->setTabEnabled(kVolumePage, volumeNode_ != nullptr);
    pcProp->setTabEnabled(kFolderPage, !target_.Nodes.empty());
    pcProp->setTabEnabled(kFilePage, !target_.Entries.empty());
    pcProp->setTabEnabled(kTagsPage, !target_.Entries.empty());
    int page = target_.Page;
    if (page < 0 || page >= pcProp->count() || !pcProp->isTabEnabled(page)) page = kLibraryPage;
    pcProp->setCurrentIndex(page);

    StartSizeThreads();
}

void TfrmProperties::StartSizeThreads() {
    // A failure to start leaves the field as filled.
    auto start = [this](size_t i, std::vector<const TTreeNode*> nodes) {
        auto job = std::make_unique<TSizeJob>();
        if (job->Start(*lib_, std::move(nodes))) sizeJobs_[i] = std::move(job);
    };
    start(0, {});
    if (volumeNode_) start(1, {volumeNode_});
    if (!target_.Nodes.empty()) {
        // A node below another selected node is already in that node's total.
        std::unordered_set<const TTreeNode*> selected(target_.Nodes.begin(), target_.Nodes.end());
        std::vector<const TTreeNode*> tops;
        for (const TTreeNode* n : target_.Nodes) {
            bool below = false;
            for (const TTreeNode* p = n->Parent(); p && !below; p = p->Parent())
                below = selected.count(p) > 0;
            if (!below) tops.push_back(n);
        }
        // Each node once, even when the caller listed it twice.
        std::unordered_set<const TTreeNode*> seen;
        std::erase_if(tops, [&](const TTreeNode* n) { return !seen.insert(n).second; });
        start(2, std::move(tops));
    }
    sizeTimer_->start();
}

void TfrmProperties::ShowSizeTotals() {
    QLineEdit* fields[] = {infoFis, volsize, catSize};
    bool running = false;
    for (size_t i = 0; i < sizeJobs_.size(); ++i) {
        const TSizeJob* job = sizeJobs_[i].get();
        if (!job) continue;
        bool finished = job->Finished(); // before the total: a finished total is final
        int64_t total = job->Total();
        if (!finished) running = true;
        if (total != shownTotals_[i] && (finished || total > 0)) {
            shownTotals_[i] = total;
            fields[i]->setText(FormatBytes(total));
        }
    }
    if (!running) sizeTimer_->stop();
}

void TfrmProperties::StopSizeThreads() {
    if (sizeTimer_) sizeTimer_->stop();
    for (auto& job : sizeJobs_)
        if (job) job->Stop();
}

bool TfrmProperties::SizeThreadsRunning() const {
    for (const auto& job : sizeJobs_)
        if (job && job->Started()) return true;
    return false;
}

// ---------------------------------------------------------------------------
// Commands

void TfrmProperties::btnRefreshClick() {
    if (!lib_) return;
    // Recount only reads the tree; the size threads may go on meanwhile.
    lib_->Recount();
    ShowCounters();
    // The total field belongs to its size thread once that one has a result.
    if (shownTotals_[0] >= 0) infoFis->setText(FormatBytes(shownTotals_[0]));
}

void TfrmProperties::tbCatLibClick() {
    if (EditSharedList(this, Store(), DlgHintText(catButtons_[0]), globals_.GlobalCategories,
                       Qs(globals_.CategoriesFile)))
        FillCategoryCombos();
}

void TfrmProperties::tbLocClick() {
    if (EditSharedList(this, Store(), DlgHintText(tbLoc_), globals_.GlobalLocations,
                       Qs(globals_.LocationsFile)))
        FillListCombo(volLoc, globals_.GlobalLocations);
}

void TfrmProperties::tbEditClick(int page) {
    QPlainTextEdit* fields[] = {libCom, volcom, catcom, filecom};
    QLineEdit* captions[] = {libfile, volCaption, catcaption, filecaption};
    if (page < 0 || page > 3) return;
    QString caption = DlgHintText(editButtons_[static_cast<size_t>(page)]) + QStringLiteral(" - ") +
                      captions[page]->text();
    std::optional<QString> text =
        TfrmTextEdit::EditText(this, Store(), caption, fields[page]->toPlainText());
    if (text) fields[page]->setPlainText(*text);
}

void TfrmProperties::tbEditDriveClick() {
    bool editable = volDrive->isReadOnly();
    volDrive->setReadOnly(!editable);
    tbEditDrive->defaultAction()->setChecked(editable);
    if (editable) volDrive->setFocus();
}

void TfrmProperties::tbAddClick() {
    std::vector<std::string> captions;
    CaptionsOnly(globals_.TagNames.Lines(), captions);
    std::optional<std::vector<std::string>> picked =
        TfrmPickList::Pick(this, Store(), DlgHintText(tbAdd), captions);
    if (!picked) return;
    for (const std::string& name : *picked) {
        if (name.empty()) continue;
        QString q = Qs(name);
        bool present = false;
        for (int r = 0; r < vle->rowCount() && !present; ++r)
            present =
                vle->item(r, 0) && vle->item(r, 0)->text().compare(q, Qt::CaseInsensitive) == 0;
        if (present) continue;
        int row = vle->rowCount();
        vle->insertRow(row);
        auto* item = new QTableWidgetItem(q);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        vle->setItem(row, 0, item);
        vle->setItem(row, 1, new QTableWidgetItem(QString()));
        vle->setCurrentCell(row, 1);
    }
}

void TfrmProperties::tbDeleteClick() {
    int row = vle->currentRow();
    if (row >= 0) vle->removeRow(row);
}

std::vector<std::string> TfrmProperties::GridLines() const {
    std::vector<std::string> out;
    for (int r = 0; r < vle->rowCount(); ++r) {
        QString name = vle->item(r, 0) ? vle->item(r, 0)->text() : QString();
        QString value = vle->item(r, 1) ? vle->item(r, 1)->text() : QString();
        // A value is one line: a line break would split the stored line.
        value.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        out.push_back(Ss(name) + "=" + Ss(value));
    }
    return out;
}

// ---------------------------------------------------------------------------
// Writing

bool TfrmProperties::WriteChanges() {
    // Nothing may read the catalog on another thread while it is written.
    StopSizeThreads();
    changed_ = false;
    if (!lib_) return false;
    TLibObj& lib = *lib_;
    for (int i = 0; i < kEditableCount; ++i)
        marks_[static_cast<size_t>(i)] = EditableText(i) != snapshot_[static_cast<size_t>(i)];
    auto text = [this](int i) { return Ss(EditableText(i)); };
    // The marked fields of a category and comments pair, for the shared rules.
    auto markedTexts = [&](int cat, int com) {
        TTextEdit edit;
        if (Marked(cat)) edit.Category = text(cat);
        if (Marked(com)) edit.Comments = text(com);
        return edit;
    };

    // Tags: captions back to keys. Rows that came from the entries keep the key
    // they were read with (a caption may name several keys); rows added here
    // take the key their caption names.
    std::vector<std::string> edited;
    for (const std::string& line : GridLines()) {
        const QTableWidgetItem* name = vle->item(static_cast<int>(edited.size()), 0);
        QString key = name ? name->data(kKeyRole).toString() : QString();
        if (!key.isEmpty()) {
            edited.push_back(Ss(key) + "=" + std::string(TagLineValue(line)));
            continue;
        }
        std::vector<std::string> one;
        FromCaptions({line}, one, globals_.TagNames);
        edited.push_back(one.empty() ? std::string() : one.front());
    }
    // Keys the user deleted from the grid leave the entries too.
    std::vector<std::string> removed;
    for (const std::string& raw : rawTags_) {
        std::string_view key = TagLineName(raw);
        bool kept = false;
        for (const std::string& e : edited)
            if (SameText(TagLineName(e), key)) kept = true;
        if (!kept) removed.emplace_back(key);
    }

    // Library.
    changed_ |= Put(lib.Category, Marked(eLibCat), text(eLibCat));
    changed_ |= Put(lib.Comments, Marked(eLibCom), text(eLibCom));

    // List entries.
    const TTextEdit fileEdit = markedTexts(eFileCat, eFileCom);
    for (TLibFolderItem* e : target_.Entries) {
        changed_ |= SetEntryTexts(e, fileEdit);
        std::string before = e->TagInfo.Text();
        StoreValues(edited, e->TagInfo);
        if (!removed.empty()) {
            std::vector<std::string> values = e->TagInfo.Values();
            std::erase_if(values, [&](const std::string& l) {
                for (const std::string& k : removed)
                    if (SameText(TagLineName(l), k)) return true;
                return false;
            });
            e->TagInfo.SetValues(values);
        }
        if (e->TagInfo.Text() != before) changed_ = true;
    }

    // Catalog-tree nodes.
    const TTextEdit nodeEdit = markedTexts(eCatCat, eCatCom);
    for (TTreeNode* n : target_.Nodes) {
        TLibFolder* f = FolderOf(n);
        if (!f) continue;
        changed_ |= SetFolderTexts(f, nodeEdit);
        if (cb_rec_fol->isChecked()) {
            lib.PropagateCategoryComments(f, cb_rec_folow->isChecked());
            changed_ = true;
        }
    }

    // Volume.
    if (TLibFolder* v = FolderOf(volumeNode_)) {
        std::string caption = text(eVolCaption);
        if (Marked(eVolCaption) && caption != v->Caption) {
            lib.RenameVolume(volumeNode_, caption);
            changed_ = true;
        } else if (volumeNode_->Text() != v->Caption) {
            lib.Tree.SetText(volumeNode_, v->Caption);
        }
        changed_ |= Put(v->Comments, Marked(eVolCom), text(eVolCom));
        changed_ |= Put(v->Category, Marked(eVolCat), text(eVolCat));
        changed_ |= Put(v->Location, Marked(eVolLoc), text(eVolLoc));
        std::string drive = text(eVolDrive);
        // Source paths end in the separator; the scans build paths on it.
        if (!drive.empty() && drive.back() != '/' && drive.back() != '\\')
            drive += Ss(QString(QDir::separator()));
        changed_ |= Put(v->SourcePath, Marked(eVolDrive), drive);
        if (cb_rec_vol->isChecked()) {
            lib.PropagateCategoryComments(v, cb_rec_volow->isChecked());
            changed_ = true;
        }
    }

    if (changed_) lib.Modified = true;
    return changed_;
}

void TfrmProperties::accept() {
    WriteChanges();
    TPlacedDialog::accept();
}

void TfrmProperties::done(int r) {
    StopSizeThreads();
    TPlacedDialog::done(r);
}

bool TfrmProperties::Execute(QWidget* parent, TLibObj& lib, TGlobalData& globals,
                             ISettingsStore& store, const TPropertiesTarget& target) {
    TfrmProperties dlg(globals, store, parent);
    dlg.Fill(lib, target);
    if (dlg.exec() != QDialog::Accepted) return false;
    return dlg.Changed();
}
