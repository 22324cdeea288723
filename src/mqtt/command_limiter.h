// Limits the switch commands from the broker: at most kPerSecond for each
// output within any second; the rest are dropped and counted. Drops for one
// output form a burst, which ends once kQuiet passes without a drop; a burst
// that goes on is closed and reported every kLongestReport.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "model/clock.h"

namespace zelvo::mqtt {

// The commands dropped for one output in one burst.
struct DroppedBurst {
  int output = 0;
  std::int64_t dropped = 0;
  std::chrono::seconds lasted{0};  // first drop to last, rounded up, at least 1 s
  bool operator==(const DroppedBurst&) const = default;
};

class CommandLimiter {
 public:
  static constexpr int kPerSecond = 10;
  static constexpr std::chrono::seconds kQuiet{1};
  static constexpr std::chrono::seconds kLongestReport{60};

  explicit CommandLimiter(const Clock& clock) : clock_(clock) {}

  // Whether a command for output 1..8 may run now; when not, it is counted
  // as dropped.
  bool Admit(int output);

  // The bursts that have ended by now (or gone on for kLongestReport; with
  // `all`, every open one), each returned once; their counts start again
  // from zero.
  std::vector<DroppedBurst> TakeEnded(bool all = false);

  // Whether a burst is still open (TakeEnded will have more to say).
  bool Dropping() const;

 private:
  using TimePoint = std::chrono::steady_clock::time_point;
  struct Output {
    std::array<TimePoint, kPerSecond> admitted{};  // a ring of the latest admissions
    int next = 0;                                  // the oldest of them
    int count = 0;                                 // admissions so far, up to kPerSecond
    std::int64_t dropped = 0;
    TimePoint first_drop, last_drop;
  };

  const Clock& clock_;
  std::array<Output, 8> outputs_{};
};

}  // namespace zelvo::mqtt
