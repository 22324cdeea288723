// Owner commands through the dispatcher: each command's answer and switch,
// and who is taken as an owner (account tag or roster, never the nickname).
#include "dispatch/owner_commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dispatch/dispatch_fixture.h"
#include "irc/channel_roster.h"
#include "irc/isupport.h"

namespace zelvo {
namespace {

using ::testing::HasSubstr;

class OwnerTest : public testing::DispatchTest {
 protected:
  OwnerTest() {
    settings.IRCOwners = {"Alice", "dora"};
    roster.SetOwnNick("Zelvo");
    dispatcher.SetSenderDirectory(&senders);
    dispatcher.SetOwnerCommands(&owner_commands);
    dispatcher.SetLogWriter([this](std::int32_t id, std::int32_t, const std::string& text) {
      log.push_back(std::to_string(id) + " " + text);
    });
    outputs.SetChangedHook([this](std::uint8_t, std::uint8_t, const SwitchCause& cause) {
      causes.push_back(std::string(cause.rule) + "|" + std::string(cause.sender) + "|" +
                       std::string(cause.account));
    });
    for (int n = 1; n <= 8; ++n) outputs.SetOutputName(n, "O" + std::to_string(n));
    AddRule("Disco", "*Disco On*", 0, 0, testing::kDiscoOnFlags);
  }
  void Follow(const IrcMessage& message) override { roster.OnMessage(message); }

  ISupport server;
  ChannelRoster roster{"#lab", server};
  RosterSenders senders{roster, server, settings};
  int reloads = 0;
  OwnerCommands owner_commands{
      outputs,
      {[] { return std::vector<std::string>{"Joined #lab"}; }, [this] { ++reloads; },
       [this](const OwnerIdentity& who, std::string_view text) {
         return dispatcher.Explain(who, text);
       }}};
  std::vector<std::string> log, causes;
};

// Each line sent is a NOTICE to alice starting with its row's text.
struct CommandCase {
  std::string text;
  std::uint8_t before, after;
  std::vector<std::string> replies;
};

class OwnerCommandTest : public OwnerTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(OwnerCommandTest, AnswersAndSwitches) {
  const CommandCase& c = GetParam();
  for (int n = 1; n <= 8; ++n) outputs.SetOutput(n, (c.before >> (n - 1)) & 1);
  outputs.SetOutputs({});
  causes.clear();
  Feed("@account=alice :alice!~al@host PRIVMSG zelvo :" + c.text + "\r\n");
  std::vector<::testing::Matcher<std::string>> replies;
  for (const std::string& reply : c.replies)
    replies.push_back(::testing::StartsWith("NOTICE alice :" + reply));
  EXPECT_THAT(sender.sent, ::testing::ElementsAreArray(replies));
  EXPECT_EQ(port.Written().back(), c.after);
  EXPECT_EQ(causes, c.after == c.before ? std::vector<std::string>{}
                                        : std::vector<std::string>{c.text + "|alice!~al@host|alice"});
  EXPECT_EQ(reloads, c.text == "reload" ? 1 : 0);
  EXPECT_THAT(log.at(0), HasSubstr("110 Owner command \"" + c.text + "\" from alice!~al@host"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, OwnerCommandTest, ::testing::Values(
    CommandCase{"status", 0x05, 0x05, {"Joined #lab", "Outputs: 1 \"O1\" on, 2 \"O2\" off, 3 \"O3\" on, 4 \"O4\" off",
                                       "Outputs: 5 \"O5\" off, 6 \"O6\" off, 7 \"O7\" off, 8 \"O8\" off"}},
    CommandCase{"ON 2", 0x01, 0x03, {"Output 2 \"O2\" on."}},
    CommandCase{"off 1", 0x03, 0x02, {"Output 1 \"O1\" off."}},
    CommandCase{"toggle 8", 0x01, 0x81, {"Output 8 \"O8\" on."}},
    CommandCase{"alloff", 0xFF, 0x00, {"All outputs are off."}},
    CommandCase{"on 9", 0x01, 0x01, {"\"on\" needs one output number from 1 to 8"}},
    CommandCase{"dance", 0, 0, {"Unknown command \"dance\"; say \"help\""}},
    CommandCase{"help", 0, 0, {"Commands: status | on N", "reload"}},
    CommandCase{"reload", 0, 0, {"Reading config.xml again"}},
    CommandCase{"why Disco On", 0, 0, {"Rule 1 \"Disco\": fires: output 1 \"O1\" on, output 2 \"O2\" on"}},
    CommandCase{"Why not", 0, 0, {"Rule 1 \"Disco\": does not fire: trigger \"*Disco On*\" does not match", "No rule fires."}}));
// clang-format on

// Who is an owner: the account from the line's tag or the roster, compared
// by case mapping; a refusal is logged once per sender and hour.
struct WhoCase {
  std::string joined, line;    // a roster line before or ""; the private message, twice
  std::chrono::minutes later;  // between the two
  int answers, refusals;       // lines sent; entries 111
  bool no_owners = false;      // IRCOwners empty
};

class OwnerWhoTest : public OwnerTest, public ::testing::WithParamInterface<WhoCase> {};

TEST_P(OwnerWhoTest, OnlyAListedAccountIsAnswered) {
  const WhoCase& c = GetParam();
  if (c.no_owners) settings.IRCOwners.clear();
  if (!c.joined.empty()) Feed(c.joined);
  Feed(c.line);
  clock.Advance(c.later);
  Feed(c.line);
  EXPECT_EQ(sender.sent.size(), static_cast<std::size_t>(c.answers));
  EXPECT_EQ(std::ranges::count_if(log, [](const std::string& e) { return e.starts_with("111 "); }),
            c.refusals);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, OwnerWhoTest, ::testing::Values(
    WhoCase{"", "@account=ALICE :alice!~a@h PRIVMSG Zelvo :help\r\n", {}, 4, 0},
    WhoCase{":alice!~a@h JOIN #lab alice :A\r\n", ":alice!~a@h PRIVMSG Zelvo :help\r\n", {}, 4, 0},
    WhoCase{":alice!~a@h JOIN #lab * :A\r\n", ":alice!~a@h PRIVMSG Zelvo :help\r\n", std::chrono::minutes(59), 0, 1},
    WhoCase{"", ":alice!~a@h PRIVMSG Zelvo :help\r\n", std::chrono::minutes(60), 0, 2},
    WhoCase{"", "@account=carol :alice!~a@h PRIVMSG Zelvo :help\r\n", {}, 0, 1},
    WhoCase{"", "@account=alice :alice!~a@h PRIVMSG Zelvo :help\r\n", {}, 0, 0, true},
    WhoCase{"", "@account=alice :alice!~a@h PRIVMSG #lab :help\r\n", {}, 0, 0}));
// clang-format on

}  // namespace
}  // namespace zelvo
