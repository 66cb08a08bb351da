#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The record a tree node carries and owns.
class TTreeRecord {
public:
    virtual ~TTreeRecord() = default;
};

class TTree;

// One node of an ordered forest. Siblings stay sorted by text: case-insensitive
// first, the exact bytes breaking ties (names that differ only in case are
// different names on Linux).
class TTreeNode {
public:
    TTreeNode() = default;
    ~TTreeNode(); // frees descendants without recursion: trees may be very deep
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    TTreeNode* Parent() const { return parent_; }
    int Level() const;
    int Count() const { return static_cast<int>(children_.size()); }
    TTreeNode* Child(int i) const {
        SortChildren();
        return children_[static_cast<size_t>(i)].get();
    }
    TTreeNode* NextSibling() const;
    int Index() const; // position among its siblings, kept by every change of the list
    const std::string& Text() const { return text_; }
    TTreeRecord* Data() const { return data_.get(); }
    TTree* Tree() const { return tree_; }
    // Position in the whole tree's depth-first pre-order.
    int AbsoluteIndex() const;
    bool HasAsAncestor(const TTreeNode* other) const; // other is a proper ancestor

    // First child whose text equals `text` exactly; null when there is none.
    TTreeNode* FindChild(std::string_view text) const;

    int ImageIndex = 0;
    int SelectedIndex = 0;
    int StateIndex = 0;
    bool Expanded = false;

private:
    friend class TTree;
    struct TTail;
    void SortChildren() const {
        if (sortedChildren_ != children_.size()) MergeTail();
    }
    void MergeTail() const;

    TTree* tree_ = nullptr;
    TTreeNode* parent_ = nullptr;
    std::string text_;
    std::unique_ptr<TTreeRecord> data_;
    // children_[0, sortedChildren_) is in order. Children added out of order
    // wait in an unsorted tail (FindChild hashes it) and are merged in one
    // pass by the first reader that needs the order, so that adding k names
    // among n costs O(n + k log k), not O(n k). Walking the tree (a recount)
    // merges every tail, so readers on other threads only see sorted lists.
    mutable std::vector<std::unique_ptr<TTreeNode>> children_;
    mutable size_t sortedChildren_ = 0;
    mutable std::unique_ptr<TTail> tail_;
    mutable int absIndex_ = -1;
    // Place in the parent's list (or among the roots), so that a walk finds
    // a node's next sibling without a search among the names.
    int index_ = 0;
};

// Sibling order: CompareText, then the exact bytes.
int CompareNames(std::string_view a, std::string_view b);

// A forest of TTreeNode with the operations the catalog needs. Deleting a node
// calls OnRelease for every node of its subtree (children first) before the
// records are destroyed, so the owner can undo what the records are part of.
class TTree {
public:
    TTree() = default;
    ~TTree();
    TTree(const TTree&) = delete;
    TTree& operator=(const TTree&) = delete;

    std::function<void(TTreeNode*)> OnRelease;

    TTreeNode* AddRoot(std::string text, std::unique_ptr<TTreeRecord> data);
    TTreeNode* AddChild(TTreeNode* parent, std::string text, std::unique_ptr<TTreeRecord> data);
    // Adds under `parent`, or as a root when parent is null.
    TTreeNode* Add(TTreeNode* parent, std::string text, std::unique_ptr<TTreeRecord> data);

    int RootCount() const { return static_cast<int>(roots_.size()); }
    TTreeNode* Root(int i) const { return roots_[static_cast<size_t>(i)].get(); }
    TTreeNode* FirstNode() const { return roots_.empty() ? nullptr : roots_.front().get(); }
    int TotalCount() const { return total_; }
    TTreeNode* NodeAt(int index) const; // pre-order
    // The next node in pre-order after `node`, or null; O(1) amortised over a walk.
    static TTreeNode* NextPreOrder(const TTreeNode* node);

    void SetText(TTreeNode* node, std::string text); // re-sorts among siblings
    void Delete(TTreeNode* node);
    // Deletes many nodes, none of them below another, in one pass per sibling list.
    void Delete(const std::vector<TTreeNode*>& nodes);
    void Clear();
    // Moves a node with its subtree under `newParent` (null: to the root level).
    // Refused (false) when newParent is the node itself or below it.
    bool Move(TTreeNode* node, TTreeNode* newParent);
    // Re-sorts the root level (roots keep sorted order already; kept for callers
    // that changed texts behind the tree's back).
    void SortRoots();

    // Visits every node in pre-order; the visitor may not change the tree.
    template <typename F> void ForEach(F&& f) const {
        for (TTreeNode* n = FirstNode(); n; n = NextPreOrder(n))
            f(n);
    }

    // Bumped on every change of shape or order; views use it to drop stale state.
    unsigned Generation() const { return generation_; }

private:
    friend class TTreeNode;
    using NodeList = std::vector<std::unique_ptr<TTreeNode>>;
    NodeList& SiblingsOf(TTreeNode* node); // sorted
    TTreeNode* Insert(TTreeNode* parent, std::unique_ptr<TTreeNode> node);
    // Takes a node out of its (sorted) sibling list.
    std::unique_ptr<TTreeNode> Detach(TTreeNode* node);
    // Sets the places of list[from, end) after the list changed there.
    static void Reindex(const NodeList& list, size_t from);
    void ReleaseSubtree(TTreeNode* node);
    void Changed();
    void Renumber() const;
    static int CountSubtree(const TTreeNode* node);

    NodeList roots_;
    int total_ = 0;
    unsigned generation_ = 0;
    mutable bool numbered_ = true;
    mutable std::vector<TTreeNode*> order_;
};
