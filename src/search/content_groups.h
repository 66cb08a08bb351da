#pragma once

#include "files/file_checksum.h"
#include "search/search_engine.h"

#include <cstdint>
#include <functional>

// Files of the same size and content hash.
struct TContentKey {
    int64_t Size;
    TContentHash Hash;
    bool operator==(const TContentKey&) const = default;
};
struct TContentKeyHash {
    size_t operator()(const TContentKey& k) const {
        // The hash is already uniform: fold in the size and take it.
        return static_cast<size_t>(k.Hash.Low ^ (k.Hash.High * 0x9e3779b97f4a7c15ull) ^
                                   static_cast<uint64_t>(k.Size));
    }
};

// Duplicates by content, made readable: the rows of one group together, the
// groups by the space their copies waste (largest first) and numbered in that
// order, and entries that are one file under two names (hard links on the
// same volume) marked as links: deleting one frees nothing.
//
// Links are found where the volume can be reached now: the catalog keeps no
// file identity, so each listed file is looked up under the volume's source
// path, and two entries of one volume are one file when the same device and
// inode answer, with the size the catalog has. Where the volume is not there,
// no entry is a link.
//
// poll is called now and then; it may throw to stop.
void OrderContentGroups(TSearchResults& r, const std::function<void()>& poll);
