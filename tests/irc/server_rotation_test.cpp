#include "irc/server_rotation.h"

#include <gtest/gtest.h>

namespace zelvo {
namespace {

// Per event ('f' the attempt fails; 's' it registers and is lost after a
// stable 70 s, 'u' after 10 s) the server tried next, '*' when it begins a
// new round (the reconnect backoff applies before it).
TEST(ServerRotationTest, TriesEachServerOncePerRound) {
  const struct {
    std::size_t servers;
    std::string events, tried;
  } rows[] = {
      {1, "fff", "0* 0* 0* "},
      {3, "fffff", "1 2 0* 1 2 "},
      {3, "fsfff", "1 1* 2 0 1* "},  // a stable connection's server begins the next round
      {3, "ufff", "1* 2 0 1* "},     // one that dropped the bot soon after 001 does not
      {2, "sffs", "0* 1 0* 0* "},
  };
  for (const auto& c : rows) {
    ServerRotation rotation(std::chrono::seconds(60));
    rotation.Use(std::vector<ServerAddress>(c.servers));
    std::chrono::steady_clock::time_point now{};
    std::string tried;
    for (const char event : c.events) {
      if (event != 'f') rotation.OnRegistered(now);
      now += std::chrono::seconds(event == 's' ? 70 : event == 'u' ? 10 : 0);
      const bool new_round = rotation.OnLost(now);
      tried += std::to_string(rotation.Index()) + (new_round ? "* " : " ");
    }
    EXPECT_EQ(tried, c.tried) << c.events;
  }
}

}  // namespace
}  // namespace zelvo
