#include "model/settings_changes.h"

#include <tuple>

namespace zelvo {

namespace {

template <typename S>
auto ConnectionSettings(S& s) {
  return std::tie(s.gsIRCDomain, s.giIRCPort, s.gsIRCChannel, s.gsIRCUser, s.gsIRCNickname,
                  s.IRCPassword, s.IRCChannelKey, s.IRCAltNickname, s.IRCTLS, s.IRCTLSVerify,
                  s.IRCTLSCAFile, s.IRCTLSFingerprint, s.IRCClientCertificate, s.IRCSASLMechanism,
                  s.IRCSASLUsername, s.IRCSASLPassword, s.IRCSASLKeyFile, s.IRCSASLRequired,
                  s.IRCRejoinDelay, s.IRCPingTimeout, s.IRCReconnect, s.IRCServers, s.IRCBindAddress,
                  s.IRCSTS);
}

template <typename S>
auto DeviceSettings(S& s) {
  return std::tie(s.OutputDevices, s.OutputsOnExit, s.OutputsOnDisconnect);
}

template <typename S>
auto MqttSettings(S& s) {
  return std::tie(s.MQTTBroker, s.MQTTTopic, s.MQTTUsername, s.MQTTPassword, s.MQTTCAFile,
                  s.MQTTClientId, s.MQTTDiscovery, s.MQTTIgnoreRetainedCommands);
}

template <typename S>
auto WindowSettings(S& s) {
  return std::tie(s.giWindowState, s.gbWindowShow, s.giWindowX, s.giWindowY, s.giWindowWidth,
                  s.giWindowHeight);
}

}  // namespace

SettingsChanges CompareSettings(const Settings& running, const Settings& fresh) {
  SettingsChanges changes;
  changes.connection = ConnectionSettings(running) != ConnectionSettings(fresh);
  changes.devices = DeviceSettings(running) != DeviceSettings(fresh);
  changes.mqtt = MqttSettings(running) != MqttSettings(fresh);
  changes.window = WindowSettings(running) != WindowSettings(fresh);
  return changes;
}

void KeepStartOnlySettings(const Settings& running, Settings& fresh) {
  WindowSettings(fresh) = WindowSettings(running);
  MqttSettings(fresh) = MqttSettings(running);
}

}  // namespace zelvo
