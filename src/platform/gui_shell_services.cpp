#include "platform/gui_shell_services.h"

#include <QtGui/QDesktopServices>
#include <QtGui/QGuiApplication>

bool TGuiShellServices::OpenUrl(const QUrl& url) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QDesktopServices::openUrl(url);
    return TDesktopShellServices::OpenUrl(url);
}

void InstallGuiPlatformServices() {
    static TGuiShellServices shell;
    InstallPlatformServices(shell);
}
