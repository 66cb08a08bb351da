#include "catalog/tree.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

// Pre-order the plain way, through each node's children by position.
std::vector<TTreeNode*> Reference(const TTree& tree) {
    std::vector<TTreeNode*> order;
    std::vector<TTreeNode*> todo;
    for (int i = tree.RootCount() - 1; i >= 0; --i)
        todo.push_back(tree.Root(i));
    while (!todo.empty()) {
        TTreeNode* n = todo.back();
        todo.pop_back();
        order.push_back(n);
        for (int i = n->Count() - 1; i >= 0; --i)
            todo.push_back(n->Child(i));
    }
    return order;
}

// The walk first, while out-of-order children may still wait unmerged: the
// reference would merge them.
void ExpectWalkMatches(const TTree& tree, const std::string& after) {
    std::vector<TTreeNode*> walk;
    for (TTreeNode* n = tree.FirstNode(); n; n = TTree::NextPreOrder(n))
        walk.push_back(n);
    const std::vector<TTreeNode*> ref = Reference(tree);
    ASSERT_EQ(walk, ref) << "after " << after;
    ASSERT_EQ(static_cast<int>(ref.size()), tree.TotalCount()) << "after " << after;
    for (TTreeNode* n : ref) {
        const TTreeNode* p = n->Parent();
        const int i = n->Index();
        ASSERT_EQ(p ? p->Child(i) : tree.Root(i), n) << n->Text() << " after " << after;
        const int count = p ? p->Count() : tree.RootCount();
        TTreeNode* next = i + 1 < count ? (p ? p->Child(i + 1) : tree.Root(i + 1)) : nullptr;
        ASSERT_EQ(n->NextSibling(), next) << n->Text() << " after " << after;
    }
}

std::vector<TTreeNode*> AllNodes(const TTree& tree) {
    std::vector<TTreeNode*> all;
    tree.ForEach([&](TTreeNode* n) { all.push_back(n); });
    return all;
}

TEST(TreeWalkTest, PreOrderFollowsEveryChangeOfTheTree) {
    std::mt19937 rng(7);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    // Few distinct texts, so that equal names and names that differ only in
    // case are common.
    const char* const kTexts[] = {"a", "B", "b", "c", "D", "e", "f", "G", "a", "z"};
    auto text = [&] { return std::string(kTexts[pick(10)]) + std::to_string(pick(4)); };
    TTree tree;
    for (int i = 0; i < 4; ++i)
        tree.AddRoot(text(), nullptr);
    for (int step = 0; step < 400; ++step) {
        std::vector<TTreeNode*> all = AllNodes(tree);
        if (all.empty()) {
            tree.AddRoot(text(), nullptr);
            continue;
        }
        TTreeNode* n = all[pick(all.size())];
        std::string what;
        switch (pick(8)) {
        case 0:
        case 1:
            what = "add";
            tree.AddChild(n, text(), nullptr);
            break;
        case 2: // enough children out of order to leave a tail waiting
            what = "add many";
            for (int k = 0; k < 40; ++k)
                tree.AddChild(n, std::string(1, static_cast<char>('z' - k % 26)) + text(), nullptr);
            break;
        case 3:
            what = "delete";
            if (all.size() > 8) tree.Delete(n);
            break;
        case 4: { // several, none below another: the first level's nodes
            what = "delete several";
            if (all.size() < 30 || n->Count() < 3) break;
            std::vector<TTreeNode*> doomed{n->Child(0), n->Child(n->Count() - 1)};
            if (n->Count() > 3) doomed.push_back(n->Child(2));
            tree.Delete(doomed);
            break;
        }
        case 5:
            what = "rename";
            tree.SetText(n, text());
            break;
        case 6: {
            what = "move";
            TTreeNode* to = all[pick(all.size())];
            const bool refused = to == n || to->HasAsAncestor(n);
            EXPECT_EQ(tree.Move(n, to), !refused);
            break;
        }
        default:
            what = "add root";
            tree.AddRoot(text(), nullptr);
            tree.SortRoots();
            break;
        }
        ExpectWalkMatches(tree, what + " at step " + std::to_string(step));
        if (HasFatalFailure()) return;
    }
}

TEST(TreeWalkTest, AWalkFromAnyNodeGoesOnInPreOrder) {
    TTree tree;
    TTreeNode* r = tree.AddRoot("r", nullptr);
    TTreeNode* deep = r;
    for (int i = 0; i < 50; ++i)
        deep = tree.AddChild(deep, "d" + std::to_string(i), nullptr);
    // Out of order into a long list: a tail that the first reader merges.
    for (int i = 99; i >= 0; --i)
        tree.AddChild(r, "w" + std::to_string(1000 + i), nullptr);
    tree.AddRoot("s", nullptr);
    // From the deepest node the walk climbs fifty levels to the next sibling.
    // The walk goes first: Child() would merge the tail before the walk needs to.
    TTreeNode* next = TTree::NextPreOrder(deep);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->Text(), "w1000");
    EXPECT_EQ(next, r->Child(1));
    const std::vector<TTreeNode*> ref = Reference(tree);
    for (size_t i = 0; i < ref.size(); ++i)
        EXPECT_EQ(TTree::NextPreOrder(ref[i]), i + 1 < ref.size() ? ref[i + 1] : nullptr) << i;
}

} // namespace
