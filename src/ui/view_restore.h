#pragma once

#include "ui/main_host.h"

#include <vector>

class TLibObj;
class TTree;
class TTreeNode;

// Finding a view's node again after an operation rebuilt the trees.

// The row of each level from the top down to n (empty for none).
std::vector<int> RowPath(const TTreeNode* n);
// The node those rows lead to; where a level is gone, the last one that is left.
TTreeNode* NodeByRows(const TTree& tree, const std::vector<int>& rows);

// The volume's index and the catalog path of a node of the volume tree.
TViewRestore ViewRestoreOf(TTreeNode* node);
// The node a restore names: the one kept by the command, else by the volume's
// index and path, else (the volume moved) the first volume of that path.
TTreeNode* FindRestoredNode(const TLibObj& lib, const TViewRestore& restore);
