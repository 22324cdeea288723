#include "mqtt/command_limiter.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_clock.h"

namespace zelvo::mqtt {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Commands for output 3 at a steady spacing: how many run, and the burst
// reported once the quiet time has passed (every minute while it goes on).
TEST(CommandLimiterTest, AtMostTenASecondPerOutputAndOneReportPerBurst) {
  struct Case {
    int commands;
    milliseconds spacing;
    int admitted;
    std::vector<DroppedBurst> bursts;
  };
  for (const Case& c : std::vector<Case>{
           {10, milliseconds(0), 10, {}},
           {11, milliseconds(0), 10, {{3, 1, seconds(1)}}},
           {1000, milliseconds(1), 10, {{3, 990, seconds(1)}}},  // the first second
           {50, milliseconds(100), 50, {}},                      // ten a second, steadily
           {40, milliseconds(50), 20, {{3, 20, seconds(2)}}},    // twenty a second
           {3000, milliseconds(25), 750, {{3, 1801, seconds(60)}, {3, 449, seconds(15)}}},  // 75 s
       }) {
    SCOPED_TRACE(::testing::Message() << c.commands << " every " << c.spacing.count() << " ms");
    testing::FakeClock clock;
    CommandLimiter limiter(clock);
    int admitted = 0;
    std::vector<DroppedBurst> bursts;
    for (int i = 0; i < c.commands; ++i) {
      if (i > 0) clock.Advance(c.spacing);
      admitted += limiter.Admit(3);
      for (const DroppedBurst& burst : limiter.TakeEnded()) bursts.push_back(burst);
    }
    EXPECT_EQ(admitted, c.admitted);
    EXPECT_TRUE(limiter.Admit(4));   // the other outputs are not held back
    EXPECT_FALSE(limiter.Admit(9));  // no such output
    clock.Advance(CommandLimiter::kQuiet - milliseconds(1));
    for (const DroppedBurst& burst : limiter.TakeEnded()) bursts.push_back(burst);
    const std::vector<DroppedBurst> open = CommandLimiter(limiter).TakeEnded(/*all=*/true);
    EXPECT_EQ(open.size(), c.bursts.empty() ? 0u : 1u);  // the last burst has not ended yet
    clock.Advance(milliseconds(1));
    for (const DroppedBurst& burst : limiter.TakeEnded()) bursts.push_back(burst);
    EXPECT_EQ(bursts, c.bursts);
    EXPECT_FALSE(limiter.Dropping());
    EXPECT_TRUE(limiter.TakeEnded().empty());  // each burst is reported once
  }
}

}  // namespace
}  // namespace zelvo::mqtt
