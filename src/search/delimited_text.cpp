#include "search/delimited_text.h"

#include "files/input_file.h"
#include "files/standard_streams.h"
#include "settings/settings_store.h"
#include "text/message_error.h"
#include "text/string_list.h"
#include "text/text_utils.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
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
    if (sep.empty()) return {std::string(line)};
    TDelimitedReader reader(line, std::string(sep), std::string(q));
    TDelimitedRecord rec;
    if (!reader.Next(rec)) return {std::string()};
    return std::move(rec.Fields);
}

TDelimitedReader::TDelimitedReader(std::string_view text, std::string sep, std::string q,
                                   size_t perRecord)
    : text_(text), sep_(std::move(sep)), q_(std::move(q)),
      lineSeparated_(sep_.find_first_of("\r\n") != std::string::npos),
      perRecord_(std::max<size_t>(perRecord, 1)) {}

bool TDelimitedReader::At(size_t i, std::string_view what) const {
    return !what.empty() && text_.compare(i, what.size(), what) == 0;
}

size_t TDelimitedReader::LineEndLength(size_t i) const {
    if (i >= text_.size()) return 0;
    if (text_[i] == '\r') return i + 1 < text_.size() && text_[i + 1] == '\n' ? 2 : 1;
    return text_[i] == '\n' ? 1 : 0;
}

void TDelimitedReader::Advance(size_t to) {
    while (pos_ < to) {
        size_t n = LineEndLength(pos_);
        if (n) {
            ++line_;
            pos_ += n;
        } else {
            ++pos_;
        }
    }
}

// Reads one field from pos_ and steps over what ends it.
TDelimitedReader::TEnd TDelimitedReader::ReadField(std::string& field) {
    field.clear();
    const size_t n = text_.size();
    auto endsField = [&](size_t i) {
        return i >= n || LineEndLength(i) > 0 || (!lineSeparated_ && At(i, sep_));
    };
    size_t i = pos_;
    if (At(i, q_)) {
        // Quoted: runs to the qualifier that stands before a separator or a
        // line end; line ends inside belong to the field.
        size_t j = i + q_.size();
        std::string acc;
        bool closed = false, lone = false, spansLines = false;
        while (j < n) {
            if (At(j, q_)) {
                size_t after = j + q_.size();
                if (At(after, q_)) {
                    acc += q_;
                    j = after + q_.size();
                    continue;
                }
                if (endsField(after)) {
                    closed = true;
                    j = after;
                    break;
                }
                // A lone qualifier inside: older files did not double it.
                // Kept in a field that closes on its own line; after a line
                // break it means the quoting went wrong somewhere above.
                if (spansLines) break;
                lone = true;
                acc += q_;
                j = after;
                continue;
            }
            if (size_t le = LineEndLength(j)) {
                if (lone) break;
                // Every field that reaches this line start inside quotes goes
                // on from here the same way: one that already failed from
                // here fails again at once.
                if (j + le >= brokenFrom_ && j + le <= brokenTo_) {
                    j = brokenTo_;
                    break;
                }
                if (!spansLines) firstBreak_ = j + le;
                spansLines = true;
                acc.append(text_.substr(j, le));
                j += le;
                continue;
            }
            acc += text_[j++];
        }
        if (closed) {
            field = std::move(acc);
            Advance(j);
        } else {
            if (spansLines && firstBreak_ < j) {
                brokenFrom_ = firstBreak_;
                brokenTo_ = std::max(brokenTo_ == std::string_view::npos ? 0 : brokenTo_, j);
            }
            // An unpaired qualifier: the record is broken. It ends with the
            // line the field starts on, so the lines below are read as their own.
            malformed_ = true;
            size_t k = i + q_.size();
            while (k < n && LineEndLength(k) == 0)
                ++k;
            field.assign(text_.substr(i + q_.size(), k - i - q_.size()));
            Advance(k);
        }
    } else {
        size_t j = i;
        while (!endsField(j))
            ++j;
        field.assign(text_.substr(i, j - i));
        Advance(j);
    }
    if (pos_ >= n) return TEnd::Text;
    if (size_t le = LineEndLength(pos_)) {
        Advance(pos_ + le);
        return TEnd::Line;
    }
    Advance(pos_ + sep_.size());
    return TEnd::Separator;
}

bool TDelimitedReader::Next(TDelimitedRecord& rec) {
    rec.Fields.clear();
    malformed_ = false;
    if (pos_ >= text_.size()) return false;
    rec.Line = line_;
    const size_t start = pos_;
    size_t end = start;
    std::string field;
    while (true) {
        TEnd how = ReadField(field);
        rec.Fields.push_back(std::move(field));
        end = pos_;
        if (how == TEnd::Text) break;
        if (how == TEnd::Line) {
            // The record's text stops before its line end.
            end = pos_ - (text_[pos_ - 1] == '\n' && pos_ >= 2 && text_[pos_ - 2] == '\r' ? 2 : 1);
            if (!lineSeparated_ || rec.Fields.size() >= perRecord_ || pos_ >= text_.size()) break;
            continue;
        }
        // A separator at the very end leaves one more, empty field.
        if (pos_ >= text_.size()) {
            rec.Fields.emplace_back();
            break;
        }
    }
    rec.Raw = text_.substr(start, end - start);
    rec.Malformed = malformed_;
    return true;
}

std::string DecodeTextBytes(std::string bytes) {
    auto starts = [&](const char* mark, size_t n) { return bytes.compare(0, n, mark, n) == 0; };
    if (starts("\xEF\xBB\xBF", 3)) return bytes.substr(3);
    const bool le = starts("\xFF\xFE", 2), be = starts("\xFE\xFF", 2);
    if (!le && !be) return bytes;
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](size_t i) {
        auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(le ? a | b << 8 : b | a << 8);
    };
    auto put = [&](uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    };
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            uint32_t d = unit(i + 2);
            if (d >= 0xDC00 && d < 0xE000) {
                put(0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00));
                i += 2;
                continue;
            }
        }
        put(c >= 0xD800 && c < 0xE000 ? 0xFFFD : c); // an unpaired half
    }
    if (bytes.size() % 2) put(0xFFFD); // an odd last byte
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
    size_t i = 0;
    uint64_t whole = 0;
    size_t digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
        if (whole > (UINT64_MAX - 9) / 10) return false;
        whole = whole * 10 + static_cast<uint64_t>(s[i] - '0');
    }
    if (digits == 0) return false;
    // Only KB and MB have a fraction, and the export writes it after a point.
    double fraction = 0, scale = 0.1;
    if (factor != 1 && i < s.size() && s[i] == '.') {
        size_t decimals = 0;
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++decimals, scale /= 10)
            fraction += (s[i] - '0') * scale;
        if (decimals == 0) return false;
    }
    if (i != s.size()) return false;
    if (factor == 1) {
        if (whole > static_cast<uint64_t>(INT64_MAX)) return false;
        out = static_cast<int64_t>(whole);
        return true;
    }
    double v = std::round((static_cast<double>(whole) + fraction) * factor);
    if (!(v < 9.2e18)) return false;
    out = static_cast<int64_t>(v);
    return true;
}

std::string ReadTextFile(const std::string& path) {
    // "-" is standard input, whatever it is: a terminal reads up to Ctrl+D.
    if (path == "-") return DecodeTextBytes(ReadStandardInput());
    // Only a regular file: a FIFO would read as empty text (or hang), a
    // device could give bytes for ever.
    return DecodeTextBytes(ReadInputFile(path));
}

bool ParseDateText(const std::string& text, TDateTime& out) {
    std::string t = TrimBlanks(text);
    if (t.empty()) return false;
    if (ParseDateTimeISO(t, out)) return true;
    // The user's locale: date and time, then the date alone.
    for (const char* fmt : {"%x %X", "%x %H:%M", "%c", "%x"}) {
        std::tm tm{};
        const char* end = ::strptime(t.c_str(), fmt, &tm);
        if (!end || *end != '\0' || tm.tm_year < 1 - 1900 || tm.tm_year > 9999 - 1900) continue;
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
