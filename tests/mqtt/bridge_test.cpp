#include "mqtt/bridge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_transport.h"
#include "support/fake_clock.h"

namespace zelvo::mqtt {
namespace {

class BridgeTest : public ::testing::Test {
 protected:
  Bridge MakeBridge(bool discovery) {
    BridgeOptions options;
    options.prefix = "z";
    options.client_id = "zelvo-Bot|1";
    options.discovery = discovery;
    options.version = "0.1.0";
    options.output_names[1] = "Disco";
    return Bridge(
        options, broker_, clock_,
        [this](int output, SwitchCommand command) {
          commands_.push_back(std::to_string(output) + "=" + std::to_string(int(command)));
        },
        [this](const std::string& text) { reports_.push_back(text); });
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

TEST_F(BridgeTest, DiscoveryIsPublishedOnConnectAndWhenHomeAssistantComesOnline) {
  Bridge bridge = MakeBridge(true);
  bridge.Connected(0);
  const auto published = broker_.Take();
  ASSERT_EQ(published.size(), 18u);
  EXPECT_EQ(published[10].rfind("homeassistant/switch/zelvo-Bot1/output1/config [r] {", 0), 0u)
      << published[10];
  EXPECT_NE(published[11].find("\"name\":\"Disco\""), std::string::npos) << published[11];
  EXPECT_EQ(broker_.subscribed,
            (std::vector<std::string>{"z/output/+/set", "homeassistant/status"}));

  bridge.Message("homeassistant/status", "offline");
  EXPECT_TRUE(broker_.Take().empty());
  bridge.Message("homeassistant/status", "online");
  EXPECT_EQ(broker_.Take().size(), 8u);
}

TEST_F(BridgeTest, CommandsReachTheHandlerAndBadOnesAreReported) {
  Bridge bridge = MakeBridge(false);
  bridge.Connected(0);
  bridge.Message("z/output/4/set", "on");
  bridge.Message("z/output/4/set", "TOGGLE");
  bridge.Message("z/output/9/set", "ON");
  bridge.Message("z/output/4/set", std::string(10240, 'x'));
  EXPECT_EQ(commands_, (std::vector<std::string>{"4=0", "4=2"}));
  ASSERT_EQ(reports_.size(), 2u);
  EXPECT_NE(reports_[0].find("z/output/9/set"), std::string::npos) << reports_[0];
  EXPECT_NE(reports_[1].find("10240 bytes"), std::string::npos) << reports_[1];
}

// A failed publish is reported, and the state it carried is sent again at
// the next write.
TEST_F(BridgeTest, APublishThatFailsIsReportedAndSentAgainAtTheNextWrite) {
  Bridge bridge = MakeBridge(false);
  broker_.failure = "queue full";
  bridge.Connected(0);
  ASSERT_FALSE(reports_.empty());
  EXPECT_EQ(reports_[0], "Cannot publish to z/status: queue full");
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
