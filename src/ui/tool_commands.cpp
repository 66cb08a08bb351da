#include "ui/tool_commands.h"

#include "settings/global_data.h"
#include "ui/handlers_dialog.h"
#include "ui/help_window.h"
#include "ui/main_host.h"
#include "ui/main_views.h"
#include "ui/multi_lang.h"
#include "ui/options_dialog.h"
#include "ui/tags_dialog.h"
#include "ui/text_edit_dialog.h"
#include "ui/ui_questions.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

namespace {
QString ListTitle(const QString& title, const std::string& file) {
    return QString(title).remove(QLatin1Char('&')) + QStringLiteral(" - ") + QStr(file);
}
} // namespace

TToolCommands::TToolCommands(IMainHost& host, TMultiLang& lang) : host_(host), lang_(lang) {}

void TToolCommands::EditCategories(const QString& title) {
    if (!host_.CheckIdle()) return;
    TGlobalData& gd = host_.GD();
    TfrmTextEdit::EditList(host_.Window(), host_.Store(), ListTitle(title, gd.CategoriesFile),
                           gd.GlobalCategories);
}

void TToolCommands::EditLocations(const QString& title) {
    if (!host_.CheckIdle()) return;
    TGlobalData& gd = host_.GD();
    TfrmTextEdit::EditList(host_.Window(), host_.Store(), ListTitle(title, gd.LocationsFile),
                           gd.GlobalLocations);
}

void TToolCommands::EditTagNames() {
    if (!host_.CheckIdle()) return;
    TfrmTags::EditTagNames(host_.Window(), host_.Store(), host_.GD().TagNames);
    host_.Views().RefreshInfo();
}

void TToolCommands::EditHandlers() {
    if (!host_.CheckIdle()) return;
    TfrmHandlers::EditHandlers(host_.Window(), host_.Handlers(), host_.Store());
}

bool TToolCommands::EditOptions() {
    if (!host_.CheckIdle()) return false;
    return TfrmOptions::Execute(host_.Window(), host_.GD(), host_.Store());
}

void TToolCommands::ExportLanguage() {
    if (!host_.CheckIdle()) return;
    QDir().mkpath(lang_.UserLanguagesFolder());
    QString path =
        QFileDialog::getSaveFileName(host_.Window(), QString(), lang_.UserLanguagesFolder(),
                                     FileFilter("fltLanguages", "*.bab"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".bab");
    try {
        lang_.WriteLanguage(path);
    } catch (const std::exception& e) {
        host_.ShowException(e);
    }
}

void TToolCommands::LoadOriginalLanguage() {
    if (!host_.CheckIdle()) return;
    lang_.LoadOriginalLanguage();
}

void TToolCommands::ShowManual() {
    ::ShowManual(host_.Window(), QStr(lang_.LanguageHelpFile));
}

void TToolCommands::ShowAbout() {
    QWidget* w = host_.Window();
    QMessageBox box(w);
    box.setObjectName(QStringLiteral("frmAbout"));
    box.setWindowTitle(QStringLiteral("Tamblix"));
    box.setIconPixmap(w->windowIcon().pixmap(64, 64));
    box.setText(QStringLiteral("<b>Tamblix %1</b><br>%2")
                    .arg(QStringLiteral(TAMBLIX_VERSION), MsgText("infoAbout").toHtmlEscaped()));
    TranslateButtons(box);
    box.exec();
}
