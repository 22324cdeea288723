// The bot against real IRC servers on loopback (a private ngircd and a
// private InspIRCd) with a second user in the channel.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "irc/e2e_harness.h"
#include "irc/servers.h"

namespace zelvo::e2e {
namespace {

using std::chrono::seconds;

constexpr std::uint8_t kOutputs1And2 = 0x03;
constexpr std::uint8_t kOutput4 = 0x08;

class IrcEndToEndTest : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() { EnsureQtApplication(); }

  void SetUp() override {
    if (!servers::Installed(GetParam())) GTEST_SKIP() << GetParam() << " is not installed";
  }

  // The server of the case; a ping timeout of 0 keeps the server's default.
  bool StartServer(int ping_timeout) {
    if (GetParam() == "ngircd") {
      auto ngircd = std::make_unique<servers::NgircdServer>();
      const bool up = ngircd->Start({.ping_timeout = ping_timeout});
      server_ = std::move(ngircd);
      return up;
    }
    servers::InspircdServer::Options options{.tls = false};
    if (ping_timeout > 0) options.ping_frequency = ping_timeout;
    auto inspircd = std::make_unique<servers::InspircdServer>();
    const bool up = inspircd->Start(options);
    server_ = std::move(inspircd);
    return up;
  }

  std::string ServerLog() const { return server_->Error() + server_->Log(); }

  // Starts the server, the second user "alice" in #lab, and the bot; returns
  // once alice has seen the bot join, and takes the bot's prefix from that.
  void StartAll(int ping_timeout = 0, SendQueue::Limits limits = {}) {
    ASSERT_TRUE(StartServer(ping_timeout)) << ServerLog();
    ASSERT_TRUE(alice_.Connect(server_->Port(), "alice")) << ServerLog();
    ASSERT_TRUE(alice_.Join("#lab"));
    bot_ = std::make_unique<Bot>(server_->Port(), limits);
    bot_->Connect();
    ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(10))) << ServerLog() << bot_->LogText();
    const std::string& join = alice_.Lines()[alice_.FindJoin(":relay!", "#lab")];
    prefix_ = join.substr(0, join.find(' '));
  }

  bool WaitForReply(const std::string& text, std::size_t from = 0) {
    return alice_.WaitForLineContaining(prefix_ + " PRIVMSG #lab :" + text, seconds(10), from);
  }

  void TearDown() override {
    bot_.reset();
    if (server_) server_->Stop();
  }

  std::unique_ptr<servers::TestServer> server_;
  RawIrcClient alice_;
  std::unique_ptr<Bot> bot_;
  std::string prefix_;  // the bot's ":nick!user@host" as the server relays it
};

TEST_P(IrcEndToEndTest, RegistersJoinsAndSwitchesOnAChannelTrigger) {
  ASSERT_NO_FATAL_FAILURE(StartAll());
  ASSERT_FALSE(bot_->log.empty());
  EXPECT_EQ(bot_->log.front().text, SocketStateChangedText("Closed"));
  EXPECT_EQ(bot_->CountLog(log_msg::kSocketStateChanged.id, SocketStateChangedText("Connected")),
            1u);
  EXPECT_EQ(bot_->captions.back(), "Zelvo -  (Joined #lab)");

  alice_.Say("#lab", "Disco On");
  ASSERT_TRUE(WaitForReply("I toggled Disco-Kula On.\r\n"));
  EXPECT_EQ(bot_->PortByte(), kOutputs1And2);
  EXPECT_EQ(bot_->console.CountContaining(" PRIVMSG #lab :Disco On\r\n"), 1u);

  alice_.Say("#lab", "Disco Off");
  ASSERT_TRUE(WaitForReply("I toggled Disco-Kula Off.\r\n"));
  EXPECT_EQ(bot_->PortByte(), 0);
  EXPECT_THAT(bot_->errors, ::testing::IsEmpty());
}

TEST_P(IrcEndToEndTest, PrivateMessagesAndOtherChannelsSwitchNothing) {
  ASSERT_NO_FATAL_FAILURE(StartAll());
  // The bot sits in a second channel too, so it does receive what is said there.
  // Alice joins first so that she sees the bot's JOIN rather than a NAMES entry.
  ASSERT_TRUE(alice_.Join("#other"));
  ASSERT_EQ(bot_->Client().Sender().SendLine("JOIN #other"), "");
  ASSERT_TRUE(alice_.WaitForJoin(prefix_, "#other", seconds(10)));

  alice_.Say("relay", "Disco On");
  alice_.Say("#other", "Disco On");
  alice_.Say("#lab", "Disco Off");  // a marker: by its answer the bot has seen the two above
  ASSERT_TRUE(WaitForReply("I toggled Disco-Kula Off.\r\n"));
  EXPECT_EQ(bot_->console.CountContaining("PRIVMSG relay :Disco On"), 1u);
  EXPECT_EQ(bot_->console.CountContaining("PRIVMSG #other :Disco On"), 1u);
  EXPECT_THAT(bot_->PortWrites(), ::testing::ElementsAre(0));
  EXPECT_EQ(alice_.CountContaining("I toggled Disco-Kula On."), 0u);
}

TEST_P(IrcEndToEndTest, AutoReturnPutsTheOutputBack) {
  ASSERT_NO_FATAL_FAILURE(StartAll());
  alice_.Say("#lab", "Blink Four");
  ASSERT_TRUE(WaitForReply("I toggled Blink.\r\n"));
  ASSERT_FALSE(bot_->PortWrites().empty());
  EXPECT_EQ(bot_->PortWrites().front(), kOutput4);
  // AutoReturn 2 on a 1 s tick: back to 0 after two to three seconds.
  ASSERT_TRUE(SpinUntil([&] { return bot_->PortByte() == 0; }, seconds(10)));
  EXPECT_THAT(bot_->PortWrites(), ::testing::ElementsAre(kOutput4, 0));
}

TEST_P(IrcEndToEndTest, AnsweredServerPingsKeepTheBotConnected) {
  ASSERT_NO_FATAL_FAILURE(StartAll(/*ping_timeout=*/5));
  // Quiet for a while: the server pings after 5 s and gives up 5 s later
  // without an answer, so a second PING means the first was answered.
  ASSERT_TRUE(SpinUntil([&] { return bot_->console.CountContaining("PING :") >= 2; }, seconds(20)))
      << ServerLog();
  EXPECT_EQ(bot_->Session().SocketStateText(), "Connected");
  EXPECT_EQ(bot_->CountLog(log_msg::kSocketStateChanged.id, SocketStateChangedText("Closed")),
            1u);  // at start only
  alice_.Say("#lab", "Disco On");
  EXPECT_TRUE(WaitForReply("I toggled Disco-Kula On.\r\n"));
}

TEST_P(IrcEndToEndTest, AStoppedServerIsReportedInCaptionAndLog) {
  ASSERT_NO_FATAL_FAILURE(StartAll());
  server_->Stop();
  ASSERT_TRUE(SpinUntil([&] { return bot_->CountLog(log_msg::kReconnectIn.id) > 0; }, seconds(10)));
  EXPECT_THAT(bot_->captions.back(), ::testing::StartsWith("Zelvo -  (Reconnecting in "));
  EXPECT_EQ(bot_->CountLog(log_msg::kSocketStateChanged.id, SocketStateChangedText("Closed")), 2u);
  EXPECT_FALSE(bot_->Client().Connection().SendOperatorLine("Disco On"));
}

TEST_P(IrcEndToEndTest, ABurstOfFiftyTriggersDoesNotGetTheBotDisconnected) {
  // Replies may wait 8 s here (30 s in production) to keep the test short.
  SendQueue::Limits limits;
  limits.max_wait = seconds(8);
  ASSERT_NO_FATAL_FAILURE(StartAll(0, limits));
  // Five users say it ten times each at once (the server reads each user's
  // lines at its own pace, so one user alone would take long to send 50).
  std::vector<std::unique_ptr<RawIrcClient>> crowd;
  for (int u = 0; u < 5; ++u) {
    crowd.push_back(std::make_unique<RawIrcClient>());
    crowd.back()->Start(server_->Port(), "user" + std::to_string(u));
  }
  for (auto& user : crowd) {
    ASSERT_TRUE(user->WaitRegistered());
    ASSERT_TRUE(user->Join("#lab"));
  }
  const std::size_t from = alice_.Lines().size();
  std::string burst;
  for (int i = 0; i < 10; ++i) burst += "PRIVMSG #lab :Disco On\r\n";
  for (auto& user : crowd) user->Send(burst);

  // Every trigger runs; the replies that fit go out, the rest are counted.
  ASSERT_TRUE(SpinUntil([&] { return bot_->PortWrites().size() == 50; }, seconds(25)))
      << bot_->PortWrites().size();
  ASSERT_TRUE(SpinUntil(
      [&] {
        return bot_->Session().QueuedLines() == 0 &&
               bot_->CountLog(log_msg::kRepliesDropped.id) > 0;
      },
      seconds(15)));
  std::size_t dropped = 0;
  for (const auto& e : bot_->log) {
    if (e.id == 39) dropped += std::stoul(e.text.substr(std::string("Dropped ").size()));
  }
  const std::string reply = prefix_ + " PRIVMSG #lab :I toggled Disco-Kula On.";
  ASSERT_TRUE(
      SpinUntil([&] { return alice_.CountContaining(reply, from) + dropped == 50; }, seconds(10)))
      << alice_.CountContaining(reply, from) << " received, " << dropped << " dropped";
  EXPECT_GT(dropped, 0u);

  // Still registered and in the channel.
  EXPECT_EQ(bot_->Session().SocketStateText(), "Connected");
  EXPECT_TRUE(alice_.Connected());
  const std::size_t later = alice_.Lines().size();
  alice_.Say("#lab", "Disco Off");
  EXPECT_TRUE(WaitForReply("I toggled Disco-Kula Off.\r\n", later));
  EXPECT_EQ(alice_.CountContaining("ERROR :", from), 0u);
}

TEST_P(IrcEndToEndTest, ASenderBeyondSenderRateLimitIsToldOnceAnotherStillRuns) {
  ASSERT_NO_FATAL_FAILURE(StartAll());
  bot_->Configure().SenderRateLimit = {2, 60};
  RawIrcClient bob;  // from another host
  bob.Start(server_->Port(), "bob", "127.0.0.2");
  ASSERT_TRUE(bob.WaitRegistered() && bob.Join("#lab"));
  for (const char* text : {"Disco On", "Disco Off", "Disco On", "Disco On"})
    alice_.Say("#lab", text);
  ASSERT_TRUE(alice_.WaitForLineContaining(" NOTICE alice :You ran 2 commands", seconds(10)));
  const std::size_t told = alice_.Lines().size();
  bob.Say("#lab", "Disco On");
  // The reply to bob comes after anything the bot sent alice before.
  ASSERT_TRUE(WaitForReply("I toggled Disco-Kula On.\r\n", told));
  EXPECT_EQ(alice_.CountContaining(" NOTICE alice :"), 1u);
  EXPECT_THAT(bot_->PortWrites(), ::testing::ElementsAre(kOutputs1And2, 0, kOutputs1And2));
  EXPECT_EQ(bot_->CountLog(log_msg::kSenderLimited.id), 1u);
}

TEST_P(IrcEndToEndTest, OperatorLineReachesTheChannelAndFiresRules) {
  ASSERT_NO_FATAL_FAILURE(StartAll());
  ASSERT_TRUE(bot_->Client().Connection().SendOperatorLine("Disco On, says the operator"));
  ASSERT_TRUE(alice_.WaitForLineContaining(
      prefix_ + " PRIVMSG #lab :Disco On, says the operator\r\n", seconds(10)));
  ASSERT_TRUE(WaitForReply("I toggled Disco-Kula On.\r\n"));
  EXPECT_EQ(bot_->PortByte(), kOutputs1And2);
}

INSTANTIATE_TEST_SUITE_P(Servers, IrcEndToEndTest, ::testing::Values("ngircd", "inspircd"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace zelvo::e2e
