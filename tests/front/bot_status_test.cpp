#include "front/bot_status.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zelvo {
namespace {

using std::chrono::seconds;
using State = ConnectionStatus::State;

TEST(BotStatusTexts, JoinTheKnownFieldsAndDateTheRun) {
  const auto now = std::chrono::steady_clock::time_point(seconds(100));
  EXPECT_EQ(
      ConnectionStatusText({State::kJoined, "irc.example.net:6667", "#lab", "Zelvo", {}, ""}, now),
      "In the channel  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  Zelvo");
  EXPECT_EQ(ConnectionStatusText({State::kReconnecting, "", "#lab", "", now + seconds(9), ""}, now),
            "Reconnecting in 9 s  \u00B7  #lab");
  EXPECT_EQ(LastRunWords("Disco-Kula On", "alice", ToOleDate({2024, 5, 17, 9, 5, 7})),
            "Last rule: Disco-Kula On by alice at 09:05:07");
}

}  // namespace
}  // namespace zelvo
