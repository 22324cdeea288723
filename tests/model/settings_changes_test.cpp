// Which part of the bot a changed setting reopens on a reload.
#include "model/settings_changes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace zelvo {
namespace {

struct ChangeCase {
  const char* label;
  std::function<void(Settings&)> change;
  SettingsChanges expected;
};

class SettingsChangesTest : public ::testing::TestWithParam<ChangeCase> {};

constexpr SettingsChanges kConnection{true, false, false, false};
constexpr SettingsChanges kDevices{false, true, false, false};
constexpr SettingsChanges kMqtt{false, false, true, false};
constexpr SettingsChanges kWindow{false, false, false, true};

TEST_P(SettingsChangesTest, NamesThePartThatReadsTheSetting) {
  Settings running;
  running.gsIRCDomain = "irc.example.net";
  running.giIRCPort = 6667;
  Settings fresh = running;
  EXPECT_FALSE(CompareSettings(running, fresh).Any());
  GetParam().change(fresh);
  const SettingsChanges got = CompareSettings(running, fresh);
  const SettingsChanges& want = GetParam().expected;
  EXPECT_EQ(got.connection, want.connection);
  EXPECT_EQ(got.devices, want.devices);
  EXPECT_EQ(got.mqtt, want.mqtt);
  EXPECT_EQ(got.window, want.window);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsChangesTest,
    ::testing::Values(
        ChangeCase{"Server", [](Settings& s) { s.gsIRCDomain = "irc.other.net"; }, kConnection},
        ChangeCase{"Port", [](Settings& s) { s.giIRCPort = 6697; }, kConnection},
        ChangeCase{"Channel", [](Settings& s) { s.gsIRCChannel = "#lab"; }, kConnection},
        ChangeCase{"Nickname", [](Settings& s) { s.gsIRCNickname = "Zelvo2"; }, kConnection},
        ChangeCase{"Password", [](Settings& s) { s.IRCPassword = "x"; }, kConnection},
        ChangeCase{"Tls", [](Settings& s) { s.IRCTLS = true; }, kConnection},
        ChangeCase{"Fingerprint", [](Settings& s) { s.IRCTLSFingerprint = "ab"; }, kConnection},
        ChangeCase{"SaslPassword", [](Settings& s) { s.IRCSASLPassword = "x"; }, kConnection},
        ChangeCase{"SaslKeyFile", [](Settings& s) { s.IRCSASLKeyFile = "k"; }, kConnection},
        ChangeCase{"PingTimeout", [](Settings& s) { s.IRCPingTimeout = 30; }, kConnection},
        ChangeCase{"Reconnect", [](Settings& s) { s.IRCReconnect = false; }, kConnection},
        ChangeCase{"STS", [](Settings& s) { s.IRCSTS = false; }, kConnection},
        ChangeCase{"Devices",
                   [](Settings& s) {
                     s.OutputDevices = {"memory", "file:/x"};
                   },
                   kDevices},
        ChangeCase{"OnExit", [](Settings& s) { s.OutputsOnExit = "0"; }, kDevices},
        ChangeCase{"Broker", [](Settings& s) { s.MQTTBroker = "mqtt://127.0.0.1"; }, kMqtt},
        ChangeCase{"Discovery", [](Settings& s) { s.MQTTDiscovery = false; }, kMqtt},
        ChangeCase{"MqttPassword", [](Settings& s) { s.MQTTPassword = "x"; }, kMqtt},
        ChangeCase{"WindowWidth", [](Settings& s) { s.giWindowWidth = 800; }, kWindow},
        ChangeCase{"WindowShow", [](Settings& s) { s.gbWindowShow = true; }, kWindow}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(KeepStartOnlySettings, KeepsWindowAndMqttAndTakesTheRest) {
  Settings running;
  running.giWindowWidth = 724;
  running.MQTTBroker = "mqtt://127.0.0.1";
  running.gsIRCNickname = "Zelvo";
  Settings fresh;
  fresh.giWindowWidth = 800;
  fresh.MQTTBroker = "mqtt://10.0.0.1";
  fresh.gsIRCNickname = "Zelvo2";
  KeepStartOnlySettings(running, fresh);
  EXPECT_EQ(fresh.giWindowWidth, 724);
  EXPECT_EQ(fresh.MQTTBroker, "mqtt://127.0.0.1");
  EXPECT_EQ(fresh.gsIRCNickname, "Zelvo2");
  const SettingsChanges left = CompareSettings(running, fresh);
  EXPECT_FALSE(left.window || left.mqtt);
  EXPECT_TRUE(left.connection);
}

}  // namespace
}  // namespace zelvo
