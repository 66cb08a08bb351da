#pragma once

#include "space/space_kind.h"
#include "space/squarify.h"

#include <cstdint>
#include <string_view>
#include <vector>

class TLibFolderItem;
class TTreeNode;

// Bytes and files below every folder of one catalog subtree, summed once so
// that drawing and hovering never walk the entries again. A folder counts its
// files and subfolders; an archive that was listed counts by its own size on
// the disc, not by its members. Sums saturate.
class TSpaceTotals {
public:
    struct TTotal {
        int64_t Size = 0;
        int64_t Files = 0;
    };

    // Linear in the entries below `root`; null clears.
    void Compute(TTreeNode* root);
    TTreeNode* Root() const { return root_; }
    // Zero for a node outside the subtree.
    TTotal Of(const TTreeNode* node) const;

private:
    TTreeNode* root_ = nullptr;
    int base_ = 0; // the root's place in the tree's pre-order
    std::vector<TTotal> totals_;
};

// The folder node a folder entry opens into; null for files, archives and
// folders the catalog has no node for.
TTreeNode* OpenableFolder(const TTreeNode* owner, const TLibFolderItem* entry);

// One block of the picture.
struct TSpaceBlock {
    TSpaceRect Rect;
    int64_t Size = 0;
    int64_t Files = 0; // files inside a folder, entries merged in a Rest block, else 1
    // The folder a folder block stands for; for a file (or a Rest block) the
    // folder that holds it; for a listed archive its archive node when it has one.
    TTreeNode* Node = nullptr;
    const TLibFolderItem* Entry = nullptr; // the entry shown; null for the root and Rest blocks
    int Parent = -1;
    int FirstChild = -1;
    int ChildCount = 0; // children laid out inside, largest first
    int Depth = 0;
    TSpaceKind Kind = TSpaceKind::Other;
    bool Opens = false; // a folder whose contents can be laid out inside it

    std::string_view Name() const;
};

struct TSpaceOptions {
    double MinArea = 36;     // square pixels; smaller parts join one Rest block
    int MaxDepth = 8;        // folder levels opened below the root
    double TitleHeight = 16; // a folder's name strip above its contents
    double Padding = 2;      // between a folder's frame and its contents
    double MinOpenSide = 28; // a folder smaller than this is drawn whole
};

// Lays out a folder's contents as nested squarified blocks: block 0 is the
// root, each opened folder's children follow as one run, largest first.
// Only what gets drawn is visited, so the cost follows the picture's size,
// not the catalog's.
class TSpaceMap {
public:
    void Build(const TSpaceTotals& totals, const TSpaceRect& area, const TSpaceOptions& options);
    const std::vector<TSpaceBlock>& Blocks() const { return blocks_; }
    void Clear() { blocks_.clear(); }
    // The deepest block holding the point; -1 outside.
    int BlockAt(double x, double y) const;
    // The inside of an opened folder block, where its children lie.
    static TSpaceRect Inside(const TSpaceBlock& b, const TSpaceOptions& options);

private:
    struct TPart {
        int64_t Size;
        int64_t Files;
        const TLibFolderItem* Entry;
        TTreeNode* Folder; // the folder it opens into
        size_t Index;      // catalog order, to break ties the same way every time
    };
    std::vector<TPart> parts_; // scratch, kept between folders
    std::vector<double> weights_;
    std::vector<TSpaceRect> rects_;
    std::vector<TSpaceBlock> blocks_;
};

// The largest entries of a folder (at most `count`), largest first.
struct TSpacePart {
    std::string_view Name;
    int64_t Size;
    TSpaceKind Kind;
};
std::vector<TSpacePart> LargestParts(const TSpaceTotals& totals, const TTreeNode* folder,
                                     size_t count);
