// The servers the session tries, and when: IRCDomain:IRCPort first, then the
// IRCServers entries in order, wrapping around. A round tries each server
// once; after a failed attempt the next server of the round is tried at once
// (on the session's next tick), and only a round that failed throughout
// waits the reconnect backoff. A connection that registered ends its round
// when it is lost: the next round starts with that same server when the
// connection had stood for `stable` (the server works and may be back in a
// moment), else with the server after it (a server that drops the bot soon
// after the welcome is not the one to try first again).
#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

#include "model/server_address.h"
#include "model/settings.h"

namespace zelvo {

// IRCDomain:IRCPort followed by IRCServers.
std::vector<ServerAddress> ServersToTry(const Settings& settings);

class ServerRotation {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;

  explicit ServerRotation(Duration stable) : stable_(stable) {}

  // The servers to try; a list other than the one held starts over with a
  // new round at its first server. An empty list holds one empty server.
  void Use(std::vector<ServerAddress> servers);
  // The server to try next, or the one of the attempt under way.
  const ServerAddress& Current() const { return servers_[current_]; }
  // Its place: 0 for IRCDomain, N for the Nth IRCServers entry.
  std::size_t Index() const { return current_; }

  // The connection to Current() registered (001).
  void OnRegistered(TimePoint now);
  // The attempt on Current() failed or its connection was lost: moves to the
  // server to try next. True when that one begins a new round (the reconnect
  // backoff applies), false when the round goes on (try it at once).
  bool OnLost(TimePoint now);

 private:
  Duration stable_;
  std::vector<ServerAddress> servers_{ServerAddress{}};
  std::size_t current_ = 0;
  std::size_t round_start_ = 0;
  bool registered_ = false;
  TimePoint registered_at_{};
};

}  // namespace zelvo
