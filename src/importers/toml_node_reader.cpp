// gocatcli's TOML catalogs: the same nodes as its JSON ones, so the parsed
// document is walked into the JSON reader's events.
#include "importers/json_node_events.h"
#include "importers/json_node_tree.h"
#include "importers/toml_text.h"
#include "text/message_error.h"
#include "text/name_text.h"

// toml++ checks some malformed input with assert() before it reports the
// error, and with NDEBUG turns the same checks into optimiser assumptions:
// neither suits untrusted files, so its checks are off and errors do the work.
#ifdef NDEBUG
#define TAMBLIX_TOML_NDEBUG
#undef NDEBUG
#endif
#define TOML_ASSERT(expr) static_cast<void>(0)
#include <toml++/toml.h>
#ifdef TAMBLIX_TOML_NDEBUG
#define NDEBUG
#undef TAMBLIX_TOML_NDEBUG
#endif

namespace {

// The parser takes the text whole and its tree costs about 10x the text.
constexpr size_t kMaxText = 64u << 20;
// The parser and the tree's destructor recurse once per level.
constexpr size_t kMaxNesting = 1024;
constexpr size_t kChunk = 1u << 20;

class TTomlWalker {
public:
    TTomlWalker(TJsonNodeTree& tree, const std::string& shown, const tomltext::TAsciiText& text)
        : sax_(
              tree, [this] { return Where(); }, shown),
          text_(text) {}

    void Walk(const toml::table& root) {
        at_ = root.source().begin;
        Table(root);
    }

private:
    std::string Where() const {
        return "line " + std::to_string(at_.line) + ", column " +
               std::to_string(text_.OriginalColumn(at_.line, at_.column));
    }

    void Table(const toml::table& t) {
        sax_.start_object(t.size());
        for (const auto& [k, v] : t) {
            at_ = k.source().begin.line ? k.source().begin : v.source().begin;
            std::string key(k.str());
            sax_.key(key);
            Value(v);
        }
        sax_.end_object();
    }

    void Value(const toml::node& v) {
        if (v.source().begin.line) at_ = v.source().begin;
        if (const auto* t = v.as_table()) return Table(*t);
        if (const auto* a = v.as_array()) {
            sax_.start_array(a->size());
            for (const toml::node& e : *a)
                Value(e);
            sax_.end_array();
            return;
        }
        if (const auto* s = v.as_string()) {
            std::string text = s->get();
            sax_.string(text);
        } else if (const auto* i = v.as_integer()) {
            sax_.number_integer(i->get());
        } else if (const auto* f = v.as_floating_point()) {
            sax_.number_float(f->get(), std::string());
        } else if (const auto* b = v.as_boolean()) {
            sax_.boolean(b->get());
        } else {
            sax_.other_value(); // dates and times: no catalog key takes one
        }
    }

    TJsonSax sax_;
    const tomltext::TAsciiText& text_;
    toml::source_position at_{};
};

std::string ReadWhole(TPeerInput& input, IProgress& progress, const std::string& shown) {
    std::string text;
    std::string chunk(kChunk, '\0');
    for (;;) {
        if (progress.StopRequested()) throw EMessageError("infoCancel");
        const size_t n = input.Read(chunk.data(), chunk.size());
        progress.StepProgress(std::string(), static_cast<int64_t>(input.FileOffset()));
        if (n == 0) return text;
        if (text.size() + n > kMaxText) throw EMessageError("errPeerTomlSize", shown);
        text.append(chunk.data(), n);
    }
}

} // namespace

void TJsonNodeTree::ReadToml(TPeerInput& input, IProgress& progress) {
    Clear();
    const std::string shown = nametext::ToDisplayPath(input.Path());
    std::string text = ReadWhole(input, progress, shown);
    if (tomltext::NestingDepth(text, kMaxNesting) > kMaxNesting)
        throw EMessageError("errPeerDamaged", shown + ": nested too deeply");
    const tomltext::TAsciiText ascii = tomltext::ToAscii(text);
    std::string().swap(text);
    const auto damaged = [&](size_t line, size_t column, std::string_view what) {
        return EMessageError("errPeerDamaged", shown + ": line " + std::to_string(line) +
                                                   ", column " + std::to_string(column) + ": " +
                                                   std::string(what));
    };
    if (!ascii.Ok) throw damaged(ascii.Line, ascii.Column, ascii.Problem);
    toml::table root;
    try {
        root = toml::parse(std::string_view(ascii.Text), std::string_view(shown));
    } catch (const toml::parse_error& err) {
        const toml::source_position at = err.source().begin;
        throw damaged(at.line, ascii.OriginalColumn(at.line, at.column), err.description());
    } catch (const std::exception& err) {
        throw EMessageError("errPeerDamaged", shown + ": " + err.what());
    }
    TTomlWalker(*this, shown, ascii).Walk(root);
    interned_.clear();
    if (nodes_.empty()) throw EMessageError("errPeerUnknown", shown);
}
