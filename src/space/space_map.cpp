#include "space/space_map.h"

#include "catalog/lib_records.h"

#include <algorithm>
#include <cstdint>

namespace {

// A listed archive takes its own size on the disc; its members' sizes are unpacked ones.
bool IsPackedArchive(const TLibFolderItem* e) {
    return IsArchiveEntry(e);
}

int64_t OwnSize(const TLibFolderItem* e) {
    return e->Size > 0 ? e->Size : 0; // a damaged catalog may hold negative sizes
}

} // namespace

TTreeNode* OpenableFolder(const TTreeNode* owner, const TLibFolderItem* entry) {
    if (!owner || !entry->IsFolder || IsPackedArchive(entry)) return nullptr;
    return owner->FindChild(entry->Caption.view());
}

void TSpaceTotals::Compute(TTreeNode* root) {
    root_ = root;
    totals_.clear();
    if (!root) return;
    base_ = root->AbsoluteIndex();
    // Pre-order, as the tree numbers its nodes; children are summed before their parent.
    std::vector<const TTreeNode*> order, stack{root};
    while (!stack.empty()) {
        const TTreeNode* n = stack.back();
        stack.pop_back();
        order.push_back(n);
        for (int i = n->Count() - 1; i >= 0; --i)
            stack.push_back(n->Child(i));
    }
    // Summed by the catalog's own rule, so the picture agrees with every other total.
    std::vector<TCatalogTotals> sums(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        if (const TLibFolder* f = FolderOf(order[i])) sums[i] = OwnEntryTotals(f);
    for (size_t i = order.size(); i-- > 1;) {
        const TTreeNode* n = order[i];
        const TLibFolder* f = FolderOf(n);
        const size_t k = static_cast<size_t>(n->Parent()->AbsoluteIndex() - base_);
        if (f && k < order.size() && order[k] == n->Parent()) AddChildTotals(sums[k], f, sums[i]);
    }
    totals_.assign(order.size(), TTotal{});
    for (size_t i = 0; i < order.size(); ++i)
        totals_[i] = TTotal{sums[i].Bytes, sums[i].Files};
}

TSpaceTotals::TTotal TSpaceTotals::Of(const TTreeNode* node) const {
    if (!node || !root_) return {};
    const size_t k = static_cast<size_t>(node->AbsoluteIndex() - base_);
    return k < totals_.size() ? totals_[k] : TTotal{};
}

std::string_view TSpaceBlock::Name() const {
    if (Entry) return Entry->Caption.view();
    if (Node && Kind != TSpaceKind::Rest) return Node->Text();
    return {};
}

TSpaceRect TSpaceMap::Inside(const TSpaceBlock& b, const TSpaceOptions& o) {
    if (b.Depth == 0) return b.Rect; // the window names the root itself
    return {b.Rect.X + o.Padding, b.Rect.Y + o.TitleHeight, b.Rect.W - 2 * o.Padding,
            b.Rect.H - o.TitleHeight - o.Padding};
}

void TSpaceMap::Build(const TSpaceTotals& totals, const TSpaceRect& area,
                      const TSpaceOptions& options) {
    blocks_.clear();
    TTreeNode* root = totals.Root();
    if (!root) return;
    TSpaceBlock top;
    top.Rect = area;
    top.Size = totals.Of(root).Size;
    top.Files = totals.Of(root).Files;
    top.Node = root;
    top.Kind = TSpaceKind::Folder;
    top.Opens = true;
    blocks_.push_back(top);

    // Breadth first: a folder's children are one run, and every block is met once.
    for (size_t i = 0; i < blocks_.size(); ++i) {
        const TSpaceBlock b = blocks_[i];
        if (!b.Opens || b.Depth >= options.MaxDepth || b.Size <= 0) continue;
        const TSpaceRect inner = Inside(b, options);
        if (inner.W < options.MinOpenSide || inner.H < options.MinOpenSide) continue;
        const TLibFolder* f = FolderOf(b.Node);
        if (!f) continue;

        parts_.clear();
        double sum = 0;
        for (const auto& e : f->Items()) {
            TPart p{OwnSize(e.get()), IsPackedArchive(e.get()) || !e->IsFolder ? 1 : 0, e.get(),
                    OpenableFolder(b.Node, e.get()), parts_.size()};
            if (p.Folder) {
                const TSpaceTotals::TTotal t = totals.Of(p.Folder);
                p.Size = t.Size;
                p.Files = t.Files;
            }
            sum += static_cast<double>(p.Size);
            parts_.push_back(p);
        }
        if (!(sum > 0)) continue;
        // Parts too small to see go into one block; only the rest is sorted.
        const double scale = inner.Area() / sum;
        auto small = std::partition(parts_.begin(), parts_.end(), [&](const TPart& p) {
            return static_cast<double>(p.Size) * scale >= options.MinArea;
        });
        int64_t restSize = 0, restCount = 0;
        for (auto it = small; it != parts_.end(); ++it) {
            restSize = AddSizes(restSize, it->Size);
            ++restCount;
        }
        parts_.erase(small, parts_.end());
        std::sort(parts_.begin(), parts_.end(), [](const TPart& a, const TPart& c) {
            return a.Size != c.Size ? a.Size > c.Size : a.Index < c.Index;
        });
        // The rest block takes its place by size, which keeps the rows square.
        size_t restAt = SIZE_MAX;
        if (restSize > 0) {
            restAt = static_cast<size_t>(
                std::find_if(parts_.begin(), parts_.end(),
                             [&](const TPart& p) { return p.Size < restSize; }) -
                parts_.begin());
        }
        weights_.clear();
        for (size_t k = 0; k <= parts_.size(); ++k) {
            if (k == restAt) weights_.push_back(static_cast<double>(restSize));
            if (k < parts_.size()) weights_.push_back(static_cast<double>(parts_[k].Size));
        }
        Squarify(weights_, inner, rects_);

        blocks_[i].FirstChild = static_cast<int>(blocks_.size());
        blocks_[i].ChildCount = static_cast<int>(weights_.size());
        for (size_t k = 0, p = 0; k < weights_.size(); ++k) {
            TSpaceBlock c;
            c.Rect = rects_[k];
            c.Parent = static_cast<int>(i);
            c.Depth = b.Depth + 1;
            if (k == restAt) {
                c.Size = restSize;
                c.Files = restCount;
                c.Node = b.Node;
                c.Kind = TSpaceKind::Rest;
            } else {
                const TPart& part = parts_[p++];
                c.Size = part.Size;
                c.Files = part.Files;
                c.Entry = part.Entry;
                c.Kind = SpaceKindOf(part.Entry);
                c.Opens = part.Folder != nullptr;
                c.Node = part.Folder ? part.Folder : b.Node;
                if (c.Kind == TSpaceKind::Archive) {
                    // A click on an archive shows its member list.
                    if (TTreeNode* a = b.Node->FindChild(part.Entry->Caption.view())) c.Node = a;
                }
            }
            blocks_.push_back(c);
        }
    }
}

int TSpaceMap::BlockAt(double x, double y) const {
    if (blocks_.empty() || !blocks_[0].Rect.Contains(x, y)) return -1;
    int at = 0;
    for (;;) {
        const TSpaceBlock& b = blocks_[static_cast<size_t>(at)];
        int next = -1;
        for (int c = b.FirstChild; c >= 0 && c < b.FirstChild + b.ChildCount; ++c)
            if (blocks_[static_cast<size_t>(c)].Rect.Contains(x, y)) {
                next = c;
                break;
            }
        if (next < 0) return at;
        at = next;
    }
}

std::vector<TSpacePart> LargestParts(const TSpaceTotals& totals, const TTreeNode* folder,
                                     size_t count) {
    std::vector<TSpacePart> out;
    const TLibFolder* f = FolderOf(folder);
    if (!f || count == 0) return out;
    out.reserve(f->Items().size());
    for (const auto& e : f->Items()) {
        const TTreeNode* sub = OpenableFolder(folder, e.get());
        out.push_back({e->Caption.view(), sub ? totals.Of(sub).Size : OwnSize(e.get()),
                       SpaceKindOf(e.get())});
    }
    const size_t n = std::min(count, out.size());
    std::partial_sort(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n), out.end(),
                      [](const TSpacePart& a, const TSpacePart& b) {
                          return a.Size != b.Size ? a.Size > b.Size : a.Name < b.Name;
                      });
    out.resize(n);
    return out;
}
