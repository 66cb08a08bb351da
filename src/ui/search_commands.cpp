#include "ui/search_commands.h"

#include "catalog/lib_obj.h"
#include "search/import.h"
#include "settings/global_data.h"
#include "settings/message_table.h"
#include "ui/catalog_models.h"
#include "ui/export_dialog.h"
#include "ui/import_dialog.h"
#include "ui/main_host.h"
#include "ui/main_views.h"
#include "ui/search_window.h"
#include "ui/ui_questions.h"

#include <QtWidgets/QTreeView>
#include <algorithm>

TSearchCommands::TSearchCommands(IMainHost& host, ISearchHost& searchHost)
    : host_(host), searchHost_(searchHost) {}

TSearchCommands::~TSearchCommands() {
    delete search_;
    delete export_;
    delete import_;
}

TfrmSearch& TSearchCommands::SearchWindow() {
    if (!search_) search_ = new TfrmSearch(searchHost_, host_.Window());
    return *search_;
}

TfrmExport& TSearchCommands::ExportDialog() {
    if (!export_) {
        export_ = new TfrmExport(host_.Store(), host_.Window());
        export_->SetQuestions(host_.Questions());
    }
    return *export_;
}

TfrmImport& TSearchCommands::ImportDialog() {
    if (!import_) {
        import_ = new TfrmImport(host_.Store(), host_.Window());
        import_->SetQuestions(host_.Questions());
    }
    return *import_;
}

void TSearchCommands::ShowSearch(TSearchStart how) {
    TMainViews& views = host_.Views();
    QString name;
    if (how == TSearchStart::ByName || how == TSearchStart::Duplicates) {
        std::vector<TLibFolderItem*> sel = views.SelectedEntries();
        if (sel.empty()) return;
        TLibFolderItem* e = sel.front();
        if (TLibFolderItem* cur = views.CurrentEntry())
            if (std::find(sel.begin(), sel.end(), cur) != sel.end()) e = cur;
        name = QStr(e->Caption.str());
    }
    SearchWindow().Start(how, views.SelectedNode() != nullptr, name);
}

void TSearchCommands::Export(TExportScope scope, TSearchResults* results) {
    if (!host_.CheckIdle()) return;
    // Taken before the views freeze.
    std::vector<TTreeNode*> selected;
    if (scope == TExportScope::Selection) selected = host_.Views().SelectedNodes();
    TLibObj& lib = host_.Lib();
    TfrmExport& dlg = ExportDialog();
    if (!dlg.Run(scope, lib.FileName)) return;
    TExportOptions o = dlg.Options();
    o.NewLine = host_.GD().NewLine;
    host_.RunBusy([&] {
        RunExport(lib, o, scope, selected, scope == TExportScope::Results ? results : nullptr,
                  host_.OperationProgress());
        lib.Recount();
        host_.GD().Progress.EndProgress(GetMessageText("msgsExported", o.FileName));
    });
    host_.UpdateStatus();
}

void TSearchCommands::Import() {
    if (!host_.CheckIdle()) return;
    TfrmImport& dlg = ImportDialog();
    if (!dlg.Run()) return;
    TImportOptions o = dlg.Options();
    TTreeNode* lastVolume = nullptr;
    o.LastVolume = &lastVolume;
    TLibObj& lib = host_.Lib();
    TGlobalData& gd = host_.GD();
    host_.RunBusy([&] {
        gd.ApplyDefaults = true;
        struct TFinish {
            TLibObj& lib;
            TGlobalData& gd;
            ~TFinish() {
                // What was imported before a failure is kept and shown as well.
                gd.ApplyDefaults = false;
                if (lib.Options.Sort) lib.Tree.SortRoots();
                lib.Recount();
                lib.Modified = true;
            }
        } finish{lib, gd};
        RunImport(lib, o, host_.OperationProgress());
        gd.Progress.LogMessage(GetMessageText("msgsAdded", lib.FileName));
    });
    TMainViews& views = host_.Views();
    if (lastVolume) views.SelectNode(lastVolume);
    views.SetActiveView(views.NodesView());
    host_.UpdateStatus();
}
