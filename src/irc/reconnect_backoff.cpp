#include "irc/reconnect_backoff.h"

#include <algorithm>

namespace zelvo {

void ReconnectBackoff::OnRegistered(TimePoint now) {
  registered_ = true;
  registered_at_ = now;
}

ReconnectBackoff::Duration ReconnectBackoff::OnLost(TimePoint now) {
  if (registered_ && now - registered_at_ >= kStable) base_ = kFirst;
  registered_ = false;
  // A factor from 0.8 to 1.2 in steps of 1/2^32 of the range.
  const double factor = 0.8 + 0.4 * (static_cast<double>(random_()) / 4294967295.0);
  const auto wait = std::chrono::duration_cast<Duration>(
      std::chrono::duration<double>(std::chrono::duration<double>(base_).count() * factor));
  base_ = std::min<Duration>(base_ * 2, kMost);
  return wait;
}

}  // namespace zelvo
