#include "importers/peer_values.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <unordered_map>

namespace peervalues {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return kDays[m - 1];
}

// Reads an unsigned decimal of 1..max digits at s[i]; false when there is none.
bool Number(std::string_view s, size_t& i, int& out, size_t maxDigits) {
    size_t start = i;
    int64_t v = 0;
    while (i < s.size() && i - start < maxDigits && s[i] >= '0' && s[i] <= '9')
        v = v * 10 + (s[i++] - '0');
    if (i == start || (i < s.size() && s[i] >= '0' && s[i] <= '9')) return false;
    out = static_cast<int>(v);
    return true;
}

bool Expect(std::string_view s, size_t& i, char c) {
    if (i < s.size() && s[i] == c) {
        ++i;
        return true;
    }
    return false;
}

int MonthFromName(std::string_view name) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() != 3) return 0;
    for (int m = 0; m < 12; ++m) {
        bool same = true;
        for (int k = 0; k < 3; ++k)
            same = same && (name[static_cast<size_t>(k)] | 0x20) == kMonths[m][k];
        if (same) return m + 1;
    }
    return 0;
}

} // namespace

bool ParseCdcatSize(std::string_view text, int64_t& bytes) {
    text = Trim(text);
    size_t sp = text.find(' ');
    if (sp == std::string_view::npos) return false;
    std::string_view num = text.substr(0, sp), unit = Trim(text.substr(sp + 1));
    double v = 0;
    auto [end, ec] = std::from_chars(num.data(), num.data() + num.size(), v);
    if (ec != std::errc() || end != num.data() + num.size() || !std::isfinite(v) || v < 0)
        return false;
    std::string u;
    for (char c : unit)
        u += static_cast<char>(c | 0x20);
    double factor;
    if (u == "byte" || u == "bytes" || u == "b")
        factor = 1;
    else if (u == "kb")
        factor = 1024.0;
    else if (u == "mb")
        factor = 1024.0 * 1024;
    else if (u == "gb")
        factor = 1024.0 * 1024 * 1024;
    else if (u == "tb")
        factor = 1024.0 * 1024 * 1024 * 1024;
    else
        return false;
    const double b = std::round(v * factor);
    if (!(b < 9.2e18)) return false;
    bytes = static_cast<int64_t>(b);
    return true;
}

TDateTime LocalToDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return 0;
    const int64_t naive =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
        hour * 3600 + minute * 60 + second;
    // The zone offset changes at most hourly; asking the C library once per
    // hour keeps a million dates cheap.
    thread_local std::unordered_map<int64_t, int64_t> offsets;
    const int64_t hourKey = naive / 3600;
    auto it = offsets.find(hourKey);
    if (it == offsets.end()) {
        if (offsets.size() > 100000) offsets.clear();
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = 0;
        tm.tm_sec = 0;
        tm.tm_isdst = -1;
        const int64_t hourStart = naive - minute * 60 - second;
        std::time_t t = std::mktime(&tm);
        int64_t offset =
            t == static_cast<std::time_t>(-1) ? 0 : hourStart - static_cast<int64_t>(t);
        it = offsets.emplace(hourKey, offset).first;
    }
    return UnixToDateTime(naive - it->second);
}

TDateTime ParseCdcatDate(std::string_view text) {
    text = Trim(text);
    size_t i = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
        if (Number(text, i, y, 4) && Expect(text, i, '-') && Number(text, i, mo, 2) &&
            Expect(text, i, '-') && Number(text, i, d, 2) && Expect(text, i, ' ') &&
            Number(text, i, h, 2) && Expect(text, i, ':') && Number(text, i, mi, 2) &&
            Expect(text, i, ':') && Number(text, i, s, 2) && i == text.size())
            return LocalToDateTime(y, mo, d, h, mi, s);
        return 0;
    }
    // "Mon DD HH:MM YYYY" or "Mon.DD HH:MM YYYY"
    if (text.size() < 4) return 0;
    mo = MonthFromName(text.substr(0, 3));
    i = 3;
    if (!mo || !(Expect(text, i, ' ') || Expect(text, i, '.'))) return 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (Number(text, i, d, 2) && Expect(text, i, ' ') && Number(text, i, h, 2) &&
        Expect(text, i, ':') && Number(text, i, mi, 2) && Expect(text, i, ' ') &&
        Number(text, i, y, 4) && i == text.size())
        return LocalToDateTime(y, mo, d, h, mi, 0);
    return 0;
}

TDateTime EpochToDateTime(double seconds) {
    // Years 1..9999, as every other date of the catalog.
    if (!std::isfinite(seconds) || seconds < -62135596800.0 || seconds > 253402300799.0) return 0;
    const double whole = std::floor(seconds);
    return UnixToDateTime(static_cast<int64_t>(whole),
                          static_cast<int64_t>(std::llround((seconds - whole) * 1e9)));
}

bool ParseCdcatMemberLine(std::string_view line, TCdcatMember& out) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t q = line.find('?', start);
        if (q == std::string_view::npos) {
            parts.push_back(line.substr(start));
            break;
        }
        parts.push_back(line.substr(start, q - start));
        start = q + 1;
    }
    // Seven fields each followed by "?"; more parts mean a "?" in the path.
    if (parts.size() < 8 || !Trim(parts.back()).empty()) return false;
    const std::string_view mode = Trim(parts[0]);
    std::string path;
    for (size_t k = 5; k + 2 < parts.size(); ++k) {
        if (k > 5) path += '?';
        path.append(parts[k]);
    }
    if (path.empty()) return false;
    out = TCdcatMember();
    out.IsFolder = !mode.empty() && mode[0] == 'd';
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
        out.IsFolder = true;
    }
    out.Path = std::move(path);
    std::string_view size = Trim(parts[3]);
    int64_t v = 0;
    auto [end, ec] = std::from_chars(size.data(), size.data() + size.size(), v);
    out.Size = ec == std::errc() && end == size.data() + size.size() && v >= 0 ? v : 0;
    // "MMM d h:s yyyy": the minutes were never written.
    std::string_view date = Trim(parts[4]);
    size_t i = 0;
    int d = 0, h = 0, s = 0, y = 0;
    int mo = date.size() >= 3 ? MonthFromName(date.substr(0, 3)) : 0;
    i = 3;
    if (mo && Expect(date, i, ' ')) {
        while (i < date.size() && date[i] == ' ')
            ++i;
        if (Number(date, i, d, 2) && Expect(date, i, ' ') && Number(date, i, h, 2) &&
            Expect(date, i, ':') && Number(date, i, s, 2) && Expect(date, i, ' ') &&
            Number(date, i, y, 4) && i == date.size())
            out.Date = LocalToDateTime(y, mo, d, h, 0, s);
    }
    return true;
}

std::string TrimText(std::string_view text) {
    while (!text.empty() && (text.front() == '\n' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

std::string CdcatComment(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '#') c = '\n';
    return TrimText(out);
}

std::string OneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : Trim(text))
        out += (c == '\r' || c == '\n') ? ' ' : c;
    return out;
}

std::vector<std::pair<std::string, std::string>> KeyValueLines(std::string_view text,
                                                               bool sections) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string section;
    size_t start = 0;
    while (start <= text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = Trim(text.substr(start, nl - start));
        start = nl + 1;
        if (line.empty()) continue;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            if (sections) section = OneLine(line);
            continue;
        }
        std::string key = OneLine(line.substr(0, colon));
        // A tag key may not hold "=", which separates it from the value.
        for (char& c : key)
            if (c == '=') c = '_';
        if (key.empty()) continue;
        if (sections && !section.empty()) key = section + "." + key;
        out.emplace_back(std::move(key), OneLine(line.substr(colon + 1)));
    }
    return out;
}

std::string_view WithCarry(std::string& carry, std::string_view in, std::string& buffer) {
    if (carry.empty()) return in;
    buffer = carry;
    buffer.append(in);
    carry.clear();
    return buffer;
}

} // namespace peervalues
