#include "mqtt/safe_state.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/fake_clock.h"

namespace zelvo {
namespace {

using std::chrono::seconds;

TEST(SafeState, SettingIsKeepOrAByte) {
  const std::vector<std::pair<std::string, SafeByte>> accepted = {
      {"keep", std::nullopt}, {"KEEP", std::nullopt},
      {"", std::nullopt},     {"0", 0},
      {"255", 255},           {"129", 129}};
  for (const auto& [text, expected] : accepted) {
    SafeByte byte = 7;
    EXPECT_TRUE(ParseSafeState(text, "OutputsOnExit", &byte, nullptr)) << text;
    EXPECT_EQ(byte, expected) << text;
  }
  for (const std::string text : {"256", "-1", "off", "0x10", " 1", "1.0"}) {
    SafeByte byte;
    std::string error;
    EXPECT_FALSE(ParseSafeState(text, "OutputsOnDisconnect", &byte, &error)) << text;
    EXPECT_NE(error.find("OutputsOnDisconnect \"" + text + "\""), std::string::npos) << error;
  }
}

// Each step: time passes, then the bot may join (1) or leave (0), then the
// guard is polled.
struct Step {
  seconds advance;
  int presence;  // -1: unchanged
  SafeByte written;
};

struct Scenario {
  const char* name;
  SafeByte setting;
  std::vector<Step> steps;
};

class DisconnectGuardTiming : public ::testing::TestWithParam<Scenario> {};

TEST_P(DisconnectGuardTiming, WritesOnceAfterThirtySecondsOut) {
  testing::FakeClock clock;
  DisconnectGuard guard(clock, GetParam().setting);
  int i = 0;
  for (const Step& step : GetParam().steps) {
    clock.Advance(step.advance);
    if (step.presence >= 0) guard.SetInChannel(step.presence == 1);
    EXPECT_EQ(guard.Poll(), step.written) << GetParam().name << ", step " << i;
    ++i;
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DisconnectGuardTiming,
                         ::testing::Values(Scenario{"joins in time at start",
                                                    0,
                                                    {{seconds(29), -1, std::nullopt},
                                                     {seconds(0), 1, std::nullopt},
                                                     {seconds(100), -1, std::nullopt}}},
                                           Scenario{"never joins",
                                                    0,
                                                    {{seconds(29), -1, std::nullopt},
                                                     {seconds(1), -1, 0},
                                                     {seconds(60), -1, std::nullopt}}},
                                           Scenario{"leaves and comes back within 30 s",
                                                    5,
                                                    {{seconds(1), 1, std::nullopt},
                                                     {seconds(10), 0, std::nullopt},
                                                     {seconds(29), 1, std::nullopt},
                                                     {seconds(60), -1, std::nullopt}}},
                                           Scenario{"a short return restarts the wait",
                                                    5,
                                                    {{seconds(1), 1, std::nullopt},
                                                     {seconds(0), 0, std::nullopt},
                                                     {seconds(20), 1, std::nullopt},
                                                     {seconds(1), 0, std::nullopt},
                                                     {seconds(29), -1, std::nullopt},
                                                     {seconds(1), -1, 5}}},
                                           Scenario{"each absence writes once",
                                                    255,
                                                    {{seconds(0), 1, std::nullopt},
                                                     {seconds(0), 0, std::nullopt},
                                                     {seconds(45), -1, 255},
                                                     {seconds(45), -1, std::nullopt},
                                                     {seconds(0), 1, std::nullopt},
                                                     {seconds(0), 0, std::nullopt},
                                                     {seconds(30), -1, 255}}},
                                           Scenario{"keep writes nothing",
                                                    std::nullopt,
                                                    {{seconds(0), 1, std::nullopt},
                                                     {seconds(0), 0, std::nullopt},
                                                     {seconds(600), -1, std::nullopt}}}));

TEST(DisconnectGuard, DeadlineSaysWhenToPoll) {
  testing::FakeClock clock;
  DisconnectGuard guard(clock, 0);
  const auto start = clock.MonotonicNow();
  EXPECT_EQ(guard.Deadline(), start + seconds(30));
  guard.SetInChannel(true);
  EXPECT_EQ(guard.Deadline(), std::nullopt);
  clock.Advance(seconds(5));
  guard.SetInChannel(false);
  EXPECT_EQ(guard.Deadline(), start + seconds(35));
  EXPECT_EQ(DisconnectGuard(clock, std::nullopt).Deadline(), std::nullopt);
}

}  // namespace
}  // namespace zelvo
