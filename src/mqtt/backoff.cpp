#include "mqtt/backoff.h"

#include <algorithm>

namespace zelvo::mqtt {

std::chrono::seconds ReconnectBackoff::Next() {
  const std::chrono::seconds wait = next_;
  next_ = std::min(next_ * 2, kLongest);
  return wait;
}

}  // namespace zelvo::mqtt
