// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Date-times as the program keeps them: days since 1899-12-30 00:00, the fraction being the
// time of day. Zero stands for "no date".

#include <ctime>
#include <optional>

using TDateTime = double;

struct DateTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// A valid calendar date (year 0-9999 of the proleptic Gregorian calendar) and time, or nothing.
std::optional<TDateTime> TryEncodeDateTime(const DateTimeParts& parts);
// The inverse of TryEncodeDateTime, rounded to the millisecond.
DateTimeParts DecodeDateTime(TDateTime value);
// A moment in time (seconds since the epoch) as local date-time.
TDateTime UnixToLocalDateTime(std::time_t seconds, long nanoseconds = 0);
