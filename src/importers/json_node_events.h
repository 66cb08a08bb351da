#pragma once

#include "importers/json_node_tree.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// Builds the node arena from a parser's events.
class TJsonSax {
public:
    static constexpr size_t kMaxDepth = 4096;

    using number_integer_t = int64_t;
    using number_unsigned_t = uint64_t;
    using number_float_t = double;
    using string_t = std::string;

    // `where` tells the position being read, for messages.
    TJsonSax(TJsonNodeTree& t, std::function<std::string()> where, std::string shown)
        : t_(t), where_(std::move(where)), shown_(std::move(shown)) {}

    bool null() { return Scalar(TValue::Null, 0, 0, nullptr); }
    bool boolean(bool) { return Scalar(TValue::Bool, 0, 0, nullptr); }
    bool number_integer(number_integer_t v) {
        return Scalar(TValue::Number, v, static_cast<double>(v), nullptr);
    }
    // gocatcli declares sizes unsigned 64-bit: one past the largest signed
    // value is taken as that value, and the reader says so.
    bool number_unsigned(number_unsigned_t v) {
        clamped_ = v > static_cast<uint64_t>(INT64_MAX);
        const int64_t i = clamped_ ? INT64_MAX : static_cast<int64_t>(v);
        return Scalar(TValue::Number, i, static_cast<double>(v), nullptr);
    }
    bool number_float(number_float_t v, const string_t&) {
        clamped_ = std::isfinite(v) && v >= 9.2e18;
        const int64_t i = clamped_                     ? INT64_MAX
                          : std::isfinite(v) && v >= 0 ? static_cast<int64_t>(v)
                                                       : -1;
        return Scalar(TValue::Number, i, v, nullptr);
    }
    bool string(string_t& s) { return Scalar(TValue::String, 0, 0, &s); }
    // A value no catalog key takes (binary data, TOML dates).
    bool other_value() { return Scalar(TValue::Bool, 0, 0, nullptr); }

    bool start_object(std::size_t) {
        Deeper();
        TCtx& c = ctx_.empty() ? root_ : ctx_.back();
        if (ctx_.empty() || (c.Kind == TCtxKind::Children)) {
            const uint32_t parent = ctx_.empty() ? TJsonNodeTree::kNone : c.Node;
            ctx_.push_back({TCtxKind::Node, NewNode(parent)});
            return true;
        }
        if (c.Kind == TCtxKind::Node && key_ == TKey::Attr) {
            ctx_.push_back({TCtxKind::Skip, c.Node}); // catcli's meta node keeps a record here
            return true;
        }
        if (c.Kind == TCtxKind::Node && key_ != TKey::Other) WrongType();
        if (c.Kind == TCtxKind::Tags) WrongType();
        ctx_.push_back({TCtxKind::Skip, c.Node});
        return true;
    }
    bool end_object() {
        ctx_.pop_back();
        --depth_;
        return true;
    }
    bool start_array(std::size_t) {
        Deeper();
        if (ctx_.empty()) Fail("the file holds no catalog object");
        TCtx& c = ctx_.back();
        if (c.Kind == TCtxKind::Node) {
            if (key_ == TKey::Children) {
                t_.nodes_[c.Node].HasChildren = true;
                ctx_.push_back({TCtxKind::Children, c.Node});
                return true;
            }
            if (key_ == TKey::Tags) {
                t_.side_[c.Node].Tags.clear();
                ctx_.push_back({TCtxKind::Tags, c.Node});
                return true;
            }
            if (key_ != TKey::Other && key_ != TKey::Attr) WrongType();
        } else if (c.Kind == TCtxKind::Children || c.Kind == TCtxKind::Tags) {
            WrongType();
        }
        ctx_.push_back({TCtxKind::Skip, c.Node});
        return true;
    }
    bool end_array() {
        ctx_.pop_back();
        --depth_;
        return true;
    }
    bool key(string_t& k) {
        key_ = KeyOf(k);
        keyText_ = k;
        if (k == "storages" && ctx_.size() == 1) t_.side_[ctx_.back().Node].StoragesKey = true;
        return true;
    }

protected:
    const std::string& Shown() const { return shown_; }

private:
    enum class TValue { Null, Bool, Number, String };
    enum class TKey {
        Other,
        Children,
        Name,
        Type,
        FileType,
        Size,
        Maccess,
        Md5,
        Mode,
        Mime,
        Extra,
        Attr,
        Meta,
        Path,
        Tags,
        Free,
        Total,
        Ts
    };
    enum class TCtxKind { Node, Children, Tags, Skip };
    struct TCtx {
        TCtxKind Kind;
        uint32_t Node;
    };

    static TKey KeyOf(const std::string& k) {
        static const std::unordered_map<std::string, TKey> keys = {
            {"children", TKey::Children}, {"storages", TKey::Children}, {"name", TKey::Name},
            {"type", TKey::Type},         {"filetype", TKey::FileType}, {"size", TKey::Size},
            {"maccess", TKey::Maccess},   {"md5", TKey::Md5},           {"mode", TKey::Mode},
            {"mime", TKey::Mime},         {"extra", TKey::Extra},       {"attr", TKey::Attr},
            {"meta", TKey::Meta},         {"path", TKey::Path},         {"tags", TKey::Tags},
            {"free", TKey::Free},         {"total", TKey::Total},       {"ts", TKey::Ts}};
        auto it = keys.find(k);
        return it == keys.end() ? TKey::Other : it->second;
    }

    static TJsonNodeTree::TType TypeOf(const std::string& s) {
        static const std::unordered_map<std::string, TJsonNodeTree::TType> types = {
            {"top", TJsonNodeTree::kTop},         {"meta", TJsonNodeTree::kMeta},
            {"storage", TJsonNodeTree::kStorage}, {"dir", TJsonNodeTree::kDir},
            {"file", TJsonNodeTree::kFile},       {"arc", TJsonNodeTree::kArc},
            {"archive", TJsonNodeTree::kArchive}, {"archived", TJsonNodeTree::kArchived}};
        auto it = types.find(s);
        return it == types.end() ? TJsonNodeTree::kOtherType : it->second;
    }

    [[noreturn]] void Fail(const std::string& why) const {
        throw EMessageError("errPeerDamaged", shown_ + ": " + where_() + ": " + why);
    }
    [[noreturn]] void WrongType() const {
        Fail("\"" + keyText_.substr(0, 40) + "\" has a value of the wrong type");
    }
    void Deeper() {
        if (++depth_ > kMaxDepth) Fail("nested too deeply");
    }

    uint32_t NewNode(uint32_t parent) {
        if (t_.nodes_.size() >= TJsonNodeTree::kNone - 1) Fail("too many entries");
        const auto i = static_cast<uint32_t>(t_.nodes_.size());
        t_.nodes_.emplace_back();
        if (parent != TJsonNodeTree::kNone) {
            TJsonNodeTree::TNode& p = t_.nodes_[parent];
            if (p.LastChild == TJsonNodeTree::kNone)
                p.FirstChild = i;
            else
                t_.nodes_[p.LastChild].NextSibling = i;
            p.LastChild = i;
        }
        return i;
    }

    TJsonNodeTree::TRef Store(std::string_view s) {
        if (t_.pool_.size() + s.size() > UINT32_MAX) Fail("too much text");
        TJsonNodeTree::TRef r{static_cast<uint32_t>(t_.pool_.size()),
                              static_cast<uint32_t>(s.size())};
        t_.pool_.append(s);
        return r;
    }
    // Modes and MIME types repeat: one copy each.
    TJsonNodeTree::TRef Intern(const std::string& s) {
        auto it = t_.interned_.find(s);
        if (it != t_.interned_.end()) return it->second;
        TJsonNodeTree::TRef r = Store(s);
        if (t_.interned_.size() < 100000) t_.interned_.emplace(s, r);
        return r;
    }

    bool Scalar(TValue v, int64_t i, double d, std::string* s) {
        if (ctx_.empty()) Fail("the file holds no catalog object");
        TCtx& c = ctx_.back();
        if (c.Kind == TCtxKind::Skip) return true;
        if (c.Kind == TCtxKind::Children) WrongType();
        if (c.Kind == TCtxKind::Tags) {
            if (v != TValue::String) WrongType();
            t_.side_[c.Node].Tags.push_back(nametext::ToDisplayName(*s));
            return true;
        }
        TJsonNodeTree::TNode& n = t_.nodes_[c.Node];
        const bool str = v == TValue::String, num = v == TValue::Number, nul = v == TValue::Null;
        switch (key_) {
        case TKey::Other:
            return true;
        case TKey::Children:
        case TKey::Tags:
            if (!nul) WrongType();
            return true;
        case TKey::Name:
            if (!str) WrongType();
            n.Name = Store(*s);
            return true;
        case TKey::Type:
        case TKey::FileType:
            if (!str) WrongType();
            (key_ == TKey::Type ? n.Type : n.FileType) = TypeOf(*s);
            return true;
        case TKey::Size:
            if (nul) return true;
            if (!num || i < 0) WrongType();
            n.Size = i;
            n.HasSize = true;
            n.SizeClamped = std::exchange(clamped_, false);
            return true;
        case TKey::Maccess:
            if (nul) return true;
            if (!num) WrongType();
            n.Date = d;
            n.HasDate = true;
            return true;
        case TKey::Md5:
        case TKey::Extra:
            if (nul) return true;
            if (!str) WrongType();
            (key_ == TKey::Md5 ? n.Md5 : n.Extra) = Store(*s);
            return true;
        case TKey::Mode:
        case TKey::Mime:
            if (nul) return true;
            if (!str) WrongType();
            (key_ == TKey::Mode ? n.Mode : n.Mime) = Intern(*s);
            return true;
        case TKey::Attr:
        case TKey::Meta:
        case TKey::Path:
            if (nul) return true;
            if (!str) WrongType();
            (key_ == TKey::Attr   ? t_.side_[c.Node].Attr
             : key_ == TKey::Meta ? t_.side_[c.Node].Meta
                                  : t_.side_[c.Node].Path) = *s;
            return true;
        case TKey::Free:
        case TKey::Total:
        case TKey::Ts:
            if (nul) return true;
            if (!num) WrongType();
            // Every gocatcli node has a "ts"; only storages' are kept.
            if (n.FileType != TJsonNodeTree::kNoType) return true;
            if (key_ == TKey::Ts) {
                t_.side_[c.Node].Ts = d;
                t_.side_[c.Node].HasTs = true;
            } else {
                (key_ == TKey::Free ? t_.side_[c.Node].Free : t_.side_[c.Node].Total) = i;
            }
            return true;
        }
        return true;
    }

    bool clamped_ = false; // the number just read was beyond the largest size
    TJsonNodeTree& t_;
    std::function<std::string()> where_;
    std::string shown_;
    std::vector<TCtx> ctx_;
    TCtx root_{TCtxKind::Skip, TJsonNodeTree::kNone};
    TKey key_ = TKey::Other;
    std::string keyText_;
    size_t depth_ = 0;
};
