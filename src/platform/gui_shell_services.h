#pragma once

#include "platform/shell_services.h"

// Shell services that open through the window system's own handler (portals,
// the desktop's default programs) once a QGuiApplication exists.
class TGuiShellServices : public TDesktopShellServices {
protected:
    bool OpenUrl(const QUrl& url) override;
};

// InstallPlatformServices with the window system's opener; for the desktop program.
void InstallGuiPlatformServices();
