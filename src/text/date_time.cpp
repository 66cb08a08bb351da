#include "text/date_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

// Civil date from days since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
    std::chrono::sys_days sd{std::chrono::days{z}};
    std::chrono::year_month_day ymd{sd};
    y = static_cast<int>(ymd.year());
    m = static_cast<unsigned>(ymd.month());
    d = static_cast<unsigned>(ymd.day());
}

} // namespace

int64_t DateTimeToUnix(TDateTime t) {
    if (!std::isfinite(t)) return 0;
    double secs = (t - kUnixEpochDays) * 86400.0;
    if (secs > 9.0e15 || secs < -9.0e15) return 0;
    return static_cast<int64_t>(std::llround(secs));
}

std::string FormatDateTimeISO(TDateTime t) {
    if (t == 0.0 || !std::isfinite(t)) return {};
    int64_t s = DateTimeToUnix(t);
    int64_t days = s >= 0 ? s / 86400 : -((-s + 86399) / 86400);
    int64_t rem = s - days * 86400;
    int y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d:%02d", y, m, d,
                  static_cast<int>(rem / 3600), static_cast<int>(rem / 60 % 60),
                  static_cast<int>(rem % 60));
    return buf;
}

std::string FormatDateISO(TDateTime t) {
    std::string s = FormatDateTimeISO(t);
    return s.substr(0, s.find(' '));
}

bool ParseDateTimeISO(const std::string& text, TDateTime& out) {
    // The whole text and nothing else: "YYYY-MM-DD", then " HH:MM" or
    // " HH:MM:SS" ("T" for the blank too); a year from 1 to 9999.
    const size_t n = text.size();
    if (n != 10 && n != 16 && n != 19) return false;
    auto number = [&](size_t at, size_t digits, int& v) {
        v = 0;
        for (size_t i = at; i < at + digits; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            v = v * 10 + (text[i] - '0');
        }
        return true;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!number(0, 4, y) || text[4] != '-' || !number(5, 2, mo) || text[7] != '-' ||
        !number(8, 2, d) || y < 1)
        return false;
    if (n > 10 && ((text[10] != ' ' && text[10] != 'T') || !number(11, 2, h) || text[13] != ':' ||
                   !number(14, 2, mi)))
        return false;
    if (n > 16 && (text[16] != ':' || !number(17, 2, s))) return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return false;
    std::chrono::year_month_day ymd{std::chrono::year{y},
                                    std::chrono::month{static_cast<unsigned>(mo)},
                                    std::chrono::day{static_cast<unsigned>(d)}};
    if (!ymd.ok()) return false;
    int64_t days = std::chrono::sys_days(ymd).time_since_epoch().count();
    out = UnixToDateTime(days * 86400 + h * 3600 + mi * 60 + s);
    return true;
}
