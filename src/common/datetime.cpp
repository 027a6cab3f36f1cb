// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/datetime.h"

#include <chrono>
#include <cmath>

namespace {

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

} // namespace

std::optional<TDateTime> TryEncodeDateTime(const DateTimeParts& p) {
    if (p.year < 0 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > DaysInMonth(p.year, p.month))
        return std::nullopt;
    if (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 ||
        p.second > 59 || p.millisecond < 0 || p.millisecond > 999)
        return std::nullopt;
    using namespace std::chrono;
    const sys_days d = year_month_day{year{p.year}, month{unsigned(p.month)}, day{unsigned(p.day)}};
    const sys_days epoch = year_month_day{year{1899}, December, day{30}};
    const double days = double((d - epoch).count());
    const double time =
        (p.hour * 3600000.0 + p.minute * 60000.0 + p.second * 1000.0 + p.millisecond) / 86400000.0;
    // Before the epoch the fraction still counts forwards from midnight.
    return days >= 0 ? days + time : days - time;
}

DateTimeParts DecodeDateTime(TDateTime value) {
    using namespace std::chrono;
    double whole = std::trunc(value);
    double fraction = std::fabs(value - whole);
    long long ms = std::llround(fraction * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        whole += value >= 0 ? 1 : -1;
    }
    const sys_days epoch = year_month_day{year{1899}, December, day{30}};
    const year_month_day ymd{epoch + days{static_cast<long long>(whole)}};
    DateTimeParts p;
    p.year = int(ymd.year());
    p.month = int(unsigned(ymd.month()));
    p.day = int(unsigned(ymd.day()));
    p.hour = int(ms / 3600000);
    p.minute = int(ms / 60000 % 60);
    p.second = int(ms / 1000 % 60);
    p.millisecond = int(ms % 1000);
    return p;
}

TDateTime UnixToLocalDateTime(std::time_t seconds, long nanoseconds) {
    std::tm local{};
    localtime_r(&seconds, &local);
    DateTimeParts p{
        local.tm_year + 1900, local.tm_mon + 1,          local.tm_mday, local.tm_hour, local.tm_min,
        local.tm_sec,         int(nanoseconds / 1000000)};
    if (p.second > 59) // a leap second
        p.second = 59;
    return TryEncodeDateTime(p).value_or(0.0);
}
