#include "files/shell_services.h"

namespace {
IShellServices* gServices = nullptr;
}

void SetShellServices(IShellServices* services) {
    gServices = services;
}

IShellServices* ShellServices() {
    return gServices;
}

bool ShellOpen(const std::string& path) {
    try {
        return gServices && !path.empty() && gServices->ShellOpen(path);
    } catch (...) {
        return false;
    }
}

bool OpenURL(const std::string& url) {
    try {
        return gServices && !url.empty() && gServices->OpenURL(url);
    } catch (...) {
        return false;
    }
}

std::string FileIconName(const std::string& fileName) {
    try {
        return gServices ? gServices->FileIconName(fileName) : std::string();
    } catch (...) {
        return {};
    }
}
