#pragma once

#include <string>
#include <string_view>

class TLibObj;
class TTreeNode;
struct TCatalogTarget;

// The collections tree's own paths: captions joined with "\" (a "\" inside a
// caption written as in catalog paths), "Shelf\Films".
std::string GetColPath(const TTreeNode* node);
// The node of a path, the first sibling of that caption at each level; null
// when there is none (an empty path too).
TTreeNode* FindColNodeByPath(const TLibObj& lib, std::string_view path);

// Whether `moving` may be dropped onto `target` (null: the root level):
// never onto itself or below itself.
bool CanDropColNode(const TTreeNode* moving, const TTreeNode* target);

// A memo item under `parent` (null: the root level); an empty caption takes
// the default one.
TTreeNode* AddMemo(TLibObj& lib, TTreeNode* parent, const std::string& caption,
                   const std::string& url, const std::string& memo, int imageIndex,
                   const std::string& defaultCaption);

// A link under `parent` to a volume, folder or file of the catalog tree.
TTreeNode* LinkCatalogTarget(TLibObj& lib, TTreeNode* parent, const TCatalogTarget& target);
