#pragma once

#include <cstdint>
#include <string>

// Days since 1899-12-30 00:00, the time of day as the fraction.
using TDateTime = double;

constexpr double kUnixEpochDays = 25569.0; // 1970-01-01 as a TDateTime

// File-system times are taken as they are, with no time-zone shift.
inline TDateTime UnixToDateTime(int64_t seconds, int64_t nanoseconds = 0) {
    return kUnixEpochDays +
           (static_cast<double>(seconds) + static_cast<double>(nanoseconds) * 1e-9) / 86400.0;
}
int64_t DateTimeToUnix(TDateTime t); // rounded to the nearest second

// "YYYY-MM-DD HH:MM:SS" and "YYYY-MM-DD"; empty for a zero date.
std::string FormatDateTimeISO(TDateTime t);
std::string FormatDateISO(TDateTime t);
// Parses "YYYY-MM-DD[ HH:MM[:SS]]" (also with "T") in years 1 to 9999; false
// unless the whole text is one.
bool ParseDateTimeISO(const std::string& text, TDateTime& out);
