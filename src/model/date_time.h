// Date-time values as the program stores them: a double-precision count of
// days since 1899-12-30, the fraction being the time of day (local time).
#pragma once

#include <cstdint>

namespace zelvo {

using OleDate = double;

struct CivilDateTime {
  int year = 1899;
  int month = 12;  // 1..12
  int day = 30;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Converts a calendar date and time of day to its day count.
OleDate ToOleDate(const CivilDateTime& civil);

// Splits a day count into calendar date and time of day, rounded to the second.
CivilDateTime FromOleDate(OleDate date);

// The same day and time of day one calendar year earlier; 29 February becomes
// 28 February of the year before.
OleDate OneYearEarlier(OleDate date);

// Day of the week with Monday = 1 ... Sunday = 7.
int IsoWeekday(OleDate date);

// Whole seconds from `from` to `to`, negative when `to` lies before `from`.
std::int64_t WholeSecondsBetween(OleDate from, OleDate to);

}  // namespace zelvo
