// The two limits on switching: how many rules one sender may run in a time
// (SenderRateLimit) and how soon an output may be switched again after it
// changed (OutputMinInterval). Both only keep the record; the dispatcher
// judges its rules against them.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "model/clock.h"
#include "model/output_number.h"
#include "model/settings.h"

namespace zelvo {

// The rule runs of each sender in fixed windows: a window opens at a
// sender's first run and lasts `limit.seconds`; once it holds `limit.count`
// runs, the sender runs nothing more until it ends. A count of 0 limits
// nothing and records nothing. At most kMaxSenders windows are kept: ended
// ones are dropped first, then the one that ends soonest.
class SenderRateLimiter {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr std::size_t kMaxSenders = 1024;

  // Whole seconds, rounded up, until `sender` may run rules again; 0 when
  // it may now.
  std::int64_t SecondsLimited(const std::string& sender, const Settings::RateLimit& limit,
                              TimePoint now) const;
  // Records one rule run of `sender` at `now`.
  void Count(const std::string& sender, const Settings::RateLimit& limit, TimePoint now);
  // True once per window of a limited `sender`: the first refusal, the one
  // the sender is told of.
  bool FirstRefusal(const std::string& sender);
  std::size_t Size() const { return windows_.size(); }

 private:
  struct Window {
    TimePoint end;
    std::int32_t runs = 0;
    bool told = false;
  };
  void MakeRoom(TimePoint now);

  std::unordered_map<std::string, Window> windows_;
};

// When each output last changed: told every byte written to the port, it
// notes the outputs whose bit differs from the byte before. The first byte
// only says where the outputs stand.
class OutputChanges {
 public:
  // `clock` must outlive this.
  explicit OutputChanges(const Clock& clock) : clock_(clock) {}

  void Written(std::uint8_t byte);
  // Whole seconds, rounded up, until output `n` (1..8) has stood `interval`
  // seconds since its last change; 0 when it has, or never changed.
  std::int64_t SecondsLeft(int n, std::int64_t interval) const;

 private:
  const Clock& clock_;
  std::optional<std::uint8_t> last_;
  std::array<std::optional<std::chrono::steady_clock::time_point>, kOutputCount> changed_{};
};

}  // namespace zelvo
