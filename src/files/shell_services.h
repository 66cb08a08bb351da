#pragma once

#include <string>

// What the desktop offers to open files and name their icons. The platform
// library fills it in; without services every call does nothing and fails.
class IShellServices {
public:
    virtual ~IShellServices() = default;
    // Opens path (a file or folder) with its default program. True on success.
    virtual bool ShellOpen(const std::string& path) = 0;
    // Opens url in the user's web browser. True on success.
    virtual bool OpenURL(const std::string& url) = 0;
    // The icon-theme name of the file's type ("audio-mpeg", "text-plain"),
    // judged by name; empty when the type is unknown.
    virtual std::string FileIconName(const std::string& fileName) = 0;
};

// The services the free functions use; the caller keeps them alive.
void SetShellServices(IShellServices* services);
IShellServices* ShellServices();

// Failures (no services, no program for the type) give false, never an error.
bool ShellOpen(const std::string& path);
bool OpenURL(const std::string& url);
std::string FileIconName(const std::string& fileName);
