// Who may switch the devices, against InspIRCd with Anope on loopback: rules
// for a services account, a channel status and a host an operator changes,
// lines that are not channel messages, a channel whose name the server
// spells with other capitals than the configuration, and owner commands in
// private messages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "irc/e2e_harness.h"
#include "irc/servers.h"

namespace zelvo::e2e {
namespace {

using std::chrono::seconds;
using ::testing::HasSubstr;

constexpr std::int32_t kDiscoOn = OnBit(1) | OnBit(2) | flag::kResponseWithIOCommandName;
constexpr std::uint8_t kOutputs1And2 = 0x03;
constexpr std::uint8_t kOutputs1And2And4 = 0x0B;
constexpr const char* kPassword = "secret99";

std::shared_ptr<User> AllowedUser(const std::string& account = "",
                                  ChannelStatus status = ChannelStatus::kNone) {
  auto user = std::make_shared<User>();
  user->SetNickname("*");
  user->SetUsername("*");
  user->SetAccount(account);
  user->SetStatus(status);
  return user;
}

// The texts of the bot's entries on rules not run, from `from` on.
std::vector<std::string> RefusalsOf(const Bot& bot, std::size_t from = 0) {
  std::vector<std::string> texts;
  for (std::size_t i = from; i < bot.log.size(); ++i) {
    if (bot.log[i].id == log_msg::kRuleNotRun.id) texts.push_back(bot.log[i].text);
  }
  return texts;
}

class AccessEndToEndTest : public ::testing::Test {
 protected:
  // One network for all cases (each case has a channel of its own), with
  // the accounts alice and carol registered.
  static void SetUpTestSuite() {
    EnsureQtApplication();
    network_ = new servers::ServicesNetwork;
    if (!network_->Start({.identity = true})) {
      error_ = network_->Error();
      return;
    }
    for (const char* account : {"alice", "carol"}) {
      error_ += network_->RegisterAccount(account, kPassword);
    }
  }
  static void TearDownTestSuite() {
    delete network_;
    network_ = nullptr;
  }

  void SetUp() override {
    if (error_.find("not installed") != std::string::npos) GTEST_SKIP() << error_;
    ASSERT_EQ(error_, "") << network_->Logs();
  }
  void TearDown() override { bot_.reset(); }

  int Port() const { return network_->Port(); }

  // The bot in `channel` with no rules but the one that `add_rules` adds;
  // returns once it has joined.
  Bot& StartBot(const std::string& channel, const std::function<void(Bot&)>& add_rules) {
    bot_ = std::make_unique<Bot>(Port());
    bot_->Configure().gsIRCChannel = channel;
    bot_->RemoveAllRules();
    add_rules(*bot_);
    bot_->Connect();
    const bool joined =
        SpinUntil([&] { return bot_->CountLog(log_msg::kJoined.id) > 0; }, seconds(15));
    EXPECT_TRUE(joined) << bot_->LogText() << network_->Logs();
    return *bot_;
  }

  // Waits until the bot has seen `nick` quit.
  bool WaitForQuit(const std::string& nick) {
    return SpinUntil(
        [&] {
          for (const std::string& text : bot_->console.lines) {
            if (text.find(":" + nick + "!") != std::string::npos &&
                text.find(" QUIT ") != std::string::npos)
              return true;
          }
          return false;
        },
        seconds(10));
  }

  inline static servers::ServicesNetwork* network_ = nullptr;
  inline static std::string error_;
  std::unique_ptr<Bot> bot_;
};

TEST_F(AccessEndToEndTest, AnAccountRuleFiresOnlyForASenderLoggedInToThatAccount) {
  Bot& bot = StartBot("#acct", [](Bot& b) {
    b.AddRule("Account Disco", "*Disco On*", kDiscoOn, AllowedUser("alice"));
  });
  ASSERT_FALSE(HasFailure());
  struct Case {
    std::string login;    // the account the sender identifies to, "" for none
    std::string missing;  // what the refusal names; "" when the rule fires
  };
  // The same nickname and user name each time; only the login differs.
  const Case cases[] = {
      {"alice", ""},
      {"", "not logged in to an account matching \"alice\""},
      {"carol", "logged in as \"carol\", not to an account matching \"alice\""},
      {"alice", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("login " + c.login);
    RawIrcClient sender;
    ASSERT_TRUE(sender.Connect(Port(), "alice"));
    if (!c.login.empty()) {
      sender.Say("NickServ", "IDENTIFY " + c.login + " " + kPassword);
      ASSERT_TRUE(SpinUntil(
          [&] {
            return sender.CountContaining(" 900 ") > 0 ||
                   sender.CountContaining("Password accepted") > 0;
          },
          seconds(10)));
    }
    ASSERT_TRUE(sender.Join("#acct"));
    const std::size_t writes = bot.PortWrites().size();
    const std::size_t entries = bot.log.size();
    sender.Say("#acct", "Disco On");
    if (c.missing.empty()) {
      ASSERT_TRUE(sender.WaitForLineContaining("I toggled Account Disco.", seconds(10)))
          << bot.LogText();
      EXPECT_EQ(bot.PortWrites().size(), writes + 1);
      EXPECT_EQ(bot.PortByte(), kOutputs1And2);
      EXPECT_THAT(RefusalsOf(bot, entries), ::testing::IsEmpty());
    } else {
      ASSERT_TRUE(SpinUntil([&] { return !RefusalsOf(bot, entries).empty(); }, seconds(10)))
          << bot.LogText();
      const std::vector<std::string> refusals = RefusalsOf(bot, entries);
      ASSERT_EQ(refusals.size(), 1u);
      EXPECT_THAT(refusals[0], HasSubstr("Rule \"Account Disco\" not run for alice!alice@"));
      EXPECT_THAT(refusals[0], HasSubstr(c.missing));
      EXPECT_EQ(bot.log.back().type, log_type::kInformation);
      EXPECT_EQ(bot.PortWrites().size(), writes);
      EXPECT_EQ(sender.CountContaining("I toggled"), 0u);
    }
    // The nickname is free again before the next sender takes it.
    bot.console.lines.clear();
    sender.Send("QUIT :next\r\n");
    ASSERT_TRUE(WaitForQuit("alice"));
  }
}

TEST_F(AccessEndToEndTest, AHostRuleFollowsTheHostAnOperatorGivesTheSender) {
  auto trusted = AllowedUser();
  trusted->SetHost("trusted.zelvo.test");
  Bot& bot =
      StartBot("#host", [&](Bot& b) { b.AddRule("Host Disco", "*Disco On*", kDiscoOn, trusted); });
  ASSERT_FALSE(HasFailure());
  RawIrcClient oper, frank;
  ASSERT_TRUE(oper.Connect(Port(), "oscar"));
  oper.Send("OPER op oppass\r\n");
  ASSERT_TRUE(oper.WaitForLineContaining(" 381 ", seconds(5)));
  ASSERT_TRUE(frank.Connect(Port(), "frank"));
  ASSERT_TRUE(frank.Join("#host"));
  for (const std::string host : {"trusted.zelvo.test", "elsewhere.zelvo.test"}) {
    SCOPED_TRACE(host);
    const bool trusted = host == "trusted.zelvo.test";  // the first, so the one write
    const std::size_t chghosts = bot.console.CountContaining(" CHGHOST frank ");
    oper.Send("CHGHOST frank " + host + "\r\n");
    // The bot hears of it (chghost, not as a QUIT and a JOIN) before the next line.
    ASSERT_TRUE(SpinUntil([&] { return bot.console.CountContaining(" CHGHOST frank ") > chghosts; },
                          seconds(5)));
    const std::size_t entries = bot.log.size();
    frank.Say("#host", "Disco On");
    ASSERT_TRUE(trusted ? frank.WaitForLineContaining("I toggled Host Disco.", seconds(10))
                        : SpinUntil([&] { return !RefusalsOf(bot, entries).empty(); }, seconds(10)))
        << bot.LogText();
    EXPECT_EQ(RefusalsOf(bot, entries).size(), trusted ? 0u : 1u);
    EXPECT_EQ(bot.PortWrites().size(), 1u);
  }
}

TEST_F(AccessEndToEndTest, AStatusRuleFiresForAnOperatorAndForAMemberOnlyOnceOpped) {
  RawIrcClient op, member;
  ASSERT_TRUE(op.Connect(Port(), "opal"));
  ASSERT_TRUE(op.Join("#ops"));  // first in, so an operator
  ASSERT_TRUE(member.Connect(Port(), "bob"));
  ASSERT_TRUE(member.Join("#ops"));
  Bot& bot = StartBot("#ops", [](Bot& b) {
    b.AddRule("Op Disco", "*Disco On*", kDiscoOn, AllowedUser("", ChannelStatus::kOp));
  });
  ASSERT_FALSE(HasFailure());

  std::size_t entries = bot.log.size();
  member.Say("#ops", "Disco On");
  ASSERT_TRUE(SpinUntil([&] { return !RefusalsOf(bot, entries).empty(); }, seconds(10)))
      << bot.LogText();
  EXPECT_THAT(RefusalsOf(bot, entries), ::testing::ElementsAre(HasSubstr("not run for bob!bob@")));
  EXPECT_THAT(RefusalsOf(bot, entries)[0], HasSubstr("not op or higher in #ops"));
  EXPECT_TRUE(bot.PortWrites().empty());

  op.Say("#ops", "Disco On");
  ASSERT_TRUE(member.WaitForLineContaining("I toggled Op Disco.", seconds(10))) << bot.LogText();
  EXPECT_EQ(bot.PortWrites().size(), 1u);

  const std::size_t replies = member.CountContaining("I toggled Op Disco.");
  entries = bot.log.size();
  op.Send("MODE #ops +o bob\r\n");
  ASSERT_TRUE(SpinUntil(
      [&] {
        return member.CountContaining(" MODE #ops +o :bob") +
                   member.CountContaining(" MODE #ops +o bob") >
               0;
      },
      seconds(5)));
  member.Say("#ops", "Disco On");
  ASSERT_TRUE(SpinUntil([&] { return member.CountContaining("I toggled Op Disco.") > replies; },
                        seconds(10)))
      << bot.LogText();
  EXPECT_EQ(bot.PortWrites().size(), 2u);
  EXPECT_THAT(RefusalsOf(bot, entries), ::testing::IsEmpty());
}

TEST_F(AccessEndToEndTest, ANoticeAndATopicHoldingTheTriggerFireNothing) {
  RawIrcClient dave;
  ASSERT_TRUE(dave.Connect(Port(), "dave"));
  ASSERT_TRUE(dave.Join("#quiet"));
  dave.Send("TOPIC #quiet :Disco On at dusk\r\n");
  ASSERT_TRUE(dave.WaitForLineContaining(" TOPIC #quiet :Disco On at dusk", seconds(5)));
  // The topic reaches the bot as it joins (332) ...
  Bot& bot =
      StartBot("#quiet", [](Bot& b) { b.AddRule("Disco", "*Disco On*", kDiscoOn, AllowedUser()); });
  ASSERT_FALSE(HasFailure());
  // ... and as a change, with a notice, while it is in the channel.
  dave.Send("NOTICE #quiet :Disco On\r\n");
  dave.Send("TOPIC #quiet :Disco On again\r\n");
  dave.Say("#quiet", "Disco On");  // the one line that fires
  ASSERT_TRUE(dave.WaitForLineContaining("I toggled Disco.", seconds(10))) << bot.LogText();

  EXPECT_EQ(bot.console.CountContaining(" 332 relay #quiet :Disco On at dusk"), 1u);
  EXPECT_EQ(bot.console.CountContaining(" NOTICE #quiet :Disco On\r\n"), 1u);
  EXPECT_EQ(bot.console.CountContaining(" TOPIC #quiet :Disco On again\r\n"), 1u);
  EXPECT_EQ(bot.PortWrites().size(), 1u);
  EXPECT_EQ(bot.PortByte(), kOutputs1And2);
  EXPECT_EQ(dave.CountContaining("I toggled Disco."), 1u);
  EXPECT_THAT(RefusalsOf(bot), ::testing::IsEmpty());
}

TEST_F(AccessEndToEndTest, RulesFireInAChannelCreatedWithOtherCapitals) {
  RawIrcClient erin;
  ASSERT_TRUE(erin.Connect(Port(), "erin"));
  ASSERT_TRUE(erin.Join("#Zelvo"));  // created as #Zelvo, so erin is its operator
  Bot& bot = StartBot("#zelvo", [](Bot& b) {
    b.AddRule("Disco", "*Disco On*", kDiscoOn, AllowedUser());
    b.AddRule("Op Blink", "*Blink Four*", OnBit(4) | flag::kResponseWithIOCommandName,
              AllowedUser("", ChannelStatus::kOp));
  });
  ASSERT_FALSE(HasFailure());
  ASSERT_TRUE(erin.WaitForJoin(":relay!", "#Zelvo", seconds(5)));
  EXPECT_THAT(bot.captions.back(), HasSubstr("(Joined #zelvo)"));

  erin.Say("#Zelvo", "Disco On");
  ASSERT_TRUE(erin.WaitForLineContaining("I toggled Disco.", seconds(10))) << bot.LogText();
  erin.Say("#Zelvo", "Blink Four");
  ASSERT_TRUE(erin.WaitForLineContaining("I toggled Op Blink.", seconds(10))) << bot.LogText();
  EXPECT_EQ(bot.PortByte(), kOutputs1And2And4);
  EXPECT_THAT(RefusalsOf(bot), ::testing::IsEmpty());
}

TEST_F(AccessEndToEndTest, AnOwnerCommandSwitchesOnlyForTheLoggedInOwner) {
  Bot& bot = StartBot("#owners", [](Bot& b) { b.EnableOwnerCommands({"alice"}); });
  ASSERT_FALSE(HasFailure());
  RawIrcClient owner;
  ASSERT_TRUE(owner.Connect(Port(), "alice"));
  owner.Say("NickServ", "IDENTIFY alice " + std::string(kPassword));
  ASSERT_TRUE(owner.WaitForLineContaining(" 900 ", seconds(10)));
  owner.Say("relay", "on 1");
  ASSERT_TRUE(owner.WaitForLineContaining("NOTICE alice :Output 1 ", seconds(10))) << bot.LogText();
  EXPECT_EQ(bot.PortByte(), 0x01);
  EXPECT_THAT(bot.LogText(), HasSubstr("110 Owner command \"on 1\" from alice!"));
  EXPECT_THAT(bot.LogText(), HasSubstr(" (account alice)."));
  owner.Send("QUIT :next\r\n");
  ASSERT_TRUE(owner.WaitForLineContaining("ERROR", seconds(10)));

  // The same nickname, not logged in.
  RawIrcClient impostor;
  ASSERT_TRUE(impostor.Connect(Port(), "alice"));
  impostor.Say("relay", "on 2");
  ASSERT_TRUE(SpinUntil([&] { return bot.CountLog(log_msg::kOwnerRefused.id) > 0; }, seconds(10)))
      << bot.LogText();
  EXPECT_EQ(bot.PortWrites().size(), 1u);
  EXPECT_EQ(impostor.CountContaining(":relay!"), 0u);
}

}  // namespace
}  // namespace zelvo::e2e
