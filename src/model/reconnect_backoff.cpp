#include "model/reconnect_backoff.h"

#include <algorithm>

namespace zelvo {

void ReconnectBackoff::OnUp(TimePoint now) {
  up_ = true;
  up_at_ = now;
}

ReconnectBackoff::Duration ReconnectBackoff::OnLost(TimePoint now) {
  if (up_ && now - up_at_ >= stable_) base_ = kFirst;
  up_ = false;
  Duration wait = base_;
  if (jitter_) {
    // A factor from 0.8 to 1.2 in steps of 1/2^32 of the range.
    const double factor = 0.8 + 0.4 * (static_cast<double>(jitter_()) / 4294967295.0);
    wait = std::chrono::duration_cast<Duration>(
        std::chrono::duration<double>(std::chrono::duration<double>(base_).count() * factor));
  }
  base_ = std::min<Duration>(base_ * 2, kMost);
  return wait;
}

}  // namespace zelvo
