#include "ui/help_window.h"

#include "ui/ui_questions.h"

#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QUrl>
#include <QtWidgets/QTextBrowser>
#include <QtWidgets/QVBoxLayout>
#include <QtWidgets/QWidget>

void InitUiResources() {
    Q_INIT_RESOURCE(tamblix_ui);
}

void ShowManual(QWidget* parent, const QString& helpFile) {
    static QPointer<QWidget> window;
    if (!window) {
        window = new QWidget(parent, Qt::Window);
        window->setObjectName(QStringLiteral("frmHelp"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(MsgText("infoHelpTitle"));
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* browser = new QTextBrowser(window);
        browser->setObjectName(QStringLiteral("hlpBrowser"));
        browser->setOpenExternalLinks(true);
        layout->addWidget(browser);
        window->resize(720, 640);
    }
    auto* browser = window->findChild<QTextBrowser*>(QStringLiteral("hlpBrowser"));
    QUrl source(QStringLiteral("qrc:/tamblix/manual.html"));
    if (!helpFile.isEmpty() && QFileInfo(helpFile).isFile() &&
        (helpFile.endsWith(QLatin1String(".html"), Qt::CaseInsensitive) ||
         helpFile.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
         helpFile.endsWith(QLatin1String(".md"), Qt::CaseInsensitive)))
        source = QUrl::fromLocalFile(QFileInfo(helpFile).absoluteFilePath());
    browser->setSource(source);
    window->show();
    window->raise();
    window->activateWindow();
}
