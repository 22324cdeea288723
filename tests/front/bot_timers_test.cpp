#include "front/bot_timers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "support/qt_application.h"

namespace zelvo {
namespace {

using ::testing::ElementsAre;

TEST(BotTimersTest, IntervalsAndStart) {
  BotTimers timers(nullptr, nullptr, nullptr);
  EXPECT_EQ(timers.tmrAutoReturn().interval(), 1000);
  EXPECT_EQ(timers.tmrPulseQuickly().interval(), 100);
  EXPECT_FALSE(timers.tmrAutoReturn().isActive());
  timers.Start();
  EXPECT_TRUE(timers.tmrAutoReturn().isActive());
  EXPECT_TRUE(timers.tmrPulseQuickly().isActive());
  EXPECT_FALSE(timers.tmrAutoReturn().isSingleShot());
  EXPECT_FALSE(timers.tmrPulseQuickly().isSingleShot());
}

TEST(BotTimersTest, EachTickCallsItsOwnHandler) {
  std::vector<std::string> calls;
  BotTimers timers([&] { calls.push_back("auto-return"); }, [&] { calls.push_back("pulse"); },
                   nullptr);
  timers.tmrPulseQuickly_Timer();
  timers.tmrAutoReturn_Timer();
  timers.tmrPulseQuickly_Timer();
  EXPECT_THAT(calls, ElementsAre("pulse", "auto-return", "pulse"));
}

TEST(BotTimersTest, FailuresAreReportedAndTicksGoOn) {
  std::vector<std::string> errors;
  int pulses = 0;
  BotTimers timers([] { throw std::runtime_error("port unplugged"); },
                   [&] {
                     if (++pulses == 1) throw 42;
                   },
                   [&](const std::string& error) { errors.push_back(error); });
  timers.tmrAutoReturn_Timer();
  timers.tmrPulseQuickly_Timer();
  timers.tmrPulseQuickly_Timer();
  EXPECT_EQ(pulses, 2);
  EXPECT_THAT(errors, ElementsAre("port unplugged", "unknown error"));
}

}  // namespace
}  // namespace zelvo
