#pragma once

#include "text/date_time.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Value forms of the peer catalogs.
namespace peervalues {

// CDCat "3.47 Mb": a decimal number and byte, Kb, Mb, Gb or Tb (binary
// factors), rounded to whole bytes. False when it is not one or overflows.
bool ParseCdcatSize(std::string_view text, int64_t& bytes);

// A naive local wall-clock time as the stored time (the importing machine's
// zone is assumed); 0 when the fields are not a real date.
TDateTime LocalToDateTime(int year, int month, int day, int hour, int minute, int second);

// CDCat dates: "YYYY-MM-DD HH:MM:SS" (zero padding optional), "Mon DD HH:MM
// YYYY" and "Mon.DD HH:MM YYYY" (English month abbreviations). 0 (unknown)
// for anything else.
TDateTime ParseCdcatDate(std::string_view text);

// A UTC epoch (seconds, may be fractional) as the stored time; 0 when out of range.
TDateTime EpochToDateTime(double seconds);

// A CDCat archive member line "mode?user?group?size?date?path?linkinfo?".
struct TCdcatMember {
    std::string Path;
    int64_t Size = 0;
    TDateTime Date = 0;
    bool IsFolder = false;
};
// False when the line has too few fields. A "?" inside the path is kept.
bool ParseCdcatMemberLine(std::string_view line, TCdcatMember& out);

// Element text as CDCat writes it: leading line breaks and trailing
// indentation removed.
std::string TrimText(std::string_view text);
// A CDCat comment: "#" is a line break.
std::string CdcatComment(std::string_view text);
// One line for a tag value: line breaks become spaces, ends trimmed.
std::string OneLine(std::string_view text);

// "Key : Value" / "Key: value" lines as (key, value) pairs; MediaInfo section
// headings (a line without ":") prefix the keys that follow ("Audio.Format").
std::vector<std::pair<std::string, std::string>> KeyValueLines(std::string_view text,
                                                               bool sections);

// For chunk filters: the bytes held back from the last chunk followed by
// `in` (joined into `buffer` only when something was held back).
std::string_view WithCarry(std::string& carry, std::string_view in, std::string& buffer);

} // namespace peervalues
