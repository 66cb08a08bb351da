#include "platform/shell_services.h"

#include "platform/volume_info.h"

#include <QtCore/QFileInfo>
#include <QtCore/QMimeDatabase>
#include <QtCore/QProcess>

bool TDesktopShellServices::ShellOpen(const std::string& path) {
    QString p = QString::fromStdString(path);
    if (p.isEmpty() || !QFileInfo::exists(p)) return false;
    QUrl url = QUrl::fromLocalFile(QFileInfo(p).absoluteFilePath());
    return url.isValid() && OpenUrl(url);
}

bool TDesktopShellServices::OpenURL(const std::string& url) {
    QString u = QString::fromStdString(url).trimmed();
    if (u.isEmpty()) return false;
    QUrl parsed = QUrl::fromUserInput(u);
    return parsed.isValid() && OpenUrl(parsed);
}

bool TDesktopShellServices::OpenUrl(const QUrl& url) {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString()});
#else
    (void)url;
    return false;
#endif
}

std::string TDesktopShellServices::FileIconName(const std::string& fileName) {
    QMimeDatabase db;
    QMimeType type =
        db.mimeTypeForFile(QString::fromStdString(fileName), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) return {};
    return type.iconName().toStdString();
}

void InstallPlatformServices(TDesktopShellServices& shell) {
    static TSystemVolumeInfo volumes;
    SetShellServices(&shell);
    SetVolumeInfoProvider(&volumes);
}

void InstallPlatformServices() {
    static TDesktopShellServices shell;
    InstallPlatformServices(shell);
}
