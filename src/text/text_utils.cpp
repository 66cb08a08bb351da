#include "text/text_utils.h"

#include "text/string_list.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <mutex>

namespace {

struct TUnitTexts {
    std::string kb = "KB";
    std::string mb = "MB";
    std::string group = " ";
    std::string decimal = ".";
};

TUnitTexts& UnitTexts() {
    static TUnitTexts texts;
    return texts;
}

std::mutex& UnitTextsMutex() {
    static std::mutex m;
    return m;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string WithNumberMarks(std::string plain) {
    std::string group, decimal;
    {
        std::lock_guard<std::mutex> lock(UnitTextsMutex());
        if (UnitTexts().group == " " && UnitTexts().decimal == ".") return plain;
        group = UnitTexts().group;
        decimal = UnitTexts().decimal;
    }
    std::string out;
    out.reserve(plain.size() + 8);
    for (size_t i = 0; i < plain.size(); ++i) {
        const char c = plain[i];
        const bool between =
            i > 0 && i + 1 < plain.size() && IsDigit(plain[i - 1]) && IsDigit(plain[i + 1]);
        if (between && c == ' ')
            out += group;
        else if (between && c == '.')
            out += decimal;
        else
            out += c;
    }
    return out;
}

void SetNumberMarks(std::string group, std::string decimal) {
    std::lock_guard<std::mutex> lock(UnitTextsMutex());
    UnitTexts().group = group.empty() ? std::string(" ") : std::move(group);
    UnitTexts().decimal = decimal.empty() ? std::string(".") : std::move(decimal);
}

namespace {

std::string PlainNumber(double value) {
    if (!std::isfinite(value)) return "0";
    // The shortest text that reads back as the same double: 3.05 stays 3.05
    // instead of becoming 3.0499999... and losing its last decimal.
    char buf[1100];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (r.ec != std::errc()) return "0";
    std::string_view text(buf, static_cast<size_t>(r.ptr - buf));
    bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string decimals =
        dot == std::string_view::npos ? std::string() : std::string(text.substr(dot + 1, 2));
    while (decimals.size() < 2)
        decimals += '0';
    bool showDecimals = decimals != "00";
    // No "-0" when everything shown is zero.
    if (negative && whole == "0" && !showDecimals) negative = false;

    std::string out;
    out.reserve(whole.size() + whole.size() / 3 + 4);
    if (negative) out += '-';
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) out += ' ';
        out += whole[i];
    }
    if (showDecimals) {
        out += '.';
        out += decimals;
    }
    return out;
}

} // namespace

std::string FormatNumber(double value) {
    return WithNumberMarks(PlainNumber(value));
}

std::string FormatSize(int unit, double bytes, std::string_view kbText, std::string_view mbText) {
    switch (unit) {
    case kSizeBytes:
        return FormatNumber(bytes);
    case kSizeKB:
        return FormatNumber(bytes / 1024.0) + " " + std::string(kbText);
    case kSizeMB:
        return FormatNumber(bytes / 1048576.0) + " " + std::string(mbText);
    default:
        return {};
    }
}

std::string FormatSize(int unit, int64_t bytes, std::string_view kbText, std::string_view mbText) {
    return WithNumberMarks(FormatSizePlain(unit, bytes, kbText, mbText));
}

std::string FormatSizePlain(int unit, int64_t bytes, std::string_view kbText,
                            std::string_view mbText) {
    if (unit != kSizeBytes && unit != kSizeKB && unit != kSizeMB) return {};
    const bool negative = bytes < 0;
    // The magnitude as unsigned, so that the smallest value has one too.
    uint64_t v = negative ? 0 - static_cast<uint64_t>(bytes) : static_cast<uint64_t>(bytes);
    const uint64_t divisor = unit == kSizeKB ? 1024 : unit == kSizeMB ? 1048576 : 1;
    const std::string whole = std::to_string(v / divisor);
    // Two decimals, cut rather than rounded, as FormatNumber writes them.
    const uint64_t hundredths = (v % divisor) * 100 / divisor;
    std::string out;
    if (negative && (v / divisor != 0 || hundredths != 0)) out += '-';
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) out += ' ';
        out += whole[i];
    }
    if (hundredths != 0) {
        out += '.';
        out += static_cast<char>('0' + hundredths / 10);
        out += static_cast<char>('0' + hundredths % 10);
    }
    if (unit == kSizeKB) out += " " + std::string(kbText);
    if (unit == kSizeMB) out += " " + std::string(mbText);
    return out;
}

namespace {

// The unit words in force, copied: the formatting takes the lock again.
std::pair<std::string, std::string> UnitWords() {
    std::lock_guard<std::mutex> lock(UnitTextsMutex());
    return {UnitTexts().kb, UnitTexts().mb};
}

} // namespace

std::string FormatSize(int unit, int64_t bytes) {
    const auto [kb, mb] = UnitWords();
    return FormatSize(unit, bytes, kb, mb);
}

std::string FormatSize(int unit, double bytes) {
    const auto [kb, mb] = UnitWords();
    return FormatSize(unit, bytes, kb, mb);
}

void SetSizeUnitTexts(std::string kbText, std::string mbText) {
    std::lock_guard<std::mutex> lock(UnitTextsMutex());
    UnitTexts().kb = std::move(kbText);
    UnitTexts().mb = std::move(mbText);
}

std::string FormatDateTime(TDateTime value) {
    std::string text = FormatDateTimeISO(value);
    if (text.size() > 11 && text.compare(text.size() - 9, 9, " 00:00:00") == 0)
        text.resize(text.size() - 9);
    return text;
}

TDateTime NowDateTime() {
    using namespace std::chrono;
    auto now = system_clock::now().time_since_epoch();
    auto secs = duration_cast<seconds>(now).count();
    auto nanos = duration_cast<nanoseconds>(now).count() % 1000000000;
    return UnixToDateTime(secs, nanos);
}

TDateTime FileTimeToDateTime(int64_t fileTime) {
    // 1601-01-01 is 109205 days before 1899-12-30.
    constexpr double kFileTimeEpochDays = -109205.0;
    constexpr double kTicksPerDay = 864000000000.0;
    if (fileTime < 0) return NowDateTime();
    // Whole days and the rest apart, so that the time of day keeps its precision.
    int64_t days = fileTime / 864000000000LL;
    int64_t rest = fileTime % 864000000000LL;
    return kFileTimeEpochDays + static_cast<double>(days) +
           static_cast<double>(rest) / kTicksPerDay;
}

std::string IncrementTitle(std::string_view title) {
    if (title.empty()) return {};
    size_t start = title.size();
    while (start > 1 && title[start - 1] >= '0' && title[start - 1] <= '9')
        --start;
    std::string digits(title.substr(start));
    // Decimal increment on the text itself, so that no length of number overflows.
    int i = static_cast<int>(digits.size()) - 1;
    for (; i >= 0; --i) {
        if (digits[static_cast<size_t>(i)] == '9') {
            digits[static_cast<size_t>(i)] = '0';
        } else {
            ++digits[static_cast<size_t>(i)];
            break;
        }
    }
    if (i < 0) digits.insert(digits.begin(), '1');
    return std::string(title.substr(0, start)) + digits;
}

std::string JoinStrings(const std::vector<std::string>& list, std::string_view sep) {
    std::string out;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0) out += sep;
        out += list[i];
    }
    return out;
}

std::vector<std::string_view> SplitAt(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(sep, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string JoinStrings(const TStringList& list, std::string_view sep) {
    return JoinStrings(list.Lines(), sep);
}

int IndexOrAdd(TStringList& list, std::string_view text) {
    if (text.empty()) return -1;
    int i = list.IndexOf(text);
    if (i < 0) i = list.Add(text);
    return i;
}

int IndexOrAdd(TStringList& list, TStringList* extra, std::string_view text) {
    int i = IndexOrAdd(list, text);
    if (i >= 0 && extra && extra->IndexOf(text) < 0) extra->Add(text);
    return i;
}

std::string RemoveBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

std::string TrimBlanks(std::string_view text) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    size_t e = text.find_last_not_of(' ');
    return std::string(text.substr(b, e - b + 1));
}

std::string Enclose(std::string_view text, std::string_view quote) {
    std::string q = TrimBlanks(quote);
    return q + std::string(text) + q;
}

bool IsOneCharacter(std::string_view text) {
    if (text.empty()) return false;
    unsigned char c = static_cast<unsigned char>(text[0]);
    size_t len = c < 0x80           ? 1
                 : (c >> 5) == 0x6  ? 2
                 : (c >> 4) == 0xE  ? 3
                 : (c >> 3) == 0x1E ? 4
                                    : 1;
    if (text.size() != len) return false;
    for (size_t i = 1; i < len; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return false;
    return true;
}

std::string Unenclose(std::string_view text, std::string_view quote) {
    if (!IsOneCharacter(quote)) return std::string(text);
    if (text.substr(0, quote.size()) == quote) text.remove_prefix(quote.size());
    if (text.size() >= quote.size() && text.substr(text.size() - quote.size()) == quote)
        text.remove_suffix(quote.size());
    return std::string(text);
}

std::string UpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

std::string FormatBinarySize(int64_t bytes) {
    if (bytes < 0) return "?";
    if (bytes < 1024) return std::to_string(bytes) + " B";
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 100 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
    return WithNumberMarks(text);
}
