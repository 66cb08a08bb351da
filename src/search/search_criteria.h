#pragma once

#include "search/name_pattern.h"
#include "text/date_time.h"

#include <cstdint>
#include <optional>
#include <string>

// What decides which tests combine how.
enum class TSearchMode { Normal, Anywhere, Collections };

enum TSizeSign : int { kSignEqual = 0, kSignGreater = 1, kSignLess = 2 };

// What makes two results duplicates: the same name (ignoring case), or the
// same size and content hash (the checksum handler's tag line).
enum class TDupMode { Names, Content };

// The criteria of the search window, as plain values.
struct TSearchCriteria {
    TSearchMode Mode = TSearchMode::Normal;

    std::string Name; // contained in the entry's name
    // Besides Name: the name matches this pattern (a regular expression or
    // a wildcard pattern; see TNamePattern). Not kept in saved searches.
    TNamePattern::TKind NamePatternKind = TNamePattern::TKind::None;
    std::string NamePattern;
    std::string Volume;   // contained in the volume's caption
    std::string Category; // equals the entry's (else its folder's) category
    std::string Comments; // contained in the entry's (else its folder's) comments
    std::string Type;     // contained in the lower-case extension
    std::string Location; // contained in the volume's location

    bool Date1Use = false;
    TDateTime Date1 = 0;
    bool Date2Use = false; // Date1 .. Date2, both days included
    TDateTime Date2 = 0;

    bool SizeUse = false;
    int SizeSign = kSignEqual;
    int SizeUnit = 0;      // 0 bytes, 1 KB, 2 MB
    int64_t SizeValue = 0; // 0 .. 2147483647
    std::string Anywhere;  // anywhere mode: one text for the six text tests

    std::string ColCaption; // collections mode
    std::string ColURL;
    std::string ColComments;

    bool MatchCase = false;
    bool FoldersOnly = false;
    bool Duplicates = false;
    TDupMode DupMode = TDupMode::Names;

    // Ranges over tag lines; an entry without the line never passes an active
    // range. Bounds are inclusive, an absent one leaves that side open.
    bool DurationUse = false; // "DurationSec", in seconds
    std::optional<double> DurationMin, DurationMax;
    bool TakenUse = false; // "DateTaken", by day: "YYYY-MM-DD"
    std::string TakenFrom, TakenTo;

    bool ReplaceCategory = false;
    std::string ReplaceCategoryText;
    bool ReplaceComments = false;
    std::string ReplaceCommentsText;

    // What "New Search" empties (the collection criteria and options stay).
    void ClearGeneral();
};
