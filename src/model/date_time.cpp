#include "model/date_time.h"

#include <cmath>

namespace zelvo {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days from 1970-01-01 back to the epoch of the day count, 1899-12-30.
constexpr std::int64_t kEpochOffsetDays = 25569;
constexpr double kSecondsPerDay = 86400.0;

// Seconds since 1899-12-30 00:00:00 as the day count reads it. Dates before
// the epoch count whole days down and the time of day up, as the stored form does.
std::int64_t ToEpochSeconds(OleDate date) {
  double days = std::trunc(date);
  double fraction = std::fabs(date - days);
  return static_cast<std::int64_t>(days) * 86400 +
         static_cast<std::int64_t>(std::llround(fraction * kSecondsPerDay));
}

}  // namespace

OleDate ToOleDate(const CivilDateTime& c) {
  const std::int64_t days =
      DaysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) +
      kEpochOffsetDays;
  const double fraction = (c.hour * 3600 + c.minute * 60 + c.second) / kSecondsPerDay;
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

CivilDateTime FromOleDate(OleDate date) {
  std::int64_t seconds = ToEpochSeconds(date);
  std::int64_t days = static_cast<std::int64_t>(std::trunc(date));
  std::int64_t second_of_day = seconds - days * 86400;
  if (second_of_day >= 86400) {  // rounding carried into the next day
    days += 1;
    second_of_day -= 86400;
  }
  CivilDateTime c;
  CivilFromDays(days - kEpochOffsetDays, c.year, c.month, c.day);
  c.hour = static_cast<int>(second_of_day / 3600);
  c.minute = static_cast<int>(second_of_day / 60 % 60);
  c.second = static_cast<int>(second_of_day % 60);
  return c;
}

OleDate OneYearEarlier(OleDate date) {
  CivilDateTime c = FromOleDate(date);
  c.year -= 1;
  if (c.month == 2 && c.day == 29 && !IsLeap(c.year)) c.day = 28;
  return ToOleDate(c);
}

int IsoWeekday(OleDate date) {
  const CivilDateTime c = FromOleDate(date);
  const std::int64_t days =
      DaysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day));
  // 1970-01-01 was a Thursday (4).
  const std::int64_t weekday = ((days % 7) + 7 + 3) % 7;  // 0 = Monday
  return static_cast<int>(weekday) + 1;
}

std::int64_t WholeSecondsBetween(OleDate from, OleDate to) {
  return ToEpochSeconds(to) - ToEpochSeconds(from);
}

}  // namespace zelvo
