#include "search/content_groups.h"

#include "catalog/lib_records.h"
#include "text/name_text.h"

#include <algorithm>
#include <map>
#include <sys/stat.h>
#include <tuple>
#include <unordered_map>

namespace {

constexpr size_t kPollEvery = 1024;

struct TGroup {
    std::vector<TSearchRow> Rows;
    int64_t Wasted = 0;
    size_t First = 0; // where it was found: ties keep that order
};

// Marks every entry after the first of one file as a link to it.
void MarkLinks(TGroup& g, size_t& looked, const std::function<void()>& poll) {
    using TIdentity = std::tuple<const TLibFolder*, dev_t, ino_t>;
    std::map<TIdentity, bool> seen;
    for (TSearchRow& row : g.Rows) {
        if (++looked % kPollEvery == 0) poll();
        const TLibFolderItem* e = row.Entry;
        if (e->IsFolder || !e->Owner) continue;
        const std::string path = nametext::CaptionToDisk(GetEntrySourcePath(e));
        struct stat st {};
        // Only the file the catalog knows: a regular file of its size with another name.
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink < 2 ||
            st.st_size != e->Size)
            continue;
        row.Link = !seen.try_emplace({EntryVolume(e), st.st_dev, st.st_ino}, true).second;
    }
}

int64_t WastedSpace(int64_t size, size_t copies) {
    if (copies < 2 || size <= 0) return 0;
    int64_t wasted = 0;
    if (__builtin_mul_overflow(size, static_cast<int64_t>(copies - 1), &wasted)) return INT64_MAX;
    return wasted;
}

// The counts of the list in its new order (volume changes depend on it).
void Recount(TSearchResults& r) {
    TSearchStats stats;
    stats.Collections = r.DupStats.Collections;
    for (const TSearchRow& row : r.DupRows) {
        const TLibFolder* vol = EntryVolume(row.Entry);
        if (vol != stats.LastVolume) ++stats.Volumes;
        stats.LastVolume = vol;
        if (row.Entry->IsFolder)
            ++stats.Folders;
        else
            ++stats.Files;
        stats.AddSize(row.Entry->Size);
    }
    r.DupStats = stats;
}

} // namespace

void OrderContentGroups(TSearchResults& r, const std::function<void()>& poll) {
    std::unordered_map<TContentKey, size_t, TContentKeyHash> groupOf;
    std::vector<TGroup> groups;
    for (const TSearchRow& row : r.DupRows) {
        TContentKey key{row.Entry->Size, {}};
        ParseChecksum(TagValueOf(row.Entry->TagInfo.TextView(), kChecksumKey), key.Hash);
        auto [it, added] = groupOf.try_emplace(key, groups.size());
        if (added) groups.push_back({{}, 0, groups.size()});
        groups[it->second].Rows.push_back(row);
    }
    size_t looked = 0;
    for (TGroup& g : groups) {
        MarkLinks(g, looked, poll);
        const auto links = std::count_if(g.Rows.begin(), g.Rows.end(),
                                         [](const TSearchRow& row) { return row.Link; });
        g.Wasted =
            WastedSpace(g.Rows.front().Entry->Size, g.Rows.size() - static_cast<size_t>(links));
    }
    std::sort(groups.begin(), groups.end(), [](const TGroup& a, const TGroup& b) {
        const int64_t sa = a.Rows.front().Entry->Size, sb = b.Rows.front().Entry->Size;
        return std::tie(b.Wasted, sb, a.First) < std::tie(a.Wasted, sa, b.First);
    });
    r.DupRows.clear();
    int32_t number = 0;
    for (TGroup& g : groups) {
        ++number;
        for (TSearchRow& row : g.Rows) {
            row.Group = number;
            r.DupRows.push_back(row);
        }
    }
    Recount(r);
}
