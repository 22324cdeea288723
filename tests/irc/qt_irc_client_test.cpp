#include "irc/qt_irc_client.h"

#include "front/bot_status.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "irc/irc_fakes.h"
#include "irc/irc_session.h"

namespace zelvo {
namespace {

using std::chrono::seconds;
using State = ConnectionStatus::State;
using testing::FakeClock;
using testing::FakeSocket;
using testing::RecordingConsole;

// Where the session stands, step by step, as the status shows it.
TEST(StatusOfSession, FollowsTheSessionFromStartToReconnect) {
  Settings settings;
  settings.gsIRCDomain = "irc.example.net";
  settings.giIRCPort = 6697;
  settings.IRCTLS = true;
  settings.gsIRCChannel = "#lab";
  settings.gsIRCNickname = "Zelvo";
  settings.gsIRCUser = "zelvo";
  FakeSocket socket;
  FakeClock clock;
  RecordingConsole console;
  IrcSession session(settings, socket, clock, console, IrcHooks{}, {}, [] { return 0x7FFFFFFFu; });
  std::vector<std::string> seen;
  const auto step = [&] {
    const ConnectionStatus status = StatusOfSession(session, settings);
    EXPECT_EQ(status.server, "irc.example.net:+6697");
    EXPECT_EQ(status.channel, "#lab");
    seen.push_back(ConnectionStateWords(status, clock.MonotonicNow()) + " as " + status.nick);
  };
  step();
  session.ConnectToServer();
  step();
  socket.state = socket_state::kConnected;
  session.sckIRC_Connect();
  step();
  socket.Receive(session, ":srv 433 * Zelvo :Nickname is already in use\r\n");
  socket.Receive(session, ":srv 001 Zelvo_ :Welcome\r\n");
  step();
  socket.Receive(session, ":Zelvo_!~zelvo@h JOIN :#lab\r\n");
  step();
  socket.state = socket_state::kClosed;
  session.sckIRC_Close();
  step();
  clock.Advance(seconds(2));
  step();
  EXPECT_THAT(seen, ::testing::ElementsAre(
                        "Disconnected as Zelvo", "Connecting as Zelvo", "Registering as Zelvo",
                        "Connected, not in the channel as Zelvo_", "In the channel as Zelvo_",
                        "Reconnecting in 5 s as Zelvo_", "Reconnecting in 3 s as Zelvo_"));
  EXPECT_EQ(StatusOfSession(session, settings).reconnect_at, session.ReconnectAt());
  session.Close();
  EXPECT_EQ(StatusOfSession(session, settings).state, State::kDown);
}

// The caption and the status line count one deadline down with one rounding,
// whatever the wait's fraction of a second.
TEST(StatusOfSession, CaptionAndStatusCountTheSameSecondsDown) {
  Settings settings;
  settings.gsIRCChannel = "#lab";
  FakeSocket socket;
  FakeClock clock;
  RecordingConsole console;
  std::string caption;
  IrcHooks hooks;
  hooks.caption = [&](const std::string& text) { caption = text; };
  // A random draw that makes the first wait 4.4 s.
  IrcSession session(settings, socket, clock, console, std::move(hooks), {},
                     [] { return 0x33333333u; });
  session.ConnectToServer();
  socket.state = socket_state::kError;
  SocketError refused;
  refused.Number = 10061;
  session.sckIRC_Error(refused);
  ASSERT_EQ(session.CurrentPhase(), IrcSession::Phase::kWaiting);
  for (int tenth = 0; tenth < 42; tenth += 3) {
    const std::string words =
        ConnectionStateWords(StatusOfSession(session, settings), clock.MonotonicNow());
    EXPECT_EQ(caption, "Zelvo -  (" + words + ")") << tenth;
    clock.Advance(std::chrono::milliseconds(300));
    session.tmrSendQueue_Timer();
  }
}

}  // namespace
}  // namespace zelvo
