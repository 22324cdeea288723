// One call of a log hook (number, type and text), as fakes and hooks in the
// tests record it.
#pragma once

#include <cstdint>
#include <string>

namespace zelvo::testing {

struct LogLine {
  std::int32_t id;
  std::int32_t type;
  std::string text;
  bool operator==(const LogLine&) const = default;
};

}  // namespace zelvo::testing
