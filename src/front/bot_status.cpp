#include "front/bot_status.h"

#include <cstdio>

#include "model/clock.h"

namespace zelvo {

std::string ConnectionStateWords(const ConnectionStatus& status,
                                 std::chrono::steady_clock::time_point now) {
  using State = ConnectionStatus::State;
  switch (status.state) {
    case State::kDown:
      return "Disconnected";
    case State::kConnecting:
      return "Connecting";
    case State::kRegistering:
      return "Registering";
    case State::kJoined:
      return "In the channel";
    case State::kNotInChannel:
      return "Connected, not in the channel";
    case State::kReconnecting: {
      const long seconds = SecondsUntil(status.reconnect_at, now);
      if (seconds <= 0) return "Reconnecting";
      return "Reconnecting in " + std::to_string(seconds) + " s";
    }
  }
  return {};
}

std::string ConnectionStatusText(const ConnectionStatus& status,
                                 std::chrono::steady_clock::time_point now) {
  std::string text = ConnectionStateWords(status, now);
  for (const std::string* field :
       {&status.problem, &status.server, &status.channel, &status.nick}) {
    if (!field->empty()) text.append(kStatusSeparator).append(*field);
  }
  return text;
}

std::string LastRunWords(std::string_view rule, std::string_view nick, OleDate at) {
  const CivilDateTime time = FromOleDate(at);
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", time.hour, time.minute, time.second);
  std::string text = "Last rule: ";
  text.append(rule).append(" by ").append(nick).append(" at ").append(clock);
  return text;
}

bool StatusChanged(const ConnectionStatus& a, const ConnectionStatus& b) {
  return a.state != b.state || a.server != b.server || a.channel != b.channel || a.nick != b.nick ||
         a.reconnect_at != b.reconnect_at || a.problem != b.problem;
}

}  // namespace zelvo
