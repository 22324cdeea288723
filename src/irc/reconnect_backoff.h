// The wait before reconnecting after a lost connection or a failed attempt:
// 5 s, doubling up to 300 s, each scaled by a random factor from 0.8 to 1.2.
// The wait returns to 5 s only when the connection that was lost had stayed
// registered for at least 60 s, so a server that drops the bot at once is
// not hammered.
#pragma once

#include <chrono>

#include "irc/random_source.h"
#include "model/clock.h"

namespace zelvo {

class ReconnectBackoff {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;
  static constexpr std::chrono::seconds kFirst{5};
  static constexpr std::chrono::seconds kMost{300};
  static constexpr std::chrono::seconds kStable{60};

  explicit ReconnectBackoff(RandomSource random) : random_(std::move(random)) {}

  // The connection has registered (001).
  void OnRegistered(TimePoint now);
  // The connection is lost or an attempt failed: the wait before the next.
  Duration OnLost(TimePoint now);

 private:
  RandomSource random_;
  Duration base_ = kFirst;
  bool registered_ = false;
  TimePoint registered_at_{};
};

}  // namespace zelvo
