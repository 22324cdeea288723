#include <gtest/gtest.h>

#include <clocale>

#include "log/event_log.h"
#include "support/fake_clock.h"

namespace zelvo {
namespace {

using testing::FakeClock;

struct DateCase {
  CivilDateTime time;
  std::string text;
};

class GeneralDateTimeTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(GeneralDateTimeTest, RendersShortDateAndLongTimeOfTheCLocale) {
  EXPECT_EQ(FormatGeneralDateTime(ToOleDate(GetParam().time)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Times, GeneralDateTimeTest,
                         ::testing::Values(DateCase{{2026, 12, 7, 20, 4, 55}, "12/07/26 20:04:55"},
                                           DateCase{{2026, 12, 7, 0, 0, 0},
                                                    "12/07/26"},  // midnight: the date alone
                                           DateCase{{2026, 12, 7, 0, 0, 1}, "12/07/26 00:00:01"},
                                           DateCase{{2024, 2, 29, 23, 59, 59}, "02/29/24 23:59:59"},
                                           DateCase{{1899, 12, 30, 12, 0, 0}, "12/30/99 12:00:00"},
                                           DateCase{{2000, 1, 1, 0, 0, 0}, "01/01/00"}));

// scripts/test generates de_DE.UTF-8 where it is missing.
TEST(GeneralDateTime, FollowsTheLocaleOfTheProcess) {
  const std::string saved = std::setlocale(LC_TIME, nullptr);
  ASSERT_NE(std::setlocale(LC_TIME, "de_DE.UTF-8"), nullptr)
      << "the locale de_DE.UTF-8 is not installed (localedef -i de_DE -f UTF-8 de_DE.UTF-8)";
  const std::string text = FormatGeneralDateTime(ToOleDate({2026, 12, 7, 20, 4, 55}));
  const std::string midnight = FormatGeneralDateTime(ToOleDate({2026, 12, 7, 0, 0, 0}));
  std::setlocale(LC_TIME, saved.c_str());
  EXPECT_EQ(text, "07.12.2026 20:04:55");
  EXPECT_EQ(midnight, "07.12.2026");
}

class DumpTest : public ::testing::Test {
 protected:
  void Add(std::int32_t id, std::int32_t type, const std::string& text, CivilDateTime time) {
    clock_.SetLocal(time);
    prelog_.WritePreLog(id, type, text);
  }
  FakeClock clock_;
  PreLog prelog_{clock_};
};

TEST_F(DumpTest, EmptyBufferGivesTheHeadingAlone) {
  EXPECT_EQ(ErrorLogDumpText(prelog_), "Zelvo - Error-Log:\r\n===========================\r\n\r\n");
}

TEST_F(DumpTest, ListsEveryEntryInBufferOrder) {
  Add(1, 4, std::string(log_msg::kStarted.text), {2026, 12, 7, 20, 4, 55});
  Add(3, 4, std::string(log_msg::kCheckingConfigFiles.text), {2026, 12, 7, 20, 4, 56});
  Add(19, 1, MainFunctionErrorText(-1, "Zelvo is already running."), {2026, 12, 8, 0, 0, 0});
  const std::string expected =
      "Zelvo - Error-Log:\r\n"
      "===========================\r\n"
      "\r\n"
      "LogID: 1\r\n"
      "LogType: 4\r\n"
      "LogDescription: " +
      std::string(log_msg::kStarted.text) +
      "\r\n"
      "LogDateTime: 12/07/26 20:04:55\r\n"
      "\r\n"
      "LogID: 3\r\n"
      "LogType: 4\r\n"
      "LogDescription: " +
      std::string(log_msg::kCheckingConfigFiles.text) +
      "\r\n"
      "LogDateTime: 12/07/26 20:04:56\r\n"
      "\r\n"
      "LogID: 19\r\n"
      "LogType: 1\r\n"
      "LogDescription: " +
      MainFunctionErrorText(-1, "Zelvo is already running.") +
      "\r\n"
      "LogDateTime: 12/08/26\r\n"
      "\r\n";
  EXPECT_EQ(ErrorLogDumpText(prelog_), expected);
  EXPECT_EQ(ErrorLogDumpText(prelog_), expected) << "dumping does not change the buffer";
  EXPECT_EQ(prelog_.UpperBound(), 3u);
}

TEST_F(DumpTest, KeepsLineBreaksOfADescription) {
  Add(20, 1, LogWriteFailedText("Couldn't write PreLog."), {2026, 1, 2, 3, 4, 5});
  EXPECT_EQ(ErrorLogDumpText(prelog_),
            "Zelvo - Error-Log:\r\n===========================\r\n\r\n"
            "LogID: 20\r\n"
            "LogType: 1\r\n"
            "LogDescription: " +
                LogWriteFailedText("Couldn't write PreLog.") +
                "\r\n"
                "LogDateTime: 01/02/26 03:04:05\r\n"
                "\r\n");
}

}  // namespace
}  // namespace zelvo
