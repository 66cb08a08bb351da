#include "cli/cli_path.h"

#include "catalog/lib_obj.h"
#include "cli/cli_context.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <stdexcept>

namespace clipath {

const char* const kHelpText =
    "A catalog path joins names with \"\\\": CD1\\music\\a.mp3 (a folder may end in "
    "\"\\\"). Inside a name, %HH (two hexadecimal digits) stands for the byte HH. It is how a "
    "name writes a \"\\\" (%5C), a tab (%09), a line end (%0A), another control character, a "
    "byte that is not UTF-8 (r%E9sum%E9), a \"%\" before two hexadecimal digits (%25), a "
    "\"-\" or a blank that starts the name (%2D, %20) and a \"#\" followed only by digits at "
    "the end of the name (%23). Every other character stands for itself. Siblings that share a "
    "name are told apart by NAME#N, the Nth of them in catalog order (DISC#2); NAME alone is "
    "then ambiguous. Every command prints names and paths this way and reads them back the "
    "same way.";

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void PutByte(std::string& out, unsigned b) {
    out += '%';
    out += kHex[(b >> 4) & 15];
    out += kHex[b & 15];
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    if (c <= '9') return c - '0';
    return (c | 0x20) - 'a' + 10;
}

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Length of the valid UTF-8 character at s[i]; 0 when the byte starts none.
size_t CharAt(std::string_view s, size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 1 : b < 0xC2 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 0;
    if (n <= 1 || i + n > s.size()) return n == 1 ? 1 : 0;
    return nametext::IsValidUtf8(s.substr(i, n)) ? n : 0;
}

// The byte a stand-in character (U+F700+byte, three bytes at s[i]) keeps; -1 when none.
int StandInAt(std::string_view s, size_t i) {
    if (i + 3 > s.size() || static_cast<unsigned char>(s[i]) != 0xEF) return -1;
    auto b1 = static_cast<unsigned char>(s[i + 1]), b2 = static_cast<unsigned char>(s[i + 2]);
    if (b1 < 0x9C || b1 > 0x9F || (b2 & 0xC0) != 0x80) return -1;
    return ((b1 & 0x03) << 6) | (b2 & 0x3F);
}

// %HH to bytes; any other character as it is.
std::string Unescape(std::string_view w) {
    std::string out;
    out.reserve(w.size());
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] == '%' && i + 2 < w.size() && IsHex(w[i + 1]) && IsHex(w[i + 2])) {
            out += static_cast<char>(HexValue(w[i + 1]) * 16 + HexValue(w[i + 2]));
            i += 2;
        } else {
            out += w[i];
        }
    }
    return out;
}

TWrittenPart ParsePart(std::string_view w) {
    TWrittenPart part;
    size_t hash = w.rfind('#');
    if (hash != std::string_view::npos && AllDigits(w.substr(hash + 1)) && w[hash + 1] != '0' &&
        w.size() - hash - 1 <= 9) {
        part.Number = std::stoi(std::string(w.substr(hash + 1)));
        w = w.substr(0, hash);
    }
    part.Caption = nametext::DiskToCaption(Unescape(w));
    return part;
}

std::string WrittenPart(const TWrittenPart& p) {
    std::string s = WrittenName(p.Caption);
    if (p.Number > 0) s += "#" + std::to_string(p.Number);
    return s;
}

TTreeNode* SiblingAt(const TTreeNode* n, int i) {
    return n->Parent() ? n->Parent()->Child(i) : n->Tree()->Root(i);
}

int SiblingCount(const TTreeNode* n) {
    return n->Parent() ? n->Parent()->Count() : n->Tree()->RootCount();
}

// 0 for a name no sibling shares, else the node's place among its namesakes, from 1.
int SiblingNumber(const TTreeNode* n) {
    const int at = n->Index();
    int first = at;
    while (first > 0 && SiblingAt(n, first - 1)->Text() == n->Text())
        --first;
    if (first < at) return at - first + 1;
    if (at + 1 < SiblingCount(n) && SiblingAt(n, at + 1)->Text() == n->Text()) return 1;
    return 0;
}

// Walks parts[0, count) down `tree`. An ambiguous name throws when `strict`
// (the message lists a written path for each candidate), else gives null.
TTreeNode* Walk(const TTree& tree, const std::vector<TWrittenPart>& parts, size_t count,
                std::string_view written, bool volumes, bool strict) {
    TTreeNode* node = nullptr;
    for (size_t k = 0; k < count; ++k) {
        std::vector<TTreeNode*> named = NamedChildren(tree, node, parts[k].Caption);
        // A volume titled "C:\" is written C:%5C, and also reached as C:.
        if (named.empty() && volumes && k == 0)
            named = NamedChildren(tree, nullptr, parts[k].Caption + "\\");
        const int number = parts[k].Number;
        if (number > 0) {
            if (static_cast<size_t>(number) > named.size()) return nullptr;
            node = named[static_cast<size_t>(number) - 1];
            continue;
        }
        if (named.empty()) return nullptr;
        if (named.size() > 1) {
            if (!strict) return nullptr;
            std::string message = "ambiguous path " + std::string(written) + "; it may be";
            const bool folder = !written.empty() && written.back() == '\\';
            for (size_t j = 0; j < named.size(); ++j) {
                std::vector<TWrittenPart> choice = parts;
                choice[k].Number = static_cast<int>(j + 1);
                std::string path;
                for (size_t i = 0; i < choice.size(); ++i)
                    path += (i ? "\\" : "") + WrittenPart(choice[i]);
                if (folder) path += '\\';
                message += (j ? (j + 1 == named.size() ? " or " : ", ") : " ") + path;
                if (j == 9 && named.size() > 11) {
                    message += " or one of " + std::to_string(named.size() - 10) + " more";
                    break;
                }
            }
            throw std::runtime_error(message);
        }
        node = named.front();
    }
    return node;
}

// "File not found", with a hint when the path holds a \xHH of the texts' escapes.
[[noreturn]] void NotFound(std::string_view written) {
    for (size_t i = written.find("\\x"); i != std::string_view::npos;
         i = written.find("\\x", i + 1)) {
        if (i + 3 < written.size() && IsHex(written[i + 2]) && IsHex(written[i + 3]))
            throw std::runtime_error(GetMessageText("errFNF", std::string(written)) +
                                     " (in a path a byte is written %HH, not \\xHH: see "
                                     "'Catalog paths' in 'tamblix-cli --help')");
    }
    throw EMessageError("errFNF", std::string(written));
}

} // namespace

std::vector<TTreeNode*> NamedChildren(const TTree& tree, const TTreeNode* parent,
                                      std::string_view caption) {
    std::vector<TTreeNode*> out;
    if (!parent) {
        for (int i = 0; i < tree.RootCount(); ++i)
            if (tree.Root(i)->Text() == caption) out.push_back(tree.Root(i));
        return out;
    }
    TTreeNode* n = parent->FindChild(caption);
    if (!n) return out;
    int at = n->Index();
    while (at > 0 && parent->Child(at - 1)->Text() == caption)
        --at;
    for (; at < parent->Count() && parent->Child(at)->Text() == caption; ++at)
        out.push_back(parent->Child(at));
    return out;
}

std::string WrittenName(std::string_view caption) {
    std::string out;
    out.reserve(caption.size());
    for (size_t i = 0; i < caption.size();) {
        const int kept = StandInAt(caption, i);
        if (kept >= 0) {
            PutByte(out, static_cast<unsigned>(kept));
            i += 3;
            continue;
        }
        const size_t n = CharAt(caption, i);
        const auto c = static_cast<unsigned char>(caption[i]);
        if (n == 0) { // not made by the catalog; written as its byte all the same
            PutByte(out, c);
            ++i;
            continue;
        }
        if (n == 1 && (c == '\\' || c < 0x20 || c == 0x7F || (i == 0 && (c == '-' || c == ' ')) ||
                       (c == '%' && i + 2 < caption.size() && IsHex(caption[i + 1]) &&
                        IsHex(caption[i + 2])) ||
                       (c == '#' && AllDigits(caption.substr(i + 1)))))
            PutByte(out, c);
        else
            out.append(caption.substr(i, n));
        i += n;
    }
    return out;
}

std::string WrittenNodeName(const TTreeNode* node) {
    std::string out = WrittenName(node->Text());
    if (int number = SiblingNumber(node)) out += "#" + std::to_string(number);
    return out;
}

std::string WrittenFolderPath(const TLibFolder* folder) {
    std::vector<const TLibFolder*> chain;
    for (const TLibFolder* f = folder; f; f = f->Parent)
        chain.push_back(f);
    std::string out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        out += (*it)->Node ? WrittenNodeName((*it)->Node) : WrittenName((*it)->Caption);
        out += '\\';
    }
    return out;
}

std::string WrittenEntryPath(const TLibFolderItem* entry) {
    std::string name = WrittenName(entry->Caption.view());
    return entry->Owner ? WrittenFolderPath(entry->Owner) + name : name;
}

std::string WrittenColPath(const TTreeNode* node) {
    std::string path;
    for (; node; node = node->Parent())
        path.insert(0, WrittenNodeName(node) + (path.empty() ? "" : "\\"));
    return path;
}

std::string WrittenLink(const TLibColItem* item) {
    if (!item) return {};
    if (item->LinkedItem) return WrittenEntryPath(item->LinkedItem);
    if (item->LinkedFolder) return WrittenFolderPath(item->LinkedFolder);
    return WrittenCatalogPath(item->LinkPath);
}

std::string WrittenCatalogPath(std::string_view stored) {
    std::string out;
    for (const std::string& caption : nametext::SplitCatalogPath(stored))
        out += WrittenName(caption) + '\\';
    if (!out.empty() && !stored.ends_with('\\')) out.pop_back();
    return out;
}

std::string DisplayText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const int kept = StandInAt(text, i);
        const size_t n = kept >= 0 ? 3 : CharAt(text, i);
        if (kept == '\\')
            out += '\\';
        else if (kept >= 0 || n == 0)
            out += "\xEF\xBF\xBD"; // U+FFFD
        else
            out.append(text.substr(i, n));
        i += n == 0 ? 1 : n;
    }
    return out;
}

std::string ArgText(std::string_view arg) {
    return nametext::DiskToCaption(arg);
}

std::string ArgName(std::string_view written) {
    if (written.find('\\') != std::string_view::npos)
        throw EUsageError("a name holds no \"\\\" (write a backslash inside a name as %5C): " +
                          std::string(written));
    std::string caption = nametext::DiskToCaption(Unescape(written));
    if (caption.empty()) throw EUsageError("a name cannot be empty");
    return caption;
}

std::vector<TWrittenPart> ParseWrittenPath(std::string_view written) {
    std::vector<TWrittenPart> parts;
    size_t start = 0;
    while (start < written.size()) {
        size_t end = written.find('\\', start);
        if (end == std::string_view::npos) end = written.size();
        if (end > start) parts.push_back(ParsePart(written.substr(start, end - start)));
        start = end + 1;
    }
    return parts;
}

TTreeNode* FindFolder(const TLibObj& lib, std::string_view written) {
    auto parts = ParseWrittenPath(written);
    TTreeNode* n = Walk(lib.Tree, parts, parts.size(), written, true, true);
    if (!n) NotFound(written);
    return n;
}

TTreeNode* FindFolderOrNull(const TLibObj& lib, std::string_view written) {
    auto parts = ParseWrittenPath(written);
    return Walk(lib.Tree, parts, parts.size(), written, true, false);
}

TCatalogTarget FindTarget(const TLibObj& lib, std::string_view written) {
    TCatalogTarget t;
    auto parts = ParseWrittenPath(written);
    if (TTreeNode* n = Walk(lib.Tree, parts, parts.size(), written, true, true)) {
        t.Node = n;
        return t;
    }
    const bool folderOnly = !written.empty() && written.back() == '\\';
    if (!folderOnly && parts.size() >= 2 && parts.back().Number == 0) {
        if (TTreeNode* folder = Walk(lib.Tree, parts, parts.size() - 1, written, true, true)) {
            if (TLibFolderItem* e = FolderOf(folder)->FindItem(parts.back().Caption)) {
                t.Node = folder;
                t.Entry = e;
                return t;
            }
        }
    }
    NotFound(written);
}

TTreeNode* FindCollection(const TLibObj& lib, std::string_view written) {
    auto parts = ParseWrittenPath(written);
    TTreeNode* n =
        parts.empty() ? nullptr : Walk(lib.ColTree, parts, parts.size(), written, false, true);
    if (!n) throw std::runtime_error("no such collection: " + std::string(written));
    return n;
}

} // namespace clipath
