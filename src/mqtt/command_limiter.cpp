#include "mqtt/command_limiter.h"

#include <algorithm>

namespace zelvo::mqtt {

bool CommandLimiter::Admit(int output) {
  if (output < 1 || output > static_cast<int>(outputs_.size())) return false;
  Output& o = outputs_[output - 1];
  const TimePoint now = clock_.MonotonicNow();
  if (o.count == kPerSecond && now - o.admitted[o.next] < std::chrono::seconds(1)) {
    if (o.dropped++ == 0) o.first_drop = now;
    o.last_drop = now;
    return false;
  }
  o.admitted[o.next] = now;
  o.next = (o.next + 1) % kPerSecond;
  if (o.count < kPerSecond) ++o.count;
  return true;
}

std::vector<DroppedBurst> CommandLimiter::TakeEnded(bool all) {
  const TimePoint now = clock_.MonotonicNow();
  std::vector<DroppedBurst> ended;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    Output& o = outputs_[i];
    const bool open = now - o.last_drop < kQuiet && now - o.first_drop < kLongestReport;
    if (o.dropped == 0 || (open && !all)) continue;
    const auto lasted = std::chrono::ceil<std::chrono::seconds>(o.last_drop - o.first_drop);
    ended.push_back({static_cast<int>(i + 1), o.dropped, std::max(lasted, kQuiet)});
    o.dropped = 0;
  }
  return ended;
}

bool CommandLimiter::Dropping() const {
  for (const Output& o : outputs_)
    if (o.dropped > 0) return true;
  return false;
}

}  // namespace zelvo::mqtt
