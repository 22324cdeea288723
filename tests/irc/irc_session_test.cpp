#include "irc/irc_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "irc/session_fixture.h"

namespace zelvo {
namespace {

using std::chrono::seconds;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::kUser;
using testing::LogLine;
using ::testing::SizeIs;

using IrcSessionTest = testing::SessionTest;

// --- connection, registration, state ---

TEST_F(IrcSessionTest, ConnectToServerSetsTheTargetAndReportsBeforeAndAfter) {
  Session().ConnectToServer();
  EXPECT_EQ(socket_.remote_host, "irc.example.net");
  EXPECT_EQ(socket_.remote_port, 6667);
  EXPECT_EQ(socket_.connect_calls, 1);
  EXPECT_THAT(captions_, ElementsAre("Zelvo -  (Closed)", "Zelvo -  (Connecting)"));
  EXPECT_THAT(log_, ElementsAre(LogLine{32, 4, SocketStateChangedText("Closed")},
                                LogLine{50, 4, ConnectAttemptText("irc.example.net:6667", false)},
                                LogLine{32, 4, SocketStateChangedText("Connecting")}));
  EXPECT_FALSE(socket_.tls.enabled);
}

TEST_F(IrcSessionTest, NegativePortIsWidenedUnchanged) {
  settings_.giIRCPort = -1;
  Session().ConnectToServer();
  EXPECT_EQ(socket_.remote_port, -1);
}

TEST_F(IrcSessionTest, RegistersAtOnceAndJoinsOnlyAfterTheWelcome) {
  SocketConnects();
  EXPECT_THAT(socket_.sent, ElementsAre("CAP LS 302\r\n", "NICK relay\r\n", kUser + "\r\n"));
  EXPECT_THAT(captions_, ElementsAre("Zelvo -  (Registering)"));
  EXPECT_THAT(log_, ElementsAre(LogLine{32, 4, SocketStateChangedText("Connected")}));
  socket_.sent.clear();
  Receive(":srv 001 relay :Welcome\r\n");
  EXPECT_THAT(socket_.sent, ElementsAre("JOIN #lab\r\n"));
  EXPECT_EQ(captions_.back(), "Zelvo -  (Not in #lab)");
  Receive(":relay!~relay@h JOIN :#lab\r\n");
  EXPECT_EQ(captions_.back(), "Zelvo -  (Joined #lab)");
}

TEST_F(IrcSessionTest, UpperCasesOnlyTheFourthUserField) {
  settings_.gsIRCUser = "Relay";
  socket_.local_host_name = "Lab-pc.local";
  socket_.local_port = 50001;
  SocketConnects();
  ASSERT_THAT(socket_.sent, SizeIs(3));
  EXPECT_EQ(socket_.sent[2], "USER Relay Lab-pc.local LAB-PC.LOCAL:50001/0 :Winsock Client\r\n");
}

struct StateCase {
  std::int16_t state;
  const char* text;
};

class SocketStateTextTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(SocketStateTextTest, MapsTheNumberToItsText) {
  EXPECT_EQ(SocketStateText(GetParam().state), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SocketStateTextTest,
    ::testing::Values(StateCase{0, "Closed"}, StateCase{1, "Open"}, StateCase{2, "Listening"},
                      StateCase{3, "Connecting pending"}, StateCase{4, "Resolveing host"},
                      StateCase{5, "Host resolved"}, StateCase{6, "Connecting"},
                      StateCase{7, "Connected"}, StateCase{8, "Closing"}, StateCase{9, "Error"},
                      StateCase{10, "The connection is unknown"},
                      StateCase{-1, "The connection is unknown"},
                      StateCase{32767, "The connection is unknown"}));

TEST_F(IrcSessionTest, ReportsOnlyRealChanges) {
  socket_.state = socket_state::kResolvingHost;
  Session().ReportConnectionState();
  Session().sckIRC_SendComplete();
  socket_.state = 42;
  Session().sckIRC_SendComplete();
  Session().ReportConnectionState();
  EXPECT_THAT(captions_,
              ElementsAre("Zelvo -  (Resolveing host)", "Zelvo -  (The connection is unknown)"));
  EXPECT_THAT(log_,
              ElementsAre(LogLine{32, 4, SocketStateChangedText("Resolveing host")},
                          LogLine{32, 4, SocketStateChangedText("The connection is unknown")}));
  EXPECT_EQ(Session().SocketStateText(), "The connection is unknown");
  EXPECT_EQ(Session().IrcStateText(), "");
}

TEST_F(IrcSessionTest, DataWhileConnectedLogsNothingMore) {
  OnlineAndRested();
  Receive(":srv 002 relay :Your host\r\n");
  Receive("partial");
  EXPECT_THAT(log_, IsEmpty());
  EXPECT_THAT(captions_, IsEmpty());
}

TEST_F(IrcSessionTest, ErrorLogsSevenLinesWithoutTrailingLineEndThenWaits) {
  settings_.IRCReconnect = false;
  Session().ConnectToServer();
  Forget();
  socket_.state = socket_state::kError;
  Session().sckIRC_Error(
      SocketError{10061, "Connection is forcefully rejected", -2146818227, "sckIRC", "", 0});
  ASSERT_THAT(log_, SizeIs(3));
  EXPECT_EQ(log_[0], (LogLine{35, 1,
                              SocketErrorText(10061, "Connection is forcefully rejected",
                                              -2146818227, "sckIRC", "", 0)}));
  EXPECT_EQ(log_[1].id, log_msg::kConnectFailed.id);
  EXPECT_EQ(log_[2], (LogLine{32, 4, SocketStateChangedText("Error")}));
  EXPECT_THAT(captions_, ElementsAre("Zelvo -  (Error)"));
}

TEST_F(IrcSessionTest, ServerClosingTheConnectionIsReportedAndRetried) {
  OnlineAndRested();
  Receive(":srv NOTICE relay :half a li");
  ServerCloses();
  EXPECT_THAT(captions_, ElementsAre("Zelvo -  (Reconnecting in 5 s)"));
  EXPECT_THAT(log_, ElementsAre(LogLine{60, 4, ReconnectInText(5)},
                                LogLine{32, 4, SocketStateChangedText("Closed")}));
  // Nothing is sent on a dead connection, and a partial line does not survive it.
  EXPECT_EQ(Session().SendLine("PRIVMSG #lab  I toggled X."), console_text::kNotConnected);
  EXPECT_EQ(Session().QueuedLines(), 0u);
}

// The state hook is told of each change of phase, channel or nickname, not
// of lines that change none of them; the accessors give the new state.
TEST_F(IrcSessionTest, StateHookFollowsPhaseChannelAndNickname) {
  using Phase = IrcSession::Phase;
  std::vector<std::string> seen;
  Session().SetStateChanged([&] {
    static const char* const kNames[] = {"idle",       "connecting", "registering",
                                         "registered", "waiting",    "stopped"};
    std::string text = kNames[static_cast<int>(Session().CurrentPhase())];
    if (Session().Roster().Joined()) text += " joined";
    seen.push_back(text + " " + Session().Nickname());
  });
  Connected();
  Receive(":srv 001 relay :Welcome\r\n");
  Receive(":relay!~relay@h JOIN :#lab\r\n");
  Receive(":a!~a@h PRIVMSG #lab :hello\r\n");
  Receive(":relay!~relay@h NICK :relay2\r\n");
  Receive(":srv 001 mallory :Welcome again\r\n");
  EXPECT_EQ(Session().Roster().OwnNick(), "mallory");  // the rules ignore the nick in use
  ServerCloses();
  // Before NICK is sent the session has no nickname yet.
  EXPECT_THAT(seen, ElementsAre("connecting ", "connecting ", "registering ", "registered relay",
                                "registered joined relay", "registered joined relay2",
                                "registered joined mallory", "waiting mallory"));
  EXPECT_EQ(Session().CurrentPhase(), Phase::kWaiting);
  EXPECT_GT(Session().ReconnectWait(), seconds(4));
  EXPECT_EQ(Session().ReconnectAt(), clock_.MonotonicNow() + Session().ReconnectWait());
}

TEST_F(IrcSessionTest, ConnectionRequestClosesAndAcceptsUnlessClosed) {
  Session().sckIRC_ConnectionRequest(5);
  EXPECT_EQ(socket_.close_calls, 0);
  EXPECT_THAT(socket_.accepted, IsEmpty());
  socket_.state = socket_state::kListening;
  Session().sckIRC_ConnectionRequest(6);
  EXPECT_EQ(socket_.close_calls, 1);
  EXPECT_THAT(socket_.accepted, ElementsAre(6));
}

TEST_F(IrcSessionTest, CloseClosesTheSocketAndIgnoresLaterEvents) {
  OnlineAndRested();
  Session().Close();
  EXPECT_EQ(socket_.close_calls, 1);
  Session().sckIRC_Close();
  Receive(":a!~a@h PRIVMSG #lab :Disco On\r\n");
  EXPECT_THAT(matched_, IsEmpty());
  EXPECT_THAT(log_, IsEmpty());
  // Still taken from the socket, which reads on only once its data is taken.
  EXPECT_EQ(socket_.incoming, "");
}

// --- incoming lines ---

TEST_F(IrcSessionTest, AnswersPingWithTheRestOfItsLine) {
  OnlineAndRested();
  Receive("PING :7A41C2\r\n");
  EXPECT_THAT(socket_.sent, ElementsAre("PONG :7A41C2\r\n"));
  EXPECT_THAT(console_.lines, ElementsAre("PING :7A41C2\r\n"));
  EXPECT_THAT(matched_, ElementsAre("PING :7A41C2\r\n"));
}

struct PingCase {
  std::string received;
  std::vector<std::string> sent;
};

void PrintTo(const PingCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.received.substr(0, 40));
}

class PingAnswerTest : public IrcSessionTest, public ::testing::WithParamInterface<PingCase> {};

TEST_P(PingAnswerTest, AnswersAnExactPingFieldWithItsTokenInOneLineOf512Bytes) {
  OnlineAndRested();
  Receive(GetParam().received);
  EXPECT_EQ(socket_.sent, GetParam().sent);
  for (const std::string& line : socket_.sent) EXPECT_LE(line.size(), 512u);
}

// "PONG " + 505 bytes + CR LF is 512 bytes.
const std::string kLongest = ":" + std::string(504, 't');

INSTANTIATE_TEST_SUITE_P(
    Table, PingAnswerTest,
    ::testing::Values(PingCase{"ping :1\r\nPINGER :2\r\n:srv PRIVMSG relay :PING 3\r\n", {}},
                      PingCase{"PING irc.example.net extra\n", {"PONG irc.example.net extra\r\n"}},
                      PingCase{"PING\r\n", {}}, PingCase{"PING \r\n", {}},
                      PingCase{":irc.example.net PING :x\r\n", {"PONG :x\r\n"}},
                      PingCase{"@time=2024-01-01T00:00:00Z :srv PING :y\r\n", {"PONG :y\r\n"}},
                      PingCase{"@a=b PING z\r\n", {"PONG z\r\n"}},
                      PingCase{":srv ping :1\r\n:srv\r\n", {}},
                      PingCase{"PING :\xE4\xFC\r\n", {"PONG :\xE4\xFC\r\n"}},  // bytes as they came
                      PingCase{"PING " + kLongest + "\r\n", {"PONG " + kLongest + "\r\n"}},
                      PingCase{"PING " + kLongest + "u\r\n", {"PONG " + kLongest + "\r\n"}},
                      PingCase{"PING " + kLongest + std::string(7000, 'u') + "\r\n",
                               {"PONG " + kLongest + "\r\n"}}));

TEST_F(IrcSessionTest, APingFloodKeepsOnlyTheNewestPongWaiting) {
  OnlineAndRested();
  std::string flood;
  for (int i = 0; i < 1000; ++i) flood += "PING :" + std::to_string(i) + "\r\n";
  Receive(flood);
  EXPECT_THAT(socket_.sent,
              ElementsAre("PONG :0\r\n", "PONG :1\r\n", "PONG :2\r\n", "PONG :3\r\n"));
  EXPECT_EQ(Session().QueuedLines(), 1u);
  // A reply behind the waiting PONG is still taken.
  EXPECT_EQ(Session().SendLine("PRIVMSG #lab  I toggled X."), "");
  socket_.sent.clear();
  for (int s = 0; s < 2; ++s) Tick(seconds(1));
  EXPECT_THAT(socket_.sent, ElementsAre("PONG :999\r\n", "PRIVMSG #lab  I toggled X.\r\n"));
  EXPECT_THAT(LogWithId(39), IsEmpty());
}

TEST_F(IrcSessionTest, AnswersAPingBehindOtherDataInTheSameRead) {
  OnlineAndRested();
  Receive(":a!~a@h PRIVMSG #lab :hi\r\nPING :1\r\n:b!~b@h PRIVMSG #lab :yo\r\n");
  EXPECT_THAT(socket_.sent, ElementsAre("PONG :1\r\n"));
  EXPECT_THAT(matched_, ElementsAre(":a!~a@h PRIVMSG #lab :hi\r\n", "PING :1\r\n",
                                    ":b!~b@h PRIVMSG #lab :yo\r\n"));
  EXPECT_EQ(console_.lines, matched_);
}

TEST_F(IrcSessionTest, MatchesALineSplitAcrossTwoReadsOnce) {
  OnlineAndRested();
  Receive(":alice!~al@host PRIVMSG #la");
  EXPECT_THAT(matched_, IsEmpty());
  EXPECT_THAT(console_.lines, IsEmpty());
  Receive("b :Disco On\r\n:bob!~b@h PRIV");
  EXPECT_THAT(matched_, ElementsAre(":alice!~al@host PRIVMSG #lab :Disco On\r\n"));
  EXPECT_THAT(console_.lines, ElementsAre(":alice!~al@host PRIVMSG #lab :Disco On\r\n"));
}

// A backlog goes to the rules a bounded pass at a time, in order, and what
// arrives meanwhile follows it.
TEST_F(IrcSessionTest, HandsABacklogOverInBoundedPassesInOrder) {
  OnlineAndRested();
  for (int i = 0; i < 250; ++i) socket_.incoming += "PING :" + std::to_string(i) + "\r\n";
  std::vector<std::size_t> handled;
  for (socket_.data_event_due = true; socket_.data_event_due; handled.push_back(matched_.size())) {
    socket_.data_event_due = false;
    Session().sckIRC_DataArrival(0);
    if (handled.empty()) socket_.incoming += "PING :250\r\n";
  }
  EXPECT_THAT(handled, ElementsAre(100, 200, 250, 251, 251));
  for (int i = 0; i <= 250; ++i) EXPECT_EQ(matched_[i], "PING :" + std::to_string(i) + "\r\n");
}

TEST_F(IrcSessionTest, EachLineIsMatchedWithItsOwnSender) {
  OnlineAndRested();
  Receive(":irc.example.net NOTICE * :hello\r\n:bob!~b@h PRIVMSG #lab :Disco On\r\n");
  ASSERT_THAT(matched_, SizeIs(2));
  EXPECT_EQ(matched_[1].substr(0, 10), ":bob!~b@h ");
}

TEST_F(IrcSessionTest, DropsAnOverLongLineWithAWarning) {
  OnlineAndRested();
  Receive(std::string(9000, 'x'));
  Receive("yyy\r\n:a!~a@h PRIVMSG #lab :Disco On\r\n");
  EXPECT_THAT(LogWithId(38), ElementsAre(LogLine{38, 2, LineTooLongText(8703)}));
  EXPECT_THAT(matched_, ElementsAre(":a!~a@h PRIVMSG #lab :Disco On\r\n"));
}

TEST_F(IrcSessionTest, ReadsLinesThatAreNotUtf8AsLatin1) {
  OnlineAndRested();
  Receive(
      ":a!~a@h PRIVMSG #lab :Gr\xFC\xDF"
      "e\r\n:b!~b@h PRIVMSG #lab :\xE2\x82\xAC\r\n");
  EXPECT_THAT(matched_, ElementsAre(":a!~a@h PRIVMSG #lab :Gr\xC3\xBC\xC3\x9F"
                                    "e\r\n",
                                    ":b!~b@h PRIVMSG #lab :\xE2\x82\xAC\r\n"));
  EXPECT_EQ(console_.lines, matched_);
}

TEST_F(IrcSessionTest, FollowsTenThousandChannelMembersAndSaysOnceWhenThereAreMore) {
  OnlineAndRested();
  std::string names;
  for (int i = 0; i < 10500; ++i) {
    names += (i % 500 == 0 ? ":srv 353 relay = #lab :n" : " n") + std::to_string(i);
    if (i % 500 == 499) names += "\r\n";
  }
  Receive(names + ":n0!a@h PART #lab\r\n:late!l@h JOIN #lab\r\n");
  EXPECT_NE(Session().Roster().Find("N9998"), nullptr);  // and the bot
  EXPECT_EQ(Session().Roster().Find("n9999"), nullptr);
  EXPECT_NE(Session().Roster().Find("late"), nullptr);
  EXPECT_THAT(LogWithId(log_msg::kRosterFull.id), SizeIs(1));
}

// --- outgoing lines and the flood limit ---

TEST_F(IrcSessionTest, SendsABurstOfFourRepliesThenOneASecondOnTheTick) {
  OnlineAndRested();
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(Session().SendLine("PRIVMSG #lab  I toggled " + std::to_string(i) + "."), "");
  }
  EXPECT_THAT(socket_.sent, SizeIs(4));
  Session().tmrSendQueue_Timer();
  EXPECT_THAT(socket_.sent, SizeIs(4));
  Tick(seconds(1));
  Session().tmrSendQueue_Timer();
  EXPECT_THAT(socket_.sent, SizeIs(5));
  Tick(seconds(1));
  ASSERT_THAT(socket_.sent, SizeIs(6));
  EXPECT_EQ(socket_.sent[5], "PRIVMSG #lab  I toggled 5.\r\n");
}

TEST_F(IrcSessionTest, PongIsNotDelayedBehindReplies) {
  OnlineAndRested();
  for (int i = 0; i < 10; ++i) Session().SendLine("PRIVMSG #lab  r" + std::to_string(i));
  Receive("PING :tok\r\n");
  Tick(seconds(1));
  ASSERT_THAT(socket_.sent, SizeIs(5));
  EXPECT_EQ(socket_.sent[4], "PONG :tok\r\n");
}

// A server that echoes the bot's JOIN again and again gets one WHO, and its
// PING is still answered at once.
TEST_F(IrcSessionTest, RepeatedOwnJoinsAskWhoOnceAndDoNotHoldUpThePong) {
  SocketConnects();
  Receive(":srv 001 relay :Welcome\r\n:srv 005 relay WHOX :are supported\r\n");
  std::string echoes;
  for (int i = 0; i < 2000; ++i) echoes += ":relay!~relay@h JOIN :#lab\r\n";
  Receive(echoes + "PING :tok\r\n");
  Pass(seconds(2));
  EXPECT_THAT(socket_.sent, ::testing::Contains("PONG :tok\r\n"));
  EXPECT_EQ(std::count(socket_.sent.begin(), socket_.sent.end(), "WHO #lab %tna,152\r\n"), 1);
  EXPECT_THAT(LogWithId(log_msg::kJoined.id), SizeIs(1));
}

TEST_F(IrcSessionTest, AFreshConnectionDropsWhatTheOldOneQueued) {
  OnlineAndRested();
  for (int i = 0; i < 8; ++i) Session().SendLine("PRIVMSG #lab  r");
  socket_.sent.clear();
  Session().sckIRC_Connect();
  EXPECT_THAT(socket_.sent, ElementsAre("CAP LS 302\r\n", "NICK relay\r\n", kUser + "\r\n"));
  EXPECT_EQ(Session().QueuedLines(), 0u);
}

TEST_F(IrcSessionTest, DropsRepliesBeyondThirtySecondsAndLogsTheCount) {
  OnlineAndRested();
  for (int i = 0; i < 50; ++i) EXPECT_EQ(Session().SendLine("PRIVMSG #lab  I toggled X."), "");
  EXPECT_THAT(socket_.sent, SizeIs(4));
  EXPECT_EQ(Session().QueuedLines(), 30u);
  Session().tmrSendQueue_Timer();
  EXPECT_THAT(LogWithId(39), IsEmpty());
  Tick(seconds(1));
  EXPECT_THAT(LogWithId(39), ElementsAre(LogLine{39, 2, RepliesDroppedText(16)}));
  // The queue drains in 30 s, and then the replies are all gone.
  for (int s = 0; s < 40; ++s) Tick(seconds(1));
  EXPECT_THAT(socket_.sent, SizeIs(34));
  EXPECT_THAT(LogWithId(39), SizeIs(1));
}

TEST_F(IrcSessionTest, RemovesCrLfAndNulInsideOutgoingText) {
  OnlineAndRested();
  Session().SendLine(std::string("PRIVMSG #lab  I toggled A\r\nQUIT :x\0.\r\n", 36));
  EXPECT_TRUE(Session().SendOperatorLine("hi\r\nQUIT :bye"));
  EXPECT_THAT(socket_.sent, ElementsAre("PRIVMSG #lab  I toggled AQUIT :x.\r\n",
                                        "PRIVMSG #lab :hiQUIT :bye\r\n"));
}

// --- the operator's line ---

// An operator's line goes out whole (an empty one too), is echoed and matched.
TEST_F(IrcSessionTest, OperatorLinesGoOutWholeAndAreEchoedAndMatched) {
  OnlineAndRested();
  EXPECT_TRUE(Session().SendOperatorLine("Disco On now"));
  EXPECT_TRUE(Session().SendOperatorLine(""));
  EXPECT_THAT(socket_.sent, ElementsAre("PRIVMSG #lab :Disco On now\r\n", "PRIVMSG #lab :\r\n"));
  EXPECT_THAT(console_.lines, ElementsAre(":relay!~relay@10.0.0.5 PRIVMSG #lab :Disco On now\r\n",
                                          ":relay!~relay@10.0.0.5 PRIVMSG #lab :\r\n"));
  EXPECT_THAT(matched_, ElementsAre("<relay> Disco On now", "<relay> "));
}

TEST_F(IrcSessionTest, OperatorLinesAndRepliesAreRefusedUnlessConnected) {
  for (std::int16_t state : {socket_state::kClosed, socket_state::kConnecting,
                             socket_state::kClosing, socket_state::kError}) {
    socket_.state = state;
    EXPECT_FALSE(Session().SendOperatorLine("Disco On")) << state;
    EXPECT_EQ(Session().SendLine("PRIVMSG #lab  I toggled X."), console_text::kNotConnected);
  }
  EXPECT_THAT(socket_.sent, IsEmpty());
  EXPECT_THAT(console_.lines, IsEmpty());
  EXPECT_THAT(matched_, IsEmpty());
}

TEST_F(IrcSessionTest, MatcherSetLaterIsUsed) {
  OnlineAndRested();
  std::vector<std::string> late;
  Session().SetMatcher([&](const LineEvent& e) { late.push_back(testing::Described(e)); });
  Receive(":a!~a@h PRIVMSG #lab :x\r\n");
  EXPECT_THAT(late, ElementsAre(":a!~a@h PRIVMSG #lab :x\r\n"));
  EXPECT_THAT(matched_, IsEmpty());
}

TEST_F(IrcSessionTest, WorksWithoutHooks) {
  IrcSession bare(settings_, socket_, clock_, console_, IrcHooks{});
  socket_.state = socket_state::kConnected;
  bare.sckIRC_Connect();
  socket_.Receive(bare, "PING :1\r\n:srv 001 relay :hi\r\n");
  EXPECT_TRUE(bare.SendOperatorLine("x"));
  clock_.Advance(seconds(1));
  bare.tmrSendQueue_Timer();
  // CAP LS, NICK, USER, PONG, JOIN, the operator's line.
  EXPECT_THAT(socket_.sent, SizeIs(6));
}

// --- strict transport security ---

// The server lists `listed` on a first connection (TLS to 6697, else plain
// to 6667); then, configured plain and unverified, the bot goes where the
// policies send it, after a TLS failure too.
TEST_F(IrcSessionTest, StsPoliciesMoveAttemptsOntoVerifiedTls) {
  struct Row {
    bool tls, verify, sts;
    std::string listed;
    std::int32_t next_port;  // 6697: TLS and verified
    std::vector<std::int32_t> logged;
  };
  for (const Row& row :
       {Row{false, false, true, "sts=port=6697,duration=300", 6697, {69, 76, 69, 104, 69}},
        Row{false, true, true, "sts=duration=300", 6667, {}},
        Row{false, true, false, "sts=port=6697,duration=300", 6667, {79}},
        Row{true, false, true, "sts=duration=300", 6667, {}},  // unverified: not kept
        Row{true, true, true, "sts=port=1,duration=300", 6697, {76, 69, 76, 69, 104, 69}}}) {
    SCOPED_TRACE(row.listed + (row.tls ? " over TLS" : " plain"));
    session_.reset();
    socket_ = testing::FakeSocket();
    log_.clear();
    settings_.IRCTLS = row.tls;
    settings_.giIRCPort = row.tls ? 6697 : 6667;
    settings_.IRCTLSVerify = row.verify;
    settings_.IRCSTS = row.sts;
    const std::string listed = ":srv CAP * LS :multi-prefix " + row.listed + "\r\n";
    Connected();
    socket_.sent.clear();
    Receive(listed);
    const bool quits = !row.tls && row.next_port == 6697;
    EXPECT_THAT(socket_.sent,
                ElementsAre(quits ? "QUIT :Reconnecting with TLS (strict transport security)\r\n"
                                  : "CAP REQ :multi-prefix\r\n"));
    if (!quits) ServerCloses();
    settings_.gsIRCDomain = "IRC.example.NET";
    settings_.IRCTLS = settings_.IRCTLSVerify = false;
    settings_.giIRCPort = 6667;
    const auto expect_attempt = [&](int calls) {
      EXPECT_EQ(socket_.connect_calls, calls);
      EXPECT_EQ(socket_.remote_port, row.next_port);
      EXPECT_EQ(socket_.tls.enabled && socket_.tls.verify, row.next_port == 6697);
    };
    Tick(seconds(0));  // an upgrade at once, else after the backoff's 5 s
    EXPECT_EQ(socket_.connect_calls, quits ? 2 : 1);
    Tick(seconds(10));
    expect_attempt(2);
    SocketConnects();
    Receive(listed);
    ServerCloses();
    Tick(seconds(10));
    Session().sckIRC_TlsError({"handshake failed", "", false});
    Tick(seconds(20));
    expect_attempt(4);
    std::vector<std::int32_t> logged;  // the lines about the policies
    for (const LogLine& line : log_) {
      if (line.id == 69 || line.id == 76 || line.id == 79 || line.id == 104 || line.id == 105) {
        logged.push_back(line.id);
      }
    }
    EXPECT_EQ(logged, row.logged);
  }
}

}  // namespace
}  // namespace zelvo
