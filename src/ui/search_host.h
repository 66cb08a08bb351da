#pragma once

#include <QtCore/QObject>
#include <functional>
#include <vector>

class IProgress;
class ISettingsStore;
class IUiQuestions;
class TGlobalData;
class TLibFolderItem;
class TLibObj;
class TSearchResults;
class TTreeNode;

// How a search starts from the main window: the Find command, the tree's
// Search (the selected nodes), the list's Search (the entry's name) and its
// Search Duplicates (run at once).
enum class TSearchStart { Find, FromTree, ByName, Duplicates };

// What a located search result opens in the main window.
enum class TPropertiesOf { Collection, Folder, Entry };

// What the search window needs from the window that owns the catalog.
class ISearchHost {
public:
    virtual ~ISearchHost() = default;

    // The catalog shown now; null while it is being replaced.
    virtual TLibObj* CurrentCatalog() = 0;
    // Frozen while a long operation changes the catalog: nothing may read it.
    virtual bool CatalogFrozen() const = 0;
    // `changed` runs whenever the catalog is replaced, frozen, thawed or frees records.
    virtual void WatchCatalog(QObject* context, std::function<void()> changed) = 0;
    // True when another long operation runs.
    virtual bool OperationRunning() const = 0;

    virtual TGlobalData& GD() = 0;
    virtual ISettingsStore& Store() = 0;
    virtual IUiQuestions& Questions() = 0;
    virtual IProgress& OperationProgress() = 0;

    virtual std::vector<TTreeNode*> SelectedNodes(bool collections) const = 0;
    virtual void CatalogEdited() = 0;
    virtual void ExportResults(TSearchResults* results) = 0;
    // Locate: the node (or collection node) and the entry in the main window.
    virtual void ShowNode(TTreeNode* node) = 0;
    virtual void ShowColNode(TTreeNode* node) = 0;
    virtual void ShowEntry(TLibFolderItem* entry) = 0;
    virtual void BringToFront() = 0;
    virtual void ShowProperties(TPropertiesOf what) = 0;
    virtual void ShowHelp() = 0;
};
