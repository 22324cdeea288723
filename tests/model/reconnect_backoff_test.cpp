#include "model/reconnect_backoff.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zelvo {
namespace {

using std::chrono::seconds;

struct BackoffCase {
  std::string name;
  std::optional<std::uint32_t> random;  // none: no jitter
  seconds stable;
  std::vector<long long> waits;  // of losses one second apart, in s
  // Before the loss numbered `up_at` the connection comes up for `up_for`.
  std::size_t up_at = 99;
  seconds up_for{0};
};

class ReconnectBackoffTest : public ::testing::TestWithParam<BackoffCase> {};

TEST_P(ReconnectBackoffTest, DoublesToTheCeilingAndStartsAgainAfterAStableConnection) {
  const BackoffCase& c = GetParam();
  RandomSource random;
  if (c.random) random = [r = *c.random] { return r; };
  ReconnectBackoff backoff(random, c.stable);
  std::chrono::steady_clock::time_point now{};
  for (std::size_t i = 0; i < c.waits.size(); ++i, now += seconds(1)) {
    if (i == c.up_at) backoff.OnUp(now);
    now += i == c.up_at ? c.up_for : seconds(0);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(backoff.OnLost(now));
    EXPECT_EQ(ms.count() / 10, c.waits[i] * 100) << i;  // to 10 ms: jitter is inexact
  }
}

constexpr std::uint32_t kMiddle = 0x80000000u;

INSTANTIATE_TEST_SUITE_P(
    Table, ReconnectBackoffTest,
    ::testing::Values(
        BackoffCase{"MiddleJitter", kMiddle, seconds(60), {5, 10, 20, 40, 80, 160, 300, 300}},
        BackoffCase{"LowestJitter", 0, seconds(60), {4, 8, 16, 32, 64, 128, 240, 240}},
        BackoffCase{"HighestJitter", 0xFFFFFFFFu, seconds(60), {6, 12, 24, 48, 96, 192, 360, 360}},
        BackoffCase{"ExactAndBackOnAnyConnection",
                    std::nullopt,
                    seconds(0),
                    {5, 10, 20, 40, 80, 160, 300, 300, 300, 5},
                    9},
        // A stable connection counts once: the loss after it doubles again.
        BackoffCase{"NeverUp", kMiddle, seconds(60), {5, 10, 20, 40}},
        BackoffCase{"UpJustTooShort", kMiddle, seconds(60), {5, 10, 20, 40}, 2, seconds(59)},
        BackoffCase{"UpLongEnough", kMiddle, seconds(60), {5, 10, 5, 10}, 2, seconds(60)},
        BackoffCase{"UpAnHour", kMiddle, seconds(60), {5, 10, 5, 10}, 2, seconds(3600)}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zelvo
