#pragma once

#include <functional>

class QObject;
class TLibObj;
class TTreeNode;

// What a window that shows the open catalog (search, space) needs from the
// window that owns it.
class ICatalogHost {
public:
    virtual ~ICatalogHost() = default;

    // The catalog shown now; null while it is being replaced.
    virtual TLibObj* CurrentCatalog() = 0;
    // Frozen while a long operation changes the catalog: nothing may read it.
    virtual bool CatalogFrozen() const = 0;
    // `changed` runs whenever the catalog is replaced, frozen, thawed or frees records.
    virtual void WatchCatalog(QObject* context, std::function<void()> changed) = 0;
    // Selects the node in the catalog tree.
    virtual void ShowNode(TTreeNode* node) = 0;
};
