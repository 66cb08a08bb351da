#pragma once

#include "memory/block_pool.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

// A text that costs one pointer when empty and one small block otherwise
// (from the block pool: the length and the bytes, nothing more). Catalogs
// hold millions of entries whose category and comments are mostly empty, so
// the common case must be cheap.
class TCompactString {
public:
    TCompactString() = default;
    TCompactString(std::string_view s) { Assign(s); }
    TCompactString(const char* s) { Assign(s ? std::string_view(s) : std::string_view()); }
    TCompactString(const std::string& s) { Assign(s); }
    TCompactString(const TCompactString& o) { Assign(o.view()); }
    TCompactString(TCompactString&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~TCompactString() { Release(p_); }

    TCompactString& operator=(const TCompactString& o) {
        if (this != &o) Assign(o.view());
        return *this;
    }
    TCompactString& operator=(TCompactString&& o) noexcept {
        if (this != &o) {
            Release(p_);
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    TCompactString& operator=(std::string_view s) {
        Assign(s);
        return *this;
    }
    TCompactString& operator=(const std::string& s) {
        Assign(s);
        return *this;
    }
    TCompactString& operator=(const char* s) {
        Assign(s ? std::string_view(s) : std::string_view());
        return *this;
    }

    std::string_view view() const {
        if (!p_) return {};
        uint32_t n;
        std::memcpy(&n, p_, sizeof n);
        return {p_ + sizeof n, n};
    }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    bool empty() const { return p_ == nullptr; }
    size_t size() const { return view().size(); }

    friend bool operator==(const TCompactString& a, const TCompactString& b) {
        return a.view() == b.view();
    }
    friend bool operator==(const TCompactString& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const TCompactString& a, const char* b) {
        return a.view() == std::string_view(b);
    }
    friend std::string operator+(const std::string& a, const TCompactString& b) {
        return a + b.str();
    }
    friend std::string operator+(const TCompactString& a, const std::string& b) {
        return a.str() + b;
    }
    friend std::string operator+(const char* a, const TCompactString& b) {
        return std::string(a) + b.str();
    }
    friend std::string operator+(const TCompactString& a, const char* b) { return a.str() + b; }

private:
    void Assign(std::string_view s) {
        // The new block first: `s` may lie in the old one, and a failed
        // allocation leaves the text as it was.
        char* fresh = nullptr;
        if (!s.empty()) {
            auto n = static_cast<uint32_t>(s.size());
            fresh = static_cast<char*>(blockpool::Allocate(sizeof n + s.size()));
            std::memcpy(fresh, &n, sizeof n);
            std::memcpy(fresh + sizeof n, s.data(), s.size());
        }
        Release(p_);
        p_ = fresh;
    }
    static void Release(char* p) noexcept {
        if (!p) return;
        uint32_t n;
        std::memcpy(&n, p, sizeof n);
        blockpool::Free(p, sizeof n + n);
    }

    char* p_ = nullptr;
};
