#pragma once

#include <string>

class IMainHost;
class IUiQuestions;
class TfrmNewVolume;
class TfrmUpdate;
struct TPropertiesTarget;

// The commands on volumes, folders and the list's entries: add, update,
// delete, properties, open, the real source, selection and the printed cover.
class TVolumeCommands {
public:
    explicit TVolumeCommands(IMainHost& host);
    ~TVolumeCommands();
    TVolumeCommands(const TVolumeCommands&) = delete;
    TVolumeCommands& operator=(const TVolumeCommands&) = delete;

    void Add();
    void Update();
    void DeleteNodes();
    void DeleteEntries();
    // Properties of the selected nodes (of the catalog when none), of the
    // catalog, and of the list's selected entries.
    void NodeProperties();
    void CatalogProperties();
    void EntryProperties();
    // A folder entry opens its folder's node; a file shows its properties.
    void OpenEntry();
    void OpenRealSource();
    void SelectAll();
    void InvertSelection();
    void Refresh();
    void PrintCover();

    // The add and update dialogs, made once (the add dialog keeps its title between volumes).
    TfrmNewVolume& NewVolumeDialog();
    TfrmUpdate& UpdateDialog();

private:
    void RunProperties(const TPropertiesTarget& target);

    IMainHost& host_;
    TfrmNewVolume* newVolume_ = nullptr;
    TfrmUpdate* update_ = nullptr;
};

// A path or URL the desktop could not open: "not found" only when it is not there.
void ShowOpenFailure(IUiQuestions& questions, const std::string& path);
