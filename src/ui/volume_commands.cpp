#include "ui/volume_commands.h"

#include "catalog/catalog_edits.h"
#include "catalog/lib_obj.h"
#include "catalog/scan_ops.h"
#include "files/shell_services.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "text/text_utils.h"
#include "ui/catalog_models.h"
#include "ui/main_host.h"
#include "ui/main_views.h"
#include "ui/new_volume_dialog.h"
#include "ui/print_cover.h"
#include "ui/properties_dialog.h"
#include "ui/ui_questions.h"
#include "ui/update_dialog.h"

#include <QtCore/QFileInfo>
#include <QtCore/QUrl>
#include <QtWidgets/QListView>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTreeView>

namespace {

// Scans with the defaults of the new-volume dialog applied, switched off however it ends.
template <class Fn> void ScanWithDefaults(IMainHost& host, const TScanOptions& options, Fn fn) {
    TVolumeScanner scanner(host.Lib(), &host.Handlers(), host.OperationProgress());
    scanner.Options = options;
    scanner.ApplyDefaults = true;
    TGlobalData& gd = host.GD();
    gd.ApplyDefaults = true;
    struct TReset {
        bool& flag;
        ~TReset() { flag = false; }
    } reset{gd.ApplyDefaults};
    fn(scanner);
}

std::string JoinedCaptions(const std::vector<TTreeNode*>& nodes) {
    std::string text;
    for (TTreeNode* n : nodes) {
        if (!text.empty()) text += "; ";
        text += n->Text();
    }
    return text;
}

} // namespace

TVolumeCommands::TVolumeCommands(IMainHost& host) : host_(host) {}

TVolumeCommands::~TVolumeCommands() {
    // The dialogs hold the settings and the handler table, which go before the widgets do.
    delete newVolume_;
    delete update_;
}

TfrmNewVolume& TVolumeCommands::NewVolumeDialog() {
    if (!newVolume_) {
        newVolume_ = new TfrmNewVolume(host_.GD(), host_.Handlers(), host_.Store(), host_.Window());
        QList<QIcon> images;
        for (const QIcon& i : TIcons::CollectionImages())
            images << i;
        newVolume_->SetCollectionImages(images);
    }
    return *newVolume_;
}

TfrmUpdate& TVolumeCommands::UpdateDialog() {
    if (!update_)
        update_ = new TfrmUpdate(host_.GD(), host_.Handlers(), host_.Store(), host_.Window());
    return *update_;
}

void TVolumeCommands::Add() {
    if (!host_.CheckIdle()) return;
    TfrmNewVolume& dlg = NewVolumeDialog();
    // "Insert New Volume After" brings the dialog back after every volume.
    for (;;) {
        std::optional<TScanOptions> options = dlg.Run(host_.Lib());
        if (!options) return;
        TTreeNode* added = nullptr;
        bool ok = host_.RunBusy([&] {
            ScanWithDefaults(host_, *options, [&](TVolumeScanner& scanner) {
                added = scanner.AddVolume(host_.Questions());
            });
        });
        if (added) {
            host_.Views().SelectNode(added);
            host_.Views().SetActiveView(host_.Views().NodesView());
        }
        if (!ok || !added || !dlg.RepeatAdd()) return;
    }
}

void TVolumeCommands::Update() {
    if (!host_.CheckIdle()) return;
    TMainViews& views = host_.Views();
    TTreeNode* node = views.SelectedNode();
    if (!node || views.ActiveView() != views.NodesView()) return;
    std::optional<TScanOptions> options = UpdateDialog().Run(FolderOf(node));
    if (!options) return;
    // The views come back on the updated node, found by its volume and path.
    bool ok = host_.RunBusy([&] {
        ScanWithDefaults(host_, *options, [&](TVolumeScanner& scanner) {
            scanner.UpdateVolume(node, &host_.Questions());
        });
    });
    if (ok) views.SetActiveView(views.NodesView());
}

void TVolumeCommands::DeleteNodes() {
    TMainViews& views = host_.Views();
    std::vector<TTreeNode*> nodes = views.SelectedNodes();
    if (nodes.empty()) return;
    std::string text = JoinedCaptions(nodes);
    TLibFolder* first = FolderOf(nodes.front());
    TGlobalData& gd = host_.GD();
    bool isVolume = first && !first->Parent;
    if (isVolume ? gd.ConfirmDeleteVolume : gd.ConfirmDeleteFolder) {
        // Says what goes with it, and takes No on Enter: a whole volume may be hours of scanning.
        const TDeleteCounts counts = CountDeleted(nodes);
        const std::string question =
            GetMessageText("confDeleteNodes",
                           std::vector<std::string>{text, FormatNumber(double(counts.Folders)),
                                                    FormatNumber(double(counts.Files)),
                                                    FormatNumber(double(counts.ArchiveMembers))});
        if (host_.Questions().Ask({}, question, TButtons::YesNoDefaultNo) != TAnswer::Yes) return;
    }
    TTreeNode* parent = nodes.front()->Parent();
    host_.LogLine(GetMessageText("msgsFree", text));
    host_.RunBusy([&] {
        // A node below another selected node goes with its ancestor.
        const std::vector<TTreeNode*> top = OutermostNodes(nodes);
        // The parent is kept (it is not among the deleted) and shown afterwards.
        TViewRestore& after = host_.AfterBusy();
        after.Node = parent;
        after.EntryCaption.clear();
        host_.Lib().DeleteNodes(top);
        host_.Lib().Modified = true;
    });
    host_.LogLine(GetMessageText("msgsNodeDel", text));
}

void TVolumeCommands::DeleteEntries() {
    TMainViews& views = host_.Views();
    std::vector<TLibFolderItem*> entries = views.SelectedEntries();
    TLibFolder* folder = views.ListModel()->Folder();
    if (entries.empty() || !folder) return;
    std::string text;
    if (entries.size() >= 6) {
        text = entries.front()->Caption.str() + ";...";
    } else if (entries.size() >= 2) {
        for (TLibFolderItem* e : entries)
            text += e->Caption.str() + ";";
    } else {
        text = entries.front()->Caption.str();
    }
    // Entries are files (or folder entries) of a folder: the file switch governs them.
    if (host_.GD().ConfirmDeleteFile &&
        host_.Questions().Ask("confDelete", text, TButtons::YesNoDefaultNo) != TAnswer::Yes)
        return;
    host_.RunBusy([&] {
        TViewRestore& after = host_.AfterBusy();
        after.Node = folder->Node;
        after.EntryCaption.clear();
        host_.Lib().DeleteEntries(folder, entries);
        host_.Lib().Modified = true;
    });
    host_.LogLine(GetMessageText("msgsDeleted", std::to_string(entries.size())));
}

void TVolumeCommands::NodeProperties() {
    if (!host_.CheckIdle()) return;
    TPropertiesTarget t;
    t.Nodes = host_.Views().SelectedNodes();
    if (t.Nodes.empty()) return CatalogProperties();
    t.Page = t.Nodes.front()->Parent() ? TfrmProperties::kFolderPage : TfrmProperties::kVolumePage;
    RunProperties(t);
}

void TVolumeCommands::CatalogProperties() {
    if (!host_.CheckIdle()) return;
    TPropertiesTarget t;
    t.LibraryOnly = true;
    RunProperties(t);
}

void TVolumeCommands::RunProperties(const TPropertiesTarget& target) {
    // The dialog is modal and nothing else runs; the views are rebuilt when it changed something.
    if (TfrmProperties::Execute(host_.Window(), host_.Lib(), host_.GD(), host_.Store(), target))
        host_.RebuildViews();
}

void TVolumeCommands::EntryProperties() {
    if (!host_.CheckIdle()) return;
    TMainViews& views = host_.Views();
    if (views.SelectedEntries().empty()) return;
    TLibFolderItem* e = views.CurrentEntry();
    if (e && e->IsFolder) return OpenEntry();
    TPropertiesTarget t;
    t.ListFolder = views.ListModel()->Folder();
    t.Entries = views.SelectedEntries();
    t.Page = TfrmProperties::kFilePage;
    RunProperties(t);
}

void TVolumeCommands::OpenEntry() {
    if (!host_.CheckIdle()) return;
    TLibFolderItem* e = host_.Views().CurrentEntry();
    if (!e || !e->IsFolder) {
        if (e) EntryProperties();
        return;
    }
    // A folder entry opens its folder's node.
    TTreeNode* vol = EntryNode(e);
    TLibFolder* owner = e->Owner;
    TTreeNode* target = nullptr;
    if (owner && owner->Node) target = owner->Node->FindChild(e->Caption.view());
    if (!target && vol) target = FindNodeByPath(RootNode(vol), GetEntryCatalogPath(e) + "\\");
    if (target) host_.Views().SelectNode(target);
}

void TVolumeCommands::OpenRealSource() {
    if (!host_.CheckIdle()) return;
    TMainViews& views = host_.Views();
    std::string path;
    if (views.IsList(views.ActiveView()) && !views.SelectedEntries().empty()) {
        TLibFolderItem* e = views.CurrentEntry();
        if (!e) e = views.SelectedEntries().front();
        path = GetEntrySourcePath(e);
    } else if (TLibFolder* f = FolderOf(views.SelectedNode())) {
        path = GetSourcePath(f);
    }
    if (path.empty()) return;
    if (!ShellOpen(path)) ShowOpenFailure(host_.Questions(), path);
}

void ShowOpenFailure(IUiQuestions& questions, const std::string& path) {
    // Only a path that is not there is "not found"; for the rest no program took it.
    const QString p = QString::fromStdString(path);
    const bool local = !p.contains(QLatin1String("://")) || p.startsWith(QLatin1String("file:"));
    const QString file = p.startsWith(QLatin1String("file:")) ? QUrl(p).toLocalFile() : p;
    const bool missing = local && !QFileInfo::exists(file);
    questions.ShowError(missing ? "errFNF" : "errNoProgram", path);
}

void TVolumeCommands::SelectAll() {
    if (!host_.CheckIdle()) return;
    TMainViews& views = host_.Views();
    views.ListView()->selectAll();
    views.SetActiveView(qobject_cast<QAbstractItemView*>(views.ListStack()->currentWidget()));
    views.RefreshInfo();
}

void TVolumeCommands::InvertSelection() {
    if (!host_.CheckIdle()) return;
    TMainViews& views = host_.Views();
    TEntryListModel* model = views.ListModel();
    int rows = model->rowCount();
    if (rows == 0) return;
    QItemSelection all(model->index(0, 0),
                       model->index(rows - 1, TEntryListModel::kColumnCount - 1));
    views.ListView()->selectionModel()->select(all, QItemSelectionModel::Toggle);
    views.RefreshInfo();
}

void TVolumeCommands::Refresh() {
    if (!host_.CheckIdle()) return;
    TTreeNode* n = host_.Views().SelectedNode();
    std::string text = n ? n->Text() : std::string();
    if (n) host_.LogLine(GetMessageText("msgsRefreshing", text));
    host_.RebuildViews();
    if (n) host_.LogLine(GetMessageText("msgsRefreshed", text));
}

void TVolumeCommands::PrintCover() {
    if (!host_.CheckIdle()) return;
    // The insert lists the current list in its order.
    TEntryListModel* model = host_.Views().ListModel();
    std::vector<const TLibFolderItem*> rows;
    rows.reserve(static_cast<size_t>(model->rowCount()));
    for (int i = 0; i < model->rowCount(); ++i)
        rows.push_back(model->EntryAt(i));
    TfrmPrintCover::Execute(host_.Window(), host_.GD(), host_.Store(), model->Folder(), rows);
}
