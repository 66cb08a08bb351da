#pragma once

#include "handlers/handlers.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Hashes the keys of maps looked up by string_view.
struct TKeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const;
};

// What a handler table claims of a file, answered once per extension: a scan
// asks it for every file, on several threads, while the table stays as it is.
class THandlerClaims {
public:
    struct TClaim {
        TArchiveKind Archive = TArchiveKind::None;
        std::vector<const std::string*> Readers; // reader titles, in run order
        bool Checksum = false;
        bool Thumbnail = false;
    };

    // The table must outlive this and stay unchanged meanwhile.
    explicit THandlerClaims(const THandlerList& handlers);
    THandlerClaims(const THandlerClaims&) = delete;
    THandlerClaims& operator=(const THandlerClaims&) = delete;

    // Safe to call from several threads at once. Valid while this lives.
    const TClaim& Of(std::string_view fileName) const;
    // Whether any handler is on: with none, every file's claim is empty.
    bool AnyActive() const { return anyActive_; }

private:
    static constexpr size_t kMaxKept = 1 << 16;
    // The table's answer; `kept` false for one past its limit.
    const TClaim& Find(std::string_view fileName, std::string_view key, bool& kept) const;

    const THandlerList& handlers_;
    bool anyActive_ = false;
    // Tells this table from any other a thread asked before, at any address.
    const uint64_t id_;
    mutable std::mutex mutex_;
    // Keyed by the file's extension and double extension; nodes never move.
    mutable std::unordered_map<std::string, TClaim, TKeyHash, std::equal_to<>> known_;
};
