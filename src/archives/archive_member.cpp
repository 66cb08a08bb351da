#include "archives/archive_member.h"

#include <chrono>

TDateTime TArchiveMember::DosToDateTime(uint32_t dosDateTime) {
    unsigned date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
    int year = 1980 + static_cast<int>(date >> 9);
    unsigned month = (date >> 5) & 0x0F, day = date & 0x1F;
    unsigned hour = time >> 11, minute = (time >> 5) & 0x3F, second = (time & 0x1F) * 2;
    std::chrono::year_month_day ymd{std::chrono::year{year}, std::chrono::month{month},
                                    std::chrono::day{day}};
    if (!ymd.ok() || hour > 23 || minute > 59 || second > 59) return 0;
    auto days = std::chrono::sys_days{ymd}.time_since_epoch().count();
    return kUnixEpochDays + static_cast<double>(days) +
           static_cast<double>(hour * 3600 + minute * 60 + second) / 86400.0;
}
