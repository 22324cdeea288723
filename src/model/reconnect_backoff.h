// The wait before reconnecting after a lost connection or a failed attempt,
// for the IRC server and the MQTT broker alike: 5 s, doubling up to 300 s,
// each scaled by a random factor from 0.8 to 1.2 when a random source is
// given (exact otherwise). The wait returns to 5 s only when the connection
// that was lost had been up for at least `stable` (IRC: 60 s registered, so
// that a server that drops the bot at once is not hammered; MQTT: any
// accepted connection).
#pragma once

#include <chrono>

#include "model/random_source.h"

namespace zelvo {

class ReconnectBackoff {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;
  static constexpr std::chrono::seconds kFirst{5};
  static constexpr std::chrono::seconds kMost{300};

  // `jitter` empty: every wait is exact.
  explicit ReconnectBackoff(RandomSource jitter = {}, Duration stable = Duration::zero())
      : jitter_(std::move(jitter)), stable_(stable) {}

  // The connection is up (IRC: 001; MQTT: the broker accepted it).
  void OnUp(TimePoint now);
  // The connection is lost or an attempt failed: the wait before the next.
  Duration OnLost(TimePoint now);

 private:
  RandomSource jitter_;
  Duration stable_;
  Duration base_ = kFirst;
  bool up_ = false;
  TimePoint up_at_{};
};

}  // namespace zelvo
