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

// Headless, lines piped to the bot are said in the channel and fire the rules
// as typed ones do; after the end of its input the bot still follows the
// channel, and SIGHUP reloads the rules.
TEST(ReloadEndToEnd, PipedLinesAreSaidAndHangUpReloadsTheRulesWithoutReconnecting) {
  servers::NgircdServer ircd;
  ASSERT_TRUE(ircd.Start()) << ircd.Error();
  testing::TempDir dir;
  const std::string port = dir.File("port.txt");
  const std::string log = dir.File("Log.xml");
  testing::ConfigOptions options;
  options.output_device = "file:" + port;
  options.irc_port = ircd.Port();
  const std::string config = testing::TestConfig(options);
  testing::WriteFile(dir.File("config.xml"), config);
  int input[2];
  ASSERT_EQ(::pipe(input), 0);
  const pid_t bot = testing::Spawn({ZELVO_BINARY, "--headless", "--dir", dir.path()},
                                   dir.File("out.txt"), input[0]);
  ::close(input[0]);
  ASSERT_GT(bot, 0);
  ASSERT_TRUE(WaitForEntries(log, "63", 1)) << ReadFile(dir.File("out.txt"));  // joined
  // The program without a window: no GUI library, nor with TLS off a TLS back-end.
  const std::string maps = ReadFile("/proc/" + std::to_string(bot) + "/maps");
  EXPECT_NE(maps.find("/zelvo-headless"), std::string::npos);
  for (const char* library : {"libQt6Gui", "libQt6Widgets", "qopensslbackend"})
    EXPECT_EQ(maps.find(library), std::string::npos) << library;

  servers::LineClient op;
  ASSERT_TRUE(op.Connect(ircd.Port()));
  ASSERT_TRUE(op.Register("op"));
  op.Send("JOIN #zelvo");
  ASSERT_GE(op.WaitForContaining(" 366 ", milliseconds(10000)), 0) << op.Transcript();
  ASSERT_EQ(::write(input[1], "Disco On\n", 9), 9);
  ::close(input[1]);
  EXPECT_GE(op.WaitForContaining("PRIVMSG #zelvo :Disco On", milliseconds(10000)), 0)
      << op.Transcript();
  ASSERT_TRUE(WaitForBytes(port, 2));

  // A valid file: "Disco Off" becomes "Disco Stop".
  testing::WriteFile(
      dir.File("config.xml"),
      testing::ReplacedOnce(config, "IRCTrigger=\"*Disco Off*\"", "IRCTrigger=\"*Disco Stop*\""));
  ::kill(bot, SIGHUP);
  ASSERT_TRUE(WaitForEntries(log, "91", 1)) << ReadFile(dir.File("out.txt"));
  // "Disco Off" fires nothing now; "Disco On" writes 3 again.
  op.Send("PRIVMSG #zelvo :Disco Off");
  op.Send("PRIVMSG #zelvo :Disco On");
  ASSERT_TRUE(WaitForBytes(port, 3));
  op.Send("PRIVMSG #zelvo :Disco Stop");
  ASSERT_TRUE(WaitForBytes(port, 4));

  // A broken file: the rules stay as they were reloaded.
  testing::WriteFile(dir.File("config.xml"), "<Zelvo><Settings>");
  ::kill(bot, SIGHUP);
  ASSERT_TRUE(WaitForEntries(log, "92", 1)) << ReadFile(dir.File("out.txt"));
  op.Send("PRIVMSG #zelvo :Disco On");
  op.Send("PRIVMSG #zelvo :Disco Stop");
  ASSERT_TRUE(WaitForBytes(port, 6));

  ::kill(bot, SIGTERM);
  int status = -1;
  ASSERT_EQ(::waitpid(bot, &status, 0), bot);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_THAT(PortBytes(port), ElementsAre(0, 3, 3, 0, 3, 0));
  // One connection all along: one connect attempt, one join.
  std::size_t attempts = 0;
  std::size_t joins = 0;
  for (const testing::ReadEntry& entry : testing::LogEntriesOrNone(log)) {
    attempts += entry.id == "50";
    joins += entry.id == "63";
  }
  EXPECT_EQ(attempts, 1u);
  EXPECT_EQ(joins, 1u);
}

}  // namespace
}  // namespace zelvo
