// The bot stays online on real servers on loopback: TLS, SASL with services
// (and quits saying why on a wrong password, also after an offer without
// mechanisms, and on a mechanism they lack), a bouncer's password, a
// taken nickname, a kick, a server restart and a dead link.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTcpServer>

#include "front/bot_status.h"
#include "irc/e2e_harness.h"
#include "irc/ecdsa_challenge.h"
#include "irc/servers.h"
#include "support/sasl_server.h"

namespace zelvo::e2e {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using ::testing::HasSubstr;

constexpr std::uint8_t kOutputs1And2 = 0x03;

std::string PlainFingerprint(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != ':') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// A relay on loopback that keeps what the bot and the server sent each other.
// The bot's close leaves the server's side open, so its ERROR is kept too.
// Given `from` and `to`, it replaces `from` in each whole line of the server's
// (for example to make an offer look like an older server's).
struct WireRelay {
  explicit WireRelay(int server_port, std::string from = {}, std::string to = {}) {
    listener.listen(QHostAddress::LocalHost);
    QObject::connect(&listener, &QTcpServer::newConnection, [=, this] {
      QTcpSocket* bot = listener.nextPendingConnection();  // owned by listener
      upstream.connectToHost("127.0.0.1", static_cast<quint16>(server_port));
      QObject::connect(&upstream, &QTcpSocket::readyRead, [=, this] {
        pending_ += upstream.readAll().toStdString();
        const std::size_t end = from.empty() ? pending_.size() : pending_.rfind('\n') + 1;
        std::string lines = pending_.substr(0, end);
        pending_.erase(0, end);
        for (std::size_t at = 0; !from.empty() && (at = lines.find(from, at)) != std::string::npos;
             at += to.size()) {
          lines.replace(at, from.size(), to);
        }
        from_server += lines;
        if (bot->state() == QAbstractSocket::ConnectedState) bot->write(lines.data(), lines.size());
      });
      QObject::connect(bot, &QTcpSocket::readyRead, [this, bot] {
        const QByteArray data = bot->readAll();
        from_bot += data.toStdString();
        upstream.write(data);
      });
    });
  }
  QTcpServer listener;
  QTcpSocket upstream;
  std::string from_bot, from_server;  // from_server as the bot got it

 private:
  std::string pending_;
};

class NetworkEndToEndTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureQtApplication(); }

  // A bot for `port`, configured by `configure`, connecting at once.
  Bot& StartBot(int port, const std::function<void(Settings&)>& configure = nullptr) {
    bot_ = std::make_unique<Bot>(port);
    if (configure) configure(bot_->Configure());
    bot_->Connect();
    return *bot_;
  }

  // alice in #lab on `port` (joined first, so she is its operator).
  void StartAlice(int port) {
    ASSERT_TRUE(alice_.Connect(port, "alice"));
    ASSERT_TRUE(alice_.Join("#lab"));
  }

  // alice says Disco On and the bot switches and answers.
  void ExpectRulesFire(std::size_t from) {
    alice_.Say("#lab", "Disco On");
    ASSERT_TRUE(
        alice_.WaitForLineContaining("PRIVMSG #lab :I toggled Disco-Kula On.", seconds(10), from))
        << bot_->LogText();
    EXPECT_EQ(bot_->PortByte(), kOutputs1And2);
  }

  void TearDown() override { bot_.reset(); }

  RawIrcClient alice_;
  std::unique_ptr<Bot> bot_;
};

TEST_F(NetworkEndToEndTest, TlsTrustsTheCaFileRefusesAWrongCaAndTakesAPinnedFingerprint) {
  servers::NgircdServer server;
  ZELVO_START_OR_SKIP(server, {.tls = true});
  ASSERT_NO_FATAL_FAILURE(StartAlice(server.Port()));
  const servers::TestCertificates& certs = server.Certificates();
  struct Case {
    std::string ca_file;
    std::string fingerprint;
    bool joins;
  };
  for (const Case& c : {Case{certs.ca_file, "", true}, Case{certs.wrong_ca_file, "", false},
                        Case{certs.wrong_ca_file, PlainFingerprint(certs.fingerprint), true}}) {
    SCOPED_TRACE(c.ca_file + " " + c.fingerprint);
    const std::size_t from = alice_.Lines().size();
    Bot& bot = StartBot(server.TlsPort(), [&](Settings& s) {
      s.IRCTLS = true;
      s.IRCTLSCAFile = c.ca_file;
      s.IRCTLSFingerprint = c.fingerprint;
    });
    if (c.joins) {
      ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(10), from)) << bot.LogText();
      ASSERT_NO_FATAL_FAILURE(ExpectRulesFire(from));
    } else {
      ASSERT_TRUE(SpinUntil([&] { return bot.CountLog(log_msg::kTlsError.id) > 0; }, seconds(10)));
      const std::string& text = bot.log[0].text;
      for (const auto& e : bot.log) {
        if (e.id == log_msg::kTlsError.id) {
          EXPECT_THAT(e.text, HasSubstr(PlainFingerprint(certs.fingerprint)));
        }
      }
      EXPECT_FALSE(text.empty());
      EXPECT_THAT(bot.captions.back(), HasSubstr("TLS error, reconnecting in "));
      EXPECT_EQ(alice_.FindJoin(":relay!", "#lab", from), -1);
    }
    bot_.reset();
  }
}

TEST_F(NetworkEndToEndTest, StsMovesAPlainBotOntoVerifiedTlsAndKeepsThePolicy) {
  servers::InspircdServer server;
  ZELVO_START_OR_SKIP(server, {.sts = true});
  ASSERT_NO_FATAL_FAILURE(StartAlice(server.Port()));
  Bot& bot = StartBot(server.Port(), [&](Settings& s) {
    s.gsIRCDomain = "localhost";
    s.IRCTLSVerify = false;  // verified all the same under a policy
    s.IRCTLSCAFile = server.Certificates().ca_file;
  });
  ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(15))) << bot.LogText() << server.Log();
  ASSERT_NO_FATAL_FAILURE(ExpectRulesFire(0));
  EXPECT_EQ(bot.CountLog(log_msg::kStsUpgrade.id), 1u) << bot.LogText();
  EXPECT_EQ(bot.CountLog(log_msg::kStsPolicy.id), 1u) << bot.LogText();
  EXPECT_THAT(testing::ReadFile(bot.StsFile()),
              HasSubstr("<Policy host=\"localhost\" port=\"" + std::to_string(server.TlsPort())));
}

TEST_F(NetworkEndToEndTest, ReachesTheServerOverIpv6ThroughTheListAndFromTheBoundAddress) {
  if (QTcpServer probe; !probe.listen(QHostAddress::LocalHostIPv6)) {
    GTEST_SKIP() << "no IPv6 loopback address (::1) on this machine";
  }
  servers::NgircdServer server;
  ZELVO_START_OR_SKIP(server, {.ipv6 = true});
  ASSERT_NO_FATAL_FAILURE(StartAlice(server.Port()));
  const int port = server.Port();
  const std::string v6 = "[::1]:" + std::to_string(port);
  struct Case {
    std::function<void(Settings&)> configure;
    std::string server;  // as the status line shows it
    std::string seen;    // the bot's host as ngircd shows it (IPv6 as "[0::1]")
  };
  const Case cases[] = {
      {[](Settings& s) { s.gsIRCDomain = "::1"; }, v6, "@[0::1]"},
      // The first server does not answer: the list's entry takes over.
      {[&](Settings& s) {
         s.giIRCPort = servers::PickFreePort();
         s.IRCServers = {{"::1", port}};
       },
       v6, "@[0::1]"},
      {[](Settings& s) { s.IRCBindAddress = "127.0.0.2"; }, "127.0.0.1:" + std::to_string(port),
       "@127.0.0.2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server + " " + c.seen);
    const std::size_t from = alice_.Lines().size();
    Bot& bot = StartBot(port, c.configure);
    ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(10), from)) << bot.LogText();
    EXPECT_EQ(alice_.CountContaining(c.seen + " JOIN", from), 1u);
    EXPECT_EQ(StatusOfSession(bot.Session(), bot.Configure()).server, c.server);
    ASSERT_NO_FATAL_FAILURE(ExpectRulesFire(from));
    bot_.reset();
    ASSERT_TRUE(alice_.WaitForLineContaining(" QUIT ", seconds(10), from));
  }
}

TEST_F(NetworkEndToEndTest, SaslPlainLogsInAndARequiredLoginWithAWrongPasswordIsRefused) {
  servers::ServicesNetwork network;
  ZELVO_START_OR_SKIP(network);
  ASSERT_EQ(network.RegisterAccount("relay", "botpass1"), "") << network.Logs();
  ASSERT_NO_FATAL_FAILURE(StartAlice(network.Port()));

  Bot& bot = StartBot(network.Port(), [](Settings& s) {
    s.IRCSASLMechanism = "PLAIN";
    s.IRCSASLUsername = "relay";
    s.IRCSASLPassword = "botpass1";
    s.IRCSASLRequired = true;
  });
  ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(15))) << bot.LogText() << network.Logs();
  EXPECT_EQ(bot.CountLog(log_msg::kSaslSucceeded.id), 1u) << bot.LogText();
  ASSERT_NO_FATAL_FAILURE(ExpectRulesFire(0));
  bot_.reset();

  // A wrong password after a SASL 3.1 offer (sasl without its mechanisms):
  // the bot still asks for sasl, tries PLAIN and quits saying why.
  const std::size_t from = alice_.Lines().size();
  WireRelay bare(network.Port(), "sasl=EXTERNAL,PLAIN", "sasl");
  Bot& refused = StartBot(bare.listener.serverPort(), [](Settings& s) {
    s.IRCSASLMechanism = "PLAIN";
    s.IRCSASLUsername = "relay";
    s.IRCSASLPassword = "wrong-password";
    s.IRCSASLRequired = true;
  });
  ASSERT_TRUE(SpinUntil([&] { return bare.from_server.find("ERROR :") != std::string::npos; },
                        seconds(20)))
      << bare.from_bot << bare.from_server << refused.LogText();
  EXPECT_THAT(bare.from_server, HasSubstr(" sasl "));
  EXPECT_THAT(bare.from_bot, HasSubstr("\r\nAUTHENTICATE PLAIN\r\n"));
  EXPECT_THAT(bare.from_bot, HasSubstr("\r\nQUIT :SASL login failed: 904 "));
  EXPECT_EQ(refused.CountLog(log_msg::kSaslFailed.id), 1u);
  EXPECT_EQ(alice_.FindJoin(":relay!", "#lab", from), -1);
  for (const auto& e : refused.log)
    EXPECT_THAT(e.text, ::testing::Not(HasSubstr("wrong-password")));

  // A mechanism not listed to a CAP 302 client: the bot quits saying why, in
  // a QUIT the server takes (its ERROR repeats the reason).
  WireRelay relay(network.Port());
  const std::string pem = testing::NewPrivateKeyPem("EC", "P-256");
  Bot& lacking = StartBot(relay.listener.serverPort(), [&pem](Settings& s) {
    s.IRCSASLMechanism = "ECDSA-NIST256P-CHALLENGE";
    s.IRCSASLUsername = "relay";
    s.IRCSASLKey = EcdsaKey::FromPem(pem).key;
    s.IRCSASLRequired = true;
  });
  ASSERT_TRUE(SpinUntil([&] { return relay.from_server.find("\nERROR :") != std::string::npos; },
                        seconds(15)))
      << relay.from_bot << relay.from_server << lacking.LogText();
  const std::string reason =
      "SASL login failed: The server does not offer SASL ECDSA-NIST256P-CHALLENGE (only "
      "EXTERNAL,PLAIN).";
  EXPECT_THAT(relay.from_server, HasSubstr(" sasl=EXTERNAL,PLAIN "));
  EXPECT_THAT(relay.from_bot, HasSubstr("\r\nQUIT :" + reason + "\r\n"));
  EXPECT_THAT(relay.from_server, HasSubstr(" [" + reason + "]\r\n"));
  EXPECT_EQ(lacking.CountLog(log_msg::kSaslFailed.id), 1u) << lacking.LogText();
}

TEST_F(NetworkEndToEndTest, AServerPasswordTakesTheBotThroughABouncer) {
  servers::NgircdServer upstream;
  ASSERT_TRUE(upstream.Start()) << upstream.Error();
  servers::ZncBouncer znc;
  ZELVO_START_OR_SKIP(znc, upstream.Port(), "relay", "zncpass1");
  ASSERT_NO_FATAL_FAILURE(StartAlice(upstream.Port()));
  Bot& bot = StartBot(znc.Port(), [](Settings& s) { s.IRCPassword = "relay:zncpass1"; });
  ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(20))) << bot.LogText() << znc.Log();
  for (const std::string& line : bot.console.lines) {
    EXPECT_THAT(line, ::testing::Not(HasSubstr("zncpass1")));
  }
}

TEST_F(NetworkEndToEndTest, ALineTheBouncerPlaysBackFromBeforeTheJoinFiresNothing) {
  servers::NgircdServer upstream;
  ASSERT_TRUE(upstream.Start()) << upstream.Error();
  servers::ZncBouncer znc;
  ZELVO_START_OR_SKIP(znc, upstream.Port(), "relay", "zncpass1");
  ASSERT_NO_FATAL_FAILURE(StartAlice(upstream.Port()));
  const auto through_znc = [](Settings& s) { s.IRCPassword = "relay:zncpass1"; };
  StartBot(znc.Port(), through_znc);
  ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(20))) << bot_->LogText() << znc.Log();
  bot_.reset();  // ZNC stays in #lab and keeps what is said there
  alice_.Say("#lab", "Disco On");
  alice_.Say("relay", "\x01VERSION\x01");  // answered by ZNC once it has the line before
  ASSERT_TRUE(alice_.WaitForLineContaining("NOTICE alice :\x01VERSION", seconds(10)));
  Bot& bot = StartBot(znc.Port(), through_znc);
  const auto& id = log_msg::kReplayedLinesIgnored.id;
  ASSERT_TRUE(SpinUntil([&] { return bot.CountLog(id) > 0; }, seconds(20))) << znc.Log();
  EXPECT_EQ(bot.CountLog(id, ReplayedLinesIgnoredText(1, "#lab")), 1u) << bot.LogText();
  EXPECT_EQ(bot.console.CountContaining(" BATCH +"), 1u);  // of type znc.in/playback
  EXPECT_NE(bot.PortByte(), kOutputs1And2);
  ASSERT_NO_FATAL_FAILURE(ExpectRulesFire(alice_.Lines().size()));  // said again, live
}

TEST_F(NetworkEndToEndTest, ATakenNickFallsBackAndIsRegainedWhenItsHolderQuits) {
  servers::NgircdServer server;
  ASSERT_TRUE(server.Start()) << server.Error();
  RawIrcClient holder;
  ASSERT_TRUE(holder.Connect(server.Port(), "relay"));
  ASSERT_TRUE(holder.Join("#lab"));  // so that the bot sees it quit
  ASSERT_NO_FATAL_FAILURE(StartAlice(server.Port()));
  Bot& bot = StartBot(server.Port());
  ASSERT_TRUE(alice_.WaitForJoin(":relay_!", "#lab", seconds(10))) << bot.LogText();
  EXPECT_EQ(bot.CountLog(log_msg::kNickFallback.id), 1u);
  holder.Send("QUIT :bye\r\n");
  ASSERT_TRUE(alice_.WaitForLineContaining(":relay_!", seconds(10)));
  ASSERT_TRUE(
      SpinUntil([&] { return alice_.CountContaining(" NICK :relay\r\n") > 0; }, seconds(10)))
      << bot.LogText();
  EXPECT_EQ(bot.Session().Nickname(), "relay");
  EXPECT_EQ(bot.CountLog(log_msg::kNickRegained.id), 1u);
  // The operator's echo comes from the nickname the bot has again.
  ASSERT_TRUE(bot.Client().Connection().SendOperatorLine("hello"));
  ASSERT_FALSE(bot.console.lines.empty());
  EXPECT_THAT(bot.console.lines.back(), ::testing::StartsWith(":relay!~relay@"));
  EXPECT_THAT(bot.console.lines.back(), HasSubstr(" PRIVMSG #lab :hello"));
}

// The holder shares no channel with the bot: only MONITOR tells it the nick is free.
TEST_F(NetworkEndToEndTest, AWatchedNickIsTakenTheMomentItsHolderQuits) {
  servers::InspircdServer server;
  ZELVO_START_OR_SKIP(server, {.tls = false, .identity = true});
  RawIrcClient holder;
  ASSERT_TRUE(holder.Connect(server.Port(), "relay"));
  ASSERT_NO_FATAL_FAILURE(StartAlice(server.Port()));
  Bot& bot = StartBot(server.Port());
  ASSERT_TRUE(alice_.WaitForJoin(":relay_!", "#lab", seconds(10))) << bot.LogText();
  // The answer to MONITOR +: the holder is online.
  ASSERT_TRUE(
      SpinUntil([&] { return bot.console.CountContaining(" 730 relay_ ") > 0; }, seconds(5)));
  holder.Send("QUIT :bye\r\n");
  ASSERT_TRUE(
      SpinUntil([&] { return alice_.CountContaining(" NICK :relay\r\n") > 0; }, seconds(10)))
      << bot.LogText();
  EXPECT_EQ(bot.console.CountContaining(" 731 relay_ "), 1u);
  EXPECT_EQ(bot.CountLog(log_msg::kNickRegained.id), 1u);
}

TEST_F(NetworkEndToEndTest, AKickedBotRejoinsAfterTheDelayAndRulesFire) {
  servers::NgircdServer server;
  ASSERT_TRUE(server.Start()) << server.Error();
  ASSERT_NO_FATAL_FAILURE(StartAlice(server.Port()));
  Bot& bot = StartBot(server.Port(), [](Settings& s) { s.IRCRejoinDelay = 1; });
  ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(10)));
  const std::size_t from = alice_.Lines().size();
  alice_.Send("KICK #lab relay :out you go\r\n");
  ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(10), from)) << bot.LogText();
  ASSERT_EQ(bot.CountLog(log_msg::kKicked.id), 1u);
  EXPECT_EQ(bot.CountLog(log_msg::kKicked.id, KickedText("#lab", "alice", "out you go", 1)), 1u);
  ASSERT_NO_FATAL_FAILURE(ExpectRulesFire(from));
}

TEST_F(NetworkEndToEndTest, ARestartedServerGetsTheBotBackIntoItsChannel) {
  servers::InspircdServer server;
  ZELVO_START_OR_SKIP(server, {.tls = false});
  Bot& bot = StartBot(server.Port());
  ASSERT_TRUE(SpinUntil([&] { return bot.Session().Roster().Joined(); }, seconds(10)));
  ASSERT_TRUE(server.Restart()) << server.Error();
  ASSERT_TRUE(SpinUntil([&] { return bot.CountLog(log_msg::kReconnectIn.id) > 0; }, seconds(10)));
  ASSERT_NO_FATAL_FAILURE(StartAlice(server.Port()));
  // The first wait is 4 to 6 s.
  ASSERT_TRUE(alice_.WaitForJoin(":relay!", "#lab", seconds(12))) << bot.LogText();
  ASSERT_NO_FATAL_FAILURE(ExpectRulesFire(0));
}

TEST_F(NetworkEndToEndTest, ADeadLinkIsPingedGivenUpAndConnectedAgain) {
  // A server that welcomes the bot and then never says another word.
  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  std::vector<QTcpSocket*> accepted;
  std::string heard;
  QObject::connect(&silent, &QTcpServer::newConnection, [&] {
    QTcpSocket* peer = silent.nextPendingConnection();
    accepted.push_back(peer);
    QObject::connect(peer, &QTcpSocket::readyRead,
                     [&heard, peer] { heard += peer->readAll().toStdString(); });
    peer->write(":silent.test 001 relay :Welcome\r\n");
  });
  constexpr int kPingTimeout = 1;
  Bot& bot = StartBot(silent.serverPort(), [](Settings& s) { s.IRCPingTimeout = kPingTimeout; });
  ASSERT_TRUE(SpinUntil([&] { return accepted.size() == 1; }, seconds(5)));
  // Gives up after twice the timeout and comes back after at most 6 s more.
  ASSERT_TRUE(SpinUntil([&] { return accepted.size() == 2; }, seconds(2 * kPingTimeout + 6 + 2)))
      << bot.LogText();
  EXPECT_THAT(heard, HasSubstr("PING :zelvo-1\r\n"));
  EXPECT_EQ(bot.CountLog(log_msg::kDeadLink.id), 1u);
  EXPECT_EQ(bot.CountLog(log_msg::kReconnectIn.id), 1u);
}

TEST_F(NetworkEndToEndTest, AChannelTypeTheServerDoesNotAllowIsNamedShownAndRetried) {
  servers::NgircdServer server;
  ZELVO_START_OR_SKIP(server, {.channel_types = "#"});
  Bot& bot = StartBot(server.Port(), [](Settings& s) { s.gsIRCChannel = "+lab"; });
  ASSERT_TRUE(SpinUntil([&] { return bot.CountLog(log_msg::kJoinRefused.id) == 2; }, seconds(9)));
  EXPECT_THAT(ConnectionStatusText(StatusOfSession(bot.Session(), bot.Configure()), {}),
              ::testing::ContainsRegex("^Connected, not in the channel.*Cannot join \\+lab: "
                                       ".* \\(403\\): check IRCChannel"));
}

}  // namespace
}  // namespace zelvo::e2e
