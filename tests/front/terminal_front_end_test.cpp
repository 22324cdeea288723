#include "app/terminal_front_end.h"

#include <gtest/gtest.h>

#include <sstream>

#include "outputs/memory_port.h"
#include "support/fake_clock.h"
#include "support/qt_application.h"

namespace zelvo {
namespace {

using std::chrono::seconds;
using State = ConnectionStatus::State;

// The terminal prints the status once per change of it, with the countdown
// as it stands at the change, and each rule run.
TEST(TerminalFrontEnd, PrintsEachStatusChangeOnceAndEachRuleRun) {
  Settings settings;
  MemoryPort port;
  Outputs outputs(port);
  testing::FakeClock clock;
  std::ostringstream out;
  TerminalFrontEnd terminal(
      FrontEndServices{settings, outputs, nullptr, nullptr, nullptr, nullptr, &clock}, out);
  const ConnectionStatus joined{State::kJoined, "irc.example.net:6667", "#lab", "Zelvo", {}};
  ConnectionStatus waiting{State::kReconnecting, "irc.example.net:6667", "#lab", "Zelvo",
                           clock.MonotonicNow() + seconds(30)};
  terminal.ShowConnectionStatus(joined);
  terminal.ShowConnectionStatus(joined);
  terminal.ShowConnectionStatus(waiting);
  clock.Advance(seconds(10));
  terminal.ShowConnectionStatus(waiting);  // only the time has passed
  waiting.reconnect_at = clock.MonotonicNow() + seconds(60);
  terminal.ShowConnectionStatus(waiting);  // lost again: a new wait
  ConnectionStatus renamed = joined;
  renamed.nick = "Zelvo_";
  terminal.ShowConnectionStatus(renamed);
  terminal.ShowRuleRun("Disco-Kula On", "alice", ToOleDate({2024, 5, 17, 9, 5, 7}));
  terminal.ShowRules(IOCommands{});  // nothing to show without lamps
  EXPECT_EQ(out.str(),
            "Status: In the channel  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  Zelvo\n"
            "Status: Reconnecting in 30 s  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  "
            "Zelvo\n"
            "Status: Reconnecting in 60 s  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  "
            "Zelvo\n"
            "Status: In the channel  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  Zelvo_\n"
            "Last rule: Disco-Kula On by alice at 09:05:07\n");
}

TEST(TerminalFrontEnd, PrintsAReconnectCountdownOnce) {
  Settings settings;
  MemoryPort port;
  Outputs outputs(port);
  std::ostringstream out;
  TerminalFrontEnd terminal(
      FrontEndServices{settings, outputs, nullptr, nullptr, nullptr, nullptr, nullptr}, out);
  for (const char* caption :
       {"Zelvo -  (Reconnecting in 10 s)", "Zelvo -  (Reconnecting in 9 s)",
        "Zelvo -  (TLS error, reconnecting in 9 s)", "Zelvo -  (Connecting)"})
    terminal.ShowConnectionState(caption);
  EXPECT_EQ(out.str(),
            "Zelvo -  (Reconnecting in 10 s)\nZelvo -  (TLS error, reconnecting in 9 s)\n"
            "Zelvo -  (Connecting)\n");
}

}  // namespace
}  // namespace zelvo
