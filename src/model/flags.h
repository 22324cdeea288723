// Command flags: the option, gate and action bits of a rule's ExtraFlags, and
// the same layout for the undo bits in AutoReturnOutputs.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "model/output_number.h"

namespace zelvo {

namespace flag {
inline constexpr std::int32_t kSetFocusOnVesko = 0x1;
inline constexpr std::int32_t kExecuteOnlyWhenVeskoHasFocus = 0x2;
inline constexpr std::int32_t kExecuteOnlyWhenVeskoHasNonFocus = 0x4;
inline constexpr std::int32_t kResponseWithIOCommandName = 0x8;
inline constexpr std::int32_t kPulseQuickly = 0x10;
inline constexpr std::int32_t kExecuteOnWeekdaysOnly = 0x20000000;
inline constexpr std::int32_t kExecuteOnWeekendsOnly = 0x40000000;
}  // namespace flag

// Action bits of output n (1..8): On = 32 * 8^(n-1), Off twice that, Toggle
// four times that. Any other output number is refused with std::out_of_range.
constexpr std::int32_t OnBit(int output) {
  return std::int32_t{32} << (3 * OutputIndex(output));
}
constexpr std::int32_t OffBit(int output) {
  return OnBit(output) << 1;
}
constexpr std::int32_t ToggleBit(int output) {
  return OnBit(output) << 2;
}

// Folds one flag name into the bit set built so far. Names are compared
// exactly, ignoring letter case only; "Nothing" and unknown names leave the
// value unchanged.
std::int32_t ParseFlag(std::int32_t flags, std::string_view name);

// The bit of one flag name, letter case ignored ("Nothing": 0); nothing for
// an unknown name.
std::optional<std::int32_t> FlagBit(std::string_view name);
// Every flag name as documented ("SetOutput3On"), in table order.
std::vector<std::string_view> FlagNames();

}  // namespace zelvo
