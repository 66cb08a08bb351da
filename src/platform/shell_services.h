#pragma once

#include "files/shell_services.h"

#include <QtCore/QUrl>
#include <string>

// Opening files and URLs with the desktop's programs, and file-type icon names.
// QtCore only, so that the command-line tool does not load the window system's
// libraries; the desktop program installs the subclass in gui_shell_services.h.
class TDesktopShellServices : public IShellServices {
public:
    virtual ~TDesktopShellServices() = default;
    bool ShellOpen(const std::string& path) override;
    bool OpenURL(const std::string& url) override;
    std::string FileIconName(const std::string& fileName) override;

protected:
    // Hands a valid URL to the desktop's opener (xdg-open on Linux).
    virtual bool OpenUrl(const QUrl& url);
};

// Installs shell services and volume information for the core to use
// (SetShellServices, SetVolumeInfoProvider). Call once at start.
void InstallPlatformServices();
// The same with the given shell services, which must outlive every use.
void InstallPlatformServices(TDesktopShellServices& shell);
