#pragma once

#include <QtGui/QIcon>
#include <QtGui/QImage>
#include <string>

// Icons; these need a QGuiApplication.

// The theme icon of the file's type, judged by its name; null when none.
QIcon GetFileIcon(const std::string& fileName);
// Standard icons by number: 0 file, 1 folder, 2 drive, 3 computer, 4 desktop,
// 5 trash, 6 network; null for any other number.
QIcon GetShellIcon(int index);
// Image number index of an image file (an .ico may hold several); null when
// the file holds no such image.
QImage ExtractFileImage(int index, const std::string& file);
QIcon ExtractFileIcon(int index, const std::string& file);
