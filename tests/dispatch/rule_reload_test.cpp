// Replacing the rules on a reload: which rules keep their run-time state and
// what a rule that goes puts back.
#include "dispatch/rule_reload.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "model/flags.h"
#include "outputs/memory_port.h"

namespace zelvo {
namespace {

struct RuleSpec {
  std::string name;
  std::string trigger;
  std::int32_t pending_undo = 0;  // 0: auto-return complete
};

IOCommands MakeRules(const std::vector<RuleSpec>& specs, int stamp_seconds) {
  IOCommands rules;
  for (const RuleSpec& spec : specs) {
    auto rule = std::make_shared<IOCommand>(OleDate{});
    rule->SetIOName(spec.name);
    rule->SetIRCTrigger(spec.trigger);
    if (stamp_seconds > 0)
      rule->SetLastUsedMonotonic(std::chrono::steady_clock::time_point{} +
                                 std::chrono::seconds(stamp_seconds));
    rule->SetAutoReturnOutputs(spec.pending_undo);
    rule->SetAutoReturnComplete(spec.pending_undo == 0);
    rules.Add(rule);
  }
  return rules;
}

struct ReloadCase {
  const char* label;
  std::vector<RuleSpec> current;
  std::vector<RuleSpec> fresh;
  std::int32_t byte_before;
  std::int32_t kept;
  std::int32_t returned;
  std::vector<std::uint8_t> written;  // port writes made by the reload
  std::int32_t byte_after;
  // Per fresh rule: does it carry the current rule's stamp and pending undo?
  std::vector<bool> took_over;
};

class RuleReloadTest : public ::testing::TestWithParam<ReloadCase> {};

TEST_P(RuleReloadTest, KeepsStateOfRulesThatStayAndPutsBackWhatGoneRulesOwe) {
  const ReloadCase& c = GetParam();
  MemoryPort port;
  Outputs outputs(port);
  for (int n = 1; n <= 8; ++n) outputs.SetOutput(n, (c.byte_before >> (n - 1)) & 1);

  IOCommands current = MakeRules(c.current, 100);
  const std::vector<IOCommands::Pointer> old(current.begin(), current.end());
  const RuleReloadResult result = ReplaceRules(current, MakeRules(c.fresh, 0), outputs);

  EXPECT_EQ(result.kept, c.kept);
  EXPECT_EQ(result.returned, c.returned);
  EXPECT_EQ(result.port_error, "");
  EXPECT_EQ(port.Written(), c.written);
  EXPECT_EQ(outputs.DecimalOutput(), c.byte_after);
  ASSERT_EQ(current.Count(), static_cast<std::int32_t>(c.fresh.size()));
  for (std::int32_t i = 1; i <= current.Count(); ++i) {
    const IOCommand& rule = *current.Item(i);
    EXPECT_EQ(rule.IOName(), c.fresh[i - 1].name);
    EXPECT_EQ(rule.LastUsedMonotonic().has_value(), c.took_over[i - 1]) << rule.IOName();
  }
  for (const IOCommands::Pointer& gone : old) EXPECT_TRUE(gone->AutoReturnComplete());
}

INSTANTIATE_TEST_SUITE_P(
    Reloads, RuleReloadTest,
    ::testing::Values(ReloadCase{"SameRulesKeepTheirPendingReturn",
                                 {{"Disco On", "*Disco On*", OffBit(1)}, {"Buzz", "*!Buzz*"}},
                                 {{"Disco On", "*Disco On*"}, {"Buzz", "*!Buzz*"}},
                                 0b1,
                                 2,
                                 0,
                                 {},
                                 0b1,
                                 {true, true}},
                      ReloadCase{
                          "AGoneRulePutsBackItsOutputsInOneWrite",
                          {{"Disco On", "*Disco On*", OffBit(1) | OffBit(2)}, {"Buzz", "*!Buzz*"}},
                          {{"Buzz", "*!Buzz*"}},
                          0b111,
                          1,
                          1,
                          {0b100},
                          0b100,
                          {true}},
                      ReloadCase{"AChangedTriggerIsANewRule",
                                 {{"Disco On", "*Disco On*", OnBit(3)}},
                                 {{"Disco On", "*Disco An*"}},
                                 0,
                                 0,
                                 1,
                                 {0b100},
                                 0b100,
                                 {false}},
                      ReloadCase{"AGoneRuleWithNothingPendingWritesNothing",
                                 {{"Disco On", "*Disco On*"}, {"Toggle", "*T*", ToggleBit(4)}},
                                 {{"Toggle", "*T*"}, {"New", "*N*"}},
                                 0b1000,
                                 1,
                                 0,
                                 {},
                                 0b1000,
                                 {true, false}},
                      ReloadCase{"DuplicatesPairUpInOrder",
                                 {{"Twin", "*t*", OffBit(1)}, {"Twin", "*t*", OffBit(2)}},
                                 {{"Twin", "*t*"}},
                                 0b11,
                                 1,
                                 1,
                                 {0b1},
                                 0b1,
                                 {true}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RuleReload, TakenOverStateIsTheCurrentRulesOwn) {
  MemoryPort port;
  Outputs outputs(port);
  IOCommands current = MakeRules({{"Disco On", "*Disco On*", OffBit(1) | flag::kPulseQuickly}}, 42);
  ReplaceRules(current, MakeRules({{"Disco On", "*Disco On*"}}, 0), outputs);
  const IOCommand& rule = *current.Item(1);
  EXPECT_EQ(rule.AutoReturnOutputs(), OffBit(1) | flag::kPulseQuickly);
  EXPECT_FALSE(rule.AutoReturnComplete());
  EXPECT_EQ(rule.LastUsedMonotonic(),
            std::chrono::steady_clock::time_point{} + std::chrono::seconds(42));
}

}  // namespace
}  // namespace zelvo
