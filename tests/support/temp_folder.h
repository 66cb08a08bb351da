#pragma once

#include <filesystem> // for callers: most tests that make files also walk them
#include <string>
#include <string_view>

// A fresh folder under the system's temporary folder, removed with all it holds
// when the object goes away (folders made unreadable by a test included).
//   TTempFolder tmp;
//   tmp.Write("disc/a/b.txt", "data");   // parent folders are made
//   ReadFile(tmp.File("disc/a/b.txt"));   // "data"
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    // The folder, without a trailing separator.
    const std::string& Path() const { return path_; }
    // `rel` inside the folder; nothing is made.
    std::string File(std::string_view rel) const;
    // Writes `data` to `rel` (parent folders made); returns the full path.
    std::string Write(std::string_view rel, std::string_view data) const;
    // Makes the folder `rel` and its parents; returns the full path.
    std::string MakeFolder(std::string_view rel) const;
    // The bytes of `rel`; empty when it cannot be read.
    std::string Read(std::string_view rel) const;

private:
    std::string path_;
};

// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Replaces the file with `data`, making parent folders; false on failure.
bool WriteFile(const std::string& path, std::string_view data);
