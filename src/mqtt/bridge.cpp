#include "mqtt/bridge.h"

namespace zelvo::mqtt {

Bridge::Bridge(BridgeOptions options, Transport& transport, const Clock& clock,
               CommandHandler on_command, ReportHandler on_report)
    : options_(std::move(options)),
      topics_(options_.prefix),
      node_(DiscoveryNode(options_.client_id)),
      transport_(transport),
      filter_(topics_, clock),
      on_command_(std::move(on_command)),
      on_report_(std::move(on_report)) {}

bool Bridge::Publish(const std::string& topic, const std::string& payload, bool retain) {
  const std::string error = transport_.Publish(topic, payload, retain);
  if (error.empty()) return true;
  if (on_report_) on_report_(log_msg::kMqttWarning, "Cannot publish to " + topic + ": " + error);
  return false;
}

void Bridge::Connected(std::uint8_t byte) {
  connected_ = true;
  byte_ = byte;
  retained_reported_.clear();
  Announce();
  for (const std::string& filter :
       {topics_.OutputSetFilter(), std::string(options_.discovery ? kHomeAssistantStatus : "")}) {
    if (filter.empty()) continue;
    if (const std::string error = transport_.Subscribe(filter); !error.empty() && on_report_)
      on_report_(log_msg::kMqttWarning, "Cannot subscribe to " + filter + ": " + error);
  }
}

void Bridge::Announce() {
  published_states_.fill(std::nullopt);
  published_byte_.reset();
  Publish(topics_.Status(), kOnline, true);
  PortWritten(byte_);
  if (options_.discovery) PublishDiscovery();
}

void Bridge::PublishDiscovery() {
  for (int n = 1; n <= 8; ++n) {
    const std::string& name = options_.output_names[n - 1];
    Publish(DiscoveryTopic(node_, n),
            IsUnusedOutputName(name)
                ? std::string()
                : DiscoveryPayload(topics_, node_, n, name, options_.device_name, options_.version),
            true);
  }
}

void Bridge::Message(const std::string& topic, const std::string& payload, bool retained) {
  if (topic == kHomeAssistantStatus) {
    if (options_.discovery && payload == kOnline && !retained && connected_) Announce();
    return;
  }
  if (retained && options_.ignore_retained_commands && topics_.SetTopicOutput(topic)) {
    if (retained_reported_.insert(topic).second && on_report_)
      on_report_(log_msg::kMqttRetainedCommand, MqttRetainedCommandText(topic));
    return;
  }
  const CommandMessage message = filter_.Take(topic, payload);
  if (!message.warning.empty() && on_report_) on_report_(log_msg::kMqttWarning, message.warning);
  if (message.accepted() && on_command_) on_command_(message.output, message.command);
}

void Bridge::PortWritten(std::uint8_t byte) {
  byte_ = byte;
  if (!connected_) return;
  for (int n = 1; n <= 8; ++n) {
    const bool on = (byte >> (n - 1)) & 1;
    std::optional<bool>& published = published_states_[n - 1];
    if (published == on) continue;
    published =
        Publish(topics_.Output(n), StatePayload(on), true) ? std::optional<bool>(on) : std::nullopt;
  }
  if (published_byte_ == byte) return;
  published_byte_ = Publish(topics_.Byte(), std::to_string(byte), true)
                        ? std::optional<std::uint8_t>(byte)
                        : std::nullopt;
}

void Bridge::RuleRan(const RuleEvent& event) {
  if (connected_) Publish(topics_.Event(), EventJson(event), false);
}

}  // namespace zelvo::mqtt
