#include "ui/peer_import_command.h"

#include "importers/peer_catalog.h"
#include "settings/message_table.h"
#include "ui/dialog_common.h"
#include "ui/main_host.h"
#include "ui/main_views.h"
#include "ui/ui_questions.h"

#include <QtWidgets/QTreeView>

QString TPeerImportCommand::Filter() {
    return MsgText("fltOtherCatalogs") +
           QStringLiteral(" (*.hcf *.xml *.catalog *.json *.toml);;CDCat (*.hcf *.xml);;"
                          "catcli, gocatcli (*.catalog *.json *.toml);;") +
           AllFilesFilter();
}

void TPeerImportCommand::Run(IMainHost& host) {
    if (!host.CheckIdle()) return;
    TFileQuestion question;
    question.Title = MsgText("dlgImportOther");
    question.Filter = Filter();
    const QString file = host.Questions().AskFile(question);
    if (file.isEmpty()) return;
    TPeerImportResult r;
    // All or nothing: a refused file leaves the catalog as it was, and the error is shown.
    const bool ok = host.RunBusy(
        [&] { r = ImportPeerCatalog(host.Lib(), Ss(file), {}, host.OperationProgress()); });
    if (ok) {
        if (!r.VolumeNodes.empty()) host.Views().SelectNode(r.VolumeNodes.front());
        host.Views().SetActiveView(host.Views().NodesView());
        host.Questions().ShowInfo(Qs(GetMessageText(
            "msgsPeerSummary",
            std::vector<std::string>{Ss(file), std::to_string(r.Volumes), std::to_string(r.Folders),
                                     std::to_string(r.Files), std::to_string(r.ArchiveMembers),
                                     std::to_string(r.Errors)})));
    }
    host.UpdateStatus();
}
