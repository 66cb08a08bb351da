#pragma once

#include "text/date_time.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

class TStringList;

// Numbers, sizes and dates as the user sees them.

// Integer part (truncated towards zero) grouped in threes with one blank, then
// "." and two decimals unless both are zero; decimals are cut, not rounded
// (1048576 -> "1 048 576", 2.999 -> "2.99"). Non-finite values give "0".
std::string FormatNumber(double value);

// A size in binary units, named as such, with one decimal below 100 ("512 B",
// "1.5 KiB", "932 GiB"); negative sizes give "?".
std::string FormatBinarySize(int64_t bytes);

// The marks numbers are shown with: the thousands group and the decimal point.
// A space and "." until the desktop program applies a language; the command
// line and files meant to be read back keep those.
void SetNumberMarks(std::string group, std::string decimal);
// Text written with a space between groups and "." as the decimal point, in
// the marks in force (only between two digits).
std::string WithNumberMarks(std::string plain);

// The units of the "Sizes" setting.
enum TSizeUnit : int { kSizeBytes = 0, kSizeKB = 1, kSizeMB = 2 };

// Unit 0: bytes; 1: KB ("1 024 KB"); 2: MB. Any other unit gives empty text.
std::string FormatSize(int unit, double bytes);
// The same with the unit words given (translated "infoStrKB" / "infoStrMB").
std::string FormatSize(int unit, double bytes, std::string_view kbText, std::string_view mbText);
// A byte count, worked out in integers: exact up to the largest 64-bit size,
// which a double would round.
std::string FormatSize(int unit, int64_t bytes);
std::string FormatSize(int unit, int64_t bytes, std::string_view kbText, std::string_view mbText);
// Always with a space between groups and "." as the decimal point.
std::string FormatSizePlain(int unit, int64_t bytes, std::string_view kbText,
                            std::string_view mbText);
// Any other whole number goes the integer way too.
template <class T>
requires std::is_integral_v<T> std::string FormatSize(int unit, T bytes) {
    return FormatSize(unit, static_cast<int64_t>(bytes));
}
template <class T>
requires std::is_integral_v<T> std::string FormatSize(int unit, T bytes, std::string_view kbText,
                                                      std::string_view mbText) {
    return FormatSize(unit, static_cast<int64_t>(bytes), kbText, mbText);
}
// The unit words the two-argument FormatSize uses; English "KB" and "MB" until
// the language is loaded. Set from the user-interface thread only.
void SetSizeUnitTexts(std::string kbText, std::string mbText);

// "YYYY-MM-DD HH:MM:SS"; the time is left out when it is exactly midnight.
// Empty for a zero or non-finite date.
std::string FormatDateTime(TDateTime value);

// A file time (100-ns units since 1601-01-01) taken as it stands, no time-zone
// shift. A time that is not a date (negative) gives the current date-time.
TDateTime FileTimeToDateTime(int64_t fileTime);
TDateTime NowDateTime();

// High * 2^32 + Low, both halves unsigned.
inline uint64_t MakeInt64(uint32_t high, uint32_t low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

// "Disc 9" -> "Disc 10", "Disc 009" -> "Disc 010", "Disc" -> "Disc1", "7" -> "71".
// The first character never counts as a digit of the number.
std::string IncrementTitle(std::string_view title);

// Lists and text.

std::string JoinStrings(const std::vector<std::string>& list, std::string_view sep);
std::string JoinStrings(const TStringList& list, std::string_view sep);
// The pieces of text between the `sep`s, empty ones left out: "a;;b;" at ';'
// gives "a" and "b". They point into text.
std::vector<std::string_view> SplitAt(std::string_view text, char sep);
// -1 for an empty text; else the index of text in list, added first when missing.
int IndexOrAdd(TStringList& list, std::string_view text);
// The same; extra (when given) also receives text when it does not hold it.
int IndexOrAdd(TStringList& list, TStringList* extra, std::string_view text);
// Removes every blank (only ' ', not tabs).
std::string RemoveBlanks(std::string_view text);
// Blanks (' ') cut from both ends.
std::string TrimBlanks(std::string_view text);
// trimmed quote + text + trimmed quote.
std::string Enclose(std::string_view text, std::string_view quote);
// Drops the first character when it is quote, then the last when it is quote.
std::string Unenclose(std::string_view text, std::string_view quote);
// True when text is exactly one character (one UTF-8 sequence, or one byte of
// text that is not UTF-8).
bool IsOneCharacter(std::string_view text);
// ASCII upper and lower case; other bytes stay as they are.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
