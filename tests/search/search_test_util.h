#pragma once

#include "analysis/date_time.h"
#include "catalog/lib_obj.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>

// Builds catalogs through the model, as a load would.
class TCatalogBuilder {
public:
    explicit TCatalogBuilder(TLibObj& lib) : lib_(lib) {}

    TTreeNode* Volume(const std::string& caption, const std::string& location = {},
                      const std::string& serial = {}) {
        auto f = std::make_unique<TLibFolder>();
        f->Caption = caption;
        f->Location = location;
        f->Serial = serial;
        f->SourcePath = caption + "\\";
        return lib_.AddVolumeNode(std::move(f));
    }
    // A folder node with its folder entry in the parent.
    TTreeNode* Folder(TTreeNode* parent, const std::string& caption, TDateTime date = 0,
                      const std::string& category = {}, const std::string& comments = {}) {
        auto f = std::make_unique<TLibFolder>();
        f->Caption = caption;
        f->Date = date;
        f->Category = category;
        f->Comments = comments;
        TLibFolderItem* e = File(parent, caption, 0, date);
        e->IsFolder = 1;
        e->Category = category;
        e->Comments = comments;
        return lib_.AddFolderNode(parent, std::move(f));
    }
    TLibFolderItem* File(TTreeNode* folder, const std::string& caption, int64_t size = 0,
                         TDateTime date = 0, const std::string& category = {},
                         const std::string& comments = {}) {
        auto e = std::make_unique<TLibFolderItem>();
        e->Caption = caption;
        e->Size = size;
        e->Date = date;
        e->Category = category;
        e->Comments = comments;
        return lib_.AddEntry(FolderOf(folder), std::move(e));
    }

private:
    TLibObj& lib_;
};

inline TDateTime Day(const char* iso) {
    TDateTime d = 0;
    ParseDateTimeISO(iso, d);
    return d;
}

class TTempFolder {
public:
    TTempFolder() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "tamblix-search-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TTempFolder() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

// Records what an operation logged; can ask to stop after a number of polls.
class TRecordingProgress : public IProgress {
public:
    void BeginProgress(const std::string&, int64_t total) override { Total = total; }
    void StepProgress(const std::string&, int64_t position) override {
        if (StopAtStep >= 0 && position >= StopAtStep) StopAfter = 0;
    }
    void EndProgress(const std::string& text) override { Ended = text; }
    void ShowStatus(const std::string& text, const std::string&, bool log) override {
        if (log) Logged.push_back(text);
    }
    void LogMessage(const std::string& text) override { Logged.push_back(text); }
    bool StopRequested() const override {
        if (StopAfter < 0) return false;
        return ++polls_ > StopAfter || StopAfter == 0;
    }

    int64_t Total = -1;
    std::string Ended;
    std::vector<std::string> Logged;
    long StopAfter = -1;
    int64_t StopAtStep = -1;

private:
    mutable long polls_ = 0;
};
