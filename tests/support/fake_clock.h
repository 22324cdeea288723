// A clock for tests: local time and monotonic time stand still until a test
// moves them, so no test waits for a timer.
#pragma once

#include <chrono>

#include "model/clock.h"
#include "model/date_time.h"

namespace zelvo::testing {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(OleDate local = 0) : local_(local) {}
  explicit FakeClock(const CivilDateTime& local) : local_(ToOleDate(local)) {}

  OleDate LocalNow() const override { return local_; }
  std::chrono::steady_clock::time_point MonotonicNow() const override { return monotonic_; }
  std::chrono::system_clock::time_point UtcNow() const override {  // local time taken as UTC
    using namespace std::chrono;
    return sys_days(1899y / 12 / 30) + round<milliseconds>(duration<double, days::period>(local_));
  }

  // Time passes: both clocks move forward.
  void Advance(std::chrono::steady_clock::duration elapsed) {
    local_ += std::chrono::duration<double>(elapsed).count() / 86400.0;
    monotonic_ += elapsed;
  }
  // The wall clock is set, back or forward; the monotonic clock stays.
  void SetLocal(OleDate local) { local_ = local; }
  void SetLocal(const CivilDateTime& local) { local_ = ToOleDate(local); }

 private:
  OleDate local_;
  std::chrono::steady_clock::time_point monotonic_{std::chrono::hours(1000)};
};

}  // namespace zelvo::testing
