// Who may fire a rule: the channel compared by the server's case mapping, the
// bot's own lines, and the Host, Account and Status conditions of an allowed
// user, with account and status tracked by a channel roster fed the received lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "dispatch/dispatch_fixture.h"
#include "dispatch/dispatcher.h"
#include "dispatch/sender_directory.h"
#include "irc/channel_roster.h"
#include "irc/isupport.h"

namespace zelvo {
namespace {

using testing::DispatchTest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

struct Conditions {
  std::string nickname = "*";
  std::string username = "*";
  std::string host;
  std::string account;
  ChannelStatus status = ChannelStatus::kNone;
};

class AccessTest : public testing::DispatchTest {
 protected:
  AccessTest() {
    roster.SetOwnNick("Zelvo");
    dispatcher.SetSenderDirectory(&senders);
    dispatcher.SetLogWriter([this](std::int32_t id, std::int32_t type, const std::string& text) {
      EXPECT_EQ(id, log_msg::kRuleNotRun.id);
      EXPECT_EQ(type, 4);  // information
      log.push_back(text);
    });
  }

  std::shared_ptr<IOCommand> AddDiscoRule(const std::vector<Conditions>& users) {
    auto rule = AddRule("Disco-Kula On", "*Disco On*", 0, 0, testing::kDiscoOnFlags, {});
    for (const Conditions& c : users) {
      auto user = std::make_shared<User>();
      user->SetNickname(c.nickname);
      user->SetUsername(c.username);
      user->SetHost(c.host);
      user->SetAccount(c.account);
      user->SetStatus(c.status);
      rule->Add(user);
    }
    return rule;
  }

  // The connection's view: 005 tokens and roster, followed before the rules.
  std::string_view NickInUse() const override { return senders.OwnNick(); }
  void Follow(const IrcMessage& message) override {
    server.Apply(message);
    roster.OnMessage(message);
  }

  // How often the rule ran: its answer is sent once per run.
  std::size_t Runs() const { return sender.sent.size(); }

  ISupport server;
  ChannelRoster roster{"#lab", server};
  RosterSenders senders{roster, server, settings};
  std::vector<std::string> log;
};

// --- The channel name, compared as the server compares it ------------------

struct MappingCase {
  const char* name;
  std::string casemapping;  // the 005 token's value; "" when none is announced
  std::string configured;
  std::string relayed;
  bool runs;
};

void PrintTo(const MappingCase& c, std::ostream* os) {
  *os << c.name;
}

class CaseMappingTest : public AccessTest, public ::testing::WithParamInterface<MappingCase> {};

TEST_P(CaseMappingTest, ChannelNameComparedByTheServersCaseMapping) {
  const MappingCase& c = GetParam();
  settings.gsIRCChannel = c.configured;
  AddDiscoRule({Conditions{}});
  if (!c.casemapping.empty())
    Feed(":irc.example.net 005 Zelvo CASEMAPPING=" + c.casemapping + " :are supported\r\n");
  Feed(":alice!~al@host PRIVMSG " + c.relayed + " :Disco On\r\n");
  EXPECT_EQ(Runs(), c.runs ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Mappings, CaseMappingTest,
    ::testing::Values(MappingCase{"DefaultCapitals", "", "#zelvo", "#Zelvo", true},
                      MappingCase{"DefaultBrackets", "", "#lab{x}|", "#LAB[X]\\", true},
                      MappingCase{"DefaultTilde", "", "#a^", "#A~", true},
                      MappingCase{"DefaultOtherName", "", "#zelvo", "#zelvo2", false},
                      MappingCase{"Rfc1459Tilde", "rfc1459", "#a^", "#a~", true},
                      MappingCase{"StrictBrackets", "strict-rfc1459", "#lab{x}", "#LAB[X]", true},
                      MappingCase{"StrictTilde", "strict-rfc1459", "#a^", "#a~", false},
                      MappingCase{"AsciiCapitals", "ascii", "#zelvo", "#ZELVO", true},
                      MappingCase{"AsciiBrackets", "ascii", "#lab{x}", "#lab[x]", false},
                      MappingCase{"AsciiLatin1", "ascii", "#caf\xC3\xA9", "#CAF\xC3\x89", false}),
    [](const ::testing::TestParamInfo<MappingCase>& info) { return info.param.name; });

// The dispatcher's own default, before any connection tells it anything.
TEST_F(DispatchTest, WithoutConnectionChannelAndOwnNickFollowRfc1459) {
  settings.gsIRCChannel = "#lab[1]";
  AddRule("Disco-Kula On", "*Disco On*", 0, 0, testing::kDiscoOnFlags);
  Feed(":alice!~al@host PRIVMSG #LAB{1} :Disco On\r\n");
  Feed(":ZELVO!~zelvo@host PRIVMSG #lab[1] :Disco On\r\n");
  EXPECT_EQ(sender.sent.size(), 1u);
  Feed("Disco On");  // typed
  EXPECT_EQ(sender.sent.size(), 2u);
}

// --- The bot's own lines ----------------------------------------------------

struct OwnCase {
  const char* name;
  std::vector<std::string> lines;
  std::size_t runs;
};

void PrintTo(const OwnCase& c, std::ostream* os) {
  *os << c.name;
}

class OwnLineTest : public AccessTest, public ::testing::WithParamInterface<OwnCase> {};

TEST_P(OwnLineTest, RelayedOwnLinesNeverFireTheOperatorsEchoDoes) {
  AddDiscoRule({Conditions{}});
  for (const std::string& line : GetParam().lines) Feed(line);
  EXPECT_EQ(Runs(), GetParam().runs);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, OwnLineTest,
    ::testing::Values(
        OwnCase{"Relayed", {":Zelvo!~zelvo@host PRIVMSG #lab :Disco On\r\n"}, 0},
        OwnCase{
            "RelayedWithTags", {"@account=zelvo :Zelvo!~zelvo@host PRIVMSG #lab :Disco On\r\n"}, 0},
        OwnCase{"RelayedOtherCapitals", {":zELVO!~zelvo@host PRIVMSG #lab :Disco On\r\n"}, 0},
        OwnCase{"OperatorEcho", {"Disco On"}, 1},
        OwnCase{"AfterOwnNickChange",
                {":Zelvo!~zelvo@host NICK :Zelvo_\r\n",
                 ":Zelvo_!~zelvo@host PRIVMSG #lab :Disco On\r\n",
                 // someone else has the configured nickname now
                 ":Zelvo!~other@host PRIVMSG #lab :Disco On\r\n"},
                1},
        OwnCase{"OwnNickByCaseMapping",
                {":irc.example.net 005 Zelvo CASEMAPPING=ascii :are supported\r\n",
                 ":Zelvo!~zelvo@host NICK :Zelvo[m]\r\n",
                 ":zelvo{m}!~x@host PRIVMSG #lab :Disco On\r\n",
                 ":ZELVO[M]!~zelvo@host PRIVMSG #lab :Disco On\r\n"},
                1}),
    [](const ::testing::TestParamInfo<OwnCase>& info) { return info.param.name; });

// The answer's echo comes from the nickname in use, not the configured one.
TEST_F(AccessTest, AnswerEchoNamesTheNickInUse) {
  AddDiscoRule({Conditions{}});
  Feed(":Zelvo!~zelvo@host NICK :Zelvo_\r\n");
  Feed(":alice!~al@host PRIVMSG #lab :Disco On\r\n");
  EXPECT_THAT(console.lines, ElementsAre(":Zelvo_!~zelvo@10.0.0.5  I toggled Disco-Kula On.\r\n"));
}

// --- Host, Account and Status -----------------------------------------------

struct ConditionCase {
  const char* name;
  std::vector<Conditions> users;
  std::vector<std::string> lines;  // after the bot has joined with NAMES
  bool account_tag = false;
  std::size_t runs = 0;
  std::vector<std::string> refusals = {};
};

void PrintTo(const ConditionCase& c, std::ostream* os) {
  *os << c.name;
}

class ConditionTest : public AccessTest, public ::testing::WithParamInterface<ConditionCase> {};

TEST_P(ConditionTest, AllowedUserMatchesOnlyWhenEveryConditionDoes) {
  const ConditionCase& c = GetParam();
  AddDiscoRule(c.users);
  roster.SetAccountTag(c.account_tag);
  Feed(":irc.example.net 005 Zelvo PREFIX=(qaohv)~&@%+ :are supported\r\n");
  Feed(":Zelvo!~zelvo@host JOIN #lab\r\n");
  Feed(":irc.example.net 353 Zelvo = #lab :Zelvo @alice +bob ~carol @+dave erin\r\n");
  for (const std::string& line : c.lines) Feed(line);

  EXPECT_EQ(Runs(), c.runs);
  EXPECT_THAT(log, ElementsAreArray(c.refusals));
  for (const std::string& refusal : c.refusals)
    EXPECT_EQ(console.CountContaining(refusal + "\r\n"), 1u) << refusal;
}

const std::string kAliceSays = ":alice!~al@gw.example.org PRIVMSG #lab :Disco On\r\n";
const std::string kBobSays = ":bob!~bob@host PRIVMSG #lab :Disco On\r\n";
const std::string kErinSays = ":erin!~erin@host PRIVMSG #lab :Disco On\r\n";

Conditions Host(std::string pattern) {
  Conditions c;
  c.host = std::move(pattern);
  return c;
}

Conditions Account(std::string pattern, std::string nickname = "*") {
  Conditions c;
  c.nickname = std::move(nickname);
  c.account = std::move(pattern);
  return c;
}

Conditions Status(ChannelStatus status) {
  Conditions c;
  c.status = status;
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Senders, ConditionTest,
    ::testing::Values(
        // Host, letter case ignored.
        ConditionCase{"HostMatches", {Host("*.EXAMPLE.org")}, {kAliceSays}, false, 1},
        ConditionCase{"HostDiffers",
                      {Host("*.example.org")},
                      {":alice!~al@evil.example.net PRIVMSG #lab :Disco On\r\n"},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for alice!~al@evil.example.net: host "
                       "\"evil.example.net\" does not match \"*.example.org\""}},
        // Account from the line's tag.
        ConditionCase{"AccountTag", {Account("ALICE")}, {"@account=alice " + kErinSays}, false, 1},
        ConditionCase{"AccountTagOther",
                      {Account("alice")},
                      {"@account=mallory " + kErinSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for erin!~erin@host: logged in as "
                       "\"mallory\", not to an account matching \"alice\""}},
        ConditionCase{"AccountTagMissingWithAccountTagOn",
                      {Account("alice")},
                      {":erin!~erin@host JOIN #lab alice :Erin\r\n", kErinSays},
                      true,
                      0,
                      {"Rule \"Disco-Kula On\" not run for erin!~erin@host: not logged in to an "
                       "account matching \"alice\""}},
        // Account tracked: extended-join, account-notify, WHOX.
        ConditionCase{"ExtendedJoin",
                      {Account("alice")},
                      {":erin!~erin@host JOIN #lab alice :Erin\r\n", kErinSays},
                      false,
                      1},
        ConditionCase{"ExtendedJoinLoggedOut",
                      {Account("alice")},
                      {":erin!~erin@host JOIN #lab * :Erin\r\n", kErinSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for erin!~erin@host: not logged in to an "
                       "account matching \"alice\""}},
        ConditionCase{"AccountNotifyLogin",
                      {Account("alice")},
                      {":erin!~erin@host JOIN #lab * :Erin\r\n",
                       ":erin!~erin@host ACCOUNT alice\r\n", kErinSays},
                      false,
                      1},
        ConditionCase{"AccountNotifyLogout",
                      {Account("alice")},
                      {":erin!~erin@host JOIN #lab alice :Erin\r\n",
                       ":erin!~erin@host ACCOUNT *\r\n", kErinSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for erin!~erin@host: not logged in to an "
                       "account matching \"alice\""}},
        ConditionCase{"Whox",
                      {Account("alice")},
                      {":irc.example.net 354 Zelvo 152 erin alice\r\n", kErinSays},
                      false,
                      1},
        ConditionCase{"AccountUnknown",
                      {Account("alice")},
                      {kErinSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for erin!~erin@host: account not known, "
                       "needs an account matching \"alice\""}},
        ConditionCase{"AnyAccount",
                      {Account("*")},
                      {":irc.example.net 354 Zelvo 152 erin someone\r\n", kErinSays},
                      false,
                      1},
        ConditionCase{"AnyAccountNotLoggedIn",
                      {Account("*")},
                      {":irc.example.net 354 Zelvo 152 erin 0\r\n", kErinSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for erin!~erin@host: not logged in to an "
                       "account matching \"*\""}},
        // What is known when the line arrives counts; nothing waits.
        ConditionCase{"AccountLearntAfterTheLine",
                      {Account("alice")},
                      {kErinSays, ":erin!~erin@host ACCOUNT alice\r\n"},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for erin!~erin@host: account not known, "
                       "needs an account matching \"alice\""}},
        // Status from NAMES (multi-prefix), MODE and NICK.
        ConditionCase{"OpFromNames", {Status(ChannelStatus::kOp)}, {kAliceSays}, false, 1},
        ConditionCase{"OwnerIsAboveOp",
                      {Status(ChannelStatus::kOp)},
                      {":carol!~c@host PRIVMSG #lab :Disco On\r\n"},
                      false,
                      1},
        ConditionCase{"VoiceIsBelowOp",
                      {Status(ChannelStatus::kOp)},
                      {kBobSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for bob!~bob@host: not op or higher in "
                       "#lab"}},
        ConditionCase{"MultiPrefixVoice",
                      {Status(ChannelStatus::kVoice)},
                      {":dave!~d@host PRIVMSG #lab :Disco On\r\n"},
                      false,
                      1},
        ConditionCase{"ModeGivesOp",
                      {Status(ChannelStatus::kOp)},
                      {":alice!~al@host MODE #lab +o-v bob bob\r\n", kBobSays},
                      false,
                      1},
        ConditionCase{"ModeTakesOp",
                      {Status(ChannelStatus::kHalfop)},
                      {":carol!~c@host MODE #lab -o alice\r\n", kAliceSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for alice!~al@gw.example.org: not halfop "
                       "or higher in #lab"}},
        ConditionCase{
            "OpKeptOverNickChange",
            {Status(ChannelStatus::kOp)},
            {":alice!~al@host NICK alicia\r\n", ":alicia!~al@host PRIVMSG #lab :Disco On\r\n"},
            false,
            1},
        ConditionCase{"StatusLostOnPart",
                      {Status(ChannelStatus::kVoice)},
                      {":bob!~bob@host PART #lab\r\n", ":bob!~bob@host JOIN #lab\r\n", kBobSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for bob!~bob@host: not voice or higher in "
                       "#lab"}},
        ConditionCase{"ModeAfterTheLine",
                      {Status(ChannelStatus::kOp)},
                      {kErinSays, ":alice!~al@host MODE #lab +o erin\r\n"},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for erin!~erin@host: not op or higher in "
                       "#lab"}},
        // Together: every condition must hold; the entry names each one missing.
        ConditionCase{"AllHold",
                      {{"alice", "~al", "*.example.org", "alice", ChannelStatus::kOp}},
                      {"@account=alice " + kAliceSays},
                      false,
                      1},
        ConditionCase{"AllButAccount",
                      {{"alice", "~al", "*.example.org", "alice", ChannelStatus::kOp}},
                      {"@account=bob " + kAliceSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for alice!~al@gw.example.org: logged in "
                       "as \"bob\", not to an account matching \"alice\""}},
        ConditionCase{"NoneHolds",
                      {{"*", "*", "*.example.org", "alice", ChannelStatus::kOwner}},
                      {kBobSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for bob!~bob@host: host \"host\" does not "
                       "match \"*.example.org\", account not known, needs an account matching "
                       "\"alice\", not owner or higher in #lab"}},
        ConditionCase{"SecondUserHolds",
                      {Account("alice"), Status(ChannelStatus::kOp)},
                      {kAliceSays},
                      false,
                      1},
        ConditionCase{"TwoUsersMissEach",
                      {Account("alice"), Status(ChannelStatus::kVoice)},
                      {kErinSays},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for erin!~erin@host: account not known, "
                       "needs an account matching \"alice\"; not voice or higher in #lab"}},
        // Nickname or user name not matched: not refused for a condition, so
        // no entry.
        ConditionCase{"NicknameDiffers", {Account("alice", "alice")}, {kErinSays}, false, 0},
        // The operator's echo is the bot's own: its account and status.
        ConditionCase{"EchoWithOwnAccountAndStatus",
                      {{"*", "*", "", "zelvobot", ChannelStatus::kOp}},
                      {":Zelvo!~zelvo@host JOIN #lab zelvobot :Zelvo\r\n",
                       ":alice!~al@host MODE #lab +o Zelvo\r\n", "Disco On"},
                      false,
                      1},
        ConditionCase{"EchoFromTheNickInUse",
                      {{"Zelvo_", "~zelvo", "", "", ChannelStatus::kNone}},
                      {":Zelvo!~zelvo@host NICK :Zelvo_\r\n", "Disco On"},
                      false,
                      1},
        ConditionCase{"EchoWithoutStatus",
                      {Status(ChannelStatus::kVoice)},
                      {"Disco On"},
                      false,
                      0,
                      {"Rule \"Disco-Kula On\" not run for Zelvo!~zelvo@10.0.0.5: not voice or "
                       "higher in #lab"}}),
    [](const ::testing::TestParamInfo<ConditionCase>& info) { return info.param.name; });

// A server without halfops: a halfop condition asks for the next status it has.
TEST_F(AccessTest, StatusTheServerLacksNeedsTheNextHigherOne) {
  AddDiscoRule({Status(ChannelStatus::kHalfop)});
  Feed(":irc.example.net 005 Zelvo PREFIX=(ov)@+ :are supported\r\n");
  Feed(":Zelvo!~zelvo@host JOIN #lab\r\n");
  Feed(":irc.example.net 353 Zelvo = #lab :Zelvo @alice +bob\r\n");
  Feed(kBobSays);
  Feed(kAliceSays);
  EXPECT_EQ(Runs(), 1u);
  EXPECT_THAT(log, ElementsAre("Rule \"Disco-Kula On\" not run for bob!~bob@host: not halfop or "
                               "higher in #lab"));
}

// One entry per rule and line, also when the line would run it twice.
TEST_F(AccessTest, OneEntryPerRuleAndLine) {
  AddDiscoRule({Account("alice"), Account("alice")});
  AddRule("Second", "*Disco*", 0, 0, 0, {})->Add([] {
    auto user = std::make_shared<User>();
    user->SetNickname("*");
    user->SetUsername("*");
    user->SetHost("nowhere");
    return user;
  }());
  for (int line = 0; line < 2; ++line) Feed(kErinSays);
  EXPECT_EQ(log.size(), 4u);
  EXPECT_EQ(console.CountContaining("Rule \"Second\" not run for erin!~erin@host: host"), 2u);
  EXPECT_THAT(sender.attempts, IsEmpty());
}

}  // namespace
}  // namespace zelvo
