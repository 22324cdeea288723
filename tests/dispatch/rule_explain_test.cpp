#include "dispatch/rule_explain.h"

#include <gtest/gtest.h>

#include "dispatch/dispatch_fixture.h"

namespace zelvo {
namespace {

using testing::kDiscoOnFlags;
using testing::kSaturdayNoon;
using testing::kWednesdayNoon;

// One rule (by default the example's "Disco-Kula On", every sender allowed)
// and one line; `rule_line` is the report's line for the rule.
struct Row {
  const char* name = "";
  std::string trigger = "*Disco On*";
  std::int32_t flags = kDiscoOnFlags;
  std::int32_t auto_return = 0;
  std::int32_t limit = 0;
  std::string nickname = "*";
  std::string needs_account{};
  ChannelStatus needs_status = ChannelStatus::kNone;
  std::string from = "alice!~al@host";
  std::string channel = "#lab";
  bool notice = false;
  std::string text = "Disco On";
  std::optional<std::string> account{};
  ChannelStatus status = ChannelStatus::kNone;
  OleDate today = kWednesdayNoon;
  std::string rule_line{};
  int firing = 0;
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

const std::string kFires =
    "Rule 1 \"R\": fires: output 1 \"Saftblandare\" on, output 2 \"Disco-Kula\" on; replies \"I "
    "toggled R.\"; may run again at once.";

class RuleExplainTest : public testing::DispatchTest, public ::testing::WithParamInterface<Row> {};

TEST_P(RuleExplainTest, TellsWhetherTheRuleFiresOrItsFirstGate) {
  const Row& row = GetParam();
  outputs.SetOutputName(1, "Saftblandare");
  outputs.SetOutputName(2, "Disco-Kula");
  clock.SetLocal(row.today);
  const auto rule =
      AddRule("R", row.trigger, row.auto_return, row.limit, row.flags, {{row.nickname, "~al"}});
  rule->Item(1)->SetAccount(row.needs_account);
  rule->Item(1)->SetStatus(row.needs_status);
  const StatedSender stated(settings, row.account, row.status);

  const Explanation explanation =
      ExplainLine(ChannelLine(row.from, row.channel, row.text, row.notice), commands, outputs,
                  {settings, stated, clock, nullptr});

  const std::string head = "Line: :" + row.from + (row.notice ? " NOTICE " : " PRIVMSG ") +
                           row.channel + " :" + row.text + "\\r\\n\n";
  EXPECT_EQ(explanation.text.substr(0, head.size()), head);
  std::string rule_line = explanation.text.substr(explanation.text.find("\nRule 1") + 1);
  EXPECT_EQ(rule_line.substr(0, rule_line.find('\n')), row.rule_line);
  EXPECT_EQ(explanation.firing, row.firing);
  EXPECT_FALSE(outputs.Output(1));
  EXPECT_TRUE(sender.sent.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RuleExplainTest,
    ::testing::Values(
        Row{.name = "DiscoOnFires", .rule_line = kFires, .firing = 1},
        Row{.name = "HoldsItsOutputs",
            .flags = 32,
            .auto_return = 15,
            .limit = 20,
            .rule_line = "Rule 1 \"R\": fires: output 1 \"Saftblandare\" on; puts the outputs "
                         "back after 15 s; may run again after 20 s.",
            .firing = 1},
        Row{.name = "FanOnMustEndTheLine",
            .trigger = "*PRIVMSG [#]lab :!fan on",
            .flags = 32,
            .text = "!fan on",
            .rule_line = "Rule 1 \"R\": does not fire: trigger \"*PRIVMSG [#]lab :!fan on\" does "
                         "not match: its last part \"PRIVMSG [#]lab :!fan on\" must match up to "
                         "the line's end, but after it the line goes on with \"\\r\\n\" (end the "
                         "trigger with \"*\" to allow that)."},
        Row{.name = "HashIsADigit",
            .trigger = "*PRIVMSG #lab :!fan on*",
            .flags = 32,
            .text = "!fan on",
            .rule_line = "Rule 1 \"R\": does not fire: trigger \"*PRIVMSG #lab :!fan on*\" does "
                         "not match: its part \"PRIVMSG #lab :!fan on\" is found nowhere in the "
                         "line; matching stopped where the trigger has \"#lab :!fan on\" and the "
                         "line has \"#lab :!fan on\\r\\n\" (\"#\" in a trigger is any one digit; "
                         "\"[#]\" is the character itself)."},
        Row{.name = "FirstPartStops",
            .trigger = ":bob!*",
            .rule_line =
                "Rule 1 \"R\": does not fire: trigger \":bob!*\" does not match: its first part "
                "\":bob!\" does not match the start of the line; matching stopped where the "
                "trigger "
                "has \"bob!\" and the line has \"alice!~al@host PRIVMSG #lab :Disco On\\r\\n\"."},
        Row{.name = "Notice",
            .notice = true,
            .rule_line = "Rule 1 \"R\": does not fire: the line is a NOTICE, only a PRIVMSG to "
                         "#lab counts."},
        Row{.name = "OtherChannel",
            .channel = "#Other",
            .rule_line = "Rule 1 \"R\": does not fire: the line goes to #Other, not to the "
                         "channel #lab."},
        Row{.name = "ChannelCaseIgnored", .channel = "#LAB", .rule_line = kFires, .firing = 1},
        Row{.name = "OwnNickname",
            .from = "zelvo!~z@host",
            .rule_line = "Rule 1 \"R\": does not fire: the line comes from the bot's own "
                         "nickname zelvo, and the bot ignores its own lines."},
        Row{.name = "UserPattern",
            .nickname = "bob*",
            .rule_line = "Rule 1 \"R\": does not fire: no allowed user matches the sender: user "
                         "1: nickname \"alice\" does not match \"bob*\"."},
        Row{.name = "UserPatternMatches", .nickname = "al*", .rule_line = kFires, .firing = 1},
        Row{.name = "AccountMissing",
            .needs_account = "alice",
            .rule_line = "Rule 1 \"R\": does not fire: not logged in to an account matching "
                         "\"alice\"."},
        Row{.name = "AccountGiven",
            .needs_account = "alice",
            .account = "Alice",
            .rule_line = kFires,
            .firing = 1},
        Row{.name = "StatusTooLow",
            .needs_status = ChannelStatus::kOp,
            .status = ChannelStatus::kVoice,
            .rule_line = "Rule 1 \"R\": does not fire: not op or higher in #lab."},
        Row{.name = "StatusHigher",
            .needs_status = ChannelStatus::kOp,
            .status = ChannelStatus::kOwner,
            .rule_line = kFires,
            .firing = 1},
        Row{.name = "WeekdayGateOnSaturday",
            .flags = kDiscoOnFlags | flag::kExecuteOnWeekdaysOnly,
            .today = kSaturdayNoon,
            .rule_line = "Rule 1 \"R\": does not fire: ExecuteOnWeekdaysOnly, and today is "
                         "Saturday 2024-05-18."},
        Row{.name = "WeekdayGateOnWednesday",
            .flags = kDiscoOnFlags | flag::kExecuteOnWeekdaysOnly,
            .rule_line = kFires,
            .firing = 1},
        Row{.name = "FocusNotLookedAt",
            .flags = 32 | flag::kExecuteOnlyWhenVeskoHasFocus,
            .rule_line = "Rule 1 \"R\": fires only while the chat client's window is active "
                         "(ExecuteOnlyWhenVeskoHasFocus); --explain does not look at the window, "
                         "so the rule is not counted as firing."}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zelvo
