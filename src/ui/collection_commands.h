#pragma once

#include <QtCore/QString>

class IMainHost;
class TTreeNode;
class TVolumeCommands;

// The commands of the collections tree: new collections and memo items,
// rename, delete, open a link, properties, and dropping catalog nodes or
// list entries onto a collection. Renaming a volume in place lands here too.
class TCollectionCommands {
public:
    TCollectionCommands(IMainHost& host, TVolumeCommands& volumes);

    void Add();
    void AddSub();
    void NewMemo();
    void Rename();
    void Delete();
    void OpenLink();
    void Properties();
    // Links the dragged items of `source` ("tvNodes", "lv", "tvCol") under `target`.
    void Drop(const QString& source, TTreeNode* target);
    // An in-place edit of a node's text in either tree.
    void ApplyRename(TTreeNode* node, const QString& text);
    // The catalog's generation the views were built for: drops and edits
    // against older views are ignored.
    void SetViewGeneration(unsigned generation) { viewGeneration_ = generation; }

private:
    // A new collection under `parent` (null: at the top), selected in its view.
    void AddUnder(TTreeNode* parent);

    IMainHost& host_;
    TVolumeCommands& volumes_;
    unsigned viewGeneration_ = 0;
};
