#include "search/entry_matcher.h"

#include "search/search_engine.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

inline unsigned char Up(char c) {
    return FoldChar(c);
}

inline unsigned char Lower(char c) {
    return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
}

// Is `pat` inside `hay` with each byte of hay mapped by `map` first?
template <class TMap> bool ContainsMapped(std::string_view hay, std::string_view pat, TMap map) {
    if (pat.empty()) return true;
    if (hay.size() < pat.size()) return false;
    const unsigned char c0 = static_cast<unsigned char>(pat[0]);
    const size_t last = hay.size() - pat.size();
    for (size_t i = 0; i <= last; ++i) {
        if (map(hay[i]) != c0) continue;
        size_t k = 1;
        while (k < pat.size() && map(hay[i + k]) == static_cast<unsigned char>(pat[k]))
            ++k;
        if (k == pat.size()) return true;
    }
    return false;
}

// The lower-case extension of a file's name as GetEntryType gives it, still
// in its stored case; empty for a folder.
std::string_view ExtensionOf(const TMatchEntry& e) {
    if (e.IsFolder) return {};
    auto dot = e.Caption.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string_view ext = e.Caption.substr(dot + 1);
    if (ext.find('/') != std::string_view::npos) return {};
    return ext;
}

// Days run on across 1899-12-30, so the day of a date-time before it is its
// floor: -0.25 is 1899-12-29 18:00, not a time of 1899-12-30.
double DayOf(TDateTime t) {
    return std::floor(t);
}

// A duration as the readers store it: "215.38", or "215,38" from older files
// written with a decimal comma.
bool ParseSeconds(std::string_view text, double& out) {
    char buf[64];
    if (text.empty() || text.size() >= sizeof buf) return false;
    for (size_t i = 0; i < text.size(); ++i)
        buf[i] = text[i] == ',' ? '.' : text[i];
    auto r = std::from_chars(buf, buf + text.size(), out);
    return r.ec == std::errc() && r.ptr == buf + text.size() && std::isfinite(out);
}

// The day of a "DateTaken" value ("2024-05-01T10:00:00", or the EXIF form
// "2024:05:01 10:00:00") as "YYYY-MM-DD"; false when it does not start with one.
bool TakenDay(std::string_view text, char (&day)[10]) {
    if (text.size() < 10) return false;
    for (size_t i = 0; i < 10; ++i) {
        const char c = text[i];
        if (i == 4 || i == 7) {
            if (c != '-' && c != ':') return false;
            day[i] = '-';
        } else {
            if (c < '0' || c > '9') return false;
            day[i] = c;
        }
    }
    return text.size() == 10 || text[10] == 'T' || text[10] == ' ';
}

} // namespace

std::string FoldText(std::string_view s, bool matchCase) {
    std::string out(s);
    if (!matchCase)
        for (char& c : out)
            c = static_cast<char>(Up(c));
    return out;
}

bool FoldedContains(std::string_view hay, std::string_view pat, bool matchCase) {
    if (pat.empty()) return true;
    if (hay.size() < pat.size()) return false;
    if (matchCase) return hay.find(pat) != std::string_view::npos;
    return ContainsMapped(hay, pat, Up);
}

bool FoldedEquals(std::string_view value, std::string_view pat, bool matchCase) {
    if (value.size() != pat.size()) return false;
    if (matchCase) return value == pat;
    for (size_t i = 0; i < value.size(); ++i)
        if (Up(value[i]) != static_cast<unsigned char>(pat[i])) return false;
    return true;
}

std::string_view TagValueOf(std::string_view text, std::string_view key) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > key.size() && line[key.size()] == '=') {
            bool same = true;
            for (size_t i = 0; i < key.size() && same; ++i)
                same = Up(line[i]) == Up(key[i]);
            if (same) return line.substr(key.size() + 1);
        }
        pos = end + 1;
    }
    return {};
}

TEntryMatcher::TEntryMatcher(const TSearchCriteria& c)
    : durationMin_(-INFINITY), durationMax_(INFINITY) {
    matchCase_ = c.MatchCase;
    anywhere_ = c.Mode == TSearchMode::Anywhere;
    auto f = [&](const std::string& s) { return FoldText(s, matchCase_); };
    auto finder = [&](const std::string& s) { return TFoldedFinder(s, matchCase_); };
    const std::string& any = c.Anywhere;
    name_ = finder(anywhere_ ? any : c.Name);
    pattern_ = TNamePattern(c.NamePatternKind, c.NamePattern, matchCase_);
    required_ = finder(pattern_.RequiredText());
    volume_ = finder(anywhere_ ? any : c.Volume);
    comments_ = finder(anywhere_ ? any : c.Comments);
    location_ = finder(anywhere_ ? any : c.Location);
    category_ = f(anywhere_ ? any : c.Category);
    type_ = f(anywhere_ ? any : c.Type);
    date1_ = c.Date1Use;
    date2_ = c.Date1Use && c.Date2Use;
    day1_ = DayOf(c.Date1);
    day2_ = DayOf(c.Date2);
    size_ = c.SizeUse;
    sign_ = c.SizeSign;
    sizeDivisor_ = c.SizeUnit == 1 ? 1024.0 : c.SizeUnit == 2 ? 1048576.0 : 1.0;
    sizeValue_ = static_cast<double>(std::clamp<int64_t>(c.SizeValue, 0, 2147483647));
    foldersOnly_ = c.FoldersOnly;
    duration_ = c.DurationUse;
    if (c.DurationMin) durationMin_ = *c.DurationMin;
    if (c.DurationMax) durationMax_ = *c.DurationMax;
    taken_ = c.TakenUse;
    takenFrom_ = c.TakenFrom;
    takenTo_ = c.TakenTo;
    if (!name_.Empty() || !type_.empty() || !pattern_.Empty()) needs_ |= kCaption;
    if (!category_.empty()) needs_ |= kCategory;
    if (!comments_.Empty()) needs_ |= kComments;
    if (duration_ || taken_) needs_ |= kTags;
    if (date1_) needs_ |= kDate;
    if (size_) needs_ |= kSize;
    if (foldersOnly_ || !type_.empty()) needs_ |= kIsFolder;
    const std::string& name = anywhere_ ? any : c.Name;
    rejectsByName_ = !anywhere_ && !name.empty() &&
                     std::all_of(name.begin(), name.end(),
                                 [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
}

bool TEntryMatcher::EnterFolder(std::string_view volumeCaption, std::string_view volumeLocation,
                                std::string_view folderCategory, std::string_view folderComments) {
    volPass_ = volume_.FoundIn(volumeCaption);
    locPass_ = location_.FoundIn(volumeLocation);
    folderCategory_ = folderCategory;
    folderComments_ = folderComments;
    return anywhere_ || (volPass_ && locPass_);
}

bool TEntryMatcher::TypePass(const TMatchEntry& e) const {
    if (type_.empty()) return true;
    // Types are lower-case: matching case compares with the lower-cased
    // extension, folding upper-cases it again.
    std::string_view ext = ExtensionOf(e);
    if (matchCase_) return ContainsMapped(ext, type_, Lower);
    return FoldedContains(ext, type_, false);
}

bool TEntryMatcher::CategoryPass(const TMatchEntry& e) const {
    if (category_.empty()) return true;
    return FoldedEquals(e.Category.empty() ? folderCategory_ : e.Category, category_, matchCase_);
}

bool TEntryMatcher::CommentsPass(const TMatchEntry& e) const {
    if (comments_.Empty()) return true;
    return comments_.FoundIn(e.Comments.empty() ? folderComments_ : e.Comments);
}

bool TEntryMatcher::TagRangesPass(std::string_view tags) const {
    if (duration_) {
        double d;
        if (!ParseSeconds(TagValueOf(tags, "DurationSec"), d) || d < durationMin_ ||
            d > durationMax_)
            return false;
    }
    if (taken_) {
        char buf[10];
        if (!TakenDay(TagValueOf(tags, "DateTaken"), buf)) return false;
        std::string_view day(buf, 10);
        if ((!takenFrom_.empty() && day < takenFrom_) || (!takenTo_.empty() && day > takenTo_))
            return false;
    }
    return true;
}

bool TEntryMatcher::DateSizePass(const TMatchEntry& e) const {
    if (date1_) {
        double d = DayOf(e.Date);
        if (date2_ ? (d < day1_ || d > day2_) : d != day1_) return false;
    }
    if (size_) {
        double x = static_cast<double>(e.Size) / sizeDivisor_;
        bool ok = sign_ == kSignGreater ? x > sizeValue_
                  : sign_ == kSignLess  ? x < sizeValue_
                                        : x == sizeValue_;
        if (!ok) return false;
    }
    return TagRangesPass(e.Tags);
}

bool TEntryMatcher::Matches(const TMatchEntry& e) const {
    if (foldersOnly_ && !e.IsFolder) return false;
    if (anywhere_)
        return (volPass_ || locPass_ || name_.FoundIn(e.Caption) || CategoryPass(e) ||
                CommentsPass(e) || TypePass(e)) &&
               DateSizePass(e) && pattern_.Matches(e.Caption);
    // The pattern last: it costs the most.
    return name_.FoundIn(e.Caption) && TypePass(e) && CategoryPass(e) && CommentsPass(e) &&
           DateSizePass(e) && pattern_.Matches(e.Caption);
}
