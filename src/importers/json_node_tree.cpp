#include "importers/json_node_tree.h"

#include "analysis/name_text.h"
#include "importers/peer_values.h"
#include "settings/message_error.h"

#include <cmath>
#include <iterator>
#include <nlohmann/json.hpp>

namespace {

constexpr size_t kChunk = 256 * 1024;
constexpr size_t kMaxDepth = 4096;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

// The code unit of "\uXXXX" at s[0]; -1 when s does not start with one.
int EscapedUnit(std::string_view s) {
    if (s.size() < 6 || s[0] != '\\' || s[1] != 'u') return -1;
    int v = 0;
    for (size_t k = 2; k < 6; ++k) {
        int h = HexValue(s[k]);
        if (h < 0) return -1;
        v = v * 16 + h;
    }
    return v;
}

// Python writes undecodable file-name bytes as lone surrogate escapes
// ("\udc80"), which a strict parser refuses: each becomes "\ufffd", of the
// same length, so positions in error messages stay right.
class TSurrogateFilter {
public:
    void Feed(std::string_view in, bool last, std::string& out) {
        std::string joined;
        const std::string_view s = peervalues::WithCarry(carry_, in, joined);
        size_t i = 0, plain = 0;
        while (i < s.size()) {
            const char c = s[i];
            if (!inString_) {
                if (c == '"') inString_ = true;
                ++i;
                continue;
            }
            if (c == '"') {
                inString_ = false;
                ++i;
                continue;
            }
            if (c != '\\') {
                ++i;
                continue;
            }
            if (i + 1 >= s.size()) {
                if (!last) break;
                ++i;
                continue;
            }
            if (s[i + 1] != 'u') {
                i += 2;
                continue;
            }
            if (s.size() - i < 6 && !last) break;
            const int unit = EscapedUnit(s.substr(i));
            if (unit < 0xD800 || unit > 0xDFFF) {
                i += 2; // the parser reports a malformed escape itself
                continue;
            }
            if (unit <= 0xDBFF) {
                if (s.size() - i < 12 && !last) break;
                const int low = EscapedUnit(s.substr(i + 6));
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    i += 12;
                    continue;
                }
            }
            out.append(s.data() + plain, i - plain);
            out += "\\ufffd";
            i += 6;
            plain = i;
        }
        out.append(s.data() + plain, i - plain);
        if (i < s.size()) carry_.assign(s.substr(i));
    }

private:
    bool inString_ = false;
    std::string carry_;
};

// The filtered file, one byte at a time, for the parser; counts lines for messages.
class TJsonSource {
public:
    TJsonSource(TPeerInput& input, IProgress& progress) : input_(input), progress_(progress) {}

    bool AtEnd() {
        if (pos_ < buf_.size()) return false;
        Refill();
        return pos_ >= buf_.size();
    }
    char Get() const { return buf_[pos_]; }
    void Next() {
        if (buf_[pos_] == '\n') {
            ++line_;
            lineStart_ = consumed_ + pos_ + 1;
        }
        ++pos_;
    }
    std::string Where() const {
        return "line " + std::to_string(line_) + ", column " +
               std::to_string(consumed_ + pos_ - lineStart_ + 1);
    }

private:
    void Refill() {
        consumed_ += buf_.size();
        buf_.clear();
        pos_ = 0;
        while (buf_.empty() && !ended_) {
            if (progress_.StopRequested()) throw EMessageError("infoCancel");
            raw_.resize(kChunk);
            raw_.resize(input_.Read(raw_.data(), raw_.size()));
            progress_.StepProgress(std::string(), static_cast<int64_t>(input_.FileOffset()));
            ended_ = raw_.empty();
            filter_.Feed(raw_, ended_, buf_);
        }
    }

    TPeerInput& input_;
    IProgress& progress_;
    TSurrogateFilter filter_;
    std::string raw_, buf_;
    size_t pos_ = 0;
    uint64_t consumed_ = 0, line_ = 1, lineStart_ = 0;
    bool ended_ = false;
};

// The parser's view of TJsonSource: an input iterator of chars.
class TJsonIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = char;

    TJsonIterator() = default;
    explicit TJsonIterator(TJsonSource* s) : s_(s) {}
    char operator*() const { return s_->Get(); }
    TJsonIterator& operator++() {
        s_->Next();
        return *this;
    }
    bool operator==(const TJsonIterator& o) const { return AtEnd() == o.AtEnd(); }
    bool operator!=(const TJsonIterator& o) const { return !(*this == o); }

private:
    bool AtEnd() const { return !s_ || s_->AtEnd(); }
    TJsonSource* s_ = nullptr;
};

} // namespace

// Builds the node arena from the parser's events.
class TJsonSax {
public:
    using json = nlohmann::json;
    using number_integer_t = json::number_integer_t;
    using number_unsigned_t = json::number_unsigned_t;
    using number_float_t = json::number_float_t;
    using string_t = json::string_t;
    using binary_t = json::binary_t;

    TJsonSax(TJsonNodeTree& t, TJsonSource& src, std::string shown)
        : t_(t), src_(src), shown_(std::move(shown)) {}

    bool null() { return Scalar(TValue::Null, 0, 0, nullptr); }
    bool boolean(bool) { return Scalar(TValue::Bool, 0, 0, nullptr); }
    bool number_integer(number_integer_t v) {
        return Scalar(TValue::Number, v, static_cast<double>(v), nullptr);
    }
    bool number_unsigned(number_unsigned_t v) {
        const int64_t i = v > static_cast<uint64_t>(INT64_MAX) ? -1 : static_cast<int64_t>(v);
        return Scalar(TValue::Number, i, static_cast<double>(v), nullptr);
    }
    bool number_float(number_float_t v, const string_t&) {
        const int64_t i = std::isfinite(v) && v >= 0 && v < 9.2e18 ? static_cast<int64_t>(v) : -1;
        return Scalar(TValue::Number, i, v, nullptr);
    }
    bool string(string_t& s) { return Scalar(TValue::String, 0, 0, &s); }
    bool binary(binary_t&) { return Scalar(TValue::Bool, 0, 0, nullptr); }

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
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
        // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
        std::string what = ex.what();
        if (auto cut = what.find("] "); cut != std::string::npos) what.erase(0, cut + 2);
        throw EMessageError("errPeerDamaged", shown_ + ": " + what);
    }

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
        throw EMessageError("errPeerDamaged", shown_ + ": " + src_.Where() + ": " + why);
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

    TJsonNodeTree& t_;
    TJsonSource& src_;
    std::string shown_;
    std::vector<TCtx> ctx_;
    TCtx root_{TCtxKind::Skip, TJsonNodeTree::kNone};
    TKey key_ = TKey::Other;
    std::string keyText_;
    size_t depth_ = 0;
};

void TJsonNodeTree::Read(TPeerInput& input, IProgress& progress) {
    nodes_.clear();
    pool_.clear();
    side_.clear();
    TJsonSource source(input, progress);
    const std::string shown = nametext::ToDisplayPath(input.Path());
    TJsonSax sax(*this, source, shown);
    TJsonIterator first(&source), last;
    if (!nlohmann::json::sax_parse(first, last, &sax)) throw EMessageError("errPeerDamaged", shown);
    interned_.clear();
    if (nodes_.empty()) throw EMessageError("errPeerUnknown", shown);
}
