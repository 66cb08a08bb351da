#include "platform/file_icons.h"

#include <QtCore/QMimeDatabase>
#include <QtGui/QImageReader>
#include <QtGui/QPixmap>
#include <iterator>

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
