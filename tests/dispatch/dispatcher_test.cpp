#include "dispatch/dispatcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "dispatch/dispatch_fixture.h"

namespace zelvo {
namespace {

using std::chrono::seconds;
using testing::DispatchTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::kRefusalLine;
using testing::kSaturdayNoon;
using testing::kWednesdayNoon;

// --- Matching: channel gate, trigger, sender -------------------------------

TEST_F(DispatchTest, DiscoOnSwitchesOutputsRepliesToChannelAndEchoes) {
  AddExampleRules();
  Feed(Said("Disco On"));

  EXPECT_TRUE(outputs.Output(1));
  EXPECT_TRUE(outputs.Output(2));
  EXPECT_THAT(port.Written(), ElementsAre(3));
  EXPECT_THAT(sender.sent, ElementsAre("PRIVMSG #lab :I toggled Disco-Kula On."));
  EXPECT_THAT(console.lines, ElementsAre(":Zelvo!~zelvo@10.0.0.5  I toggled Disco-Kula On.\r\n"));
  EXPECT_EQ(disco_on->AutoReturnOutputs(), 576);
  EXPECT_TRUE(disco_on->AutoReturnComplete());
  EXPECT_EQ(disco_on->LastUsed(), kWednesdayNoon);
  EXPECT_THAT(errors, IsEmpty());
}

struct GateCase {
  const char* name;
  std::string line;
  bool runs;
};

void PrintTo(const GateCase& c, std::ostream* os) {
  *os << c.name;
}

class ChannelGateTest : public DispatchTest, public ::testing::WithParamInterface<GateCase> {};

// Only a PRIVMSG to the channel fires rules: every other command with the
// channel as its first parameter and the trigger in its text never does.
TEST_P(ChannelGateTest, OnlyChannelMessagesCount) {
  AddRule("Disco-Kula On", "*Disco On*", 0, 0, testing::kDiscoOnFlags);
  Feed(GetParam().line);
  EXPECT_EQ(outputs.Output(1), GetParam().runs) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ChannelGateTest,
    ::testing::Values(
        GateCase{"Privmsg", ":alice!~al@host PRIVMSG #lab :Disco On\r\n", true},
        GateCase{"OperatorEcho", "Disco On", true},
        GateCase{"PrivmsgWithTags",
                 "@time=2024-05-15T12:00:00.000Z;account=alice :alice!~al@host PRIVMSG #lab "
                 ":Disco On\r\n",
                 true},
        GateCase{"LowerCaseCommand", ":alice!~al@host privmsg #lab :Disco On\r\n", true},
        GateCase{"CtcpAction",
                 ":alice!~al@host PRIVMSG #lab :\x01"
                 "ACTION does Disco On\x01\r\n",
                 true},
        GateCase{"CtcpVersion", ":alice!~al@host PRIVMSG #lab :\x01VERSION Disco On\x01\r\n",
                 false},
        GateCase{"CtcpPing", ":alice!~al@host PRIVMSG #lab :\x01PING Disco On\r\n", false},
        GateCase{"Notice", ":alice!~al@host NOTICE #lab :Disco On\r\n", false},
        GateCase{"NoticeWithTags", "@account=alice :alice!~al@host NOTICE #lab :Disco On\r\n",
                 false},
        GateCase{"Topic", ":alice!~al@host TOPIC #lab :Disco On\r\n", false},
        GateCase{"Part", ":alice!~al@host PART #lab :Disco On\r\n", false},
        GateCase{"Join", ":alice!~al@host JOIN #lab :Disco On\r\n", false},
        GateCase{"Kick", ":alice!~al@host KICK #lab :Disco On\r\n", false},
        GateCase{"Numeric", ":alice!~al@host 332 #lab :Disco On\r\n", false},
        GateCase{"TopicNumeric", ":irc.example.net 332 Zelvo #lab :Disco On\r\n", false},
        GateCase{"OtherChannel", ":alice!~al@host PRIVMSG #xlab :Disco On\r\n", false},
        GateCase{"LongerChannel", ":alice!~al@host PRIVMSG #lab2 :Disco On\r\n", false},
        GateCase{"Private", ":alice!~al@host PRIVMSG Zelvo :Disco On #lab :x\r\n", false},
        GateCase{"ChannelInText", ":alice!~al@host PRIVMSG #other :see #lab :Disco On\r\n", false},
        GateCase{"TextWithoutColon", ":alice!~al@host PRIVMSG #lab Disco On\r\n", false},
        GateCase{"NoCommand", ":alice!~al@host #lab :Disco On\r\n", false}),
    [](const ::testing::TestParamInfo<GateCase>& info) { return info.param.name; });

TEST_F(DispatchTest, EmptyChannelSettingPassesNothing) {
  settings.gsIRCChannel = "";
  AddExampleRules();
  Feed(":alice!~al@host PRIVMSG  :Disco On\r\n");
  Feed(Said("Disco On"));
  EXPECT_THAT(port.Written(), IsEmpty());
  EXPECT_THAT(sender.attempts, IsEmpty());
}

TEST_F(DispatchTest, TriggerIgnoresLetterCaseIncludingLatin1) {
  AddExampleRules();
  auto storm = AddRule("Storm", "*\xC3\x85SKA*", 0, 0, 8);  // "ÅSKA", reply only
  Feed(Said("DISCO ON"));
  Feed(Said("\xC3\xA5ska!"));  // "åska!"
  EXPECT_TRUE(outputs.Output(1));
  EXPECT_THAT(sender.sent, ElementsAre("PRIVMSG #lab :I toggled Disco-Kula On.",
                                       "PRIVMSG #lab :I toggled Storm."));
}

TEST_F(DispatchTest, TriggerWithoutTrailingStarMatchesOnlyTheEchoWithoutLineEnd) {
  AddRule("Disco-Kula On", "*Disco On", 0, 0, testing::kDiscoOnFlags);
  Feed(Said("Disco On"));
  EXPECT_FALSE(outputs.Output(1));
  Feed("Disco On");  // typed
  EXPECT_TRUE(outputs.Output(1));
}

struct SenderCase {
  std::string prefix;
  std::string nickname_pattern;
  std::string username_pattern;
  bool runs;
};

class SenderTest : public DispatchTest, public ::testing::WithParamInterface<SenderCase> {};

TEST_P(SenderTest, AllowedUsersAreTestedAgainstTheLinesPrefix) {
  const SenderCase& c = GetParam();
  AddRule("Disco-Kula On", "*Disco On*", 0, 0, testing::kDiscoOnFlags,
          {{c.nickname_pattern, c.username_pattern}});
  Feed(Said("Disco On", c.prefix));
  EXPECT_EQ(outputs.Output(1), c.runs) << c.prefix;
}

INSTANTIATE_TEST_SUITE_P(Prefixes, SenderTest,
                         ::testing::Values(SenderCase{"alice!~al@host", "alice", "~al", true},
                                           SenderCase{"alice!~al@host", "alice", "al", false},
                                           SenderCase{"alice!~al@host", "Alice", "~al", false},
                                           SenderCase{"alice!~al@host", "al*", "[~]a?", true},
                                           SenderCase{"!~al@host", "", "~al", true},
                                           SenderCase{"alice!@host", "alice", "", true},
                                           SenderCase{"alice!a!b@h@x", "alice", "a!b", true},
                                           SenderCase{"irc.example.net", "*", "*", false},
                                           SenderCase{"alice!~al", "*", "*", false},
                                           SenderCase{"alice@host!x", "*", "*", false}));

TEST_F(DispatchTest, LineWithoutPrefixMatchesNoUser) {
  AddExampleRules();
  Feed("PRIVMSG #lab :Disco On\r\n");
  Feed(":irc.example.net PRIVMSG #lab :hi!there@x Disco On\r\n");
  EXPECT_THAT(port.Written(), IsEmpty());
}

// Lines are taken one by one, in order, each with its own sender (the notice
// and alice's "Disco On" run nothing); a trigger never reaches across lines.
TEST_F(DispatchTest, LinesRunInOrderEachWithItsOwnSender) {
  AddRule("Disco-Kula On", "*Disco On*", 0, 0, testing::kDiscoOnFlags, {{"bob", "*"}});
  AddRule("Disco-Kula Off", "*Disco Off*", 0, 0, testing::kDiscoOffFlags);
  auto pair = AddRule("Pair", "*first*second*", 0, 0, 0);
  for (const std::string& line :
       {std::string(":irc.example.net NOTICE #lab :Disco On\r\n"), Said("first Disco On"),
        Said("Disco On second", "bob!~b@h"), Said("Disco Off")})
    Feed(line);
  EXPECT_THAT(port.Written(), ElementsAre(3, 0));
  EXPECT_THAT(sender.sent, ElementsAre("PRIVMSG #lab :I toggled Disco-Kula On.",
                                       "PRIVMSG #lab :I toggled Disco-Kula Off."));
  EXPECT_FALSE(pair->LastUsedMonotonic());
}

TEST_F(DispatchTest, RuleRunsOnceWhenSeveralAllowedUsersMatch) {
  AddRule("Flip", "*Flip*", 0, 20, 128 | flag::kResponseWithIOCommandName,
          {{"*", "*"}, {"alice", "~al"}});
  Feed(Said("Flip"));
  EXPECT_TRUE(outputs.Output(1));  // toggled once, not twice
  EXPECT_THAT(sender.sent, ElementsAre("PRIVMSG #lab :I toggled Flip."));
}

TEST_F(DispatchTest, RuleWithoutAllowedUsersNeverRuns) {
  AddRule("Nobody", "*", 0, 0, 32, {});
  Feed(Said("anything"));
  EXPECT_THAT(port.Written(), IsEmpty());
}

TEST_F(DispatchTest, RulesOnTheSameTriggerRunInConfigurationOrder) {
  AddExampleRules();
  Feed(Said("!saft please"));
  EXPECT_TRUE(outputs.Output(1));
  EXPECT_TRUE(outputs.Output(3));
  // Saftblandare writes output 1 first, then Buzzer adds output 3.
  EXPECT_THAT(port.Written(), ElementsAre(1, 5));
  EXPECT_EQ(chat_client.brought_forward, 1);
  EXPECT_EQ(saft->AutoReturnOutputs(), 64);
  EXPECT_EQ(buzzer->AutoReturnOutputs(), 4096 | 16);
  EXPECT_FALSE(saft->AutoReturnComplete());
  EXPECT_FALSE(buzzer->AutoReturnComplete());
  EXPECT_THAT(sender.attempts, IsEmpty());
}

// --- Execution: time gate ---------------------------------------------------

TEST_F(DispatchTest, ExecuteLimitRefusesWithReplyAndChangesNothing) {
  AddExampleRules();
  Feed(Said("!saft"));
  outputs.SetOutput(1, false);  // someone switched it off by hand
  const OleDate last_used = saft->LastUsed();

  clock.Advance(seconds(10));
  Feed(Said("!saft"));
  EXPECT_THAT(sender.sent, ElementsAre(kRefusalLine, kRefusalLine));  // both rules refuse
  EXPECT_EQ(console.lines.front(),
            ":Zelvo!~zelvo@10.0.0.5  Don't be hasty, the procedure will be available soon...\r\n");
  EXPECT_FALSE(outputs.Output(1));
  EXPECT_EQ(saft->LastUsed(), last_used);
  EXPECT_EQ(saft->AutoReturnOutputs(), 64);
  EXPECT_THAT(port.Written(), ElementsAre(1, 5));

  clock.Advance(seconds(10));
  Feed(Said("!saft"));
  EXPECT_TRUE(outputs.Output(1));
  EXPECT_EQ(sender.sent.size(), 2u);
}

TEST_F(DispatchTest, PendingAutoReturnRefusesEvenWithoutExecuteLimit) {
  auto rule = AddRule("Lamp", "*lamp*", 15, 0, 32);
  Feed(Said("lamp"));
  clock.Advance(seconds(14));
  Feed(Said("lamp"));
  EXPECT_THAT(sender.sent, ElementsAre(kRefusalLine));
  clock.Advance(seconds(1));
  Feed(Said("lamp"));
  EXPECT_EQ(sender.sent.size(), 1u);
  EXPECT_EQ(rule->LastUsed(), clock.LocalNow());
}

// A wall clock set forward does not shorten the limit, one set back does not
// lock the rule out.
TEST_F(DispatchTest, WallClockChangesDoNotMoveTheLimit) {
  AddExampleRules();
  Feed(Said("!saft"));
  clock.SetLocal(kWednesdayNoon + 1.0);
  Feed(Said("!saft"));
  EXPECT_THAT(sender.sent, ElementsAre(kRefusalLine, kRefusalLine));
  clock.Advance(seconds(25));
  clock.SetLocal(kWednesdayNoon - 1.0 / 24);  // one hour before the first run
  Feed(Said("!saft"));
  EXPECT_EQ(sender.sent.size(), 2u);                       // no refusal: both rules ran
  EXPECT_EQ(saft->LastUsed(), kWednesdayNoon - 1.0 / 24);  // still the local time of the run
}

// A rule that has never run passes the time gate whatever its LastUsed and
// the wall clock say; from its first run on it is measured on the monotonic clock.
struct NeverRanCase {
  const char* name;
  std::int32_t execute_limit;
  std::int32_t auto_return;
  OleDate wall_clock_at_trigger;
};

void PrintTo(const NeverRanCase& c, std::ostream* os) {
  *os << c.name;
}

class NeverRanTest : public DispatchTest, public ::testing::WithParamInterface<NeverRanCase> {};

TEST_P(NeverRanTest, PassesTheTimeGateThenIsMeasuredFromItsRun) {
  const NeverRanCase& c = GetParam();
  auto rule = AddRule("Fresh", "*fresh*", c.auto_return, c.execute_limit, 32 | 8);
  clock.Advance(seconds(3));
  clock.SetLocal(c.wall_clock_at_trigger);
  Feed(Said("fresh"));
  EXPECT_THAT(sender.sent, ElementsAre("PRIVMSG #lab :I toggled Fresh."));
  EXPECT_TRUE(outputs.Output(1));
  EXPECT_EQ(rule->LastUsed(), c.wall_clock_at_trigger);

  const std::int32_t wait = std::max(c.execute_limit, c.auto_return);
  clock.Advance(seconds(wait - 1));
  Feed(Said("fresh"));
  EXPECT_EQ(sender.sent.back(), kRefusalLine);
  clock.Advance(seconds(1));
  Feed(Said("fresh"));
  EXPECT_EQ(sender.sent.back(), "PRIVMSG #lab :I toggled Fresh.");
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, NeverRanTest,
    ::testing::Values(NeverRanCase{"LimitAboveAYear", 400 * 86400, 0, kWednesdayNoon},
                      NeverRanCase{"AutoReturnAboveAYear", 0, 400 * 86400, kWednesdayNoon},
                      // The wall clock corrected backwards by more than a year after start.
                      NeverRanCase{"WallClockSetBackOverAYear", 20, 15, kWednesdayNoon - 400}),
    [](const ::testing::TestParamInfo<NeverRanCase>& info) { return info.param.name; });

// --- Rule-run hooks ----------------------------------------------------------

// Every hook hears of each rule that ran, with the sender's nickname (or the
// whole sender) and the rule's run time; a refused or gated rule is not
// reported.
TEST_F(DispatchTest, RuleRunHooksHearOfRulesThatRanOnly) {
  AddRule("Lamp", "*lamp*", 0, 20, 32);
  AddRule("Weekend", "*lamp*", 0, 0, flag::kExecuteOnWeekendsOnly | 128);
  std::vector<std::string> first, second;
  dispatcher.AddRuleRunHook([&first](const IOCommand& rule, const std::string& nick) {
    first.push_back(rule.IOName() + " " + nick + " " + std::to_string(rule.LastUsed()));
  });
  dispatcher.AddRuleRunHook([&second](const IOCommand& rule, const IrcMessage& message,
                                      const std::optional<std::string>& account) {
    second.push_back(rule.IOName() + " " + message.user + "@" + message.host + " " +
                     account.value_or("(unknown)"));
  });
  Feed(Said("lamp", "bob!~b@h"));  // Wednesday: Weekend is gated
  clock.Advance(seconds(5));
  Feed(Said("lamp"));  // Lamp refused by its limit
  EXPECT_THAT(first, ElementsAre("Lamp bob " + std::to_string(kWednesdayNoon)));
  EXPECT_THAT(second, ElementsAre("Lamp ~b@h (unknown)"));
}

// --- Execution: day and focus gates ----------------------------------------

// A rule stopped by its day gate writes nothing and sends no reply.
TEST_F(DispatchTest, DayGates) {
  AddRule("Workday", "*go*", 0, 0, flag::kExecuteOnWeekdaysOnly | 32 | 8);
  auto weekend = AddRule("Weekend", "*go*", 0, 0, flag::kExecuteOnWeekendsOnly | 1024);
  Feed(Said("go"));  // Wednesday: Workday switches output 1 on
  clock.SetLocal(kSaturdayNoon);
  Feed(Said("go"));                                      // Weekend toggles output 2
  clock.SetLocal(ToOleDate({2024, 5, 19, 23, 59, 59}));  // Sunday
  Feed(Said("go"));
  EXPECT_THAT(port.Written(), ElementsAre(1, 3, 1));
  EXPECT_THAT(sender.attempts, ElementsAre("PRIVMSG #lab :I toggled Workday."));
  EXPECT_EQ(weekend->AutoReturnOutputs(), 1024);
}

TEST_F(DispatchTest, TimeGateRefusesBeforeTheDayGate) {
  AddRule("Workday", "*go*", 0, 20, flag::kExecuteOnWeekdaysOnly | 32);
  Feed(Said("go"));  // Wednesday: runs
  clock.Advance(seconds(5));
  clock.SetLocal(kSaturdayNoon);
  Feed(Said("go"));
  EXPECT_THAT(sender.sent, ElementsAre(kRefusalLine));
}

TEST_F(DispatchTest, FocusGates) {
  AddRule("WithFocus", "*go*", 0, 0, flag::kExecuteOnlyWhenVeskoHasFocus | 32);
  AddRule("WithoutFocus", "*go*", 0, 0, flag::kExecuteOnlyWhenVeskoHasNonFocus | 256);
  Feed(Said("go"));
  EXPECT_FALSE(outputs.Output(1));
  EXPECT_TRUE(outputs.Output(2));

  outputs.SetOutput(2, false);
  chat_client.active = true;
  Feed(Said("go"));
  EXPECT_TRUE(outputs.Output(1));
  EXPECT_FALSE(outputs.Output(2));
}

// --- Execution: actions and bookkeeping -------------------------------------

TEST_F(DispatchTest, OffOnToggleOrderAndUndoBits) {
  // Output 1: Off and On (ends on); output 4: Toggle; output 8: Off.
  auto rule = AddRule("Mix", "*mix*", 5, 0, 64 | 32 | 65536 | 134217728);
  outputs.SetOutput(8, true);
  Feed(Said("mix"));
  EXPECT_TRUE(outputs.Output(1));
  EXPECT_TRUE(outputs.Output(4));
  EXPECT_FALSE(outputs.Output(8));
  EXPECT_THAT(port.Written(), ElementsAre(1 | 8));
  EXPECT_EQ(rule->AutoReturnOutputs(), 32 | 64 | 65536 | 67108864);
  EXPECT_FALSE(rule->AutoReturnComplete());
}

TEST_F(DispatchTest, PulseRuleWithoutAutoReturnAccumulatesItsBits) {
  AddExampleRules();
  Feed(Said("!Buzz"));
  EXPECT_TRUE(outputs.Output(3));
  EXPECT_EQ(buzz->AutoReturnOutputs(), 8192 + 16);
  EXPECT_TRUE(buzz->AutoReturnComplete());
  buzz->SetAutoReturnOutputs(buzz->AutoReturnOutputs() | 32);
  Feed(Said("!Buzz"));
  EXPECT_FALSE(outputs.Output(3));
  EXPECT_EQ(buzz->AutoReturnOutputs(), 8192 + 16 + 32);
}

// --- Failures never stop a run ---------------------------------------------

// A byte the port refused is no run: no reply, no hook, no time stamp, no
// undo bookkeeping, and the register is back where the devices are.
TEST_F(DispatchTest, APortFailureIsReportedAndNothingIsAnnounced) {
  AddExampleRules();
  int hooked = 0;
  dispatcher.AddRuleRunHook([&](const IOCommand&, const std::string&) { ++hooked; });
  port.FailWith("Cannot write to the port");
  Feed(Said("Disco On"));
  EXPECT_THAT(errors, ElementsAre(RuleNotSwitchedText("Disco-Kula On", "Cannot write to the port")));
  EXPECT_THAT(sender.attempts, IsEmpty());
  EXPECT_EQ(outputs.DecimalOutput(), 0);
  EXPECT_EQ(disco_on->LastUsedMonotonic(), std::nullopt);
  EXPECT_EQ(disco_on->AutoReturnOutputs(), 0);
  EXPECT_EQ(hooked, 0);

  port.FailWith("");
  Feed(Said("Disco On"));
  EXPECT_THAT(port.Written(), ElementsAre(3));
  EXPECT_THAT(sender.sent, ElementsAre("PRIVMSG #lab :I toggled Disco-Kula On."));
  EXPECT_EQ(hooked, 1);
}

TEST_F(DispatchTest, FailedReplyIsReportedAndTheRunCompletes) {
  AddExampleRules();
  sender.failure = console_text::kNotConnected;
  Feed(Said("Disco On"));
  EXPECT_THAT(errors, ElementsAre(console_text::kNotConnected));
  EXPECT_THAT(sender.attempts, ElementsAre("PRIVMSG #lab :I toggled Disco-Kula On."));
  EXPECT_THAT(console.lines, IsEmpty());  // nothing was said
  EXPECT_THAT(port.Written(), ElementsAre(3));
  EXPECT_EQ(disco_on->LastUsed(), kWednesdayNoon);
}

TEST_F(DispatchTest, WithoutErrorReporterFailuresAreDroppedAndTheRunCompletes) {
  Dispatcher quiet(settings, commands, outputs, clock, sender, console, chat_client, nullptr);
  AddExampleRules();
  port.FailWith("Cannot write to the port");
  EXPECT_NO_THROW(quiet.MatchReceived(ParseIrcMessage(Said("Disco On"))));
  sender.failure = console_text::kNotConnected;
  port.FailWith("");
  EXPECT_NO_THROW(quiet.MatchReceived(ParseIrcMessage(Said("Disco On"))));
  EXPECT_THAT(port.Written(), ElementsAre(3));
  EXPECT_EQ(disco_on->LastUsedMonotonic(), clock.MonotonicNow());
}

TEST_F(DispatchTest, ChangedTriggerAndUserPatternsTakeEffect) {
  auto rule = AddRule("Lamp", "*lamp*", 0, 0, 128);
  Feed(Said("lamp"));
  rule->SetIRCTrigger("*light*");
  Feed(Said("lamp"));
  Feed(Said("light"));
  EXPECT_THAT(port.Written(), ElementsAre(1, 0));
  rule->Item(1)->SetNickname("bob");
  Feed(Said("light"));
  Feed(Said("light", "bob!~al@host"));
  rule->Item(1)->SetUsername("~bo");
  Feed(Said("light", "bob!~al@host"));
  EXPECT_THAT(port.Written(), ElementsAre(1, 0, 1));
}

// Far more rules than any pattern cache would hold: each still matches.
TEST_F(DispatchTest, EveryOneOfThousandsOfRulesMatchesItsOwnTrigger) {
  std::vector<std::shared_ptr<IOCommand>> rules;
  for (int i = 0; i < 2000; ++i)
    rules.push_back(AddRule("R" + std::to_string(i), "*!cmd" + std::to_string(i) + " *", 0, 0, 0,
                            {{"alice", "~al"}}));
  for (int i : {0, 1023, 1024, 1999}) {
    Feed(Said("!cmd" + std::to_string(i) + " now"));
    EXPECT_TRUE(rules[static_cast<std::size_t>(i)]->LastUsedMonotonic()) << i;
  }
  int ran = 0;
  for (const auto& rule : rules) ran += rule->LastUsedMonotonic() ? 1 : 0;
  EXPECT_EQ(ran, 4);
}

}  // namespace
}  // namespace zelvo
