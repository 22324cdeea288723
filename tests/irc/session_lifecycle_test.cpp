// The session's life on a real network, with the fake socket and clock:
// registration order with CAP, SASL and PASS; nickname fallback and regain;
// rejoin; dead links; reconnecting with a growing wait; TLS failures; what
// the caption and the log say; secrets kept out of both.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "irc/irc_session.h"
#include "irc/scram.h"
#include "irc/session_fixture.h"

namespace zelvo {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::kUser;
using ::testing::Not;

using SessionLifecycleTest = testing::SessionTest;

// --- registration order ---

struct Step {
  std::string receive;  // received first (may be empty)
  int advance_ms = 0;   // then this much time passes on the tick
};

struct OrderCase {
  std::string name;
  std::function<void(Settings&)> configure;
  std::vector<Step> script;
  std::vector<std::string> sent;  // everything sent, in order, without CR LF
};

void PrintTo(const OrderCase& c, std::ostream* os) {
  *os << c.name;
}

class RegistrationOrderTest : public SessionLifecycleTest,
                              public ::testing::WithParamInterface<OrderCase> {};

TEST_P(RegistrationOrderTest, SendsWhatTheServerExpectsInOrder) {
  if (GetParam().configure) GetParam().configure(settings_);
  Connected();
  for (const Step& step : GetParam().script) {
    if (!step.receive.empty()) Receive(step.receive);
    Pass(milliseconds(step.advance_ms));
  }
  std::vector<std::string> sent;
  for (std::string line : socket_.sent) {
    ASSERT_GE(line.size(), 2u);
    ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
    sent.push_back(line.substr(0, line.size() - 2));
  }
  EXPECT_THAT(sent, ElementsAreArray(GetParam().sent));
}

// base64 of "relay\0relay\0hunter2"
const std::string kPlainPayload = "cmVsYXkAcmVsYXkAaHVudGVyMg==";

void RequireSaslPlain(Settings& s) {
  s.IRCSASLMechanism = "PLAIN";
  s.IRCSASLUsername = "relay";
  s.IRCSASLPassword = "hunter2";
  s.IRCSASLRequired = true;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegistrationOrderTest,
    ::testing::Values(
        OrderCase{
            "ServerWithoutCap",
            nullptr,
            {{":srv 421 * CAP :Unknown command\r\n", 3000}, {":srv 001 relay :Welcome\r\n", 0}},
            {"CAP LS 302", "NICK relay", kUser, "JOIN #lab"}},
        OrderCase{"SilentAboutCapForFiveSeconds",
                  nullptr,
                  {{"", 4900}, {"", 200}, {":srv 001 relay :Welcome\r\n", 0}},
                  {"CAP LS 302", "NICK relay", kUser, "CAP END", "JOIN #lab"}},
        OrderCase{"PasswordAndChannelKey",
                  [](Settings& s) {
                    s.IRCPassword = "bouncer:pw";
                    s.IRCChannelKey = "sesame";
                  },
                  {{":srv CAP * LS :multi-prefix echo-message\r\n", 0},
                   {":srv CAP relay ACK :multi-prefix\r\n", 0},
                   {":srv 001 relay :Welcome\r\n", 0}},
                  {"CAP LS 302", "PASS bouncer:pw", "NICK relay", kUser, "CAP REQ :multi-prefix",
                   "CAP END", "JOIN #lab sesame"}},
        OrderCase{"SaslPlain",
                  RequireSaslPlain,
                  {{":srv CAP * LS * :sasl=PLAIN,EXTERNAL multi-prefix\r\n", 0},
                   {":srv CAP * LS :account-tag extended-join\r\n", 0},
                   {":srv CAP relay ACK :sasl multi-prefix account-tag extended-join\r\n", 0},
                   {"AUTHENTICATE +\r\n", 0},
                   {":srv 900 relay relay!r@h relay :You are now logged in as relay\r\n", 0},
                   {":srv 903 relay :SASL authentication successful\r\n", 0},
                   {":srv 001 relay :Welcome\r\n", 0}},
                  {"CAP LS 302", "NICK relay", kUser,
                   "CAP REQ :sasl multi-prefix account-tag extended-join", "AUTHENTICATE PLAIN",
                   "AUTHENTICATE " + kPlainPayload, "CAP END", "JOIN #lab"}},
        OrderCase{"RequiredSaslOfferedWithoutValuesRefusedQuitsFirst",
                  RequireSaslPlain,
                  {{":srv CAP * LS :sasl\r\n:srv CAP relay ACK :sasl\r\n:srv 904 * :no\r\n", 0}},
                  {"CAP LS 302", "NICK relay", kUser, "CAP REQ :sasl", "AUTHENTICATE PLAIN",
                   "QUIT :SASL login failed: 904 no"}},
        OrderCase{
            "NoWelcomeQuitsFirst",
            nullptr,
            {{":srv CAP * LS :\r\n", 60000}},
            {"CAP LS 302", "NICK relay", kUser, "CAP END", "QUIT :No welcome from the server"}},
        OrderCase{"PingCookieAnsweredAtOnceBeforeTheWelcome",
                  nullptr,
                  {{"PING :c00k1e\r\n", 0},
                   {":srv CAP * LS :\r\n", 0},
                   {":srv 001 relay :Welcome\r\n", 0}},
                  {"CAP LS 302", "NICK relay", kUser, "PONG :c00k1e", "CAP END", "JOIN #lab"}},
        OrderCase{"BotModeOnceTheServerNamesIt",
                  nullptr,
                  {{":srv 001 relay :Welcome\r\n", 0},
                   {":srv 005 relay NICKLEN=30 BOT=B :are supported\r\n", 0},
                   {":srv 005 relay BOT=B :are supported\r\n", 0}},
                  {"CAP LS 302", "NICK relay", kUser, "JOIN #lab", "MODE relay +B"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(SessionLifecycleTest, RequiredSaslThatFailsDropsTheConnectionAndWaits) {
  RequireSaslPlain(settings_);
  Connected();
  Receive(":srv CAP * LS :sasl\r\n:srv CAP relay ACK :sasl\r\nAUTHENTICATE +\r\n");
  Receive(":srv 904 relay :SASL authentication failed\r\n:srv 001 relay :Welcome\r\n");
  EXPECT_THAT(LogTexts(log_msg::kSaslFailed.id),
              ElementsAre(SaslFailedText("904 SASL authentication failed", true)));
  EXPECT_EQ(socket_.close_calls, 1);
  EXPECT_THAT(socket_.sent, Not(Contains("JOIN #lab\r\n")));
  EXPECT_EQ(captions_.back(), "Zelvo -  (SASL login failed, reconnecting in 5 s)");
  // Not a trace of the password or the payload anywhere.
  for (const auto& entry : log_) EXPECT_THAT(entry.text, Not(HasSubstr(kPlainPayload)));
  Pass(seconds(5));
  EXPECT_EQ(socket_.connect_calls, 2);
}

// Success claimed without the server's proof, twice: a fresh nonce each time.
TEST_F(SessionLifecycleTest, ScramSuccessWithoutServerProofIsInterception) {
  RequireSaslPlain(settings_);
  settings_.IRCSASLMechanism = "SCRAM-SHA-256";
  std::vector<std::string> nonces;
  for (int login = 1; login <= 2; ++login) {
    login == 1 ? Connected() : SocketConnects();
    socket_.sent.clear();
    Receive(
        ":srv CAP * LS :sasl\r\n:srv CAP relay ACK :sasl\r\nAUTHENTICATE +\r\n:srv 903 r :\r\n");
    ASSERT_EQ(socket_.sent.size(), 4u);  // CAP REQ, AUTHENTICATE twice, QUIT
    EXPECT_THAT(socket_.sent[3], ::testing::StartsWith("QUIT :SASL login failed"));
    nonces.push_back(*Base64Decode(socket_.sent[2].substr(13, socket_.sent[2].size() - 15)));
    EXPECT_THAT(nonces.back(), ::testing::MatchesRegex("n,,n=relay,r=[A-Za-z0-9+/]{24}"));
    EXPECT_EQ(socket_.close_calls, login);
    Pass(seconds(5));
  }
  EXPECT_NE(nonces[0], nonces[1]);
  const std::string text = SaslInterceptionText(ScramEarlySuccessText(), true);
  EXPECT_THAT(LogTexts(log_msg::kSaslInterception.id), ElementsAre(text, text));
  for (const auto& entry : log_) EXPECT_THAT(entry.text, Not(HasSubstr("hunter2")));
}

TEST_F(SessionLifecycleTest, OptionalSaslThatFailsRegistersWithoutLogin) {
  settings_.IRCSASLMechanism = "PLAIN";
  settings_.IRCSASLPassword = "hunter2";
  settings_.IRCSASLRequired = false;
  Connected();
  Receive(":srv CAP * LS :sasl\r\n:srv CAP relay ACK :sasl\r\nAUTHENTICATE +\r\n");
  Receive(":srv 904 relay :SASL authentication failed\r\n:srv 001 relay :Welcome\r\n");
  EXPECT_EQ(socket_.close_calls, 0);
  EXPECT_THAT(socket_.sent, Contains("CAP END\r\n"));
  EXPECT_THAT(socket_.sent, Contains("JOIN #lab\r\n"));
}

// A server that never welcomes the bot but keeps talking: lines that do not
// move registration on keep neither the attempt nor the link alive.
struct StallCase {
  int ping_timeout;
  std::string line;  // received once a second
  int seconds_until_closed;
  std::int32_t log_id;
};

class RegistrationStallTest : public SessionLifecycleTest,
                              public ::testing::WithParamInterface<StallCase> {};

TEST_P(RegistrationStallTest, GivesUpAndReconnects) {
  const StallCase& c = GetParam();
  settings_.IRCPingTimeout = c.ping_timeout;
  Connected();
  Receive(":srv CAP * LS :multi-prefix\r\n:srv CAP relay ACK :multi-prefix\r\n");
  for (int s = 1; s <= c.seconds_until_closed; ++s) {
    EXPECT_EQ(socket_.close_calls, 0) << s;
    Receive(c.line);
    Pass(seconds(1));
  }
  EXPECT_EQ(socket_.close_calls, 1);
  EXPECT_THAT(LogTexts(c.log_id), ::testing::SizeIs(1));
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegistrationStallTest,
    ::testing::Values(
        StallCase{120, ":srv CAP relay ACK :multi-prefix x\r\n", 60,
                  log_msg::kRegistrationTimeout.id},
        StallCase{120, ":srv CAP * LS * :a b c\r\n", 60, log_msg::kRegistrationTimeout.id},
        StallCase{10, ":srv CAP relay ACK :multi-prefix\r\n", 20, log_msg::kDeadLink.id},
        StallCase{10, ":srv NOTICE * :*** Looking up your hostname\r\n", 20,
                  log_msg::kDeadLink.id}));

// --- nickname ---

TEST_F(SessionLifecycleTest, FallsBackOnATakenNickAndRegainsIt) {
  settings_.IRCAltNickname = "relaybot";
  Connected();
  socket_.sent.clear();
  Receive(":srv 433 * relay :Nickname is already in use\r\n");
  Receive(":srv 433 * relaybot :Nickname is already in use\r\n");
  EXPECT_THAT(socket_.sent, ElementsAre("NICK relaybot\r\n", "NICK relay_\r\n"));
  EXPECT_THAT(
      LogTexts(log_msg::kNickFallback.id),
      ElementsAre(NickFallbackText("relay", "433", "Nickname is already in use", "relaybot"),
                  NickFallbackText("relaybot", "433", "Nickname is already in use", "relay_")));
  Receive(":srv 001 relay_ :Welcome\r\n:relay_!~relay@h JOIN :#lab\r\n");
  EXPECT_EQ(Session().Nickname(), "relay_");
  Forget();

  // The operator's echo comes from the nickname the bot has.
  ASSERT_TRUE(Session().SendOperatorLine("Disco On"));
  EXPECT_THAT(console_.lines, ElementsAre(":relay_!~relay@10.0.0.5 PRIVMSG #lab :Disco On\r\n"));
  EXPECT_THAT(matched_, ElementsAre("<relay_> Disco On"));

  // Every 60 s after the welcome it asks for its nickname back ...
  Pass(seconds(59));
  socket_.sent.clear();
  Pass(seconds(1));
  EXPECT_THAT(socket_.sent, ElementsAre("NICK relay\r\n"));
  Receive(":srv 433 relay_ relay :Nickname is already in use\r\n");
  // ... and at once when the holder leaves.
  socket_.sent.clear();
  Pass(seconds(2));
  Receive(":relay!~x@elsewhere QUIT :bye\r\n");
  Pass(milliseconds(100));
  EXPECT_THAT(socket_.sent, ElementsAre("NICK relay\r\n"));
  Receive(":relay_!~relay@h NICK :relay\r\n");
  EXPECT_THAT(LogTexts(log_msg::kNickRegained.id), ElementsAre(NickRegainedText("relay")));
  EXPECT_EQ(Session().Nickname(), "relay");
  socket_.sent.clear();
  Pass(seconds(100));
  EXPECT_THAT(socket_.sent, IsEmpty());
}

TEST_F(SessionLifecycleTest, FollowsCapabilityChangesAndTheWatchedNicknameThroughTheQueue) {
  Connected();
  Receive(
      ":srv CAP * LS :account-notify chghost\r\n:srv CAP relay ACK :account-notify chghost\r\n"
      ":srv 001 relay :Welcome\r\n:srv 005 relay WHOX MONITOR=10 :are supported\r\n"
      ":relay!~relay@h JOIN :#lab\r\n:srv 353 relay = #lab :relay alice\r\n"
      ":srv 354 relay 152 alice alice\r\n");
  Tick(seconds(10));
  Forget();
  // Account data no longer kept current: forgotten, and asked for again.
  Receive(":srv CAP relay DEL :account-notify\r\n");
  EXPECT_EQ(Session().Roster().Find("alice")->account, std::nullopt);
  Receive(":relay!~relay@h NICK :relay_\r\n:srv 731 relay_ :relay\r\n");
  EXPECT_THAT(socket_.sent,
              ElementsAre("WHO #lab %tna,152\r\n", "MONITOR + relay\r\n", "NICK relay\r\n"));
  EXPECT_THAT(LogTexts(log_msg::kCapabilityChanged.id),
              ElementsAre(CapabilityChangedText("account-notify", false)));
}

// --- the channel ---

struct RejoinCase {
  int delay;
  bool rejoins;
};

class RejoinTest : public SessionLifecycleTest, public ::testing::WithParamInterface<RejoinCase> {};

TEST_P(RejoinTest, RejoinsAfterAKickOnlyOnceTheDelayHasPassed) {
  settings_.IRCRejoinDelay = GetParam().delay;
  settings_.IRCPingTimeout = 100000;
  Online();
  Receive(":alice!~a@h KICK #lab relay :out you go\r\n");
  EXPECT_EQ(captions_.back(), "Zelvo -  (Not in #lab)");
  ASSERT_THAT(LogTexts(log_msg::kKicked.id), ::testing::SizeIs(1));
  EXPECT_EQ(LogTexts(log_msg::kKicked.id)[0],
            KickedText("#lab", "alice", "out you go", GetParam().delay));
  Pass(seconds(GetParam().delay > 0 ? GetParam().delay - 1 : 1));
  EXPECT_THAT(socket_.sent, IsEmpty());
  Pass(seconds(2));
  if (GetParam().rejoins) {
    EXPECT_THAT(socket_.sent, ElementsAre("JOIN #lab\r\n"));
  } else {
    Pass(seconds(600));
    EXPECT_THAT(socket_.sent, IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(Table, RejoinTest,
                         ::testing::Values(RejoinCase{10, true}, RejoinCase{3, true},
                                           RejoinCase{0, false}));

TEST_F(SessionLifecycleTest, ARefusedJoinIsLoggedAndRetriedWithAGrowingWait) {
  Connected();
  Receive(":srv 001 relay :Welcome\r\n");
  socket_.sent.clear();
  Receive(":srv 474 relay #lab :Cannot join channel (+b)\r\n");
  EXPECT_THAT(LogTexts(log_msg::kJoinRefused.id),
              ElementsAre(JoinRefusedText("#lab", "Cannot join channel (+b)", "474", 5)));
  Pass(milliseconds(4900));
  EXPECT_THAT(socket_.sent, IsEmpty());
  Pass(milliseconds(200));
  EXPECT_THAT(socket_.sent, ElementsAre("JOIN #lab\r\n"));
  Receive(":srv 475 relay #LAB :Cannot join channel (+k)\r\n");
  EXPECT_EQ(LogTexts(log_msg::kJoinRefused.id)[1],
            JoinRefusedText("#LAB", "Cannot join channel (+k)", "475", 10));
  EXPECT_EQ(captions_.back(), "Zelvo -  (Not in #lab)");
}

struct RefusalCase {
  std::string numeric, setting;  // the setting named; "" when the bot's join is not refused
  bool named = true;             // in the log entry too
  std::string channel = "#lab", before = "", refused = "#lab";  // before: lines first
  std::size_t chantypes_logged = 0;
};
struct RefusalTest : SessionLifecycleTest, ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, IsLoggedWithTheSettingShownAndRetried) {
  const RefusalCase& c = GetParam();
  settings_.gsIRCChannel = c.channel;
  Connected();
  Receive(":srv 001 relay :Welcome\r\n");
  int changes = 0;
  Session().SetStateChanged([&] { ++changes; });
  Forget();
  Receive(c.before + ":srv " + c.numeric + " relay " + c.refused + " :Go away\r\n");
  const std::string logged =
      c.named ? JoinRefusedCheckText(c.channel, "Go away", c.numeric, 5, c.setting)
              : JoinRefusedText(c.channel, "Go away", c.numeric, 5);
  const std::size_t refused = c.setting.empty() ? 0 : 1;
  EXPECT_EQ(LogTexts(log_msg::kJoinRefused.id), std::vector<std::string>(refused, logged));
  EXPECT_EQ(Session().Problem(),
            refused ? JoinRefusedStatusText(c.channel, "Go away", c.numeric, c.setting) : "");
  EXPECT_EQ(changes, refused);
  EXPECT_EQ(LogTexts(log_msg::kChannelTypeRefused.id).size(), c.chantypes_logged);
  Pass(milliseconds(5100));
  EXPECT_EQ(socket_.sent.size(), refused);
}

const std::string k005 = ":srv 005 relay CHANTYPES=# :are supported\r\n";
INSTANTIATE_TEST_SUITE_P(
    Table, RefusalTest,
    ::testing::Values(RefusalCase{"403", "IRCChannel"}, RefusalCase{"476", "IRCChannel"},
                      RefusalCase{"489", "IRCTLS"}, RefusalCase{"475", "IRCChannelKey", false},
                      RefusalCase{"403", "IRCChannel", true, "+lab", k005 + k005, "+lab", 1},
                      RefusalCase{"403", "", true, "#lab", k005, "#oth"}));

// --- dead link and reconnecting ---

TEST_F(SessionLifecycleTest, PingsAfterSilenceAndDropsADeadLink) {
  settings_.IRCPingTimeout = 2;
  Online();
  Pass(milliseconds(1900));
  EXPECT_THAT(socket_.sent, IsEmpty());
  Pass(milliseconds(100));
  EXPECT_THAT(socket_.sent, ElementsAre("PING :zelvo-1\r\n"));
  // An answer keeps it alive.
  Receive(":srv PONG srv :zelvo-1\r\n");
  Pass(milliseconds(1900));
  EXPECT_EQ(socket_.close_calls, 0);
  Pass(milliseconds(100));
  EXPECT_THAT(socket_.sent, ElementsAre("PING :zelvo-1\r\n", "PING :zelvo-2\r\n"));
  Pass(milliseconds(1900));
  EXPECT_EQ(socket_.close_calls, 0);
  Pass(milliseconds(100));
  EXPECT_EQ(socket_.close_calls, 1);
  EXPECT_THAT(LogTexts(log_msg::kDeadLink.id), ElementsAre(DeadLinkText(2)));
  EXPECT_THAT(LogTexts(log_msg::kReconnectIn.id), ElementsAre(ReconnectInText(5)));
  Pass(milliseconds(4900));
  EXPECT_EQ(socket_.connect_calls, 1);
  Pass(milliseconds(100));
  EXPECT_EQ(socket_.connect_calls, 2);
}

TEST_F(SessionLifecycleTest, WaitDoublesToFiveMinutesAndStartsAgainOnlyAfterAStableMinute) {
  std::vector<std::string> waits;
  // The socket stands, the bot stays registered for `registered` if given,
  // the connection is lost and the wait passes.
  auto connect_and_lose = [&](std::optional<seconds> registered) {
    SocketConnects();
    if (registered) {
      Receive(":srv 001 relay :Welcome\r\n");
      Pass(*registered);
    }
    ServerCloses();
    waits.push_back(LogTexts(log_msg::kReconnectIn.id).back());
    Pass(std::chrono::duration_cast<milliseconds>(Session().ReconnectWait()) + milliseconds(200));
  };
  Session().ConnectToServer();
  // Refused at once, again and again (also before registration).
  for (int i = 0; i < 8; ++i) connect_and_lose(std::nullopt);
  EXPECT_THAT(waits, ElementsAre(ReconnectInText(5), ReconnectInText(10), ReconnectInText(20),
                                 ReconnectInText(40), ReconnectInText(80), ReconnectInText(160),
                                 ReconnectInText(300), ReconnectInText(300)));
  EXPECT_EQ(socket_.connect_calls, 9);
  EXPECT_EQ(captions_.back(), "Zelvo -  (Connecting)");

  // Registered for 59 s is not long enough; after 60 s the wait starts again at 5 s.
  waits.clear();
  connect_and_lose(seconds(59));
  connect_and_lose(seconds(60));
  EXPECT_THAT(waits, ElementsAre(ReconnectInText(300), ReconnectInText(5)));
}

TEST_F(SessionLifecycleTest, AFailedServerMovesToTheNextAtOnceAndARoundToTheBackoff) {
  settings_.IRCServers = {{"b.example.net", 7000}, {"2001:db8::1", 6697}};
  settings_.IRCBindAddress = "2001:db8::10";
  // Each attempt: the server (as the status shows it), how it fails, the
  // cause shown, the wait in s before the next attempt.
  const std::tuple<std::string, std::int16_t, std::string, long> tries[] = {
      {"irc.example.net:6667", socket_error::kConnectionRefused, "refused (IRCPort, or", 0},
      {"b.example.net:7000", socket_error::kConnectionRefused, "refused (the port in IRCServers",
       0},
      {"[2001:db8::1]:6697", socket_error::kHostNotFound,
       "no IPv6 address to reach from IRCBindAddress 2001:db8::10", 5},
      {"irc.example.net:6667", socket_error::kConnectionRefused, "refused (IRCPort, or", 0}};
  Session().ConnectToServer();
  for (const auto& [server, error, cause, wait_s] : tries) {
    EXPECT_EQ(Session().ServerInUse(), server);
    EXPECT_EQ(HostPortText({socket_.remote_host, socket_.remote_port}), server);
    EXPECT_EQ(LogTexts(log_msg::kConnectAttempt.id).back(), ConnectAttemptText(server, false));
    EXPECT_EQ(socket_.bind_address, "2001:db8::10");
    const int calls = socket_.connect_calls;
    socket_.state = socket_state::kError;
    Session().sckIRC_Error(SocketError{error, "", 0, "sckIRC", "", 0, false});
    EXPECT_THAT(Session().Problem(), HasSubstr(cause));
    const auto wait = std::chrono::duration_cast<milliseconds>(Session().ReconnectWait());
    EXPECT_EQ(std::chrono::round<seconds>(wait).count(), wait_s) << server;
    if (wait > milliseconds(0)) Pass(wait - milliseconds(100));
    EXPECT_EQ(socket_.connect_calls, calls);
    Tick(milliseconds(100));
    EXPECT_EQ(socket_.connect_calls, calls + 1);
  }
  EXPECT_THAT(LogTexts(log_msg::kNextServer.id), ElementsAre(NextServerText("b.example.net:7000"),
                                                             NextServerText("[2001:db8::1]:6697"),
                                                             NextServerText("b.example.net:7000")));
}

struct JitterCase {
  std::uint32_t random;
  long first_ms;
};

class JitterTest : public SessionLifecycleTest, public ::testing::WithParamInterface<JitterCase> {};

TEST_P(JitterTest, TheWaitStaysWithinTwentyPercent) {
  random_value_ = GetParam().random;
  Session().ConnectToServer();
  socket_.state = socket_state::kError;
  Session().sckIRC_Error(SocketError{11001, "Host not found", 0, "sckIRC", "", 0, false});
  EXPECT_EQ(std::chrono::duration_cast<milliseconds>(Session().ReconnectWait()).count(),
            GetParam().first_ms);
  Pass(milliseconds(GetParam().first_ms - 100));
  EXPECT_EQ(socket_.connect_calls, 1);
  Pass(milliseconds(100));
  EXPECT_EQ(socket_.connect_calls, 2);
}

INSTANTIATE_TEST_SUITE_P(Table, JitterTest,
                         ::testing::Values(JitterCase{0, 4000}, JitterCase{0xFFFFFFFF, 6000}));

TEST_F(SessionLifecycleTest, AServerErrorLineIsLoggedAndEndsTheConnection) {
  Online();
  Receive("ERROR :Closing Link: relay (Killed (oper (enough)))\r\n");
  EXPECT_THAT(LogTexts(log_msg::kServerError.id),
              ElementsAre(ServerErrorText("Closing Link: relay (Killed (oper (enough)))")));
  EXPECT_EQ(socket_.close_calls, 1);
  EXPECT_EQ(Session().SendLine("PRIVMSG #lab :x"), console_text::kNotConnected);
  EXPECT_FALSE(Session().SendOperatorLine("Disco On"));
  // The close that follows changes nothing.
  ServerCloses();
  EXPECT_THAT(LogTexts(log_msg::kReconnectIn.id), ElementsAre(ReconnectInText(5)));
}

TEST_F(SessionLifecycleTest, WithoutReconnectALostConnectionStaysLost) {
  settings_.IRCReconnect = false;
  Online();
  ServerCloses();
  EXPECT_EQ(captions_.back(), "Zelvo -  (Closed)");
  Pass(seconds(600));
  EXPECT_EQ(socket_.connect_calls, 1);
}

// --- TLS ---

TEST_F(SessionLifecycleTest, HandsTheTlsSettingsToTheSocketAndWarnsWhenNotVerifying) {
  settings_.IRCTLS = true;
  settings_.giIRCPort = 6697;
  settings_.IRCTLSVerify = false;
  settings_.IRCTLSCAFile = "/etc/zelvo/ca.pem";
  settings_.IRCClientCertificate = "/etc/zelvo/bot.pem";
  Session().ConnectToServer();
  EXPECT_TRUE(socket_.tls.enabled);
  EXPECT_FALSE(socket_.tls.verify);
  EXPECT_EQ(socket_.tls.ca_file, "/etc/zelvo/ca.pem");
  EXPECT_EQ(socket_.tls.client_certificate, "/etc/zelvo/bot.pem");
  EXPECT_THAT(LogTexts(log_msg::kConnectAttempt.id),
              ElementsAre(ConnectAttemptText("irc.example.net:6697", true)));
  EXPECT_THAT(LogTexts(log_msg::kTlsUnverified.id),
              ElementsAre(TlsUnverifiedText("irc.example.net:6697")));
}

TEST_F(SessionLifecycleTest, ARefusedCertificateIsLoggedShownAndRetried) {
  settings_.IRCTLS = true;
  settings_.giIRCPort = 6697;
  Session().ConnectToServer();
  socket_.state = socket_state::kError;
  const TlsFailure failure{
      "The issuer certificate of a locally looked up certificate could not be found.",
      std::string(64, 'a')};
  Session().sckIRC_TlsError(failure);
  EXPECT_THAT(
      LogTexts(log_msg::kTlsError.id),
      ElementsAre(TlsErrorText("irc.example.net:6697", failure.reason, failure.fingerprint)));
  EXPECT_EQ(captions_.back(), "Zelvo -  (TLS error, reconnecting in 5 s)");
  EXPECT_THAT(socket_.sent, IsEmpty());
  // The error event that may follow does not double the wait.
  Session().sckIRC_Error(SocketError{10053, "SSL handshake failed", 0, "sckIRC", "", 0, false});
  EXPECT_THAT(LogTexts(log_msg::kReconnectIn.id), ElementsAre(ReconnectInText(5)));
  Pass(seconds(5));
  EXPECT_EQ(socket_.connect_calls, 2);
}

enum Failure { kError, kTlsRefused, kTlsPlain, kReceived };
struct FailureCase {
  Failure kind;
  std::string input;        // the socket error's description, the TLS reason, or received bytes
  std::string_view cause;   // "" when the attempt goes on
  std::int16_t number = 0;  // the socket error's
};
struct FailureTest : SessionLifecycleTest, ::testing::WithParamInterface<FailureCase> {};
using namespace connect_cause;
TEST_P(FailureTest, NamesTheServerAndTheCauseAndReconnects) {
  const FailureCase& c = GetParam();
  settings_.IRCTLS = c.kind == kTlsRefused || c.kind == kTlsPlain;
  Session().ConnectToServer();
  socket_.state = socket_state::kError;
  if (c.kind == kError) Session().sckIRC_Error({c.number, c.input, 0, "sckIRC", "", 0});
  if (settings_.IRCTLS) Session().sckIRC_TlsError({c.input, "", c.kind == kTlsPlain});
  if (c.kind == kReceived) SocketConnects(), Receive(c.input);
  const std::string text =
      c.cause.empty() ? "" : ConnectFailedText("irc.example.net:6667", c.cause);
  const bool mismatch = c.cause == kTls || c.cause == kNotTls;
  EXPECT_EQ(LogTexts((mismatch ? log_msg::kTlsMismatch : log_msg::kConnectFailed).id),
            std::vector<std::string>(text.empty() ? 0 : 1, text));
  EXPECT_EQ(Session().Problem(), text);
  EXPECT_EQ(Session().CurrentPhase() == IrcSession::Phase::kWaiting, !text.empty());
  EXPECT_EQ(std::count(console_.lines.begin(), console_.lines.end(), text + "\r\n"), !text.empty());
}

const std::string kSelfSigned = TlsFailedCause("Self-signed.");
INSTANTIATE_TEST_SUITE_P(
    Table, FailureTest,
    ::testing::Values(FailureCase{kError, "Host not found", kHostNotFound, 11001},
                      FailureCase{kError, "Connection refused", kRefused, 10061},
                      FailureCase{kError, "Invalid port 0.", "Invalid port 0", 10049},
                      FailureCase{kTlsRefused, "Self-signed.", kSelfSigned},
                      FailureCase{kTlsPlain, "wrong version number", kNotTls},
                      FailureCase{kReceived, std::string("\x15\x03\x01\0", 4), kTls},
                      FailureCase{kReceived, "\x16\x03\x03", kTls},
                      FailureCase{kReceived, ":srv NOTICE * :\x16\x03\r\n", ""}));

// --- what is shown ---

TEST_F(SessionLifecycleTest, TagsAreTakenOffForTheConsoleAndKeptForTheMatcher) {
  Online();
  Receive("@account=alice;time=2024-01-01T00:00:00Z :alice!~a@h PRIVMSG #lab :Disco On\r\n");
  EXPECT_THAT(console_.lines, ElementsAre(":alice!~a@h PRIVMSG #lab :Disco On\r\n"));
  EXPECT_THAT(matched_, ElementsAre("@account=alice;time=2024-01-01T00:00:00Z :alice!~a@h "
                                    "PRIVMSG #lab :Disco On\r\n"));
}

TEST_F(SessionLifecycleTest, SecretsNeverReachTheConsoleOrTheLog) {
  settings_.IRCPassword = "bouncer:pw";
  settings_.IRCSASLPassword = "hunter2";
  settings_.MQTTPassword = "broker-pw";
  Connected();
  Receive(":srv 464 relay :Password bouncer:pw incorrect\r\n");
  Receive(":srv NOTICE relay :someone pasted broker-pw here\r\n");
  Receive("ERROR :Closing link (hunter2 was wrong)\r\n");
  ASSERT_FALSE(console_.lines.empty());
  for (const char* secret : {"bouncer:pw", "hunter2", "broker-pw"}) {
    for (const std::string& line : console_.lines) EXPECT_THAT(line, Not(HasSubstr(secret)));
    for (const auto& entry : log_) EXPECT_THAT(entry.text, Not(HasSubstr(secret)));
  }
  EXPECT_THAT(LogTexts(log_msg::kServerError.id),
              ElementsAre(ServerErrorText("Closing link (******** was wrong)")));
  // The server still got the password.
  EXPECT_THAT(socket_.sent, Contains("PASS bouncer:pw\r\n"));
}

TEST_F(SessionLifecycleTest, TheRosterFollowsTheChannelForTheAccessRules) {
  Connected();
  Receive(
      ":srv CAP * LS :account-tag multi-prefix\r\n:srv CAP relay ACK :account-tag "
      "multi-prefix\r\n:srv 001 relay :Welcome\r\n:srv 005 relay CASEMAPPING=ascii "
      "PREFIX=(qov)~@+ :are supported\r\n");
  Receive(":relay!~relay@h JOIN :#lab\r\n:srv 353 relay = #lab :relay ~@alice +bob\r\n");
  Receive(":alice!~a@h MODE #lab -o alice\r\n:bob!~b@h PRIVMSG #lab :hi\r\n");
  EXPECT_EQ(Session().Roster().Find("bob")->account, "");  // account-tag: untagged, logged out
  EXPECT_TRUE(Session().Roster().Joined());
  EXPECT_EQ(Session().Roster().OwnNick(), "relay");
  EXPECT_TRUE(Session().Roster().HasStatus("alice", 'q'));
  EXPECT_TRUE(Session().Roster().HasStatus("BOB", 'v'));
  EXPECT_EQ(Session().Server().casemapping.kind(), CaseMapping::Kind::kAscii);
  // A new connection forgets them.
  ServerCloses();
  EXPECT_FALSE(Session().Roster().Joined());
}

}  // namespace
}  // namespace zelvo
