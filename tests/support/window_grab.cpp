#include "support/window_grab.h"

#include <QtCore/QDir>
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtTest/QtTest>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QWidget>

QString GrabFolder() {
    QString dir = qEnvironmentVariable("TAMBLIX_GRAB_DIR");
    if (!dir.isEmpty()) QDir().mkpath(dir);
    return dir;
}

namespace {

QString PngPath(const QString& dir, const QString& name) {
    return QDir(dir).filePath(name + QStringLiteral(".png"));
}

void Save(QWidget* w, const QString& dir, const QString& name) {
    // Let the layout settle after a page change.
    QTest::qWait(30);
    w->grab().save(PngPath(dir, name));
}

// Shows a hidden window for the time of `grab`.
template <class F> void Shown(QWidget* w, F grab) {
    bool wasVisible = w->isVisible();
    if (!wasVisible) w->show();
    (void)QTest::qWaitForWindowExposed(w);
    grab();
    if (!wasVisible) w->hide();
}

} // namespace

void GrabWindow(QWidget* w, const QString& name) {
    QString dir = GrabFolder();
    if (dir.isEmpty()) return;
    Shown(w, [&] { Save(w, dir, name); });
}

void GrabPages(QWidget* w, QTabWidget* pages, const QString& name) {
    QString dir = GrabFolder();
    if (dir.isEmpty()) return;
    Shown(w, [&] {
        int keep = pages->currentIndex();
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            Save(w, dir, name + QLatin1Char('_') + QString::number(i));
        }
        pages->setCurrentIndex(keep);
    });
}

void GrabImage(const QImage& image, const QString& name) {
    QString dir = GrabFolder();
    if (!dir.isEmpty()) image.save(PngPath(dir, name));
}
