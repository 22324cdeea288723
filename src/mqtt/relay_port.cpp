#include "mqtt/relay_port.h"

#include "mqtt/topics.h"

namespace zelvo::mqtt {

std::string RelayTarget::Topic(int n) const {
  std::string text;
  for (std::size_t i = 0; i < topic.size(); ++i) {
    if (topic.compare(i, 2, "%N") == 0) {
      text += std::to_string(n);
      ++i;
    } else {
      text += topic[i];
    }
  }
  return text;
}

std::optional<RelayTarget> ParseRelayTarget(std::string_view argument, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<RelayTarget> {
    if (error)
      *error = "Invalid OutputDevice \"mqtt:" + std::string(argument) + "\": " + why +
               " Write mqtt:TOPIC or mqtt:TOPIC:ON:OFF, with %N in TOPIC for the output number, "
               "e.g. mqtt:cmnd/relay%N/POWER or mqtt:shellies/shelly1-%N/relay/0/command:on:off.";
    return std::nullopt;
  };
  RelayTarget target;
  const std::size_t first = argument.find(':');
  target.topic = std::string(argument.substr(0, first));
  if (first != std::string_view::npos) {
    const std::string_view payloads = argument.substr(first + 1);
    const std::size_t second = payloads.find(':');
    if (second == std::string_view::npos ||
        payloads.find(':', second + 1) != std::string_view::npos)
      return fail("give both payloads, ON and OFF, or neither.");
    target.on = std::string(payloads.substr(0, second));
    target.off = std::string(payloads.substr(second + 1));
    if (target.on.empty() || target.off.empty()) return fail("a payload is empty.");
    if (target.on == target.off) return fail("the ON and OFF payloads are the same.");
  }
  if (target.topic.find("%N") == std::string::npos)
    return fail("the topic has no %N for the output number.");
  if (!IsPublishTopic(target.topic)) return fail("a topic to publish to has no + or #.");
  return target;
}

RelayPort::RelayPort(RelayTarget target, Publisher& publisher)
    : target_(std::move(target)), publisher_(publisher) {}

std::string RelayPort::Write(std::uint8_t byte) {
  std::string errors;
  for (int n = 1; n <= 8; ++n) {
    const bool on = (byte >> (n - 1)) & 1;
    if (sent_[n - 1] == on) continue;
    const std::string topic = target_.Topic(n);
    const std::string error = publisher_.Publish(topic, on ? target_.on : target_.off, false);
    if (error.empty()) {
      sent_[n - 1] = on;
    } else {
      sent_[n - 1] = std::nullopt;
      if (errors.empty()) errors = "Cannot publish to " + topic + ": " + error;
    }
  }
  return errors;
}

std::string RelayPort::Describe() const {
  return "MQTT relays " + target_.topic;
}

PortWriterChoice RelayPort::Open(std::string_view argument, Publisher& publisher) {
  PortWriterChoice choice;
  if (std::optional<RelayTarget> target = ParseRelayTarget(argument, &choice.error))
    choice.writer = std::make_unique<RelayPort>(std::move(*target), publisher);
  return choice;
}

PortBackend RelayBackend(bool broker_set, RelayOpener open) {
  return {.prefix = "mqtt",
          .argument = PortBackend::Argument::kRequired,
          .form = "mqtt:TOPIC[:ON:OFF]",
          .check = [broker_set](std::string_view device, std::string_view argument) -> std::string {
            if (!broker_set)
              return "OutputDevice \"" + std::string(device) +
                     "\" sends the outputs through the MQTT broker, but no broker is set: add "
                     "the MQTTBroker setting (mqtt://HOST[:PORT] or mqtts://HOST[:PORT]).";
            std::string error;
            if (ParseRelayTarget(argument, &error)) return {};
            return error;
          },
          .open = [open = std::move(open)](std::string_view,
                                           std::string_view argument) { return open(argument); }};
}

}  // namespace zelvo::mqtt
