#include "irc/link_watchdog.h"

#include <gtest/gtest.h>

namespace zelvo {
namespace {

using std::chrono::seconds;
using TimePoint = std::chrono::steady_clock::time_point;

TEST(LinkWatchdogTest, PingsAfterSilenceAndGivesUpAfterAsMuchAgain) {
  using Kind = LinkWatchdog::Action::Kind;
  struct Step {
    seconds wait;
    bool received;  // a line arrives (instead of a tick)
    Kind kind;
    std::string line;
  };
  const std::vector<Step> steps = {
      {seconds(119), false, Kind::kNone, ""},
      {seconds(0), true, Kind::kNone, ""},  // a line resets the silence
      {seconds(119), false, Kind::kNone, ""},
      {seconds(1), false, Kind::kSendPing, "PING :zelvo-1"},
      {seconds(60), false, Kind::kNone, ""},
      {seconds(0), true, Kind::kNone, ""},  // the answer
      {seconds(119), false, Kind::kNone, ""},
      {seconds(1), false, Kind::kSendPing, "PING :zelvo-2"},
      {seconds(119), false, Kind::kNone, ""},
      {seconds(1), false, Kind::kDead, ""},
      {seconds(500), false, Kind::kNone, ""},
  };
  LinkWatchdog watchdog(seconds(120));
  TimePoint now{};
  EXPECT_EQ(watchdog.Tick(now + seconds(1000)).kind, Kind::kNone);  // not started
  watchdog.Start(now);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    now += steps[i].wait;
    if (steps[i].received) {
      watchdog.OnReceived(now);
      continue;
    }
    const LinkWatchdog::Action action = watchdog.Tick(now);
    EXPECT_EQ(action.kind, steps[i].kind) << "step " << i;
    EXPECT_EQ(action.line, steps[i].line) << "step " << i;
  }
  // A new connection watches again, with its own timeout.
  watchdog.Start(now);
  EXPECT_EQ(watchdog.Tick(now + seconds(120)).kind, Kind::kSendPing);
  LinkWatchdog short_one(seconds(10));
  short_one.Start(now);
  EXPECT_EQ(short_one.Tick(now + seconds(10)).line, "PING :zelvo-1");
  EXPECT_EQ(short_one.Tick(now + seconds(20)).kind, Kind::kDead);
}

}  // namespace
}  // namespace zelvo
