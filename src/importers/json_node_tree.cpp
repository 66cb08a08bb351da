#include "importers/json_node_tree.h"

#include "importers/json_node_events.h"
#include "importers/peer_values.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <iterator>
#include <nlohmann/json.hpp>

namespace {

constexpr size_t kChunk = 256 * 1024;

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
// ("\udce9" for the byte E9), which a strict parser refuses. Each becomes the
// byte's stand-in ("\uf7e9"), as a scan keeps such a name from the disk, so
// that two names differing only there stay two names; other lone surrogates
// become "\ufffd". Both are of the same length, so positions in error
// messages stay right.
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
            if (unit >= 0xDC80 && unit <= 0xDCFF) {
                out += "\\uf7";
                out.append(s.data() + i + 4, 2);
            } else {
                out += "\\ufffd";
            }
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

namespace {

// The parser's own failures, with its line and column.
class TJsonParserSax : public TJsonSax {
public:
    using json = nlohmann::json;
    using binary_t = json::binary_t;
    using TJsonSax::TJsonSax;

    bool binary(binary_t&) { return other_value(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
        // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
        std::string what = ex.what();
        if (auto cut = what.find("] "); cut != std::string::npos) what.erase(0, cut + 2);
        throw EMessageError("errPeerDamaged", Shown() + ": " + what);
    }
};

} // namespace

void TJsonNodeTree::Clear() {
    nodes_.clear();
    pool_.clear();
    side_.clear();
    interned_.clear();
}

void TJsonNodeTree::Read(TPeerInput& input, IProgress& progress) {
    Clear();
    TJsonSource source(input, progress);
    const std::string shown = nametext::ToDisplayPath(input.Path());
    TJsonParserSax sax(
        *this, [&source] { return source.Where(); }, shown);
    TJsonIterator first(&source), last;
    if (!nlohmann::json::sax_parse(first, last, &sax)) throw EMessageError("errPeerDamaged", shown);
    interned_.clear();
    if (nodes_.empty()) throw EMessageError("errPeerUnknown", shown);
}
