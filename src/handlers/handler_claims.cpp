#include "handlers/handler_claims.h"

#include <atomic>

namespace {

// The part of a name the table's answers hang on: its extension and double
// extension (".TAR.GZ") as the table reads them, in their own case. A name
// without an extension gives "".
std::string_view ClaimKey(std::string_view name) {
    const size_t last = name.find_last_of("./\\");
    if (last == std::string_view::npos || name[last] != '.') return {};
    const size_t before = last == 0 ? std::string_view::npos : name.find_last_of("./\\", last - 1);
    // A double extension needs a dot of its own with something before it.
    if (before == std::string_view::npos || before == 0 || name[before] != '.')
        return name.substr(last);
    return name.substr(before);
}

std::atomic<uint64_t> gLastTableId{0};

// Each thread's own copy of the answers it was given, so that the walk and
// its readers, asking for every file, do not queue on the table's lock.
struct TThreadClaims {
    uint64_t table = 0;
    std::unordered_map<std::string, const THandlerClaims::TClaim*, TKeyHash, std::equal_to<>> known;
};

} // namespace

size_t TKeyHash::operator()(std::string_view s) const {
    return std::hash<std::string_view>{}(s);
}

THandlerClaims::THandlerClaims(const THandlerList& handlers)
    : handlers_(handlers), id_(++gLastTableId) {
    for (const THandlerPtr& h : handlers.Items())
        anyActive_ = anyActive_ || h->Active;
}

const THandlerClaims::TClaim& THandlerClaims::Of(std::string_view fileName) const {
    static const TClaim kNothing;
    if (!anyActive_) return kNothing;
    const std::string_view key = ClaimKey(fileName);
    thread_local TThreadClaims mine;
    if (mine.table != id_) {
        mine.known.clear();
        mine.table = id_;
    }
    if (auto it = mine.known.find(key); it != mine.known.end()) return *it->second;
    bool kept = false;
    const TClaim& claim = Find(fileName, key, kept);
    if (kept) mine.known.emplace(std::string(key), &claim);
    return claim;
}

const THandlerClaims::TClaim& THandlerClaims::Find(std::string_view fileName, std::string_view key,
                                                   bool& kept) const {
    kept = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (auto it = known_.find(key); it != known_.end()) return it->second;
    }
    TClaim claim;
    const std::string name(fileName);
    claim.Archive = handlers_.ArchiveKindOf(name);
    claim.Readers = handlers_.ClaimingReaders(name);
    claim.Checksum = handlers_.ChecksumClaimsFile(name);
    claim.Thumbnail = handlers_.ThumbnailClaimsFile(name);
    std::lock_guard<std::mutex> lock(mutex_);
    // Extensions are few on a real disc; a volume of made-up ones is not kept.
    if (known_.size() >= kMaxKept) {
        kept = false;
        thread_local TClaim unkept;
        unkept = std::move(claim);
        return unkept;
    }
    return known_.emplace(std::string(key), std::move(claim)).first->second;
}
