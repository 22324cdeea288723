#include "irc/irc_message.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zelvo {
namespace {

using ::testing::ElementsAreArray;
using Tags = std::vector<std::pair<std::string, std::string>>;

struct ParseCase {
  std::string line;
  Tags tags;
  std::string nick, user, host;
  std::string command;
  std::vector<std::string> params;
  std::string classic;
};

class IrcMessageParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(IrcMessageParseTest, TakesTheLineApart) {
  const ParseCase& c = GetParam();
  const IrcMessage m = ParseIrcMessage(c.line);
  EXPECT_THAT(m.tags, ElementsAreArray(c.tags));
  EXPECT_EQ(m.nick, c.nick);
  EXPECT_EQ(m.user, c.user);
  EXPECT_EQ(m.host, c.host);
  EXPECT_EQ(m.command, c.command);
  EXPECT_THAT(m.params, ElementsAreArray(c.params));
  EXPECT_EQ(m.classic, c.classic);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, IrcMessageParseTest,
    ::testing::Values(
        ParseCase{":alice!~al@host.example PRIVMSG #lab :Disco On\r\n",
                  {},
                  "alice",
                  "~al",
                  "host.example",
                  "PRIVMSG",
                  {"#lab", "Disco On"},
                  ":alice!~al@host.example PRIVMSG #lab :Disco On\r\n"},
        ParseCase{"@account=alice;time=2024-01-01T00:00:00.000Z :alice!a@h PRIVMSG #lab :x\r\n",
                  {{"account", "alice"}, {"time", "2024-01-01T00:00:00.000Z"}},
                  "alice",
                  "a",
                  "h",
                  "PRIVMSG",
                  {"#lab", "x"},
                  ":alice!a@h PRIVMSG #lab :x\r\n"},
        // Escapes, a tag without value, a client tag, a repeated key, blanks after the tags.
        ParseCase{"@a=x\\:y\\sz\\\\w\\r\\n;flag;+draft/r=1;a=2;b=q\\  PING :tok\n",
                  {{"a", "2"}, {"flag", ""}, {"+draft/r", "1"}, {"b", "q"}},
                  "",
                  "",
                  "",
                  "PING",
                  {"tok"},
                  "PING :tok\n"},
        ParseCase{"@x=a\\:b\\s\\\\\\r\\n\\q PING x\r\n",
                  {{"x", "a;b \\\r\nq"}},
                  "",
                  "",
                  "",
                  "PING",
                  {"x"},
                  "PING x\r\n"},
        ParseCase{":irc.example 005 relay CASEMAPPING=ascii   NICKLEN=30 :are supported\r\n",
                  {},
                  "irc.example",
                  "",
                  "",
                  "005",
                  {"relay", "CASEMAPPING=ascii", "NICKLEN=30", "are supported"},
                  ":irc.example 005 relay CASEMAPPING=ascii   NICKLEN=30 :are supported\r\n"},
        ParseCase{":nick@host privmsg #lab ::-) x\r\n",
                  {},
                  "nick",
                  "",
                  "host",
                  "PRIVMSG",
                  {"#lab", ":-) x"},
                  ":nick@host privmsg #lab ::-) x\r\n"},
        ParseCase{"PRIVMSG #lab :", {}, "", "", "", "PRIVMSG", {"#lab", ""}, "PRIVMSG #lab :"},
        ParseCase{"@only-tags", {{"only-tags", ""}}, "", "", "", "", {}, ""},
        ParseCase{"", {}, "", "", "", "", {}, ""}));

TEST(IrcMessageTest, TagAndParamLookUps) {
  const IrcMessage m = ParseIrcMessage("@account=bob :bob!b@h JOIN #lab\r\n");
  EXPECT_EQ(m.Tag("account"), "bob");
  EXPECT_EQ(m.Tag("time"), std::nullopt);
  EXPECT_EQ(m.Param(0), "#lab");
  EXPECT_EQ(m.Param(5), "");
  EXPECT_FALSE(m.IsNumeric());
  EXPECT_TRUE(ParseIrcMessage(":s 433 * relay :in use").IsNumeric());
}

}  // namespace
}  // namespace zelvo
