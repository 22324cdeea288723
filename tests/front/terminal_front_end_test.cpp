#include "app/terminal_front_end.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/fake_clock.h"

namespace zelvo {
namespace {

using std::chrono::seconds;
using State = ConnectionStatus::State;

// The terminal prints the status once per change of it, with the countdown
// as it stands at the change, and each rule run.
TEST(TerminalFrontEnd, PrintsEachStatusChangeOnceAndEachRuleRun) {
  BotState state;
  testing::FakeClock clock;
  std::ostringstream out;
  TerminalFrontEnd terminal(state, clock, out);
  const ConnectionStatus joined{State::kJoined, "irc.example.net:6667", "#lab", "Zelvo", {}, ""};
  ConnectionStatus waiting{State::kReconnecting, "irc.example.net:6667", "#lab", "Zelvo",
                           clock.MonotonicNow() + seconds(30), ""};
  state.connection.Set(joined);
  state.connection.Set(joined);
  state.connection.Set(waiting);
  clock.Advance(seconds(10));
  state.connection.Set(waiting);  // only the time has passed
  waiting.reconnect_at = clock.MonotonicNow() + seconds(60);
  state.connection.Set(waiting);  // lost again: a new wait
  ConnectionStatus renamed = joined;
  renamed.nick = "Zelvo_";
  state.connection.Set(renamed);
  state.last_run.Set(RuleRun{"Disco-Kula On", "alice", ToOleDate({2024, 5, 17, 9, 5, 7})});
  state.rules.Set({});  // nothing to show without lamps
  EXPECT_EQ(out.str(),
            "Status: In the channel  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  Zelvo\n"
            "Status: Reconnecting in 30 s  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  "
            "Zelvo\n"
            "Status: Reconnecting in 60 s  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  "
            "Zelvo\n"
            "Status: In the channel  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  Zelvo_\n"
            "Last rule: Disco-Kula On by alice at 09:05:07\n");
}

// Each new caption before the status; a countdown once, a caption unchanged
// (the nickname changed) not again.
TEST(TerminalFrontEnd, PrintsAReconnectCountdownOnce) {
  BotState state;
  testing::FakeClock clock;
  std::ostringstream out;
  TerminalFrontEnd terminal(state, clock, out);
  for (const char* caption :
       {"Zelvo -  (Reconnecting in 10 s)", "Zelvo -  (Reconnecting in 9 s)",
        "Zelvo -  (TLS error, reconnecting in 9 s)", "Zelvo -  (Connecting)",
        "Zelvo -  (Connecting)"})
    state.connection.Set({State::kDown, "", "", "", {}, caption});
  EXPECT_EQ(out.str(),
            "Zelvo -  (Reconnecting in 10 s)\nStatus: Disconnected\n"
            "Zelvo -  (TLS error, reconnecting in 9 s)\nZelvo -  (Connecting)\n");
}

}  // namespace
}  // namespace zelvo
