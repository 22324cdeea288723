// What the operator is shown about the bot besides the console: the
// connection's state with server, channel, nickname and caption, and the
// last rule that ran. Plain data and texts, shared by the window and the
// terminal; the IRC client fills ConnectionStatus from its session.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "model/date_time.h"

namespace zelvo {

struct ConnectionStatus {
  enum class State { kDown, kConnecting, kRegistering, kJoined, kReconnecting, kNotInChannel };
  State state = State::kDown;
  std::string server;  // as the operator knows it, e.g. "irc.libera.chat:6697"
  std::string channel;
  std::string nick;
  // While reconnecting: when the next attempt is due (monotonic clock).
  std::chrono::steady_clock::time_point reconnect_at{};
  // "Zelvo - " + IRC state + " (" + connection state + ")" as the session
  // words it; "" until the session has reported one.
  std::string caption;
  // Why the bot is not connected or not in the channel, with the setting to
  // check; "" when nothing is known to be wrong.
  std::string problem{};

  bool operator==(const ConnectionStatus&) const = default;
};

// The state in words at `now`; while reconnecting with the countdown in whole
// seconds, rounded up ("Reconnecting in 40 s", then "Reconnecting" when due).
std::string ConnectionStateWords(const ConnectionStatus& status,
                                 std::chrono::steady_clock::time_point now);

// The words, then the problem, server, channel and nickname that are known,
// each after kStatusSeparator.
std::string ConnectionStatusText(const ConnectionStatus& status,
                                 std::chrono::steady_clock::time_point now);
inline constexpr std::string_view kStatusSeparator = "  \u00B7  ";

// "Last rule: <name> by <nick> at <HH:MM:SS>" for a run at local time `at`.
std::string LastRunWords(std::string_view rule, std::string_view nick, OleDate at);

// Whether the two differ in more than the caption.
bool StatusChanged(const ConnectionStatus& a, const ConnectionStatus& b);

}  // namespace zelvo
