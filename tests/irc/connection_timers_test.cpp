// The reconnect backoff and the dead-link watchdog.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "irc/link_watchdog.h"
#include "irc/reconnect_backoff.h"

namespace zelvo {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using TimePoint = std::chrono::steady_clock::time_point;

constexpr std::uint32_t kLowest = 0;
constexpr std::uint32_t kMiddle = 0x80000000u;
constexpr std::uint32_t kHighest = 0xFFFFFFFFu;

long long Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration_cast<milliseconds>(d).count();
}

TEST(ReconnectBackoffTest, DoublesToTheCeilingWithinTheJitterBounds) {
  struct Case {
    std::uint32_t random;
    std::vector<long long> waits_ms;  // of eight losses in a row
  };
  for (const Case& c :
       std::vector<Case>{{kMiddle, {5000, 10000, 20000, 40000, 80000, 160000, 300000, 300000}},
                         {kLowest, {4000, 8000, 16000, 32000, 64000, 128000, 240000, 240000}},
                         {kHighest, {6000, 12000, 24000, 48000, 96000, 192000, 360000, 360000}}}) {
    ReconnectBackoff backoff([r = c.random] { return r; });
    TimePoint now{};
    std::vector<long long> waits;
    for (int i = 0; i < 8; ++i) {
      waits.push_back(Ms(backoff.OnLost(now)) / 10 * 10);  // to 10 ms: the factor is not exact
      now += seconds(1);
    }
    EXPECT_THAT(waits, ::testing::ElementsAreArray(c.waits_ms)) << c.random;
  }
}

TEST(ReconnectBackoffTest, StartsAgainOnlyAfterSixtySecondsRegistered) {
  struct Case {
    seconds registered_for;  // before the third loss; 0: never registered
    long long third_wait_ms;
  };
  for (const Case& c : std::vector<Case>{
           {seconds(0), 20000}, {seconds(59), 20000}, {seconds(60), 5000}, {seconds(3600), 5000}}) {
    ReconnectBackoff backoff([] { return kMiddle; });
    TimePoint now{};
    backoff.OnLost(now);
    backoff.OnLost(now);
    if (c.registered_for.count() > 0) backoff.OnRegistered(now);
    now += c.registered_for;
    EXPECT_EQ(Ms(backoff.OnLost(now)) / 10 * 10, c.third_wait_ms) << c.registered_for.count();
    // A stable connection counts once: the next loss doubles again.
    EXPECT_EQ(Ms(backoff.OnLost(now + seconds(100))) / 10 * 10, c.third_wait_ms * 2);
  }
}

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
  LinkWatchdog watchdog;
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
