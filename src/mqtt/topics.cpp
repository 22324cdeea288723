#include "mqtt/topics.h"

#include <cctype>
#include <charconv>

namespace zelvo::mqtt {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

Topics::Topics(std::string_view prefix) : prefix_(prefix) {
  while (!prefix_.empty() && prefix_.back() == '/') prefix_.pop_back();
  if (prefix_.empty()) prefix_ = kDefaultPrefix;
}

std::string Topics::Status() const {
  return prefix_ + "/status";
}
std::string Topics::Output(int n) const {
  return prefix_ + "/output/" + std::to_string(n);
}
std::string Topics::OutputSet(int n) const {
  return Output(n) + "/set";
}
std::string Topics::OutputSetFilter() const {
  return prefix_ + "/output/+/set";
}
std::string Topics::Byte() const {
  return prefix_ + "/byte";
}
std::string Topics::Event() const {
  return prefix_ + "/event";
}

std::optional<int> Topics::SetTopicOutput(std::string_view topic) const {
  const std::string head = prefix_ + "/output/";
  constexpr std::string_view kTail = "/set";
  if (topic.size() <= head.size() + kTail.size() || topic.substr(0, head.size()) != head ||
      topic.substr(topic.size() - kTail.size()) != kTail)
    return std::nullopt;
  const std::string_view number =
      topic.substr(head.size(), topic.size() - head.size() - kTail.size());
  if (number.find('/') != std::string_view::npos) return std::nullopt;
  int n = 0;
  const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
  if (ec != std::errc() || ptr != number.data() + number.size() || n < 0) return 0;
  return n;
}

bool IsPublishTopic(std::string_view topic) {
  return !topic.empty() && topic.find_first_of("+#") == std::string_view::npos &&
         topic.find('\0') == std::string_view::npos;
}

std::optional<SwitchCommand> ParseSwitchPayload(std::string_view payload) {
  if (payload.size() > kMaxCommandBytes) return std::nullopt;
  if (EqualsIgnoringCase(payload, "ON")) return SwitchCommand::kOn;
  if (EqualsIgnoringCase(payload, "OFF")) return SwitchCommand::kOff;
  if (EqualsIgnoringCase(payload, "TOGGLE")) return SwitchCommand::kToggle;
  return std::nullopt;
}

CommandMessage CommandFilter::Take(std::string_view topic, std::string_view payload) {
  CommandMessage message;
  const std::optional<int> output = topics_.SetTopicOutput(topic);
  if (!output) return message;          // not a command topic: another subscriber's business
  if (payload.empty()) return message;  // what clears a retained command: nothing to do
  if (*output < 1 || *output > 8) {
    message.warning = Warn(topic, "there is no such output (outputs are 1 to 8)");
    return message;
  }
  const std::optional<SwitchCommand> command = ParseSwitchPayload(payload);
  if (!command) {
    message.warning = Warn(topic, payload.size() > kMaxCommandBytes
                                      ? "the payload has " + std::to_string(payload.size()) +
                                            " bytes, more than " + std::to_string(kMaxCommandBytes)
                                      : "the payload is not ON, OFF or TOGGLE");
    return message;
  }
  message.output = *output;
  message.command = *command;
  return message;
}

std::string CommandFilter::Warn(std::string_view topic, const std::string& text) {
  const auto now = clock_.MonotonicNow();
  const auto it = last_warning_.find(topic);
  if (it != last_warning_.end() && now - it->second < kWarningInterval) return {};
  last_warning_.insert_or_assign(std::string(topic), now);
  return "Ignored an MQTT message on " + std::string(topic) + ": " + text +
         ". Further ones on this topic are ignored silently for a minute.";
}

}  // namespace zelvo::mqtt
