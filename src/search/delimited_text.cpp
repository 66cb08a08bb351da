#include "search/delimited_text.h"

#include "analysis/string_list.h"
#include "analysis/text_utils.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

std::string ResolveSeparator(std::string_view text) {
    if (text == kSeparatorItems[0]) return ",";
    if (text == kSeparatorItems[1]) return "\t";
    if (text == kSeparatorItems[2]) return "\r\n";
    return std::string(text);
}

std::string ResolveQualifier(std::string_view text) {
    return TrimBlanks(text);
}

std::string QuoteField(std::string_view value, std::string_view q) {
    if (q.empty()) return std::string(value);
    std::string out(q);
    size_t i = 0;
    while (i < value.size()) {
        if (value.compare(i, q.size(), q) == 0) {
            out.append(q).append(q);
            i += q.size();
        } else {
            out += value[i++];
        }
    }
    out.append(q);
    return out;
}

std::vector<std::string> SplitDelimited(std::string_view line, std::string_view sep,
                                        std::string_view q) {
    std::vector<std::string> out;
    if (sep.empty()) {
        out.emplace_back(line);
        return out;
    }
    auto at = [&](size_t i, std::string_view what) {
        return !what.empty() && line.compare(i, what.size(), what) == 0;
    };
    size_t i = 0;
    while (true) {
        std::string field;
        if (at(i, q)) {
            i += q.size();
            while (i < line.size()) {
                if (at(i, q)) {
                    size_t after = i + q.size();
                    if (at(after, q)) {
                        field.append(q);
                        i = after + q.size();
                        continue;
                    }
                    if (after >= line.size() || at(after, sep)) {
                        i = after;
                        break;
                    }
                    field.append(q); // a lone qualifier inside: kept as it stands
                    i = after;
                    continue;
                }
                field += line[i++];
            }
        }
        while (i < line.size() && !at(i, sep))
            field += line[i++];
        out.push_back(std::move(field));
        if (i >= line.size()) break;
        i += sep.size();
        if (i >= line.size()) {
            out.emplace_back(); // a trailing separator ends with an empty field
            break;
        }
    }
    return out;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t i = 0;
    while (i < text.size()) {
        size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n')
            ++j;
        lines.push_back(text.substr(i, j - i));
        if (j < text.size() && text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ++j;
        i = j + 1;
    }
    return lines;
}

namespace {

bool EndsWithWord(std::string_view s, std::string_view word) {
    if (word.empty() || s.size() < word.size()) return false;
    return SameText(s.substr(s.size() - word.size()), word);
}

} // namespace

bool ParseSizeText(std::string_view text, int64_t& out, std::string_view kbText,
                   std::string_view mbText) {
    std::string s = RemoveBlanks(text);
    double factor = 1;
    // The translated words first: they may be longer than the English ones.
    std::string_view words[4] = {mbText, kbText, "MB", "KB"};
    double factors[4] = {1048576.0, 1024.0, 1048576.0, 1024.0};
    for (int k = 0; k < 4; ++k) {
        std::string w = RemoveBlanks(words[k]);
        if (EndsWithWord(s, w)) {
            s.resize(s.size() - w.size());
            factor = factors[k];
            break;
        }
    }
    if (s.empty()) return false;
    size_t i = 0;
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        ++i;
    }
    uint64_t whole = 0;
    size_t digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
        if (whole > (UINT64_MAX - 9) / 10) return false;
        whole = whole * 10 + static_cast<uint64_t>(s[i] - '0');
    }
    double fraction = 0, scale = 0.1;
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
        ++i;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits, scale /= 10)
            fraction += (s[i] - '0') * scale;
    }
    if (digits == 0 || i != s.size()) return false;
    if (factor == 1 && fraction == 0) {
        if (whole > static_cast<uint64_t>(INT64_MAX)) return false;
        out = negative ? -static_cast<int64_t>(whole) : static_cast<int64_t>(whole);
        return true;
    }
    double v = std::round((static_cast<double>(whole) + fraction) * factor);
    if (!(v < 9.2e18)) return false;
    out = static_cast<int64_t>(v) * (negative ? -1 : 1);
    return true;
}

bool ParseDateText(const std::string& text, TDateTime& out) {
    std::string t = TrimBlanks(text);
    if (t.empty()) return false;
    if (ParseDateTimeISO(t, out)) return true;
    // The user's locale: date and time, then the date alone.
    for (const char* fmt : {"%x %X", "%x %H:%M", "%c", "%x"}) {
        std::tm tm{};
        const char* end = ::strptime(t.c_str(), fmt, &tm);
        if (!end || *end != '\0') continue;
        std::chrono::year_month_day ymd{std::chrono::year{tm.tm_year + 1900},
                                        std::chrono::month{static_cast<unsigned>(tm.tm_mon + 1)},
                                        std::chrono::day{static_cast<unsigned>(tm.tm_mday)}};
        if (!ymd.ok()) continue;
        int64_t days = std::chrono::sys_days(ymd).time_since_epoch().count();
        out = UnixToDateTime(days * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
        return true;
    }
    return false;
}

void ReadFieldItems(const ISettingsStore& store, const std::string& key,
                    std::vector<TFieldItem>& items) {
    for (size_t i = 0; i < items.size(); ++i) {
        std::string sub = key + "\\Fields\\" + std::to_string(i);
        items[i].Name = store.ReadString(sub, "Name", items[i].Name);
        items[i].Checked = store.ReadBool(sub, "Checked", items[i].Checked);
    }
}

void WriteFieldItems(ISettingsStore& store, const std::string& key,
                     const std::vector<TFieldItem>& items) {
    for (size_t i = 0; i < items.size(); ++i) {
        std::string sub = key + "\\Fields\\" + std::to_string(i);
        store.WriteString(sub, "Name", items[i].Name);
        store.WriteBool(sub, "Checked", items[i].Checked);
    }
}

std::vector<std::string> CheckedFieldNames(const std::vector<TFieldItem>& items) {
    std::vector<std::string> out;
    for (const auto& f : items)
        if (f.Checked && std::find(out.begin(), out.end(), f.Name) == out.end())
            out.push_back(f.Name);
    return out;
}

void SetFieldOrder(std::vector<TFieldItem>& items, const std::vector<std::string>& names) {
    std::vector<TFieldItem> out;
    for (const auto& n : names) {
        bool seen = std::any_of(out.begin(), out.end(), [&](auto& f) { return f.Name == n; });
        if (!seen) out.push_back({n, true});
    }
    for (const auto& f : items) {
        bool seen = std::any_of(out.begin(), out.end(), [&](auto& o) { return o.Name == f.Name; });
        if (!seen) out.push_back({f.Name, false});
    }
    items = std::move(out);
}
