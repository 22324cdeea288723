#include "front/bot_status.h"

#include <cstdio>

#include "irc/irc_session.h"
#include "model/reconnect_backoff.h"

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
  for (const std::string* field : {&status.server, &status.channel, &status.nick}) {
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

ConnectionStatus StatusOfSession(const IrcSession& session, const Settings& settings) {
  using State = ConnectionStatus::State;
  using Phase = IrcSession::Phase;
  ConnectionStatus status;
  switch (session.CurrentPhase()) {
    case Phase::kIdle:
    case Phase::kStopped:
      status.state = State::kDown;
      break;
    case Phase::kConnecting:
      status.state = State::kConnecting;
      break;
    case Phase::kRegistering:
      status.state = State::kRegistering;
      break;
    case Phase::kRegistered:
      status.state = session.Roster().Joined() ? State::kJoined : State::kNotInChannel;
      break;
    case Phase::kWaiting:
      status.state = State::kReconnecting;
      status.reconnect_at = session.ReconnectAt();
      break;
  }
  status.server =
      settings.gsIRCDomain + (settings.IRCTLS ? ":+" : ":") + std::to_string(settings.giIRCPort);
  status.channel = settings.gsIRCChannel;
  status.nick = session.Nickname().empty() ? settings.gsIRCNickname : session.Nickname();
  return status;
}

}  // namespace zelvo
