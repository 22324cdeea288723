// The settings read from config.xml. The application owns the one copy that
// everything reads; it fills it at start-up and replaces it on a reload (the
// window and MQTT settings keep their start-up values until the next start).
// The window writes gbWindowShow and giWindowState as the operator shows,
// hides or resizes it; nothing writes config.xml back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/server_address.h"

namespace zelvo {

class EcdsaKey;  // irc/ecdsa_challenge.h

// Seconds of silence before the bot sends a PING, and as many again without
// an answer before the link counts as dead, unless IRCPingTimeout says otherwise.
inline constexpr std::int32_t kDefaultPingTimeout = 120;

struct Settings {
  std::string gsIRCDomain;
  std::int32_t giIRCPort = 0;  // 1 to 65535 as read
  std::string gsIRCChannel;
  std::string gsIRCUser;
  std::string gsIRCNickname;
  std::int16_t giWindowState = 0;  // 0 normal, 1 minimised, 2 maximised
  bool gbWindowShow = false;
  std::int16_t giWindowX = 0;
  std::int16_t giWindowY = 0;
  std::int16_t giWindowWidth = 0;
  std::int16_t giWindowHeight = 0;
  // The OutputDevice texts in configuration order, each naming one port
  // back-end ("auto" when none is given); never empty.
  std::vector<std::string> OutputDevices{"auto"};
  // The first of OutputDevices.
  std::string OutputDevice = "auto";

  // IRC connection. Empty texts mean "not set".
  std::string IRCPassword;     // sent as PASS
  std::string IRCChannelKey;   // appended to JOIN
  std::string IRCAltNickname;  // first fallback when the nickname is taken
  bool IRCTLS = false;
  bool IRCTLSVerify = true;
  std::string IRCTLSCAFile;  // PEM file of further trusted CAs
  // SHA-256 of the server's certificate: 64 lower-case hex digits, no colons.
  std::string IRCTLSFingerprint;
  std::string IRCClientCertificate;  // PEM with certificate and key
  // "", "PLAIN", "EXTERNAL", "SCRAM-SHA-256" or "ECDSA-NIST256P-CHALLENGE"
  std::string IRCSASLMechanism;
  std::string IRCSASLUsername;
  std::string IRCSASLPassword;
  std::string IRCSASLKeyFile;  // PEM private key on P-256, for ECDSA-NIST256P-CHALLENGE
  // The key read from IRCSASLKeyFile when that mechanism is set (else null);
  // read at each load of config.xml, shared by copies of the settings.
  std::shared_ptr<const EcdsaKey> IRCSASLKey;
  bool IRCSASLRequired = false;      // as read: true by default when a mechanism is set
  std::int32_t IRCRejoinDelay = 10;  // seconds; 0 never rejoins
  std::int32_t IRCPingTimeout = kDefaultPingTimeout;  // seconds
  bool IRCReconnect = true;
  // Tried after IRCDomain:IRCPort in order, with IRCTLS (ports filled in).
  std::vector<ServerAddress> IRCServers;
  std::string IRCBindAddress;  // the local IPv4 or IPv6 address; "" for any

  // MQTT. No broker: no MQTT.
  std::string MQTTBroker;  // mqtt://host[:port] or mqtts://host[:port]
  std::string MQTTTopic = "zelvo";
  std::string MQTTUsername;
  std::string MQTTPassword;
  std::string MQTTCAFile;
  std::string MQTTClientId;  // as written; empty: see MqttClientId
  bool MQTTDiscovery = true;

  // Safe states: "keep" or a port byte in decimal, 0 to 255.
  std::string OutputsOnExit = "keep";
  std::string OutputsOnDisconnect = "keep";

  // Accountability and safety.
  bool LogSwitches = true;          // one log entry per change of the outputs
  bool IgnoreReplayedLines = true;  // lines played back from before the join fire nothing
  // At most `count` rule runs per sender in `seconds`; count 0: no limit.
  struct RateLimit {
    std::int32_t count = 0;
    std::int32_t seconds = 0;
    bool operator==(const RateLimit&) const = default;
  };
  RateLimit SenderRateLimit;
  std::int32_t OutputMinInterval = 0;  // seconds between two switches of one output
  // The byte of the first port write: "off", "last" (kept in the state file)
  // or a port byte in decimal, 0 to 255.
  std::string OutputsOnStart = "off";
  bool MQTTIgnoreRetainedCommands = true;  // retained ".../set" messages switch nothing
  bool IRCSTS = true;                      // follow the servers' strict transport security policies
  // Services accounts whose private messages are owner commands; none: no
  // owner commands.
  std::vector<std::string> IRCOwners;
};

// The MQTT client id the bot connects with: MQTTClientId, or "zelvo-" and
// the nickname when none is set.
inline std::string MqttClientId(const Settings& settings) {
  return settings.MQTTClientId.empty() ? "zelvo-" + settings.gsIRCNickname
                                       : settings.MQTTClientId;
}

}  // namespace zelvo
