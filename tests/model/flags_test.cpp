#include "model/flags.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace zelvo {
namespace {

// Folds the flag names the way the loader does, starting from 0.
std::int32_t Fold(const std::vector<std::string>& names) {
  std::int32_t flags = 0;
  for (const std::string& name : names) flags = ParseFlag(flags, name);
  return flags;
}

struct FlagCase {
  std::vector<std::string> names;
  std::int32_t expected;
};

class ParseFlagCases : public testing::TestWithParam<FlagCase> {};

TEST_P(ParseFlagCases, FoldsToExpectedBits) {
  EXPECT_EQ(Fold(GetParam().names), GetParam().expected)
      << "for " << testing::PrintToString(GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Combinations, ParseFlagCases,
    testing::Values(FlagCase{{"SetOutput1On", "SetFocusOnVesko"}, 33},
                    FlagCase{{"SetOutput3On", "PulseQuickly"}, 2064},
                    FlagCase{{"SetOutput3Toggle", "PulseQuickly"}, 8208},
                    FlagCase{{"SetOutput1On", "SetOutput2On", "ResponseWithIOCommandName"}, 296},
                    FlagCase{{"SetOutput1Off", "SetOutput2Off", "ResponseWithIOCommandName"}, 584},
                    FlagCase{{"setoutput8toggle"}, 268435456}, FlagCase{{"SETOUTPUT1ON"}, 32},
                    FlagCase{{"sEtOuTpUt4OfF"}, 32768}, FlagCase{{"Nothing"}, 0},
                    FlagCase{{"NOTHING"}, 0},
                    FlagCase{{"SetOutput1On", "Nothing", "PulseQuickly"}, 48},
                    FlagCase{{"SetOutput5On", "SetOutput5On"}, 131072},
                    FlagCase{{"PulseQuickly", "SetOutput3On", "PulseQuickly"}, 2064},
                    // Both the On and the Off bit of one output may be held.
                    FlagCase{{"SetOutput2On", "SetOutput2Off"}, 768},
                    FlagCase{{"ExecuteOnWeekdaysOnly", "ExecuteOnWeekendsOnly"}, 1610612736}));

INSTANTIATE_TEST_SUITE_P(LeaveValueUnchanged, ParseFlagCases,
                         testing::Values(FlagCase{{"SetOutput1On", " SetOutput2On"}, 32},
                                         FlagCase{{"SetOutput1On", "SetOutput2On "}, 32},
                                         FlagCase{{"SetOutput9On"}, 0},
                                         FlagCase{{"SetOutput0Toggle"}, 0},
                                         FlagCase{{"SetOutput1"}, 0},
                                         FlagCase{{"SetOutput1Onn"}, 0}, FlagCase{{"SetOutput"}, 0},
                                         FlagCase{{""}, 0}, FlagCase{{"SetOutput1On", ""}, 32},
                                         FlagCase{{"Pulse"}, 0}, FlagCase{{"Nothing "}, 0}));

TEST(ParseFlag, KeepsTheBitsAlreadySet) {
  EXPECT_EQ(ParseFlag(1 << 29, "SetOutput1On"), (1 << 29) | 32);
  EXPECT_EQ(ParseFlag(2064, "Nothing"), 2064);
  EXPECT_EQ(ParseFlag(2064, "no such flag"), 2064);
  EXPECT_EQ(ParseFlag(-1, "SetOutput8Toggle"), -1);
}

struct NamedBit {
  const char* name;
  std::int32_t value;
};

class OptionAndGateFlags : public testing::TestWithParam<NamedBit> {};

TEST_P(OptionAndGateFlags, HaveTheirFixedValue) {
  EXPECT_EQ(ParseFlag(0, GetParam().name), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OptionAndGateFlags,
    testing::Values(NamedBit{"SetFocusOnVesko", 1}, NamedBit{"ExecuteOnlyWhenVeskoHasFocus", 2},
                    NamedBit{"ExecuteOnlyWhenVeskoHasNonFocus", 4},
                    NamedBit{"ResponseWithIOCommandName", 8}, NamedBit{"PulseQuickly", 16},
                    NamedBit{"ExecuteOnWeekdaysOnly", 536870912},
                    NamedBit{"ExecuteOnWeekendsOnly", 1073741824}),
    [](const testing::TestParamInfo<NamedBit>& info) { return std::string(info.param.name); });

TEST(OptionAndGateFlags, ConstantsMatchTheNames) {
  EXPECT_EQ(flag::kSetFocusOnVesko, ParseFlag(0, "SetFocusOnVesko"));
  EXPECT_EQ(flag::kExecuteOnlyWhenVeskoHasFocus, ParseFlag(0, "ExecuteOnlyWhenVeskoHasFocus"));
  EXPECT_EQ(flag::kExecuteOnlyWhenVeskoHasNonFocus,
            ParseFlag(0, "ExecuteOnlyWhenVeskoHasNonFocus"));
  EXPECT_EQ(flag::kResponseWithIOCommandName, ParseFlag(0, "ResponseWithIOCommandName"));
  EXPECT_EQ(flag::kPulseQuickly, ParseFlag(0, "PulseQuickly"));
  EXPECT_EQ(flag::kExecuteOnWeekdaysOnly, ParseFlag(0, "ExecuteOnWeekdaysOnly"));
  EXPECT_EQ(flag::kExecuteOnWeekendsOnly, ParseFlag(0, "ExecuteOnWeekendsOnly"));
}

// For output N the On bit is 32 * 8^(N-1), Off twice and Toggle four times that.
class OutputActionBits : public testing::TestWithParam<int> {};

TEST_P(OutputActionBits, FollowTheFormula) {
  const int n = GetParam();
  std::int64_t on = 32;
  for (int i = 1; i < n; ++i) on *= 8;
  const std::string prefix = "SetOutput" + std::to_string(n);
  EXPECT_EQ(ParseFlag(0, prefix + "On"), on);
  EXPECT_EQ(ParseFlag(0, prefix + "Off"), 2 * on);
  EXPECT_EQ(ParseFlag(0, prefix + "Toggle"), 4 * on);
  EXPECT_EQ(OnBit(n), on);
  EXPECT_EQ(OffBit(n), 2 * on);
  EXPECT_EQ(ToggleBit(n), 4 * on);
}

INSTANTIATE_TEST_SUITE_P(Outputs1To8, OutputActionBits, testing::Range(1, 9));

// Outside 1..8 there is no output and the shift would be undefined.
class OutputActionBitsOutOfRange : public testing::TestWithParam<int> {};

TEST_P(OutputActionBitsOutOfRange, AreRefused) {
  const int n = GetParam();
  EXPECT_THROW(OnBit(n), std::out_of_range);
  EXPECT_THROW(OffBit(n), std::out_of_range);
  EXPECT_THROW(ToggleBit(n), std::out_of_range);
}

INSTANTIATE_TEST_SUITE_P(Numbers, OutputActionBitsOutOfRange,
                         testing::Values(0, -1, 9, 11, 12, std::numeric_limits<int>::min(),
                                         std::numeric_limits<int>::max()));

TEST(OutputActionBits, FillBits5To28WithoutOverlap) {
  std::int32_t all = 0;
  for (int n = 1; n <= 8; ++n) {
    for (const char* action : {"On", "Off", "Toggle"}) {
      const std::int32_t bit = ParseFlag(0, "SetOutput" + std::to_string(n) + action);
      EXPECT_EQ(all & bit, 0) << "output " << n << " " << action;
      all |= bit;
    }
  }
  EXPECT_EQ(all, 0x1FFFFFE0);
}

}  // namespace
}  // namespace zelvo
