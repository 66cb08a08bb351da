#include "ui/collection_commands.h"

#include "catalog/collection_edits.h"
#include "catalog/lib_obj.h"
#include "files/shell_services.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "ui/catalog_models.h"
#include "ui/main_host.h"
#include "ui/main_views.h"
#include "ui/memo_dialog.h"
#include "ui/ui_questions.h"
#include "ui/view_restore.h"
#include "ui/volume_commands.h"

#include <QtWidgets/QTreeView>

namespace {

QList<QIcon> CollectionImageList() {
    QList<QIcon> images;
    for (const QIcon& i : TIcons::CollectionImages())
        images << i;
    return images;
}

} // namespace

TCollectionCommands::TCollectionCommands(IMainHost& host, TVolumeCommands& volumes)
    : host_(host), volumes_(volumes) {}

void TCollectionCommands::AddUnder(TTreeNode* parent) {
    TMainViews& views = host_.Views();
    TTreeNode* added = nullptr;
    host_.RunBusy(
        [&] { added = host_.Lib().AddCollection(parent, GetMessageText("infoDefNewCol")); });
    // The parent opens to show the new collection.
    if (added && parent) parent->Expanded = true;
    views.RestoreExpansion(true);
    views.SelectColNode(added);
    views.SetActiveView(views.ColView());
}

void TCollectionCommands::Add() {
    if (!host_.CheckIdle()) return;
    TTreeNode* sel = host_.Views().SelectedColNode();
    AddUnder(sel ? sel->Parent() : nullptr);
}

void TCollectionCommands::AddSub() {
    if (!host_.CheckIdle()) return;
    TTreeNode* sel = host_.Views().SelectedColNode();
    if (!sel) return Add();
    AddUnder(sel);
}

void TCollectionCommands::NewMemo() {
    if (!host_.CheckIdle()) return;
    TMainViews& views = host_.Views();
    TTreeNode* sel = views.SelectedColNode();
    TLibColItem memo(GetMessageText("infoDefNewMemo"));
    memo.ImageIndex = -1;
    if (!TfrmMemo::EditItem(host_.Window(), host_.Store(), memo, CollectionImageList())) return;
    TTreeNode* added = nullptr;
    host_.RunBusy([&] {
        added = AddMemo(host_.Lib(), sel, memo.Caption, memo.URL, memo.MemoText, memo.ImageIndex,
                        GetMessageText("infoDefNewMemo"));
        if (sel) sel->Expanded = true;
    });
    views.RestoreExpansion(true);
    views.SelectColNode(added);
}

void TCollectionCommands::Rename() {
    if (!host_.CheckIdle()) return;
    TMainViews& views = host_.Views();
    QModelIndex i = views.ColView()->currentIndex();
    if (!i.isValid()) return;
    views.SetActiveView(views.ColView());
    views.ColView()->edit(i);
}

void TCollectionCommands::Delete() {
    if (!host_.CheckIdle()) return;
    std::vector<TTreeNode*> nodes = host_.Views().SelectedColNodes();
    if (nodes.empty()) return;
    std::string text;
    for (TTreeNode* n : nodes) {
        if (!text.empty()) text += "; ";
        text += n->Text();
    }
    if (host_.GD().ConfirmDeleteCollection &&
        host_.Questions().Ask("confDelete", text, TButtons::YesNo) != TAnswer::Yes)
        return;
    std::vector<int> parentRows = RowPath(nodes.front()->Parent());
    host_.RunBusy([&] {
        host_.Lib().DeleteColNodes(nodes);
        host_.Lib().Modified = true;
        host_.AfterBusy().ColRows = parentRows;
    });
}

void TCollectionCommands::OpenLink() {
    if (!host_.CheckIdle()) return;
    TLibColItem* c = ColItemOf(host_.Views().SelectedColNode());
    if (c && !c->URL.empty() && !OpenURL(c->URL)) ShowOpenFailure(host_.Questions(), c->URL);
}

void TCollectionCommands::Properties() {
    if (!host_.CheckIdle()) return;
    TMainViews& views = host_.Views();
    TTreeNode* node = views.SelectedColNode();
    TLibColItem* c = ColItemOf(node);
    if (!c) return;
    if (c->Kind == TLibColItem::kMemo) {
        TLibColItem edited = *c;
        if (!TfrmMemo::EditItem(host_.Window(), host_.Store(), edited, CollectionImageList()))
            return;
        host_.RunBusy([&] {
            c->URL = edited.URL;
            c->MemoText = edited.MemoText;
            c->ImageIndex = edited.ImageIndex;
            if (!edited.Caption.empty() && edited.Caption != node->Text())
                host_.Lib().RenameColNode(node, edited.Caption);
            host_.Lib().Modified = true;
        });
        views.SelectColNode(node);
        return;
    }
    // Links show the properties of what they point at.
    if (c->LinkedFolder && c->LinkedFolder->Node) {
        views.SelectNode(c->LinkedFolder->Node);
        if (c->LinkedItem) {
            views.SelectEntries({c->LinkedItem});
            views.SetActiveView(views.ListView());
            return volumes_.EntryProperties();
        }
        views.SetActiveView(views.NodesView());
        volumes_.NodeProperties();
    }
}

void TCollectionCommands::Drop(const QString& source, TTreeNode* target) {
    TLibObj& lib = host_.Lib();
    if (!host_.CheckIdle() || lib.Generation() != viewGeneration_) return;
    TMainViews& views = host_.Views();
    if (source == QLatin1String("tvCol")) {
        TTreeNode* moving = views.SelectedColNode();
        if (!target || !CanDropColNode(moving, target)) return;
        bool moved = false;
        host_.RunBusy([&] {
            moved = lib.MoveColNode(moving, target);
            if (moved) {
                target->Expanded = true;
                lib.Modified = true;
            }
        });
        if (moved) views.SelectColNode(moving);
        return;
    }
    std::vector<TTreeNode*> nodes;
    std::vector<TLibFolderItem*> entries;
    TLibFolder* listFolder = views.ListModel()->Folder();
    if (source == QLatin1String("tvNodes"))
        nodes = views.SelectedNodes();
    else if (source == QLatin1String("lv"))
        entries = views.SelectedEntries();
    if (nodes.empty() && entries.empty()) return;
    if (!target && lib.ColTree.RootCount() > 0) return;
    views.SetColDragging(true);
    host_.RunBusy([&] {
        if (!target) target = lib.AddCollection(nullptr, GetMessageText("infoDefNewCol"));
        for (TTreeNode* n : nodes)
            if (TLibFolder* f = FolderOf(n)) lib.LinkFolder(target, f);
        for (TLibFolderItem* e : entries)
            if (listFolder) lib.LinkEntry(target, listFolder, e);
        target->Expanded = true;
        lib.Modified = true;
    });
    views.SetColDragging(false);
    views.RestoreExpansion(true);
    if (!nodes.empty()) views.NodesView()->selectionModel()->clearSelection();
    views.SelectColNode(target);
}

void TCollectionCommands::ApplyRename(TTreeNode* node, const QString& text) {
    TLibObj& lib = host_.Lib();
    if (!host_.CheckIdle() || lib.Generation() != viewGeneration_) return;
    TTree* tree = node->Tree();
    if (tree == &lib.ColTree) {
        host_.RunBusy([&] { lib.RenameColNode(node, StdStr(text)); });
        host_.Views().SelectColNode(node);
    } else if (tree == &lib.Tree) {
        host_.RunBusy([&] {
            // The renamed volume is selected afterwards, wherever sorting puts it.
            if (lib.RenameVolume(node, StdStr(text))) host_.AfterBusy().Node = node;
        });
    }
}
