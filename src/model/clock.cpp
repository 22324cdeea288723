#include "model/clock.h"

#include <ctime>

namespace zelvo {

OleDate SystemClock::LocalNow() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return ToOleDate(CivilDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                 local.tm_hour, local.tm_min, local.tm_sec});
}

std::chrono::steady_clock::time_point SystemClock::MonotonicNow() const {
  return std::chrono::steady_clock::now();
}

std::chrono::system_clock::time_point SystemClock::UtcNow() const {
  return std::chrono::system_clock::now();
}

}  // namespace zelvo
