#include "ui/new_volume_dialog.h"

#include "catalog/lib_obj.h"
#include "files/shell_services.h"
#include "files/volume_info.h"
#include "handlers/handlers.h"
#include "platform/file_icons.h"
#include "platform/volume_info.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_helpers.h"
#include "text/text_utils.h"
#include "ui/dialog_handler_view.h"

#include <QtCore/QDir>
#include <QtGui/QAction>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QStyle>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>

namespace {

const std::string kKey = "frmNewVolume";
constexpr int kRecentFolders = 10;

QString WithSeparator(QString path) {
    if (!path.isEmpty() && !path.endsWith(QDir::separator())) path += QDir::separator();
    return path;
}

} // namespace

TfrmNewVolume::TfrmNewVolume(TGlobalData& globals, THandlerList& handlers, ISettingsStore& store,
                             QWidget* parent)
    : TPlacedDialog(QStringLiteral("frmNewVolume"), store, parent), globals_(globals),
      handlers_(handlers) {
    setWindowTitle(QStringLiteral("New Volume"));
    auto* top = new QVBoxLayout(this);
    pc = new QTabWidget(this);
    pc->setObjectName(QStringLiteral("pc"));
    top->addWidget(pc);

    // Volume page.
    auto* vol = new QWidget(pc);
    vol->setObjectName(QStringLiteral("tsVolume"));
    auto* grid = new QGridLayout(vol);
    cbDr = new QComboBox(vol);
    cbDr->setObjectName(QStringLiteral("cbDr"));
    cbDr->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbDr->setMinimumContentsLength(24);
    edFolder = DlgEdit(vol, "edFolder");
    btnBrowse = DlgButton(vol, "btnBrowse", "Browse (F4)");
    btnOpen = DlgButton(vol, "btnOpen", "Open (F6)");
    // The folders scanned last, so that the next disc of a series is one click away.
    tbRecent = DlgTool(vol, "tbRecent", "Recent Folders");
    tbRecent->setPopupMode(QToolButton::InstantPopup);
    tbRecent->defaultAction()->setIcon(QIcon::fromTheme(QStringLiteral("document-open-recent"),
                                                        style()->standardIcon(QStyle::SP_DirIcon)));
    tbRecent->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tbRecent->setMenu(new QMenu(tbRecent));
    edTitle = DlgEdit(vol, "edTitle");
    edser = MakeSerialEdit(vol);
    edLevels = MakeLevelsBox(vol);
    cbFoldersOnly = DlgCheck(vol, "cbFoldersOnly", "Folders &Only");
    combo = new QComboBox(vol);
    combo->setObjectName(QStringLiteral("combo"));

    int row = 0;
    grid->addWidget(DlgLabel(vol, "lblDrive", "&Drive:", cbDr), row, 0);
    grid->addWidget(cbDr, row++, 1, 1, 4);
    DlgGridField(grid, row, 0, "lblFolder", "&Folder:", edFolder);
    grid->addWidget(btnBrowse, row, 2);
    grid->addWidget(btnOpen, row, 3);
    grid->addWidget(tbRecent, row++, 4);
    // What the chosen source is, before anything is read from it.
    lblSourceInfo = new QLabel(vol);
    grid->addWidget(lblSourceInfo, row++, 1, 1, 4);
    grid->addWidget(DlgLabel(vol, "lblTitle", "&Title:", edTitle), row, 0);
    grid->addWidget(edTitle, row++, 1, 1, 4);
    DlgGridField(grid, row++, 0, "lblSerial", "&Serial:", edser);
    grid->addWidget(DlgLabel(vol, "lblLevels", "&Levels:", edLevels), row, 0);
    auto* levels = new QHBoxLayout;
    levels->addWidget(edLevels);
    levels->addSpacing(12);
    levels->addWidget(cbFoldersOnly);
    levels->addStretch();
    grid->addLayout(levels, row++, 1, 1, 4);
    grid->addWidget(DlgLabel(vol, "lblCollection", "Colle&ction:", combo), row, 0);
    grid->addWidget(combo, row++, 1, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    pc->addTab(vol, QStringLiteral("&Volume"));

    Defaults = BuildDefaultsPage(pc, true);
    pc->addTab(Defaults.Page, QStringLiteral("&Properties"));

    lv_Ext = AddHandlersPage(pc, handlers_, store);

    auto* bottom = new QHBoxLayout;
    cbNew = DlgCheck(this, "cbNew", "&Insert New Volume After");
    cbIncr = DlgCheck(this, "cbIncr", "I&ncrement Volume Title");
    auto* checks = new QVBoxLayout;
    checks->addWidget(cbNew);
    checks->addWidget(cbIncr);
    bottom->addLayout(checks);
    bottom->addStretch();
    bottom->addWidget(MakeButtons(false));
    okButton_ = findChild<QPushButton*>(QStringLiteral("OKBtn"));
    top->addLayout(bottom);
    resize(560, 420);

    connect(cbDr, &QComboBox::activated, this, &TfrmNewVolume::cbDrChange);
    connect(edFolder, &QLineEdit::textChanged, this, &TfrmNewVolume::edFolderChange);
    connect(btnBrowse, &QPushButton::clicked, this, &TfrmNewVolume::btnBrowseClick);
    connect(btnOpen, &QPushButton::clicked, this, &TfrmNewVolume::btnOpenClick);
    connect(Defaults.tbCat, &QToolButton::triggered, this, &TfrmNewVolume::tbCatClick);
    connect(Defaults.tbLoc, &QToolButton::triggered, this, &TfrmNewVolume::tbLocClick);
    DlgKey(this, Qt::Key_F2, &TfrmNewVolume::tbCatClick);
    DlgKey(this, Qt::Key_F3, &TfrmNewVolume::tbLocClick);
    DlgKey(this, Qt::Key_F4, &TfrmNewVolume::btnBrowseClick);
    DlgKey(this, Qt::Key_F6, &TfrmNewVolume::btnOpenClick);
}

bool TfrmNewVolume::RepeatAdd() const {
    return cbNew->isChecked();
}

bool TfrmNewVolume::IncrementTitleChecked() const {
    return cbIncr->isChecked();
}

void TfrmNewVolume::FillDrives() {
    QString keep = DrivePath();
    cbDr->clear();
    QIcon icon = GetShellIcon(2);
    // Drives the user plugs in first, the system's own file systems last.
    std::vector<TVolumeInfo> volumes = GetMountedVolumes();
    auto rank = [](const TVolumeInfo& v) {
        const std::string& p = v.RootPath;
        if (p.rfind("/media/", 0) == 0 || p.rfind("/run/media/", 0) == 0 ||
            (!v.Device.empty() && IsRemovableDevice(v.Device)))
            return 0;
        return p == "/" ? 2 : 1;
    };
    std::stable_sort(volumes.begin(), volumes.end(),
                     [&](const TVolumeInfo& a, const TVolumeInfo& b) { return rank(a) < rank(b); });
    for (const TVolumeInfo& v : volumes) {
        QString path = Qs(v.RootPath);
        QString text = v.Label.empty() ? path : Qs(v.Label) + QStringLiteral("  (") + path + ')';
        cbDr->addItem(icon, text, path);
    }
    if (!keep.isEmpty()) PointDriveAt(keep);
}

QString TfrmNewVolume::DrivePath() const {
    return cbDr->currentData().toString();
}

void TfrmNewVolume::PointDriveAt(const QString& path) {
    // The mounted filesystem with the longest mount point that holds path.
    QString p = WithSeparator(path);
    int best = -1;
    qsizetype bestLen = -1;
    for (int i = 0; i < cbDr->count(); ++i) {
        QString root = WithSeparator(cbDr->itemData(i).toString());
        if (p.startsWith(root) && root.size() > bestLen) {
            best = i;
            bestLen = root.size();
        }
    }
    if (best >= 0) cbDr->setCurrentIndex(best);
}

void TfrmNewVolume::FillCollections(const TLibObj& lib) {
    combo->clear();
    combo->addItem(QString(), QVariant::fromValue<quintptr>(0));
    lib.ColTree.ForEach([&](TTreeNode* node) {
        QString text = QString(node->Level() * 3, QLatin1Char(' ')) + Qs(node->Text());
        QIcon icon = node->ImageIndex >= 0 && node->ImageIndex < images_.size()
                         ? images_[node->ImageIndex]
                         : QIcon();
        combo->addItem(icon, text, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    });
}

void TfrmNewVolume::PrepareShow(const TLibObj& lib) {
    pc->setCurrentIndex(0);
    FillDrives();
    FillCollections(lib);
    FillListCombo(Defaults.filecat, globals_.GlobalCategories);
    FillListCombo(Defaults.volLoc, globals_.GlobalLocations);
    FolderResult.clear();
    if (!cbIncr->isChecked()) TitleResult.clear();
    globals_.DefaultCategory.clear();
    globals_.DefaultComments.clear();
    globals_.DefaultsToFolders = false;
    globals_.DefaultsToFiles = false;
    ReadChoices();
    if (!start_.empty()) {
        edFolder->setText(Qs(start_));
        PointDriveAt(Qs(start_));
        start_.clear();
    }
    cbFoldersOnly->setChecked(globals_.FoldersOnly);
    lv_Ext->LoadView();
    // Nothing is chosen for the user: OK waits for a drive or a folder, so that
    // it never scans the whole root file system by default.
    if (edFolder->text().isEmpty())
        cbDr->setCurrentIndex(-1);
    else if (WithSeparator(edFolder->text()) == WithSeparator(DrivePath()))
        cbDrChange();
    edFolderChange();
}

void TfrmNewVolume::ReadChoices() {
    const ISettingsStore& s = Store();
    QString root = Qs(s.ReadString(kKey, "Root", Ss(root_)));
    if (!root.isEmpty()) root_ = root;
    recent_.clear();
    for (int i = 1; i <= kRecentFolders; ++i) {
        QString r = Qs(s.ReadString(kKey, "Recent" + std::to_string(i), {}));
        if (!r.isEmpty()) recent_ << r;
    }
    FillRecentMenu();
    QString folder = Qs(s.ReadString(kKey, "Folder", Ss(edFolder->text())));
    edFolder->setText(folder);
    if (!folder.isEmpty()) PointDriveAt(folder);
    edLevels->setValue(ReadInt32(s, kKey, "Levels", edLevels->value(), 0, edLevels->maximum()));
    Defaults.filecat->setCurrentText(
        Qs(s.ReadString(kKey, "DefCat", Ss(Defaults.filecat->currentText()))));
    Defaults.filecom->setText(Qs(s.ReadString(kKey, "DefCom", Ss(Defaults.filecom->text()))));
    Defaults.cbAddFolders->setChecked(
        s.ReadBool(kKey, "Add to folders", Defaults.cbAddFolders->isChecked()));
    Defaults.cbAddFiles->setChecked(
        s.ReadBool(kKey, "Add to files", Defaults.cbAddFiles->isChecked()));
    cbNew->setChecked(s.ReadBool(kKey, "Repeat", cbNew->isChecked()));
    cbIncr->setChecked(s.ReadBool(kKey, "Increment", cbIncr->isChecked()));
    int col = ReadInt32(s, kKey, "Collection", combo->currentIndex(), 0, INT32_MAX);
    if (col < combo->count()) combo->setCurrentIndex(col);
}

void TfrmNewVolume::WriteChoices() {
    ISettingsStore& s = Store();
    s.WriteString(kKey, "Root", Ss(root_));
    s.WriteString(kKey, "Folder", Ss(edFolder->text()));
    for (int i = 1; i <= kRecentFolders; ++i)
        s.WriteString(kKey, "Recent" + std::to_string(i),
                      i <= recent_.size() ? Ss(recent_[i - 1]) : std::string());
    s.WriteString(kKey, "DefCat", Ss(Defaults.filecat->currentText()));
    s.WriteString(kKey, "DefCom", Ss(Defaults.filecom->text()));
    s.WriteInt(kKey, "Levels", edLevels->value());
    s.WriteBool(kKey, "Add to folders", Defaults.cbAddFolders->isChecked());
    s.WriteBool(kKey, "Add to files", Defaults.cbAddFiles->isChecked());
    s.WriteBool(kKey, "Repeat", cbNew->isChecked());
    s.WriteBool(kKey, "Increment", cbIncr->isChecked());
    s.WriteInt(kKey, "Collection", std::max(0, combo->currentIndex()));
}

QStringList TfrmNewVolume::WithRecent(QStringList recent, const QString& folder) {
    if (folder.trimmed().isEmpty()) return recent;
    recent.removeAll(folder);
    recent.prepend(folder);
    while (recent.size() > kRecentFolders)
        recent.removeLast();
    return recent;
}

void TfrmNewVolume::FillRecentMenu() {
    QMenu* menu = tbRecent->menu();
    menu->clear();
    for (const QString& folder : recent_) {
        // "&" in a folder name is a letter, not an accelerator.
        QString text = folder;
        menu->addAction(text.replace('&', QStringLiteral("&&")), this,
                        [this, folder] { edFolder->setText(folder); });
    }
    tbRecent->setEnabled(!recent_.isEmpty());
}

QStringList TfrmNewVolume::RecentFolders() const {
    return recent_;
}

void TfrmNewVolume::cbDrChange() {
    QString path = DrivePath();
    edFolder->setText(path); // runs the folder change too
    const TVolumeInfo v = GetVolumeInfo(Ss(path));
    if (!cbIncr->isChecked()) edTitle->setText(Qs(v.Label));
    edser->setText(path.isEmpty() ? QString() : Qs(v.Serial));
}

void TfrmNewVolume::edFolderChange() {
    QString folder = edFolder->text();
    okButton_->setEnabled(!folder.trimmed().isEmpty());
    // One query of the volume for what the dialog shows of it.
    const TVolumeInfo v = folder.trimmed().isEmpty() ? TVolumeInfo{} : GetVolumeInfo(Ss(folder));
    lblSourceInfo->setText(SourceInfoText(v));
    if (folder.isEmpty()) return;
    if (!cbIncr->isChecked()) edTitle->setText(folder);
    edser->setText(Qs(v.Serial));
}

QString TfrmNewVolume::SourceInfoText(const TVolumeInfo& v) {
    if (!v.Valid() || v.TotalBytes < 0) return {};
    return Qs(GetMessageText("msgsSourceInfo",
                             std::vector<std::string>{v.FileSystem.empty() ? "?" : v.FileSystem,
                                                      FormatBinarySize(v.UsedBytes()),
                                                      FormatBinarySize(v.TotalBytes)}));
}

void TfrmNewVolume::btnBrowseClick() {
    QString dir = BrowseFolder(this, windowTitle(), edFolder->text());
    if (!dir.isEmpty()) edFolder->setText(dir);
}

void TfrmNewVolume::btnOpenClick() {
    if (!edFolder->text().isEmpty()) ShellOpen(Ss(edFolder->text()));
}

void TfrmNewVolume::tbCatClick() {
    if (EditSharedList(this, Store(), DlgHintText(Defaults.tbCat), globals_.GlobalCategories,
                       Qs(globals_.CategoriesFile)))
        FillListCombo(Defaults.filecat, globals_.GlobalCategories);
}

void TfrmNewVolume::tbLocClick() {
    if (EditSharedList(this, Store(), DlgHintText(Defaults.tbLoc), globals_.GlobalLocations,
                       Qs(globals_.LocationsFile)))
        FillListCombo(Defaults.volLoc, globals_.GlobalLocations);
}

void TfrmNewVolume::accept() {
    FolderResult = edFolder->text();
    recent_ = WithRecent(recent_, FolderResult);
    TitleResult = edTitle->text();
    Defaults.ReadInto(globals_);
    globals_.FoldersOnly = cbFoldersOnly->isChecked();
    // A whole mounted filesystem: its number in the drive box, from 1.
    globals_.DriveNumber = -1;
    if (!FolderResult.isEmpty() && cbDr->currentIndex() >= 0 &&
        WithSeparator(FolderResult) == WithSeparator(DrivePath()))
        globals_.DriveNumber = cbDr->currentIndex() + 1;
    TPlacedDialog::accept();
}

void TfrmNewVolume::done(int r) {
    // Cancel keeps the choices too.
    WriteChoices();
    TPlacedDialog::done(r);
}

TScanOptions TfrmNewVolume::Options() const {
    TScanOptions o;
    o.FolderResult = Ss(FolderResult);
    o.TitleResult = Ss(TitleResult);
    o.Serial = Ss(edser->text());
    o.Levels = static_cast<uint16_t>(edLevels->value());
    o.FoldersOnly = cbFoldersOnly->isChecked();
    Defaults.ReadInto(o);
    if (combo->currentIndex() > 0)
        o.Collection = reinterpret_cast<TTreeNode*>(combo->currentData().value<quintptr>());
    o.UseRealSource = true;
    o.DeleteNotFound = false;
    o.CheckSerial = globals_.CheckSerial;
    return o;
}

std::optional<TScanOptions> TfrmNewVolume::Run(const TLibObj& lib) {
    // The title advances from the last volume that was added, not from a
    // dialog that was cancelled.
    if (advancePending_ && cbIncr->isChecked() && !edTitle->text().isEmpty())
        edTitle->setText(Qs(IncrementTitle(Ss(edTitle->text()))));
    advancePending_ = false;
    PrepareShow(lib);
    int r = exec();
    if (r != QDialog::Accepted || FolderResult.isEmpty()) return std::nullopt;
    advancePending_ = true;
    return Options();
}
