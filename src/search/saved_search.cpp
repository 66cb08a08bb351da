#include "search/saved_search.h"

#include "files/safe_file.h"
#include "search/delimited_text.h"
#include "text/message_error.h"
#include "text/name_text.h"
#include "text/string_list.h"
#include "text/text_utils.h"

#include <charconv>
#include <map>

namespace {

// INI values are one line.
std::string OneLine(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

std::string Bool(bool b) {
    return b ? "1" : "0";
}

bool ReadInt(const std::string& text, int64_t& out) {
    std::string t = TrimBlanks(text);
    const char* end = t.data() + t.size();
    auto [p, ec] = std::from_chars(t.data(), end, out);
    return ec == std::errc() && p == end && !t.empty();
}

// Every key of a saved search with its field, in the order they are written.
// The writer and the reader both go through this one list.
template <class Criteria, class Visitor> void VisitKeys(Criteria& c, Visitor& v) {
    v.Text("File", c.Name);
    v.Text("Type", c.Type);
    v.Text("Cat", c.Category);
    v.Text("Comments", c.Comments);
    v.Flag("Date1use", c.Date1Use);
    v.Date("Date1", c.Date1);
    v.Flag("Date2use", c.Date2Use);
    v.Date("Date2", c.Date2);
    v.Flag("SizeUse", c.SizeUse);
    v.Number("SizeSign", c.SizeSign, 0, 2);
    v.Number("SizeRnd", c.SizeUnit, 0, 2);
    v.Number("SizeVal", c.SizeValue, 0, 2147483647);
    v.Text("Location", c.Location);
    v.Text("Anywhere", c.Anywhere);
    v.Text("Col Caption", c.ColCaption);
    v.Text("Col URL", c.ColURL);
    v.Text("Col Comments", c.ColComments);
    v.Flag("Option Match Case", c.MatchCase);
}

struct TKeyWriter {
    std::string Out = "[Search]\r\n";

    void Put(const char* key, const std::string& value) {
        Out += key;
        Out += '=';
        Out += TrimBlanks(OneLine(value)); // blanks around a value are not read back
        Out += "\r\n";
    }
    void Text(const char* key, const std::string& field) { Put(key, field); }
    void Flag(const char* key, bool field) { Put(key, Bool(field)); }
    void Date(const char* key, TDateTime field) { Put(key, FormatDateISO(field)); }
    void Number(const char* key, int64_t field, int64_t, int64_t) {
        Put(key, std::to_string(field));
    }
};

// Reads the keys found into their fields; a value that does not read leaves its field.
struct TKeyReader {
    const std::map<std::string, std::string>& Values;
    int Known = 0; // keys found, readable or not

    const std::string* Find(const char* key) {
        auto it = Values.find(UpperCase(key));
        if (it == Values.end()) return nullptr;
        ++Known;
        return &it->second;
    }
    void Text(const char* key, std::string& field) {
        if (const std::string* v = Find(key)) field = *v;
    }
    void Flag(const char* key, bool& field) {
        int64_t n;
        if (const std::string* v = Find(key); v && ReadInt(*v, n)) field = n != 0;
    }
    void Date(const char* key, TDateTime& field) {
        TDateTime d;
        if (const std::string* v = Find(key); v && ParseDateText(*v, d)) field = d;
    }
    template <class T> void Number(const char* key, T& field, int64_t lo, int64_t hi) {
        int64_t n;
        if (const std::string* v = Find(key); v && ReadInt(*v, n) && n >= lo && n <= hi)
            field = static_cast<T>(n);
    }
};

} // namespace

std::string SavedSearchText(const TSearchCriteria& c) {
    TKeyWriter w;
    VisitKeys(c, w);
    return w.Out;
}

void SaveSearch(const std::string& path, const TSearchCriteria& c) {
    WriteFileAtomically(path, SavedSearchText(c));
}

bool ApplySavedSearchText(std::string_view text, TSearchCriteria& c) {
    // A byte-order mark (Notepad writes one) is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // Keys compare without case, as INI readers do; the first of a key wins.
    std::map<std::string, std::string> values;
    bool inSection = false;
    for (std::string_view line : SplitLines(text)) {
        std::string l = TrimBlanks(line);
        if (!l.empty() && l[0] == '[') {
            auto close = l.find(']');
            inSection = close != std::string::npos && SameText(l.substr(1, close - 1), "Search");
            continue;
        }
        if (!inSection || l.empty() || l[0] == ';') continue;
        std::string_view raw = line;
        auto eq = raw.find('=');
        if (eq == std::string_view::npos) continue;
        std::string key = UpperCase(TrimBlanks(raw.substr(0, eq)));
        values.emplace(key, TrimBlanks(raw.substr(eq + 1))); // "File = photo" means "photo"
    }
    TKeyReader r{values};
    VisitKeys(c, r);
    // The Anywhere text means nothing in the normal mode: a saved search
    // that has one runs in Anywhere mode.
    if (!c.Anywhere.empty() && c.Mode == TSearchMode::Normal) c.Mode = TSearchMode::Anywhere;
    return r.Known > 0;
}

void LoadSearch(const std::string& path, TSearchCriteria& c) {
    // Read into a copy: a file that is no saved search changes nothing.
    TSearchCriteria loaded = c;
    if (!ApplySavedSearchText(nametext::ToDisplayName(ReadTextFile(path)), loaded))
        throw EMessageError("errNotSavedSearch", path);
    c = std::move(loaded);
}
