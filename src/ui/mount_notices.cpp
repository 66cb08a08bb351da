#include "ui/mount_notices.h"

#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "mounts/mount_match.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "text/name_text.h"
#include "ui/catalog_models.h"
#include "ui/main_host.h"
#include "ui/main_views.h"
#include "ui/multi_lang.h"
#include "ui/ui_questions.h"

#include <QtCore/QFileInfo>
#include <QtCore/QSocketNotifier>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

namespace {

const std::string kKey = "MountWatch";

QString Msg(std::string_view key, const std::vector<std::string>& args) {
    return QStr(GetMessageText(key, args));
}

} // namespace

TMountNotices::TMountNotices(IMainHost& host, QWidget* parent) : QFrame(parent), host_(host) {
    setObjectName(QStringLiteral("pnlMountNotice"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("lblMountNotice"));
    text_->setForegroundRole(QPalette::ToolTipText);
    text_->setTextFormat(Qt::PlainText);
    row->addWidget(text_, 1);
    delete_ = new QCheckBox(QStringLiteral("Delete not found"), this);
    delete_->setObjectName(QStringLiteral("cbMountDelete"));
    row->addWidget(delete_);
    update_ = new QPushButton(QStringLiteral("&Update"), this);
    update_->setObjectName(QStringLiteral("btnMountUpdate"));
    ignore_ = new QPushButton(QStringLiteral("I&gnore"), this);
    ignore_->setObjectName(QStringLiteral("btnMountIgnore"));
    always_ = new QPushButton(QStringLiteral("Al&ways update this volume"), this);
    always_->setObjectName(QStringLiteral("btnMountAlways"));
    add_ = new QPushButton(QStringLiteral("Add &Volume\u2026"), this);
    add_->setObjectName(QStringLiteral("btnMountAdd"));
    for (QPushButton* b : {update_, add_, ignore_, always_}) {
        MarkTranslated(b);
        row->addWidget(b);
    }
    connect(update_, &QPushButton::clicked, this, &TMountNotices::UpdateClick);
    connect(ignore_, &QPushButton::clicked, this, &TMountNotices::IgnoreClick);
    connect(always_, &QPushButton::clicked, this, &TMountNotices::AlwaysClick);
    connect(add_, &QPushButton::clicked, this, &TMountNotices::AddClick);
    hide();
}

TMountNotices::~TMountNotices() = default;

void TMountNotices::Watch(TMountWatcher::TProbe probe, const std::string& table) {
    delete notifier_;
    notifier_ = nullptr;
    watcher_ = std::make_unique<TMountWatcher>(std::move(probe), table);
    if (!watcher_->Start()) return; // no table: nothing to notice
    // The kernel marks the table "exceptional" (POLLPRI) at each change.
    notifier_ = new QSocketNotifier(watcher_->Descriptor(), QSocketNotifier::Exception, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TMountNotices::CheckMounts);
}

std::string TMountNotices::AlwaysKey(const TTreeNode* volume) const {
    // Per catalog and volume: the same title may stand for another disc elsewhere.
    const TLibFolder* v = FolderOf(volume);
    return kKey + "\\" + host_.Lib().FileName + "|" + v->Serial + "|" + v->Caption;
}

void TMountNotices::CheckMounts() {
    if (!watcher_ || checking_) return;
    checking_ = true;
    std::vector<TMountChange> changes = watcher_->Refresh();
    for (const TMountChange& c : changes) {
        if (c.Mounted || !updating_ || !SameMount(c.Fs, *updating_)) continue;
        gone_ = true;
    }
    checking_ = false;
    MarkMounted();
    for (const TMountChange& c : changes) {
        if (!c.Mounted) {
            if (isVisible() && SameMount(c.Fs, fs_)) Hide();
            continue;
        }
        if (!host_.CheckIdle()) continue; // an operation runs: no notice over it
        std::vector<TTreeNode*> matches = MatchingVolumes(host_.Lib(), c.Fs);
        if (matches.empty()) {
            if (AddVolume && IsNewDrive(c.Fs, watcher_->Current())) Offer(c.Fs, matches);
            continue;
        }
        const std::string key = matches.size() == 1 ? AlwaysKey(matches[0]) : std::string();
        if (!key.empty() && host_.Store().ReadBool(key, "Always", false)) {
            host_.LogLine(GetMessageText(
                "mntUpdating",
                std::vector<std::string>{FolderOf(matches[0])->Caption, c.Fs.MountPoint}));
            UpdateFrom(matches[0], c.Fs, host_.Store().ReadBool(key, "Delete not found", false),
                       false);
            continue;
        }
        Offer(c.Fs, matches);
    }
}

void TMountNotices::Offer(const TMountedFs& fs, const std::vector<TTreeNode*>& matches) {
    fs_ = fs;
    const QString catalog = QFileInfo(QStr(host_.Lib().FileName)).fileName();
    QString names;
    for (const TTreeNode* n : matches)
        names += (names.isEmpty() ? QString() : QStringLiteral(", ")) + QStr(FolderOf(n)->Caption);
    const bool one = matches.size() == 1;
    if (matches.empty())
        text_->setText(fs.Label.empty() ? MsgText("mntNewDrive", fs.MountPoint)
                                        : Msg("mntNewLabel", {fs.Label, fs.MountPoint}));
    else if (one)
        text_->setText(Msg("mntKnown", {StdStr(names), StdStr(catalog), fs.MountPoint}));
    else // the same disc catalogued twice: said, never guessed
        text_->setText(Msg("mntSeveral", {StdStr(names), StdStr(catalog), fs.MountPoint}));
    update_->setVisible(one);
    always_->setVisible(one);
    delete_->setVisible(one);
    delete_->setChecked(false);
    add_->setVisible(matches.empty());
    show();
}

void TMountNotices::Hide() {
    hide();
    fs_ = TMountedFs{};
}

void TMountNotices::IgnoreClick() {
    Hide();
}

TTreeNode* TMountNotices::OfferedVolume() const {
    // Found again: the catalog may have changed since the notice came.
    std::vector<TTreeNode*> matches = MatchingVolumes(host_.Lib(), fs_);
    return matches.size() == 1 ? matches[0] : nullptr;
}

void TMountNotices::UpdateClick() {
    TTreeNode* volume = OfferedVolume();
    if (!volume || !host_.CheckIdle()) return;
    TMountedFs fs = fs_;
    const bool del = delete_->isChecked();
    Hide();
    UpdateFrom(volume, fs, del, true);
}

void TMountNotices::AddClick() {
    if (fs_.MountPoint.empty() || !AddVolume || !host_.CheckIdle()) return;
    const std::string point = fs_.MountPoint;
    Hide();
    AddVolume(point);
}

void TMountNotices::AlwaysClick() {
    TTreeNode* volume = OfferedVolume();
    if (!volume || !host_.CheckIdle()) return;
    const std::string key = AlwaysKey(volume);
    host_.Store().WriteBool(key, "Always", true);
    host_.Store().WriteBool(key, "Delete not found", delete_->isChecked());
    UpdateClick();
}

bool TMountNotices::UpdateFrom(TTreeNode* volume, const TMountedFs& fs, bool deleteNotFound,
                               bool ask) {
    TLibObj& lib = host_.Lib();
    // What to come back to when the disc leaves during the update.
    QTemporaryDir keep;
    const std::string snapshot = StdStr(keep.filePath(QStringLiteral("before.txc")));
    const std::string fileName = lib.FileName;
    const TFileIdentity identity = lib.DiskIdentity;
    const bool modified = lib.Modified;
    // The window's event loop turns while the update asks whether to stop, and reads the table.
    TStopWhenProgress progress(host_.OperationProgress(), [this] { return gone_; });
    updating_ = &fs;
    gone_ = false;
    bool stopped = false;
    bool ok = host_.RunBusy([&] {
        TNullProgress quiet;
        SaveToFile(lib, snapshot, quiet);
        // The copy is no save of the catalog: it keeps its name and state.
        lib.FileName = fileName;
        lib.DiskIdentity = identity;
        lib.Modified = modified;
        TVolumeScanner scanner(lib, &host_.Handlers(), progress);
        scanner.Options.FolderResult = nametext::DiskToCaption(fs.MountPoint);
        scanner.Options.Serial = fs.Serial;
        scanner.Options.DeleteNotFound = deleteNotFound;
        TIdleIoPriority idle;
        // Unattended, a source that looks like another disc is refused, not asked about.
        scanner.UpdateVolume(volume, ask ? &host_.Questions() : nullptr);
        stopped = scanner.Stopped();
    });
    CheckMounts(); // an unmount the last turn of the loop has not read yet
    updating_ = nullptr;
    if (!gone_ && !stopped) return ok;
    // Abandoned: whatever was read is no picture of the disc.
    host_.ResetCatalog(false);
    host_.RunBusy([&] {
        TNullProgress quiet;
        LoadFromFile(host_.Lib(), snapshot, false, quiet);
        host_.Lib().FileName = fileName;
        host_.Lib().DiskIdentity = identity;
        host_.Lib().Modified = modified;
    });
    if (gone_) host_.LogLine(GetMessageText("mntGone", fs.MountPoint));
    return false;
}

void TMountNotices::MarkMounted() {
    std::map<std::pair<std::string, std::string>, QString> marks;
    for (const auto& [node, point] : MountedVolumes())
        marks[{FolderOf(node)->Serial, FolderOf(node)->Caption}] = QStr(point);
    if (TCatalogTreeModel* model = host_.Views().NodesModel()) model->SetMounted(std::move(marks));
}

std::vector<std::pair<TTreeNode*, std::string>> TMountNotices::MountedVolumes() const {
    std::vector<std::pair<TTreeNode*, std::string>> out;
    if (!watcher_) return out;
    for (const TMountedFs& fs : watcher_->Current())
        for (TTreeNode* n : MatchingVolumes(host_.Lib(), fs))
            out.emplace_back(n, fs.MountPoint);
    return out;
}
