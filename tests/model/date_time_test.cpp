#include "model/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace zelvo {
namespace {

bool SameCivil(const CivilDateTime& a, const CivilDateTime& b) {
  return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) ==
         std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

std::string Show(const CivilDateTime& c) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  return text;
}

struct KnownDate {
  CivilDateTime civil;
  OleDate days;
};

class KnownDates : public testing::TestWithParam<KnownDate> {};

TEST_P(KnownDates, ConvertBothWays) {
  const KnownDate& d = GetParam();
  EXPECT_DOUBLE_EQ(ToOleDate(d.civil), d.days) << Show(d.civil);
  const CivilDateTime back = FromOleDate(d.days);
  EXPECT_TRUE(SameCivil(back, d.civil)) << Show(back) << " instead of " << Show(d.civil);
}

INSTANTIATE_TEST_SUITE_P(
    DayCount, KnownDates,
    testing::Values(
        KnownDate{{1899, 12, 30, 0, 0, 0}, 0.0}, KnownDate{{1900, 1, 1, 0, 0, 0}, 2.0},
        KnownDate{{1970, 1, 1, 0, 0, 0}, 25569.0}, KnownDate{{2000, 1, 1, 0, 0, 0}, 36526.0},
        KnownDate{{2024, 2, 29, 12, 0, 0}, 45351.5}, KnownDate{{2024, 12, 31, 18, 0, 0}, 45657.75},
        // Before the epoch the whole days count down, the time of day up.
        KnownDate{{1899, 12, 29, 6, 0, 0}, -1.25}, KnownDate{{1899, 12, 28, 18, 0, 0}, -2.75}));

TEST(DateTime, RoundTripsEverySecondOfADay) {
  for (int second_of_day = 0; second_of_day < 86400; second_of_day += 7) {
    const CivilDateTime c{
        2023, 7, 14, second_of_day / 3600, second_of_day / 60 % 60, second_of_day % 60};
    const CivilDateTime back = FromOleDate(ToOleDate(c));
    ASSERT_TRUE(SameCivil(back, c)) << Show(back) << " instead of " << Show(c);
  }
}

TEST(DateTime, RoundTripsAcrossYearsAndMonths) {
  for (int year : {1899, 1900, 1904, 1999, 2000, 2023, 2024, 2100}) {
    for (int month = 1; month <= 12; ++month) {
      const CivilDateTime c{year, month, 28, 23, 59, 59};
      const CivilDateTime back = FromOleDate(ToOleDate(c));
      ASSERT_TRUE(SameCivil(back, c)) << Show(back) << " instead of " << Show(c);
    }
  }
}

TEST(DateTime, FromOleDateRoundsToTheSecondAndCarriesIntoTheNextDay) {
  const OleDate just_before_midnight = 36526.0 - 0.2 / 86400.0;  // 1999-12-31 23:59:59.8
  EXPECT_TRUE(SameCivil(FromOleDate(just_before_midnight), {2000, 1, 1, 0, 0, 0}))
      << Show(FromOleDate(just_before_midnight));
  const OleDate slightly_after = 36526.0 + 10.4 / 86400.0;
  EXPECT_TRUE(SameCivil(FromOleDate(slightly_after), {2000, 1, 1, 0, 0, 10}))
      << Show(FromOleDate(slightly_after));
}

struct YearBack {
  CivilDateTime from;
  CivilDateTime expected;
};

class OneYearEarlierCases : public testing::TestWithParam<YearBack> {};

TEST_P(OneYearEarlierCases, KeepsDayAndTimeOfDay) {
  const YearBack& c = GetParam();
  const OleDate result = OneYearEarlier(ToOleDate(c.from));
  EXPECT_EQ(result, ToOleDate(c.expected)) << Show(FromOleDate(result));
}

INSTANTIATE_TEST_SUITE_P(
    DateTime, OneYearEarlierCases,
    testing::Values(YearBack{{2024, 2, 29, 13, 14, 15}, {2023, 2, 28, 13, 14, 15}},
                    YearBack{{2000, 2, 29, 0, 0, 0}, {1999, 2, 28, 0, 0, 0}},
                    YearBack{{2025, 2, 28, 8, 0, 0}, {2024, 2, 28, 8, 0, 0}},
                    YearBack{{2025, 3, 1, 0, 0, 1}, {2024, 3, 1, 0, 0, 1}},
                    YearBack{{2024, 1, 1, 0, 0, 0}, {2023, 1, 1, 0, 0, 0}},
                    YearBack{{2000, 12, 31, 23, 59, 59}, {1999, 12, 31, 23, 59, 59}}));

struct Weekday {
  CivilDateTime date;
  int iso_weekday;
};

class IsoWeekdays : public testing::TestWithParam<Weekday> {};

TEST_P(IsoWeekdays, MondayIsOneSundayIsSeven) {
  EXPECT_EQ(IsoWeekday(ToOleDate(GetParam().date)), GetParam().iso_weekday)
      << Show(GetParam().date);
}

INSTANTIATE_TEST_SUITE_P(DateTime, IsoWeekdays,
                         testing::Values(Weekday{{2024, 1, 1, 0, 0, 0}, 1},      // Monday
                                         Weekday{{2024, 1, 2, 23, 59, 59}, 2},   // Tuesday
                                         Weekday{{1970, 1, 1, 12, 0, 0}, 4},     // Thursday
                                         Weekday{{2024, 2, 29, 0, 0, 0}, 4},     // Thursday
                                         Weekday{{2023, 12, 29, 0, 0, 0}, 5},    // Friday
                                         Weekday{{1899, 12, 30, 0, 0, 0}, 6},    // Saturday
                                         Weekday{{2023, 12, 31, 18, 0, 0}, 7},   // Sunday
                                         Weekday{{1899, 12, 29, 6, 0, 0}, 5}));  // Friday

TEST(DateTime, WholeSecondsBetweenIsSignedAndCountsAcrossDays) {
  const OleDate morning = ToOleDate({2024, 3, 10, 10, 0, 0});
  const OleDate later = ToOleDate({2024, 3, 10, 10, 1, 5});
  EXPECT_EQ(WholeSecondsBetween(morning, later), 65);
  EXPECT_EQ(WholeSecondsBetween(later, morning), -65);
  EXPECT_EQ(WholeSecondsBetween(morning, morning), 0);

  const OleDate before_midnight = ToOleDate({2023, 12, 31, 23, 59, 50});
  const OleDate after_midnight = ToOleDate({2024, 1, 1, 0, 0, 10});
  EXPECT_EQ(WholeSecondsBetween(before_midnight, after_midnight), 20);

  EXPECT_EQ(WholeSecondsBetween(OneYearEarlier(morning), morning),
            366LL * 86400);  // spans 29 February 2024
  // Across the epoch, where the day count turns negative.
  EXPECT_EQ(WholeSecondsBetween(-1.25, 0.25), 86400);
  EXPECT_EQ(WholeSecondsBetween(-1.75, -1.25), -43200);
}

}  // namespace
}  // namespace zelvo
