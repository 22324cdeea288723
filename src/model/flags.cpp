#include "model/flags.h"

#include <algorithm>
#include <array>

namespace zelvo {
namespace {

struct NamedFlag {
  std::string_view name;
  std::int32_t bit;
};

// clang-format off
constexpr std::array<NamedFlag, 32> kFlags{{
    {"Nothing", 0},
    {"SetFocusOnVesko", flag::kSetFocusOnVesko},
    {"ExecuteOnlyWhenVeskoHasFocus", flag::kExecuteOnlyWhenVeskoHasFocus},
    {"ExecuteOnlyWhenVeskoHasNonFocus", flag::kExecuteOnlyWhenVeskoHasNonFocus},
    {"ResponseWithIOCommandName", flag::kResponseWithIOCommandName},
    {"PulseQuickly", flag::kPulseQuickly},
    {"SetOutput1On", OnBit(1)}, {"SetOutput1Off", OffBit(1)}, {"SetOutput1Toggle", ToggleBit(1)},
    {"SetOutput2On", OnBit(2)}, {"SetOutput2Off", OffBit(2)}, {"SetOutput2Toggle", ToggleBit(2)},
    {"SetOutput3On", OnBit(3)}, {"SetOutput3Off", OffBit(3)}, {"SetOutput3Toggle", ToggleBit(3)},
    {"SetOutput4On", OnBit(4)}, {"SetOutput4Off", OffBit(4)}, {"SetOutput4Toggle", ToggleBit(4)},
    {"SetOutput5On", OnBit(5)}, {"SetOutput5Off", OffBit(5)}, {"SetOutput5Toggle", ToggleBit(5)},
    {"SetOutput6On", OnBit(6)}, {"SetOutput6Off", OffBit(6)}, {"SetOutput6Toggle", ToggleBit(6)},
    {"SetOutput7On", OnBit(7)}, {"SetOutput7Off", OffBit(7)}, {"SetOutput7Toggle", ToggleBit(7)},
    {"SetOutput8On", OnBit(8)}, {"SetOutput8Off", OffBit(8)}, {"SetOutput8Toggle", ToggleBit(8)},
    {"ExecuteOnWeekdaysOnly", flag::kExecuteOnWeekdaysOnly},
    {"ExecuteOnWeekendsOnly", flag::kExecuteOnWeekendsOnly},
}};
// clang-format on

}  // namespace

std::optional<std::int32_t> FlagBit(std::string_view name) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (const NamedFlag& f : kFlags)
    if (std::equal(f.name.begin(), f.name.end(), name.begin(), name.end(),
                   [&](char a, char b) { return lower(a) == lower(b); }))
      return f.bit;
  return std::nullopt;
}

std::int32_t ParseFlag(std::int32_t flags, std::string_view name) {
  return flags | FlagBit(name).value_or(0);
}

std::vector<std::string_view> FlagNames() {
  std::vector<std::string_view> names;
  for (const NamedFlag& f : kFlags) names.push_back(f.name);
  return names;
}

}  // namespace zelvo
