#include "mqtt/topics.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/fake_clock.h"

namespace zelvo::mqtt {
namespace {

TEST(Topics, AreBuiltUnderThePrefix) {
  for (const auto& [prefix, expected] : std::vector<std::pair<std::string, std::string>>{
           {"", "zelvo"}, {"zelvo", "zelvo"}, {"home/garage/", "home/garage"}}) {
    const Topics topics(prefix);
    EXPECT_EQ(topics.Status(), expected + "/status");
    EXPECT_EQ(topics.Output(3), expected + "/output/3");
    EXPECT_EQ(topics.OutputSet(8), expected + "/output/8/set");
    EXPECT_EQ(topics.OutputSetFilter(), expected + "/output/+/set");
    EXPECT_EQ(topics.Byte(), expected + "/byte");
    EXPECT_EQ(topics.Event(), expected + "/event");
  }
}

struct Arrival {
  std::string topic;
  std::string payload;
  int output;  // 0: ignored
  SwitchCommand command;
  bool warns;
};

void PrintTo(const Arrival& a, std::ostream* out) {
  *out << a.topic << " <- \"" << a.payload.substr(0, 20) << "\"";
}

class CommandTopics : public ::testing::TestWithParam<Arrival> {};

TEST_P(CommandTopics, SwitchOrAreIgnored) {
  testing::FakeClock clock;
  const Topics topics("zelvo");
  CommandFilter filter(topics, clock);
  const CommandMessage message = filter.Take(GetParam().topic, GetParam().payload);
  EXPECT_EQ(message.output, GetParam().output);
  if (message.accepted()) {
    EXPECT_EQ(message.command, GetParam().command);
  }
  EXPECT_EQ(!message.warning.empty(), GetParam().warns) << message.warning;
  if (GetParam().warns) {
    EXPECT_NE(message.warning.find(GetParam().topic), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, CommandTopics,
    ::testing::Values(
        Arrival{"zelvo/output/1/set", "ON", 1, SwitchCommand::kOn, false},
        Arrival{"zelvo/output/8/set", "off", 8, SwitchCommand::kOff, false},
        Arrival{"zelvo/output/4/set", "ToGgLe", 4, SwitchCommand::kToggle, false},
        Arrival{"zelvo/output/4/set", "ON ", 0, SwitchCommand::kOn, true},
        Arrival{"zelvo/output/4/set", "1", 0, SwitchCommand::kOn, true},
        Arrival{"zelvo/output/4/set", "", 0, SwitchCommand::kOn, false},  // clears a retained one
        Arrival{"zelvo/output/4/set", std::string("O\0N", 3), 0, SwitchCommand::kOn, true},
        Arrival{"zelvo/output/4/set", std::string(10240, 'x'), 0, SwitchCommand::kOn, true},
        Arrival{"zelvo/output/4/set", std::string(65, ' ') + "ON", 0, SwitchCommand::kOn, true},
        Arrival{"zelvo/output/9/set", "ON", 0, SwitchCommand::kOn, true},
        Arrival{"zelvo/output/0/set", "ON", 0, SwitchCommand::kOn, true},
        Arrival{"zelvo/output/x/set", "ON", 0, SwitchCommand::kOn, true},
        // Not a command topic: somebody else's message, no warning.
        Arrival{"zelvo/output/4", "ON", 0, SwitchCommand::kOn, false},
        Arrival{"other/output/4/set", "ON", 0, SwitchCommand::kOn, false},
        Arrival{"zelvo/output/4/set/x", "ON", 0, SwitchCommand::kOn, false}));

TEST(CommandFilter, WarnsAtMostOnceAMinutePerTopic) {
  testing::FakeClock clock;
  const Topics topics("zelvo");
  CommandFilter filter(topics, clock);
  struct Step {
    std::chrono::seconds advance;
    std::string topic;
    std::string payload;
    bool warns;
  };
  const std::vector<Step> steps = {
      {std::chrono::seconds(0), "zelvo/output/1/set", "bad", true},
      {std::chrono::seconds(10), "zelvo/output/1/set", "bad", false},
      {std::chrono::seconds(0), "zelvo/output/2/set", "bad", true},    // another topic
      {std::chrono::seconds(0), "zelvo/output/1/set", "ON", false},    // accepted, no warning
      {std::chrono::seconds(49), "zelvo/output/1/set", "bad", false},  // 59 s after the first
      {std::chrono::seconds(1), "zelvo/output/1/set", "bad", true},    // a minute after it
      {std::chrono::seconds(9), "zelvo/output/2/set", "bad", false},   // 59 s after its first
      {std::chrono::seconds(1), "zelvo/output/2/set", "bad", true},
  };
  int i = 0;
  for (const Step& step : steps) {
    clock.Advance(step.advance);
    EXPECT_EQ(!filter.Take(step.topic, step.payload).warning.empty(), step.warns) << "step " << i;
    ++i;
  }
}

}  // namespace
}  // namespace zelvo::mqtt
