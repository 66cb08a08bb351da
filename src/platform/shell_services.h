#pragma once

#include "analysis/shell_services.h"

#include <QtGui/QIcon>
#include <QtGui/QImage>
#include <string>

// Opening files and URLs with the desktop's programs, and file-type icon names.
class TDesktopShellServices : public IShellServices {
public:
    bool ShellOpen(const std::string& path) override;
    bool OpenURL(const std::string& url) override;
    std::string FileIconName(const std::string& fileName) override;
};

// Installs the desktop's shell services and volume information for the core
// to use (SetShellServices, SetVolumeInfoProvider). Call once at start.
void InstallPlatformServices();

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
