// JSON payloads the bot publishes: the event of a rule run and the Home
// Assistant discovery configuration of each output.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "model/date_time.h"
#include "mqtt/topics.h"

namespace zelvo::mqtt {

// `text` as a JSON string with its quotes. Valid UTF-8 passes through; any
// other byte is taken as ISO-8859-1, as the IRC side does.
std::string JsonString(std::string_view text);

// "2024-05-01T14:03:09+02:00": a local time and its offset from UTC.
std::string IsoTime(const CivilDateTime& local, int utc_offset_minutes);
// The local time of the machine at `when`, with the offset in force then.
std::string LocalIsoTime(std::time_t when);

// One run of a rule, as published on <prefix>/event.
struct RuleEvent {
  std::string rule;  // IOName
  std::string nick;
  std::string user;
  std::string host;
  std::optional<std::string> account;  // null when unknown
  std::string channel;
  std::string time;  // IsoTime / LocalIsoTime
  int outputs = 0;   // the port byte after the run
};

std::string EventJson(const RuleEvent& event);

// The discovery node id: the client id reduced to [a-zA-Z0-9_-] ("zelvo"
// when nothing is left).
std::string DiscoveryNode(std::string_view client_id);

inline constexpr char kHomeAssistantStatus[] = "homeassistant/status";

// homeassistant/switch/<node>/output<n>/config
std::string DiscoveryTopic(std::string_view node, int n);

// Whether an output's name marks it unused: "N/C", blanks around it and
// letter case ignored. Such an output is not announced to Home Assistant.
bool IsUnusedOutputName(std::string_view name);

// The retained configuration of output n as a Home Assistant switch.
// `name` is the output's name (Output<n>; "Output <n>" when empty),
// `device_name` names the bot in Home Assistant's device list.
std::string DiscoveryPayload(const Topics& topics, std::string_view node, int n,
                             std::string_view name, std::string_view device_name,
                             std::string_view version);

}  // namespace zelvo::mqtt
