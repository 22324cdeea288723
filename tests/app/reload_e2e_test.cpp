// The real zelvo program on a real ngircd: SIGHUP reads config.xml again, a
// valid file changes the rules without a reconnect, a broken one changes
// nothing; SIGTERM still closes the bot. Headless, it is the program without
// a window, and lines written into its standard input are said in the channel.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/spawned_bot.h"
#include "app/test_support.h"
#include "irc/servers.h"
#include "support/log_reader.h"

namespace zelvo {
namespace {

using std::chrono::milliseconds;
using ::testing::ElementsAre;
using testing::PortBytes;
using testing::ReadFile;

// Waits until the log holds `count` entries of `id`.
bool WaitForEntries(const std::string& log, const std::string& id, std::size_t count) {
  for (int i = 0; i < 400; ++i) {
    std::size_t seen = 0;
    for (const testing::ReadEntry& entry : testing::LogEntriesOrNone(log))
      if (entry.id == id) ++seen;
    if (seen >= count) return true;
    std::this_thread::sleep_for(milliseconds(25));
  }
  return false;
}

bool WaitForBytes(const std::string& port, std::size_t count) {
  for (int i = 0; i < 400 && PortBytes(port).size() < count; ++i)
    std::this_thread::sleep_for(milliseconds(25));
  return PortBytes(port).size() >= count;
}

// The real program on a private ngircd with a file port, and "op" in its
// channel once the bot has joined.
class BotEndToEndTest : public ::testing::Test {
 protected:
  // Starts the bot with standard input from `input` (/dev/null when -1).
  void StartBot(int input = -1) {
    ASSERT_TRUE(ircd_.Start()) << ircd_.Error();
    testing::ConfigOptions options;
    options.output_device = "file:" + port_;
    options.irc_port = ircd_.Port();
    config_ = testing::TestConfig(options);
    testing::WriteFile(dir_.File("config.xml"), config_);
    bot_ = testing::Spawn({ZELVO_BINARY, "--headless", "--dir", dir_.path()}, Out(), input);
    ASSERT_GT(bot_, 0);
    ASSERT_TRUE(WaitForEntries(log_, "63", 1)) << ReadFile(Out());  // joined
    ASSERT_TRUE(op_.Connect(ircd_.Port()));
    ASSERT_TRUE(op_.Register("op"));
    op_.Send("JOIN #zelvo");
    ASSERT_GE(op_.WaitForContaining(" 366 ", milliseconds(10000)), 0) << op_.Transcript();
  }
  // SIGTERM closes the bot in order.
  void StopBot() {
    ::kill(bot_, SIGTERM);
    int status = -1;
    ASSERT_EQ(::waitpid(bot_, &status, 0), bot_);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  std::string Out() const { return dir_.File("out.txt"); }

  servers::NgircdServer ircd_;
  testing::TempDir dir_;
  const std::string port_ = dir_.File("port.txt");
  const std::string log_ = dir_.File("Log.xml");
  std::string config_;
  pid_t bot_ = -1;
  servers::LineClient op_;
};

TEST_F(BotEndToEndTest, HangUpReloadsTheRulesWithoutReconnecting) {
  ASSERT_NO_FATAL_FAILURE(StartBot());
  op_.Send("PRIVMSG #zelvo :Disco On");
  ASSERT_TRUE(WaitForBytes(port_, 2));

  // A valid file: "Disco Off" becomes "Disco Stop".
  testing::WriteFile(
      dir_.File("config.xml"),
      testing::ReplacedOnce(config_, "IRCTrigger=\"*Disco Off*\"", "IRCTrigger=\"*Disco Stop*\""));
  ::kill(bot_, SIGHUP);
  ASSERT_TRUE(WaitForEntries(log_, "91", 1)) << ReadFile(Out());
  // "Disco Off" fires nothing now; "Disco On" writes 3 again.
  op_.Send("PRIVMSG #zelvo :Disco Off");
  op_.Send("PRIVMSG #zelvo :Disco On");
  ASSERT_TRUE(WaitForBytes(port_, 3));
  op_.Send("PRIVMSG #zelvo :Disco Stop");
  ASSERT_TRUE(WaitForBytes(port_, 4));

  // A broken file: the rules stay as they were reloaded.
  testing::WriteFile(dir_.File("config.xml"), "<Zelvo><Settings>");
  ::kill(bot_, SIGHUP);
  ASSERT_TRUE(WaitForEntries(log_, "92", 1)) << ReadFile(Out());
  op_.Send("PRIVMSG #zelvo :Disco On");
  op_.Send("PRIVMSG #zelvo :Disco Stop");
  ASSERT_TRUE(WaitForBytes(port_, 6));

  ASSERT_NO_FATAL_FAILURE(StopBot());
  EXPECT_THAT(PortBytes(port_), ElementsAre(0, 3, 3, 0, 3, 0));
  // One connection all along: one connect attempt, one join.
  std::size_t attempts = 0;
  std::size_t joins = 0;
  for (const testing::ReadEntry& entry : testing::LogEntriesOrNone(log_)) {
    attempts += entry.id == "50";
    joins += entry.id == "63";
  }
  EXPECT_EQ(attempts, 1u);
  EXPECT_EQ(joins, 1u);
}

TEST_F(BotEndToEndTest, LinesPipedToTheBotAreSaidInTheChannelAndTheEndOfInputKeepsItRunning) {
  int input[2];
  ASSERT_EQ(::pipe(input), 0);
  ASSERT_NO_FATAL_FAILURE(StartBot(input[0]));
  ::close(input[0]);
  // Headless, the bot runs as the program without a window: no GUI library,
  // and with TLS off no TLS back-end either.
  const std::string maps = ReadFile("/proc/" + std::to_string(bot_) + "/maps");
  EXPECT_NE(maps.find("/zelvo-headless"), std::string::npos);
  for (const char* library : {"libQt6Gui", "libQt6Widgets", "qopensslbackend"})
    EXPECT_EQ(maps.find(library), std::string::npos) << library;
  const std::string typed = "Hello from the terminal\nDisco On\n";
  ASSERT_EQ(::write(input[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  ::close(input[1]);
  EXPECT_GE(op_.WaitForContaining("PRIVMSG #zelvo :Hello from the terminal", milliseconds(10000)),
            0)
      << op_.Transcript();
  // The operator's line fires the rules as a typed one does.
  ASSERT_TRUE(WaitForBytes(port_, 2)) << ReadFile(Out());
  // After the end of input the bot still follows the channel.
  op_.Send("PRIVMSG #zelvo :Disco Off");
  ASSERT_TRUE(WaitForBytes(port_, 3)) << ReadFile(Out());
  ASSERT_NO_FATAL_FAILURE(StopBot());
  EXPECT_THAT(PortBytes(port_), ElementsAre(0, 3, 0));
}

}  // namespace
}  // namespace zelvo
