#pragma once

#include <QtCore/QString>

class QImage;
class QTabWidget;
class QWidget;

// Pictures for looking at windows by eye. Nothing is saved unless the
// environment variable TAMBLIX_GRAB_DIR names a folder:
//   TAMBLIX_GRAB_DIR=/some/folder ./test_ui_main   ->  /some/folder/<name>.png

// The folder pictures go to, made if missing; empty when pictures are off.
QString GrabFolder();
// Saves a picture of `w` (shown for the moment if hidden) as <name>.png.
void GrabWindow(QWidget* w, const QString& name);
// Every page of a tabbed window as <name>_<page>.png, then back to the page it was on.
void GrabPages(QWidget* w, QTabWidget* pages, const QString& name);
// Saves an image made by the test (a rendered page) as <name>.png.
void GrabImage(const QImage& image, const QString& name);
