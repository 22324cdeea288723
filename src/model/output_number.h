// The numbers of the eight outputs, 1..8, and the one check that refuses any
// other number.
#pragma once

#include <cstddef>

namespace zelvo {

inline constexpr int kOutputCount = 8;

// Throws std::out_of_range naming `output`.
[[noreturn]] void ThrowOutputOutOfRange(int output);

// The 0-based index of output `output` (1..8); any other number is refused
// with std::out_of_range.
constexpr std::size_t OutputIndex(int output) {
  if (output < 1 || output > kOutputCount) ThrowOutputOutOfRange(output);
  return static_cast<std::size_t>(output - 1);
}

}  // namespace zelvo
