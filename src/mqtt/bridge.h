// The bot's side of the broker: on each connection it announces itself and
// publishes every retained state, publishes the outputs after each port
// write and an event after each rule run, and turns messages on the command
// topics into switch commands. A command the broker kept (retained) is
// ignored with one warning per topic and connection, unless told otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "log/messages.h"
#include "model/clock.h"
#include "mqtt/payloads.h"
#include "mqtt/publisher.h"
#include "mqtt/topics.h"

namespace zelvo::mqtt {

struct BridgeOptions {
  std::string prefix = kDefaultPrefix;  // MQTTTopic
  std::string client_id;                // MQTTClientId
  bool discovery = true;                // MQTTDiscovery
  std::string device_name = "Zelvo";    // the bot, as Home Assistant lists it
  std::string version;
  std::array<std::string, 8> output_names;  // Output1..Output8; "N/C" ones are not announced
  bool ignore_retained_commands = true;     // MQTTIgnoreRetainedCommands
};

class Bridge {
 public:
  // Receives a switch command for output 1..8.
  using CommandHandler = std::function<void(int output, SwitchCommand command)>;
  // Receives a warning or error to log: its catalogue entry and text.
  using ReportHandler = std::function<void(const LogMessage& message, const std::string& text)>;

  Bridge(BridgeOptions options, Transport& transport, const Clock& clock, CommandHandler on_command,
         ReportHandler on_report);

  const Topics& topics() const { return topics_; }

  // The broker accepted the connection: "online", the eight states, the
  // byte and the discovery configurations, all retained; then the
  // subscriptions.
  void Connected(std::uint8_t byte);
  void Disconnected() { connected_ = false; }

  // A message arrived on a subscribed topic; `retained`: with the retain
  // flag. Home Assistant's "online" (not a retained one, which only follows
  // the subscription) has everything of Connected published again.
  void Message(const std::string& topic, const std::string& payload, bool retained);

  // The port was written: each output whose state changed, and the byte.
  // Remembered while not connected.
  void PortWritten(std::uint8_t byte);

  // A rule ran.
  void RuleRan(const RuleEvent& event);

 private:
  // True when the message was handed to the connection (else reported).
  bool Publish(const std::string& topic, const std::string& payload, bool retain);
  // "online", every state, the byte and the discovery configurations, sent
  // whatever was published before.
  void Announce();
  // Each output's configuration; an empty one (which removes the entity)
  // for the outputs named "N/C".
  void PublishDiscovery();

  BridgeOptions options_;
  Topics topics_;
  std::string node_;
  Transport& transport_;
  CommandFilter filter_;
  CommandHandler on_command_;
  ReportHandler on_report_;
  bool connected_ = false;
  std::uint8_t byte_ = 0;  // the last byte written
  // Command topics whose retained message was reported on this connection.
  std::set<std::string, std::less<>> retained_reported_;
  // What is on the broker: each output's state and the byte; nothing where
  // unknown or where a publish failed, so that the next write sends it again.
  std::array<std::optional<bool>, 8> published_states_{};
  std::optional<std::uint8_t> published_byte_;
};

}  // namespace zelvo::mqtt
