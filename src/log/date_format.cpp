#include <ctime>

#include "log/log_types.h"

namespace zelvo {
namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DayOfYear(const CivilDateTime& c) {
  static constexpr int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return kDaysBefore[c.month - 1] + c.day - 1 + (c.month > 2 && IsLeapYear(c.year) ? 1 : 0);
}

std::string Format(const char* format, const std::tm& tm) {
  char text[256];
  const std::size_t length = std::strftime(text, sizeof text, format, &tm);
  return std::string(text, length);
}

}  // namespace

std::string FormatGeneralDateTime(OleDate date) {
  const CivilDateTime c = FromOleDate(date);
  std::tm tm{};
  tm.tm_year = c.year - 1900;
  tm.tm_mon = c.month - 1;
  tm.tm_mday = c.day;
  tm.tm_hour = c.hour;
  tm.tm_min = c.minute;
  tm.tm_sec = c.second;
  tm.tm_wday = IsoWeekday(date) % 7;  // Sunday = 0
  tm.tm_yday = DayOfYear(c);
  tm.tm_isdst = -1;
  const std::string day = Format("%x", tm);
  if (c.hour == 0 && c.minute == 0 && c.second == 0) return day;
  return day + " " + Format("%X", tm);
}

}  // namespace zelvo
