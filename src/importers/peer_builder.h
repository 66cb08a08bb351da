#pragma once

#include "catalog/scan_ops.h"
#include "importers/peer_catalog.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Builds the volumes of one peer catalog through the scan operations, as the
// text import does; keeps what was added so that a failure can take it back.
class TPeerBuilder {
public:
    TPeerBuilder(TLibObj& lib, IProgress& progress);

    // A new volume, made the current folder. A name the catalog already has
    // gets "#2", "#3"...; an empty one is "?".
    TLibFolder* BeginVolume(const std::string& name, const std::string& sourcePath);
    bool InVolume() const { return !frames_.empty(); }
    // Enters a subfolder of the current folder. Null (and the folder's
    // contents are skipped) when the name is empty or a file has it.
    TLibFolderItem* EnterFolder(const std::string& name, TDateTime date);
    // The folder record entered last (the volume's at first).
    TLibFolder* CurrentFolder() const;
    void LeaveFolder();
    // A file of the current folder; null when skipped (logged).
    TLibFolderItem* AddFile(const std::string& name, int64_t size, TDateTime date);
    // Makes `file` (just added) an archive and enters it.
    void BeginArchive(TLibFolderItem* file);
    // A member by its path inside the archive: "a/b/c.txt" is the file c.txt
    // in folder b in folder a of the archive. A folder member ("a/b/", or
    // `isFolder`) makes its folders and gives the last one its date; folders
    // only named by paths are made once, undated. A repeated path keeps the
    // first member (logged).
    void AddMember(std::string_view path, int64_t size, TDateTime date, bool isFolder = false);
    void EndArchive();
    // A logged line about something not imported as it was (capped in number).
    void Note(const std::string& key, const std::string& arg);
    // Every 4096 calls asks whether to stop; throws "infoCancel".
    void Poll();

    // Success: sorts, recounts, marks the catalog changed.
    void Finish();
    // Failure: removes every volume this import made.
    void Rollback();

    TPeerImportResult Result;

private:
    struct TFrame {
        TTreeNode* Node; // null: a folder whose contents are skipped
        std::string Path;
    };
    TTreeNode* Current() const { return frames_.empty() ? nullptr : frames_.back().Node; }
    // Adds a file entry to the current folder; null when skipped (logged).
    TLibFolderItem* AddEntry(const std::string& name, int64_t size, TDateTime date);
    // Enters a folder of the open archive; keeps its date unless one is given.
    void EnterMemberFolder(const std::string& name, TDateTime date, bool dated);

    TLibObj& lib_;
    IProgress& progress_;
    std::unique_ptr<TVolumeScanner> scanner_;
    std::unordered_set<std::string> volumeNames_;
    std::vector<TFrame> frames_;
    // The open archive: its frame's depth, and the member folders entered below it.
    size_t archiveDepth_ = 0;
    std::vector<std::string> memberDirs_;
    bool wasModified_;
    int64_t notes_ = 0;
    unsigned polls_ = 0;
};
