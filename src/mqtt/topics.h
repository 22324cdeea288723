// The bot's topics under its prefix, and what arrives on the command topics.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "model/clock.h"

namespace zelvo::mqtt {

inline constexpr char kDefaultPrefix[] = "zelvo";
inline constexpr char kOnline[] = "online";
inline constexpr char kOffline[] = "offline";
inline constexpr char kOn[] = "ON";
inline constexpr char kOff[] = "OFF";
inline constexpr std::size_t kMaxCommandBytes = 64;

class Topics {
 public:
  // An empty prefix is the default "zelvo"; a trailing "/" is dropped.
  explicit Topics(std::string_view prefix);

  const std::string& prefix() const { return prefix_; }
  std::string Status() const;           // <prefix>/status
  std::string Output(int n) const;      // <prefix>/output/<n>
  std::string OutputSet(int n) const;   // <prefix>/output/<n>/set
  std::string OutputSetFilter() const;  // <prefix>/output/+/set
  std::string Byte() const;             // <prefix>/byte
  std::string Event() const;            // <prefix>/event

  // The output number in a topic of the form <prefix>/output/<n>/set (range
  // checks are the caller's; 0 when <n> is not a number); nothing for other
  // topics.
  std::optional<int> SetTopicOutput(std::string_view topic) const;

 private:
  std::string prefix_;
};

// "ON" or "OFF".
inline const char* StatePayload(bool on) {
  return on ? kOn : kOff;
}

// Whether a topic names a valid publish topic (no wildcards, not empty).
bool IsPublishTopic(std::string_view topic);

enum class SwitchCommand { kOn, kOff, kToggle };

// "ON", "OFF" or "TOGGLE", letter case ignored, at most 64 bytes.
std::optional<SwitchCommand> ParseSwitchPayload(std::string_view payload);

// A switch command for one output, or a warning about a message that is
// ignored. At most one warning a minute is given for each topic; an empty
// payload (what clears a retained message) is ignored without one.
struct CommandMessage {
  int output = 0;  // 1..8; 0 when ignored
  SwitchCommand command = SwitchCommand::kOff;
  std::string warning;  // empty when ignored without a warning (or accepted)
  bool accepted() const { return output != 0; }
};

class CommandFilter {
 public:
  static constexpr std::chrono::minutes kWarningInterval{1};

  CommandFilter(const Topics& topics, const Clock& clock) : topics_(topics), clock_(clock) {}

  // Takes a message that arrived on a subscribed topic.
  CommandMessage Take(std::string_view topic, std::string_view payload);

 private:
  std::string Warn(std::string_view topic, const std::string& text);

  const Topics& topics_;
  const Clock& clock_;
  std::map<std::string, std::chrono::steady_clock::time_point, std::less<>> last_warning_;
};

}  // namespace zelvo::mqtt
