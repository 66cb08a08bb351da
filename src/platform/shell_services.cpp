#include "platform/shell_services.h"

#include "platform/volume_info.h"

#include <QtCore/QFileInfo>
#include <QtCore/QMimeDatabase>
#include <QtCore/QProcess>
#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>
#include <QtGui/QGuiApplication>
#include <QtGui/QImageReader>
#include <QtGui/QPixmap>

namespace {

bool HaveGui() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

bool OpenUrl(const QUrl& url) {
    if (!url.isValid()) return false;
    if (HaveGui()) return QDesktopServices::openUrl(url);
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    // Without a window system connection (the command-line tool) hand it to
    // the desktop's opener.
    return QProcess::startDetached("xdg-open", {url.toString()});
#else
    return false;
#endif
}

} // namespace

bool TDesktopShellServices::ShellOpen(const std::string& path) {
    QString p = QString::fromStdString(path);
    if (p.isEmpty() || !QFileInfo::exists(p)) return false;
    return OpenUrl(QUrl::fromLocalFile(QFileInfo(p).absoluteFilePath()));
}

bool TDesktopShellServices::OpenURL(const std::string& url) {
    QString u = QString::fromStdString(url).trimmed();
    if (u.isEmpty()) return false;
    return OpenUrl(QUrl::fromUserInput(u));
}

std::string TDesktopShellServices::FileIconName(const std::string& fileName) {
    QMimeDatabase db;
    QMimeType type =
        db.mimeTypeForFile(QString::fromStdString(fileName), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) return {};
    return type.iconName().toStdString();
}

void InstallPlatformServices() {
    static TDesktopShellServices shell;
    static TSystemVolumeInfo volumes;
    SetShellServices(&shell);
    SetVolumeInfoProvider(&volumes);
}

QIcon GetFileIcon(const std::string& fileName) {
    QMimeDatabase db;
    QMimeType type =
        db.mimeTypeForFile(QString::fromStdString(fileName), QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) return {};
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    return icon;
}

QIcon GetShellIcon(int index) {
    static const char* const names[] = {"text-x-generic",   "folder",       "drive-harddisk",
                                        "computer",         "user-desktop", "user-trash",
                                        "network-workgroup"};
    if (index < 0 || index >= static_cast<int>(std::size(names))) return {};
    return QIcon::fromTheme(QString::fromLatin1(names[index]));
}

QImage ExtractFileImage(int index, const std::string& file) {
    if (index < 0) return {};
    QImageReader reader(QString::fromStdString(file));
    if (!reader.canRead()) return {};
    if (index > 0) {
        // Formats without several images report 0 or 1 here.
        if (reader.imageCount() <= index || !reader.jumpToImage(index)) return {};
    }
    QImage image = reader.read();
    return image;
}

QIcon ExtractFileIcon(int index, const std::string& file) {
    QImage image = ExtractFileImage(index, file);
    if (image.isNull()) return {};
    return QIcon(QPixmap::fromImage(image));
}
