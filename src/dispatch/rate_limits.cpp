#include "dispatch/rate_limits.h"

#include <algorithm>

namespace zelvo {

std::int64_t SenderRateLimiter::SecondsLimited(const std::string& sender,
                                               const Settings::RateLimit& limit,
                                               TimePoint now) const {
  if (limit.count <= 0) return 0;
  const auto found = windows_.find(sender);
  if (found == windows_.end() || found->second.runs < limit.count) return 0;
  return SecondsUntil(found->second.end, now);
}

void SenderRateLimiter::Count(const std::string& sender, const Settings::RateLimit& limit,
                              TimePoint now) {
  if (limit.count <= 0) return;
  auto found = windows_.find(sender);
  if (found != windows_.end() && found->second.end > now) {
    ++found->second.runs;
    return;
  }
  if (found != windows_.end()) windows_.erase(found);
  MakeRoom(now);
  windows_.emplace(sender, Window{now + std::chrono::seconds(limit.seconds), 1, false});
}

bool SenderRateLimiter::FirstRefusal(const std::string& sender) {
  const auto found = windows_.find(sender);
  if (found == windows_.end() || found->second.told) return false;
  found->second.told = true;
  return true;
}

void SenderRateLimiter::MakeRoom(TimePoint now) {
  if (windows_.size() < kMaxSenders) return;
  std::erase_if(windows_, [now](const auto& entry) { return entry.second.end <= now; });
  if (windows_.size() < kMaxSenders) return;
  windows_.erase(
      std::min_element(windows_.begin(), windows_.end(),
                       [](const auto& a, const auto& b) { return a.second.end < b.second.end; }));
}

void OutputChanges::Written(std::uint8_t byte) {
  const auto now = clock_.MonotonicNow();
  for (int n = 1; n <= kOutputCount; ++n) {
    const std::uint8_t bit = static_cast<std::uint8_t>(1u << (n - 1));
    if (last_ && ((*last_ ^ byte) & bit) != 0) changed_[static_cast<std::size_t>(n - 1)] = now;
  }
  last_ = byte;
}

std::int64_t OutputChanges::SecondsLeft(int n, std::int64_t interval) const {
  const auto& changed = changed_.at(static_cast<std::size_t>(n - 1));
  if (interval <= 0 || !changed) return 0;
  return SecondsUntil(*changed + std::chrono::seconds(interval), clock_.MonotonicNow());
}

}  // namespace zelvo
