#include "catalog/tree.h"

#include "text/string_list.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {

bool NodeLess(const std::unique_ptr<TTreeNode>& a, const std::unique_ptr<TTreeNode>& b) {
    return CompareNames(a->Text(), b->Text()) < 0;
}

// Lists this short take an insert in place; longer ones get a tail.
constexpr size_t kShortList = 32;

} // namespace

// The tail's nodes by text (the first added of equal texts), built by the
// first FindChild that needs it: a load never asks and never pays for it.
struct TTreeNode::TTail {
    std::unordered_map<std::string_view, TTreeNode*> byText;
    size_t hashed = 0; // children_[sortedChildren_, hashed) are in byText
};

void TTreeNode::MergeTail() const {
    auto mid = children_.begin() + static_cast<std::ptrdiff_t>(sortedChildren_);
    // Stable both ways: equal names stay in the order they were added.
    std::stable_sort(mid, children_.end(), NodeLess);
    std::inplace_merge(children_.begin(), mid, children_.end(), NodeLess);
    sortedChildren_ = children_.size();
    tail_.reset();
    TTree::Reindex(children_, 0);
}

int CompareNames(std::string_view a, std::string_view b) {
    int c = CompareText(a, b);
    if (c != 0) return c;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

TTreeNode::~TTreeNode() {
    // Each node is freed with no children left, so the destructor never nests.
    std::vector<std::unique_ptr<TTreeNode>> doomed;
    doomed.swap(children_);
    while (!doomed.empty()) {
        std::unique_ptr<TTreeNode> n = std::move(doomed.back());
        doomed.pop_back();
        for (auto& c : n->children_)
            doomed.push_back(std::move(c));
        n->children_.clear();
    }
}

int TTreeNode::Level() const {
    int level = 0;
    for (TTreeNode* p = parent_; p; p = p->parent_)
        ++level;
    return level;
}

int TTreeNode::Index() const {
    // Merging a tail moves the nodes.
    if (parent_) parent_->SortChildren();
    return index_;
}

TTreeNode* TTreeNode::NextSibling() const {
    const size_t next = static_cast<size_t>(Index()) + 1;
    const auto& list = parent_ ? parent_->children_ : tree_->roots_;
    return next < list.size() ? list[next].get() : nullptr;
}

int TTreeNode::AbsoluteIndex() const {
    if (!tree_->numbered_) tree_->Renumber();
    return absIndex_;
}

bool TTreeNode::HasAsAncestor(const TTreeNode* other) const {
    for (TTreeNode* p = parent_; p; p = p->parent_)
        if (p == other) return true;
    return false;
}

TTreeNode* TTreeNode::FindChild(std::string_view text) const {
    auto end = children_.begin() + static_cast<std::ptrdiff_t>(sortedChildren_);
    auto it = std::lower_bound(children_.begin(), end, text,
                               [](const std::unique_ptr<TTreeNode>& n, std::string_view t) {
                                   return CompareNames(n->text_, t) < 0;
                               });
    if (it != end && (*it)->text_ == text) return it->get();
    if (sortedChildren_ == children_.size()) return nullptr;
    if (!tail_) {
        tail_ = std::make_unique<TTail>();
        tail_->hashed = sortedChildren_;
    }
    for (; tail_->hashed < children_.size(); ++tail_->hashed) {
        TTreeNode* n = children_[tail_->hashed].get();
        tail_->byText.emplace(n->text_, n);
    }
    auto found = tail_->byText.find(text);
    return found == tail_->byText.end() ? nullptr : found->second;
}

TTree::~TTree() {
    // Records may refer to each other; release them through the owner first.
    Clear();
}

TTree::NodeList& TTree::SiblingsOf(TTreeNode* node) {
    if (!node->parent_) return roots_;
    node->parent_->SortChildren();
    return node->parent_->children_;
}

TTreeNode* TTree::Insert(TTreeNode* parent, std::unique_ptr<TTreeNode> node) {
    node->tree_ = this;
    node->parent_ = parent;
    TTreeNode* raw = node.get();
    NodeList& list = parent ? parent->children_ : roots_;
    Changed();
    const bool inOrder = list.empty() || CompareNames(list.back()->text_, raw->text_) <= 0;
    if (parent &&
        (parent->sortedChildren_ != list.size() || (!inOrder && list.size() >= kShortList))) {
        raw->index_ = static_cast<int>(list.size());
        list.push_back(std::move(node));
        return raw;
    }
    // upper_bound keeps equal names in the order they were added.
    auto it = inOrder
                  ? list.end()
                  : std::upper_bound(list.begin(), list.end(), raw->text_,
                                     [](const std::string& t, const std::unique_ptr<TTreeNode>& n) {
                                         return CompareNames(t, n->text_) < 0;
                                     });
    it = list.insert(it, std::move(node));
    Reindex(list, static_cast<size_t>(it - list.begin()));
    if (parent) parent->sortedChildren_ = list.size();
    return raw;
}

std::unique_ptr<TTreeNode> TTree::Detach(TTreeNode* node) {
    NodeList& list = SiblingsOf(node);
    const auto at = static_cast<size_t>(node->index_);
    if (at >= list.size() || list[at].get() != node) return nullptr;
    std::unique_ptr<TTreeNode> own = std::move(list[at]);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
    Reindex(list, at);
    if (node->parent_) node->parent_->sortedChildren_ = list.size();
    return own;
}

void TTree::Reindex(const NodeList& list, size_t from) {
    for (size_t i = from; i < list.size(); ++i)
        list[i]->index_ = static_cast<int>(i);
}

TTreeNode* TTree::Add(TTreeNode* parent, std::string text, std::unique_ptr<TTreeRecord> data) {
    auto node = std::make_unique<TTreeNode>();
    node->text_ = std::move(text);
    node->data_ = std::move(data);
    ++total_;
    return Insert(parent, std::move(node));
}

TTreeNode* TTree::AddRoot(std::string text, std::unique_ptr<TTreeRecord> data) {
    return Add(nullptr, std::move(text), std::move(data));
}

TTreeNode* TTree::AddChild(TTreeNode* parent, std::string text, std::unique_ptr<TTreeRecord> data) {
    return Add(parent, std::move(text), std::move(data));
}

void TTree::Changed() {
    ++generation_;
    numbered_ = false;
}

void TTree::Renumber() const {
    order_.clear();
    order_.reserve(static_cast<size_t>(total_));
    int i = 0;
    for (TTreeNode* n = FirstNode(); n; n = NextPreOrder(n)) {
        n->absIndex_ = i++;
        order_.push_back(n);
    }
    numbered_ = true;
}

TTreeNode* TTree::NodeAt(int index) const {
    if (!numbered_) Renumber();
    if (index < 0 || static_cast<size_t>(index) >= order_.size()) return nullptr;
    return order_[static_cast<size_t>(index)];
}

TTreeNode* TTree::NextPreOrder(const TTreeNode* node) {
    node->SortChildren();
    if (!node->children_.empty()) return node->children_.front().get();
    // Climb until a node has a following sibling: each node is climbed from
    // once per walk, so a whole walk costs O(1) per node.
    for (const TTreeNode* n = node; n; n = n->parent_)
        if (TTreeNode* next = n->NextSibling()) return next;
    return nullptr;
}

int TTree::CountSubtree(const TTreeNode* node) {
    int n = 0;
    std::vector<const TTreeNode*> todo{node};
    while (!todo.empty()) {
        const TTreeNode* t = todo.back();
        todo.pop_back();
        ++n;
        for (const auto& c : t->children_)
            todo.push_back(c.get());
    }
    return n;
}

void TTree::ReleaseSubtree(TTreeNode* node) {
    if (!OnRelease) return;
    // Children first, in order, with an explicit stack instead of recursion.
    std::vector<std::pair<TTreeNode*, size_t>> todo{{node, 0}};
    while (!todo.empty()) {
        auto& [n, next] = todo.back();
        n->SortChildren();
        if (next < n->children_.size()) {
            TTreeNode* c = n->children_[next++].get();
            todo.emplace_back(c, 0);
            continue;
        }
        TTreeNode* done = n;
        todo.pop_back();
        OnRelease(done);
    }
}

void TTree::SetText(TTreeNode* node, std::string text) {
    std::unique_ptr<TTreeNode> own = Detach(node);
    if (!own) return;
    own->text_ = std::move(text);
    TTreeNode* parent = own->parent_;
    Insert(parent, std::move(own));
}

void TTree::Delete(TTreeNode* node) {
    if (!node) return;
    ReleaseSubtree(node);
    std::unique_ptr<TTreeNode> own = Detach(node);
    if (!own) return;
    total_ -= CountSubtree(node);
    Changed();
    own.reset();
}

void TTree::Delete(const std::vector<TTreeNode*>& nodes) {
    if (nodes.empty()) return;
    std::unordered_set<const TTreeNode*> doomed(nodes.begin(), nodes.end());
    std::vector<TTreeNode*> parents; // distinct; null stands for the root level
    bool roots = false;
    for (TTreeNode* n : nodes) {
        if (!n) continue;
        ReleaseSubtree(n);
        total_ -= CountSubtree(n);
        if (!n->parent_)
            roots = true;
        else
            parents.push_back(n->parent_);
    }
    std::sort(parents.begin(), parents.end());
    parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
    // One pass per list; the subtrees go after every list is consistent again.
    NodeList gone;
    auto sweep = [&](NodeList& list) {
        auto keep = std::stable_partition(list.begin(), list.end(),
                                          [&](const auto& p) { return !doomed.count(p.get()); });
        std::move(keep, list.end(), std::back_inserter(gone));
        list.erase(keep, list.end());
    };
    for (TTreeNode* p : parents) {
        p->SortChildren();
        sweep(p->children_);
        Reindex(p->children_, 0);
        p->sortedChildren_ = p->children_.size();
    }
    if (roots) {
        sweep(roots_);
        Reindex(roots_, 0);
    }
    Changed();
    gone.clear();
}

void TTree::Clear() {
    for (auto& r : roots_)
        ReleaseSubtree(r.get());
    NodeList old;
    old.swap(roots_);
    total_ = 0;
    Changed();
    old.clear();
}

bool TTree::Move(TTreeNode* node, TTreeNode* newParent) {
    if (!node || node == newParent || (newParent && newParent->HasAsAncestor(node))) return false;
    std::unique_ptr<TTreeNode> own = Detach(node);
    if (!own) return false;
    Insert(newParent, std::move(own));
    return true;
}

void TTree::SortRoots() {
    std::stable_sort(roots_.begin(), roots_.end(), [](const auto& a, const auto& b) {
        return CompareNames(a->text_, b->text_) < 0;
    });
    Reindex(roots_, 0);
    Changed();
}
