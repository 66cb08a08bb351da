#include "catalog/tree.h"

#include "analysis/string_list.h"

#include <algorithm>

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
    const auto& list = parent_ ? parent_->children_ : tree_->roots_;
    // Siblings are sorted, so find the block of equal names and then this node.
    auto it = std::lower_bound(list.begin(), list.end(), text_,
                               [](const std::unique_ptr<TTreeNode>& n, const std::string& t) {
                                   return CompareNames(n->text_, t) < 0;
                               });
    for (; it != list.end(); ++it)
        if (it->get() == this) return static_cast<int>(it - list.begin());
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == this) return static_cast<int>(i);
    return -1;
}

TTreeNode* TTreeNode::NextSibling() const {
    const auto& list = parent_ ? parent_->children_ : tree_->roots_;
    int i = Index();
    if (i < 0 || static_cast<size_t>(i) + 1 >= list.size()) return nullptr;
    return list[static_cast<size_t>(i) + 1].get();
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
    auto it = std::lower_bound(children_.begin(), children_.end(), text,
                               [](const std::unique_ptr<TTreeNode>& n, std::string_view t) {
                                   return CompareNames(n->text_, t) < 0;
                               });
    if (it != children_.end() && (*it)->text_ == text) return it->get();
    return nullptr;
}

TTree::~TTree() {
    // Records may refer to each other; release them through the owner first.
    Clear();
}

TTree::NodeList& TTree::SiblingsOf(TTreeNode* node) {
    return node->parent_ ? node->parent_->children_ : roots_;
}

TTreeNode* TTree::Insert(NodeList& list, TTreeNode* parent, std::unique_ptr<TTreeNode> node) {
    node->tree_ = this;
    node->parent_ = parent;
    // upper_bound keeps equal names in the order they were added.
    auto it = std::upper_bound(list.begin(), list.end(), node->text_,
                               [](const std::string& t, const std::unique_ptr<TTreeNode>& n) {
                                   return CompareNames(t, n->text_) < 0;
                               });
    TTreeNode* raw = node.get();
    list.insert(it, std::move(node));
    Changed();
    return raw;
}

TTreeNode* TTree::Add(TTreeNode* parent, std::string text, std::unique_ptr<TTreeRecord> data) {
    auto node = std::make_unique<TTreeNode>();
    node->text_ = std::move(text);
    node->data_ = std::move(data);
    ++total_;
    return Insert(parent ? parent->children_ : roots_, parent, std::move(node));
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
    if (!node->children_.empty()) return node->children_.front().get();
    // Climb until a node has a following sibling; a node's place among its
    // siblings is found by a binary search on its text.
    const TTreeNode* n = node;
    while (n) {
        const auto& list = n->parent_ ? n->parent_->children_ : n->tree_->roots_;
        int i = n->Index();
        if (i >= 0 && static_cast<size_t>(i) + 1 < list.size())
            return list[static_cast<size_t>(i) + 1].get();
        n = n->parent_;
    }
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
    NodeList& list = SiblingsOf(node);
    auto it =
        std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == node; });
    if (it == list.end()) return;
    std::unique_ptr<TTreeNode> own = std::move(*it);
    list.erase(it);
    own->text_ = std::move(text);
    TTreeNode* parent = own->parent_;
    Insert(list, parent, std::move(own));
}

void TTree::Delete(TTreeNode* node) {
    if (!node) return;
    ReleaseSubtree(node);
    NodeList& list = SiblingsOf(node);
    auto it =
        std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == node; });
    if (it == list.end()) return;
    total_ -= CountSubtree(node);
    std::unique_ptr<TTreeNode> own = std::move(*it);
    list.erase(it);
    Changed();
    own.reset();
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
    NodeList& list = SiblingsOf(node);
    auto it =
        std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == node; });
    if (it == list.end()) return false;
    std::unique_ptr<TTreeNode> own = std::move(*it);
    list.erase(it);
    Insert(newParent ? newParent->children_ : roots_, newParent, std::move(own));
    return true;
}

void TTree::SortRoots() {
    std::stable_sort(roots_.begin(), roots_.end(), [](const auto& a, const auto& b) {
        return CompareNames(a->text_, b->text_) < 0;
    });
    Changed();
}
