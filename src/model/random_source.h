// A source of random numbers, injected where the IRC client needs chance
// (nickname digits, reconnect jitter) so that tests can fix the values.
#pragma once

#include <cstdint>
#include <functional>
#include <random>

namespace zelvo {

using RandomSource = std::function<std::uint32_t()>;

// Numbers from a generator seeded by the system.
inline RandomSource SystemRandomSource() {
  return [engine = std::mt19937(std::random_device{}())]() mutable {
    return static_cast<std::uint32_t>(engine());
  };
}

}  // namespace zelvo
