#pragma once

#include "ui/catalog_host.h"

#include <vector>

class IProgress;
class ISettingsStore;
class IUiQuestions;
class TGlobalData;
class TLibFolderItem;
class TSearchResults;
class TTreeNode;

// How a search starts from the main window: the Find command, the tree's
// Search (the selected nodes), the list's Search (the entry's name) and its
// Search Duplicates (run at once).
enum class TSearchStart { Find, FromTree, ByName, Duplicates };

// What a located search result opens in the main window.
enum class TPropertiesOf { Collection, Folder, Entry };

// What the search window needs from the window that owns the catalog.
class ISearchHost : public ICatalogHost {
public:
    // True when another long operation runs.
    virtual bool OperationRunning() const = 0;

    virtual TGlobalData& GD() = 0;
    virtual ISettingsStore& Store() = 0;
    virtual IUiQuestions& Questions() = 0;
    virtual IProgress& OperationProgress() = 0;

    virtual std::vector<TTreeNode*> SelectedNodes(bool collections) const = 0;
    virtual void CatalogEdited() = 0;
    virtual void ExportResults(TSearchResults* results) = 0;
    // Locate: the node (ShowNode), the collection node and the entry in the main window.
    virtual void ShowColNode(TTreeNode* node) = 0;
    virtual void ShowEntry(TLibFolderItem* entry) = 0;
    virtual void BringToFront() = 0;
    virtual void ShowProperties(TPropertiesOf what) = 0;
    virtual void ShowHelp() = 0;
};
