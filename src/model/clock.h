// The source of time for everything that reads the clock, so that tests can
// run with a fake clock and timers never sleep in tests.
#pragma once

#include <chrono>

#include "model/date_time.h"

namespace zelvo {

class Clock {
 public:
  virtual ~Clock() = default;
  // The current local date and time.
  virtual OleDate LocalNow() const = 0;
  // A clock that only moves forward; unaffected by setting the wall clock
  // or by daylight-saving changes. Used for every elapsed-time test.
  virtual std::chrono::steady_clock::time_point MonotonicNow() const = 0;
  // The current time in UTC, to compare with times the server stamps on lines.
  virtual std::chrono::system_clock::time_point UtcNow() const = 0;
};

// Whole seconds from `now` until `deadline`, rounded up; 0 once it is due.
// Every countdown the operator sees (caption, status line, log) uses this.
inline long SecondsUntil(std::chrono::steady_clock::time_point deadline,
                         std::chrono::steady_clock::time_point now) {
  if (deadline <= now) return 0;
  return static_cast<long>(std::chrono::ceil<std::chrono::seconds>(deadline - now).count());
}

// The machine's clocks.
class SystemClock final : public Clock {
 public:
  OleDate LocalNow() const override;
  std::chrono::steady_clock::time_point MonotonicNow() const override;
  std::chrono::system_clock::time_point UtcNow() const override;
};

}  // namespace zelvo
