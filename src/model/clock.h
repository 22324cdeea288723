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
};

// The machine's clocks.
class SystemClock final : public Clock {
 public:
  OleDate LocalNow() const override;
  std::chrono::steady_clock::time_point MonotonicNow() const override;
};

}  // namespace zelvo
