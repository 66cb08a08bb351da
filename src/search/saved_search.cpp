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

} // namespace

std::string SavedSearchText(const TSearchCriteria& c) {
    std::string s = "[Search]\r\n";
    auto put = [&](const char* key, const std::string& value) {
        s += key;
        s += '=';
        s += TrimBlanks(OneLine(value)); // blanks around a value are not read back
        s += "\r\n";
    };
    put("File", c.Name);
    put("Type", c.Type);
    put("Cat", c.Category);
    put("Comments", c.Comments);
    put("Date1use", Bool(c.Date1Use));
    put("Date1", FormatDateISO(c.Date1));
    put("Date2use", Bool(c.Date2Use));
    put("Date2", FormatDateISO(c.Date2));
    put("SizeUse", Bool(c.SizeUse));
    put("SizeSign", std::to_string(c.SizeSign));
    put("SizeRnd", std::to_string(c.SizeUnit));
    put("SizeVal", std::to_string(c.SizeValue));
    put("Location", c.Location);
    put("Anywhere", c.Anywhere);
    put("Col Caption", c.ColCaption);
    put("Col URL", c.ColURL);
    put("Col Comments", c.ColComments);
    put("Option Match Case", Bool(c.MatchCase));
    return s;
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
    int known = 0;
    auto get = [&](const char* key, std::string& out) {
        auto it = values.find(UpperCase(key));
        if (it == values.end()) return false;
        out = it->second;
        ++known;
        return true;
    };
    std::string v;
    auto text_ = [&](const char* key, std::string& field) {
        if (get(key, v)) field = v;
    };
    auto bool_ = [&](const char* key, bool& field) {
        int64_t n;
        if (get(key, v) && ReadInt(v, n)) field = n != 0;
    };
    auto date_ = [&](const char* key, TDateTime& field) {
        TDateTime d;
        if (get(key, v) && ParseDateText(v, d)) field = d;
    };
    auto int_ = [&](const char* key, auto& field, int64_t lo, int64_t hi) {
        int64_t n;
        if (get(key, v) && ReadInt(v, n) && n >= lo && n <= hi)
            field = static_cast<std::remove_reference_t<decltype(field)>>(n);
    };
    text_("File", c.Name);
    text_("Type", c.Type);
    text_("Cat", c.Category);
    text_("Comments", c.Comments);
    bool_("Date1use", c.Date1Use);
    date_("Date1", c.Date1);
    bool_("Date2use", c.Date2Use);
    date_("Date2", c.Date2);
    bool_("SizeUse", c.SizeUse);
    int_("SizeSign", c.SizeSign, 0, 2);
    int_("SizeRnd", c.SizeUnit, 0, 2);
    int_("SizeVal", c.SizeValue, 0, 2147483647);
    text_("Location", c.Location);
    text_("Anywhere", c.Anywhere);
    text_("Col Caption", c.ColCaption);
    text_("Col URL", c.ColURL);
    text_("Col Comments", c.ColComments);
    bool_("Option Match Case", c.MatchCase);
    // The Anywhere text means nothing in the normal mode: a saved search
    // that has one runs in Anywhere mode.
    if (!c.Anywhere.empty() && c.Mode == TSearchMode::Normal) c.Mode = TSearchMode::Anywhere;
    return known > 0;
}

void LoadSearch(const std::string& path, TSearchCriteria& c) {
    // Read into a copy: a file that is no saved search changes nothing.
    TSearchCriteria loaded = c;
    if (!ApplySavedSearchText(nametext::ToDisplayName(ReadTextFile(path)), loaded))
        throw EMessageError("errNotSavedSearch", path);
    c = std::move(loaded);
}
