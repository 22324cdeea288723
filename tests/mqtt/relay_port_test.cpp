#include "mqtt/relay_port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_transport.h"

namespace zelvo::mqtt {
namespace {

struct Target {
  std::string argument;
  std::string topic3;  // the topic of output 3; empty: refused
  std::string on, off;
  std::string mention = {};
};

class RelayTargets : public ::testing::TestWithParam<Target> {};

TEST_P(RelayTargets, AreParsed) {
  std::string error;
  const auto target = ParseRelayTarget(GetParam().argument, &error);
  if (GetParam().topic3.empty()) {
    EXPECT_FALSE(target);
    EXPECT_NE(error.find(GetParam().mention), std::string::npos) << error;
    EXPECT_NE(error.find("mqtt:TOPIC:ON:OFF"), std::string::npos) << error;
    return;
  }
  ASSERT_TRUE(target) << error;
  EXPECT_EQ(target->Topic(3), GetParam().topic3);
  EXPECT_EQ(target->on, GetParam().on);
  EXPECT_EQ(target->off, GetParam().off);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RelayTargets,
    ::testing::Values(Target{"cmnd/relay%N/POWER", "cmnd/relay3/POWER", "ON", "OFF"},
                      Target{"shellies/shelly1-%N/relay/0/command:on:off",
                             "shellies/shelly1-3/relay/0/command", "on", "off"},
                      Target{"a/%N/b/%N:1:0", "a/3/b/3", "1", "0"},
                      Target{"cmnd/relay/POWER", "", "", "", "no %N"},
                      Target{"cmnd/%N/#", "", "", "", "+ or #"},
                      Target{"cmnd/+/%N", "", "", "", "+ or #"},
                      Target{"cmnd/%N:on", "", "", "", "both payloads"},
                      Target{"cmnd/%N:on:off:x", "", "", "", "both payloads"},
                      Target{"cmnd/%N::off", "", "", "", "payload is empty"},
                      Target{"cmnd/%N:on:on", "", "", "", "the same"},
                      Target{"", "", "", "", "no %N"}));

TEST(RelayPort, PublishesChangedOutputsAndResendsWhatFailed) {
  FakeTransport broker;
  RelayPort port(*ParseRelayTarget("r%N:on:off", nullptr), broker);
  EXPECT_EQ(port.Describe(), "MQTT relays r%N");

  EXPECT_EQ(port.Write(0b0000'0011), "");  // the first write sends all eight
  EXPECT_EQ(broker.Take(), (std::vector<std::string>{"r1 on", "r2 on", "r3 off", "r4 off", "r5 off",
                                                     "r6 off", "r7 off", "r8 off"}));
  EXPECT_EQ(port.Write(0b0000'0011), "");
  EXPECT_EQ(broker.Take(), std::vector<std::string>{});
  EXPECT_EQ(port.Write(0b1000'0001), "");
  EXPECT_EQ(broker.Take(), (std::vector<std::string>{"r2 off", "r8 on"}));

  broker.failure = "not connected";
  const std::string error = port.Write(0b1000'0101);
  EXPECT_NE(error.find("r3"), std::string::npos) << error;
  EXPECT_NE(error.find("not connected"), std::string::npos) << error;
  broker.failure.clear();
  // Output 3 failed and is sent again, though the byte did not change.
  EXPECT_EQ(port.Write(0b1000'0101), "");
  EXPECT_EQ(broker.Take(), std::vector<std::string>{"r3 on"});

  port.Resync();
  EXPECT_EQ(port.Write(0b1000'0101), "");
  EXPECT_EQ(broker.Take().size(), 8u);
}

// Without a broker "mqtt:" devices are refused; with one, a device that
// reads is opened by the broker's opener with the text after "mqtt:".
TEST(RelayBackend, RefusesWithoutABrokerAndOpensOnIt) {
  const PortBackends without({RelayBackend(false, {})});
  EXPECT_NE(without.Open("mqtt:relay/%N").error.find("no broker is set: add the MQTTBroker"),
            std::string::npos);
  std::vector<std::string> opened;
  const PortBackends with({RelayBackend(true, [&](std::string_view argument) {
    opened.emplace_back(argument);
    return PortWriterChoice{nullptr, "relay refused", ""};
  })});
  EXPECT_NE(with.Open("mqtt:cmnd/relay").error.find("no %N"), std::string::npos);
  EXPECT_EQ(with.Open("MQTT:shellies/shelly1-%N/relay/0/command:on:off").error, "relay refused");
  EXPECT_EQ(opened, std::vector<std::string>{"shellies/shelly1-%N/relay/0/command:on:off"});
}

}  // namespace
}  // namespace zelvo::mqtt
