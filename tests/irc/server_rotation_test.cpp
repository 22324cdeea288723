#include "irc/server_rotation.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fake_clock.h"

namespace zelvo {
namespace {

using std::chrono::seconds;

struct RotationCase {
  std::size_t servers;
  // One event per character: 'f' the attempt fails; 's' it registers and is
  // lost after a stable 70 s; 'u' it registers and is lost after 10 s.
  std::string events;
  // The server tried after each event, '*' when it begins a new round (the
  // reconnect backoff applies before it).
  std::string tried;
};

class ServerRotationTest : public ::testing::TestWithParam<RotationCase> {};

TEST_P(ServerRotationTest, TriesEachServerOncePerRound) {
  const RotationCase& c = GetParam();
  testing::FakeClock clock;
  ServerRotation rotation(seconds(60));
  std::vector<ServerAddress> servers;
  for (std::size_t i = 0; i < c.servers; ++i) servers.push_back({"s" + std::to_string(i), 6667});
  rotation.Use(servers);
  std::string tried;
  for (const char event : c.events) {
    if (event != 'f') {
      rotation.OnRegistered(clock.MonotonicNow());
      clock.Advance(seconds(event == 's' ? 70 : 10));
    }
    const bool new_round = rotation.OnLost(clock.MonotonicNow());
    tried += std::to_string(rotation.Index()) + (new_round ? "* " : " ");
    EXPECT_EQ(rotation.Current(), servers[rotation.Index()]);
  }
  EXPECT_EQ(tried, c.tried);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ServerRotationTest,
    ::testing::Values(RotationCase{1, "fff", "0* 0* 0* "},
                      RotationCase{3, "fffff", "1 2 0* 1 2 "},
                      // A stable connection's server begins the next round.
                      RotationCase{3, "fsfff", "1 1* 2 0 1* "},
                      // One that dropped the bot soon after the welcome does not.
                      RotationCase{3, "ufff", "1* 2 0 1* "},
                      RotationCase{2, "sffs", "0* 1 0* 0* "}));

}  // namespace
}  // namespace zelvo
