#include "model/flags.h"

#include <array>
#include <string>

namespace zelvo {
namespace {

struct NamedFlag {
  std::string_view name;  // lower case
  std::int32_t bit;
};

// clang-format off
constexpr std::array<NamedFlag, 32> kFlags{{
    {"nothing", 0},
    {"setfocusonvesko", flag::kSetFocusOnVesko},
    {"executeonlywhenveskohasfocus", flag::kExecuteOnlyWhenVeskoHasFocus},
    {"executeonlywhenveskohasnonfocus", flag::kExecuteOnlyWhenVeskoHasNonFocus},
    {"responsewithiocommandname", flag::kResponseWithIOCommandName},
    {"pulsequickly", flag::kPulseQuickly},
    {"setoutput1on", OnBit(1)}, {"setoutput1off", OffBit(1)}, {"setoutput1toggle", ToggleBit(1)},
    {"setoutput2on", OnBit(2)}, {"setoutput2off", OffBit(2)}, {"setoutput2toggle", ToggleBit(2)},
    {"setoutput3on", OnBit(3)}, {"setoutput3off", OffBit(3)}, {"setoutput3toggle", ToggleBit(3)},
    {"setoutput4on", OnBit(4)}, {"setoutput4off", OffBit(4)}, {"setoutput4toggle", ToggleBit(4)},
    {"setoutput5on", OnBit(5)}, {"setoutput5off", OffBit(5)}, {"setoutput5toggle", ToggleBit(5)},
    {"setoutput6on", OnBit(6)}, {"setoutput6off", OffBit(6)}, {"setoutput6toggle", ToggleBit(6)},
    {"setoutput7on", OnBit(7)}, {"setoutput7off", OffBit(7)}, {"setoutput7toggle", ToggleBit(7)},
    {"setoutput8on", OnBit(8)}, {"setoutput8off", OffBit(8)}, {"setoutput8toggle", ToggleBit(8)},
    {"executeonweekdaysonly", flag::kExecuteOnWeekdaysOnly},
    {"executeonweekendsonly", flag::kExecuteOnWeekendsOnly},
}};
// clang-format on

}  // namespace

std::int32_t ParseFlag(std::int32_t flags, std::string_view name) {
  std::string lower(name);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const NamedFlag& f : kFlags)
    if (f.name == lower) return flags | f.bit;
  return flags;
}

}  // namespace zelvo
