#include "mqtt/bridge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "fake_transport.h"
#include "support/fake_clock.h"

namespace zelvo::mqtt {
namespace {

class BridgeTest : public ::testing::Test {
 protected:
  Bridge MakeBridge(bool discovery, bool ignore_retained = true) {
    BridgeOptions options;
    options.prefix = "z";
    options.client_id = "zelvo-Bot|1";
    options.discovery = discovery;
    options.version = "0.1.0";
    options.output_names = {"", "Disco", "", " n/c ", "N/C", "N/C 2", "", ""};
    options.ignore_retained_commands = ignore_retained;
    return Bridge(
        options, broker_, clock_,
        [this](int output, SwitchCommand command) {
          commands_.push_back(std::to_string(output) + "=" + std::to_string(int(command)));
        },
        [this](const LogMessage& message, const std::string& text) {
          reports_.push_back(std::to_string(message.id) + " " + text);
        });
  }
  testing::FakeClock clock_;
  FakeTransport broker_;
  std::vector<std::string> commands_;
  std::vector<std::string> reports_;
};

TEST_F(BridgeTest, PublishesEverythingRetainedOnEachConnectionAndChangesAfterWrites) {
  Bridge bridge = MakeBridge(false);
  bridge.PortWritten(1);  // not connected yet: nothing
  EXPECT_TRUE(broker_.Take().empty());

  bridge.Connected(0b1000'0001);
  EXPECT_EQ(broker_.Take(), (std::vector<std::string>{"z/status [r] online", "z/output/1 [r] ON",
                                                      "z/output/2 [r] OFF", "z/output/3 [r] OFF",
                                                      "z/output/4 [r] OFF", "z/output/5 [r] OFF",
                                                      "z/output/6 [r] OFF", "z/output/7 [r] OFF",
                                                      "z/output/8 [r] ON", "z/byte [r] 129"}));
  EXPECT_EQ(broker_.subscribed, std::vector<std::string>{"z/output/+/set"});

  bridge.PortWritten(0b1000'0001);  // the same byte: nothing new
  EXPECT_TRUE(broker_.Take().empty());
  bridge.PortWritten(0b0000'0011);
  EXPECT_EQ(broker_.Take(),
            (std::vector<std::string>{"z/output/2 [r] ON", "z/output/8 [r] OFF", "z/byte [r] 3"}));

  bridge.RuleRan(RuleEvent{"Disco On", "n", "u", "h", std::nullopt, "#c", "t", 3});
  const auto event = broker_.Take();
  ASSERT_EQ(event.size(), 1u);
  EXPECT_EQ(event[0].rfind("z/event {\"rule\":\"Disco On\"", 0), 0u) << event[0];

  bridge.Disconnected();
  bridge.PortWritten(0);
  EXPECT_TRUE(broker_.Take().empty());
  bridge.Connected(0);  // after a reconnect: all again
  EXPECT_EQ(broker_.Take().size(), 10u);
}

// Outputs named "N/C" get an empty configuration, which removes a stale entity;
// Home Assistant's "online" has all of the connection's published again.
// MQTTDiscovery, the payload on homeassistant/status, retained, published again.
using HomeAssistant = std::tuple<bool, std::string, bool, bool>;
class BridgeDiscovery : public BridgeTest, public ::testing::WithParamInterface<HomeAssistant> {};

TEST_P(BridgeDiscovery, AnnouncedOnConnectAndAgainWhenHomeAssistantIsOnline) {
  const auto& [discovery, payload, retained, again] = GetParam();
  Bridge bridge = MakeBridge(discovery);
  bridge.Connected(5);
  const std::vector<std::string> first = broker_.Take();
  ASSERT_EQ(first.size(), discovery ? 18u : 10u);
  for (std::size_t i = 10; i < first.size(); ++i)  // outputs 4 and 5
    EXPECT_EQ(first[i].back() == ' ', i == 13 || i == 14) << first[i];
  EXPECT_EQ(broker_.subscribed.size(), discovery ? 2u : 1u);
  bridge.Message(kHomeAssistantStatus, payload, retained);
  EXPECT_EQ(broker_.Take(), again ? first : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Table, BridgeDiscovery,
                         ::testing::Values(HomeAssistant{true, "online", false, true},
                                           HomeAssistant{true, "offline", false, false},
                                           HomeAssistant{true, "online", true, false},
                                           HomeAssistant{false, "online", false, false}));

// Each message twice on a connection and once on the next. Topic, payload,
// retained, MQTTIgnoreRetainedCommands, commands taken, reports' log id, reports.
using Incoming = std::tuple<std::string, std::string, bool, bool, std::size_t, int, std::size_t>;
class BridgeMessages : public BridgeTest, public ::testing::WithParamInterface<Incoming> {};

TEST_P(BridgeMessages, SwitchOrAreReported) {
  const auto& [topic, payload, retained, ignore, commands, report, reports] = GetParam();
  Bridge bridge = MakeBridge(false, ignore);
  for (bool connect : {true, false, true}) {
    if (connect) bridge.Connected(0);
    bridge.Message(topic, payload, retained);
  }
  EXPECT_EQ(commands_, std::vector<std::string>(commands, "4=0"));
  EXPECT_EQ(reports_.size(), reports);
  const std::string clear = report == 88 ? ".*mosquitto_pub -r -n -t " + topic + " \\(.*" : "";
  for (const std::string& text : reports_)
    EXPECT_THAT(
        text, ::testing::MatchesRegex(std::to_string(report) + " .* on " + topic + ": .*" + clear));
}

INSTANTIATE_TEST_SUITE_P(Table, BridgeMessages,
                         ::testing::Values(Incoming{"z/output/4/set", "on", false, true, 3, 0, 0},
                                           Incoming{"z/output/4/set", "on", true, true, 0, 88, 2},
                                           Incoming{"z/output/4/set", "on", true, false, 3, 0, 0},
                                           Incoming{"z/output/9/set", "ON", true, true, 0, 88, 2},
                                           Incoming{"z/output/9/set", "ON", false, true, 0, 83, 1},
                                           Incoming{"z/output/4/set", "", false, true, 0, 0, 0},
                                           Incoming{"z/output/4", "ON", true, true, 0, 0, 0}));

// A failed publish is reported, and the state it carried is sent again at
// the next write.
TEST_F(BridgeTest, APublishThatFailsIsReportedAndSentAgainAtTheNextWrite) {
  Bridge bridge = MakeBridge(false);
  broker_.failure = "queue full";
  bridge.Connected(0);
  ASSERT_FALSE(reports_.empty());
  EXPECT_EQ(reports_[0], "83 Cannot publish to z/status: queue full");
  broker_.failure.clear();
  bridge.PortWritten(1);
  EXPECT_EQ(broker_.Take().size(), 9u);  // the eight states and the byte
  broker_.failure = "queue full";
  bridge.PortWritten(3);
  broker_.failure.clear();
  bridge.PortWritten(7);
  EXPECT_EQ(broker_.Take(),
            (std::vector<std::string>{"z/output/2 [r] ON", "z/output/3 [r] ON", "z/byte [r] 7"}));
}

}  // namespace
}  // namespace zelvo::mqtt
