// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PDF dates ("D:YYYYMMDDHHmmSSOHH'mm'") as the program keeps dates.

#include "common/datetime.h"

#include <string_view>

// A PDF date (the "D:" prefix is optional) to a date-time as written, the time zone ignored;
// fields missing at the end take their defaults. Year 0000 is a date like any other (writers
// use it for "no date", and the major readers show it). An invalid date gives 0.
TDateTime ParsePdfDate(std::string_view text);
