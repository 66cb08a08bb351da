#pragma once

#include "search/folded_finder.h"
#include "search/name_pattern.h"
#include "text/date_time.h"

#include <cstdint>
#include <string>
#include <string_view>

struct TSearchCriteria;

// What the search sees of one entry: views into the entry's own fields.
struct TMatchEntry {
    std::string_view Caption, Category, Comments;
    std::string_view Tags; // the entry's tag text, lines ending in CR LF
    TDateTime Date = 0;
    int64_t Size = 0;
    bool IsFolder = false;
};

// The criteria of a search, compiled once, tested against entries folder by
// folder. A copy is independent of the original, so each thread of a search
// can hold its own.
class TEntryMatcher {
public:
    // Throws std::invalid_argument for a name pattern that does not compile.
    explicit TEntryMatcher(const TSearchCriteria& criteria);

    // Called before the entries of each folder: its volume's caption and location
    // and the folder's own category and comments (an entry's fallbacks). False
    // when no entry of the folder can match (the caller may skip them).
    bool EnterFolder(std::string_view volumeCaption, std::string_view volumeLocation,
                     std::string_view folderCategory, std::string_view folderComments);
    bool Matches(const TMatchEntry& entry) const;

    // A test of a name's bytes as stored, before they are decoded: false only
    // when no entry of that name can match, whatever its other fields. The
    // bytes must be followed by TFoldedFinder::kSpare readable bytes.
    bool StoredNameMayMatch(std::string_view stored) const {
        return (!rejectsByName_ || name_.FoundInSpare(stored)) &&
               (required_.Empty() || required_.FoundInSpare(stored)) && pattern_.MayMatch(stored);
    }

    // The fields of TMatchEntry that Matches reads: a caller may leave the
    // others empty and spare itself the reading of them.
    enum TField : unsigned {
        kCaption = 1,
        kCategory = 2,
        kComments = 4,
        kTags = 8,
        kDate = 16,
        kSize = 32,
        kIsFolder = 64
    };
    unsigned Needs() const { return needs_; }
    // The name test every match passes, for a caller that can run it over
    // many names at once; null when matches need not pass one (no name
    // criterion, or the anywhere mode's "or", and no text a name pattern needs).
    const TFoldedFinder* NameFilter() const {
        if (!anywhere_ && !name_.Empty()) return &name_;
        return required_.Empty() ? nullptr : &required_;
    }

private:
    bool TypePass(const TMatchEntry& e) const;
    bool CategoryPass(const TMatchEntry& e) const;
    bool CommentsPass(const TMatchEntry& e) const;
    bool DateSizePass(const TMatchEntry& e) const;
    bool TagRangesPass(std::string_view tags) const;

    bool matchCase_ = false;
    bool anywhere_ = false;
    std::string category_, type_;
    TFoldedFinder name_, volume_, comments_, location_;
    TNamePattern pattern_; // a test every match passes, in both modes
    // The pattern's plain ASCII text, which every match holds: a quick test
    // before the pattern's own.
    TFoldedFinder required_;
    bool date1_ = false, date2_ = false;
    double day1_ = 0, day2_ = 0;
    bool size_ = false;
    int sign_ = 0;
    double sizeDivisor_ = 1;
    double sizeValue_ = 0;
    bool foldersOnly_ = false;
    bool duration_ = false;
    double durationMin_, durationMax_;
    bool taken_ = false;
    std::string takenFrom_, takenTo_;

    unsigned needs_ = 0;
    // Every match needs the name criterion, which is plain ASCII: decoding
    // keeps ASCII bytes and drops or widens only others, so a stored name
    // without it cannot hold it once decoded.
    bool rejectsByName_ = false;

    // The current folder's.
    bool volPass_ = true, locPass_ = true;
    std::string_view folderCategory_, folderComments_;
};

// The folding of the search: ASCII a-z upper-cased unless case matters.
std::string FoldText(std::string_view s, bool matchCase);
// The search's folding of one byte: only a to z change, no locale rules,
// accented letters stay.
inline unsigned char FoldChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return static_cast<unsigned char>(static_cast<unsigned>(u - 'a') < 26u ? u - 32 : u);
}
// Is `pat` (already folded) inside `hay` folded? No copy of hay is made.
bool FoldedContains(std::string_view hay, std::string_view pat, bool matchCase);
// Does `value` folded equal `pat` (already folded)?
bool FoldedEquals(std::string_view value, std::string_view pat, bool matchCase);
// The value of a tag line, the key matched ignoring case; empty when absent.
std::string_view TagValueOf(std::string_view tagText, std::string_view key);
