// Waits between attempts to reach the broker again: 5 s, doubling each time,
// at most 300 s; back to 5 s after a successful connection.
#pragma once

#include <chrono>

namespace zelvo::mqtt {

class ReconnectBackoff {
 public:
  static constexpr std::chrono::seconds kFirst{5};
  static constexpr std::chrono::seconds kLongest{300};

  // The wait before the next attempt; each call doubles the one after.
  std::chrono::seconds Next();
  void Reset() { next_ = kFirst; }

 private:
  std::chrono::seconds next_ = kFirst;
};

}  // namespace zelvo::mqtt
