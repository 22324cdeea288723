#include "irc/channel_roster.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zelvo {
namespace {

constexpr char kIsupport[] =
    ":irc 005 relay PREFIX=(qaohv)~&@%+ CHANMODES=beI,k,l,imnpst :are supported\r\n";

struct Expect {
  std::string nick;
  bool present;
  std::string modes;
  std::optional<std::string> account;
  std::string mask = "";  // "user@host" when checked
};

struct Case {
  std::string name;
  std::vector<std::string> lines;  // after the 005 above and the bot's JOIN of #Lab
  std::vector<Expect> expect;
  bool account_tag = false;
  bool joined = true;
};

class ChannelRosterTest : public ::testing::TestWithParam<Case> {};

TEST_P(ChannelRosterTest, FollowsTheChannel) {
  const Case& c = GetParam();
  ISupport server;
  server.Apply(ParseIrcMessage(kIsupport));
  ChannelRoster roster("#lab", server);
  roster.SetOwnNick("relay");
  roster.SetAccountTag(c.account_tag);
  roster.OnMessage(ParseIrcMessage(":relay!~relay@h JOIN #Lab\r\n"));
  for (const std::string& line : c.lines) roster.OnMessage(ParseIrcMessage(line));
  EXPECT_EQ(roster.Joined(), c.joined);
  for (const Expect& e : c.expect) {
    const ChannelRoster::Member* m = roster.Find(e.nick);
    ASSERT_EQ(m != nullptr, e.present) << e.nick;
    if (m == nullptr) continue;
    EXPECT_EQ(m->modes, e.modes) << e.nick;
    EXPECT_EQ(m->account, e.account) << e.nick;
    if (!e.mask.empty()) {
      EXPECT_EQ(m->user + "@" + m->host, e.mask) << e.nick;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChannelRosterTest,
    ::testing::Values(
        Case{"NamesWithSeveralPrefixes",
             {":irc 353 relay = #lab :relay ~@alice @+bob +carol %dave eve\r\n",
              ":irc 353 relay = #other :@mallory\r\n", ":irc 366 relay #lab :End of /NAMES\r\n"},
             {{"ALICE", true, "qo", std::nullopt},
              {"bob", true, "ov", std::nullopt},
              {"carol", true, "v", std::nullopt},
              {"dave", true, "h", std::nullopt},
              {"eve", true, "", std::nullopt},
              {"mallory", false, "", std::nullopt}}},
        Case{"UserhostInNames",
             {":irc 353 relay @ #lab :@+alice!a@host +bob!b@h2 carol\r\n"},
             {{"alice", true, "ov", std::nullopt, "a@host"},
              {"bob", true, "v", std::nullopt, "b@h2"},
              {"carol", true, "", std::nullopt, "@"}}},
        Case{"HostsFollowChghostJoinAndEveryLine",
             {":irc 353 relay = #lab :alice bob\r\n", ":alice!a@old CHGHOST al cloak/alice\r\n",
              ":bob!b@h2 PRIVMSG #lab :hi\r\n", ":carol!c@h3 JOIN #lab\r\n"},
             {{"alice", true, "", std::nullopt, "al@cloak/alice"},
              {"bob", true, "", std::nullopt, "b@h2"},
              {"carol", true, "", std::nullopt, "c@h3"}}},
        Case{"ModeChangesWithParameterModesBetween",
             {":irc 353 relay = #lab :alice bob carol\r\n",
              ":op!o@h MODE #LAB +obv+lk alice *!*@x bob 10 key\r\n",
              ":op!o@h MODE #lab +b-o+v *!*@x alice carol\r\n",
              ":op!o@h MODE #lab -l+h-v bob bob\r\n"},
             {{"alice", true, "", std::nullopt},
              {"bob", true, "h", std::nullopt},
              {"carol", true, "v", std::nullopt}}},
        Case{"JoinPartQuitKickNick",
             {":irc 353 relay = #lab :alice bob carol dave\r\n", ":erin!e@h JOIN :#lab\r\n",
              ":alice!a@h PART #lab :bye\r\n", ":bob!b@h QUIT :gone\r\n",
              ":op!o@h KICK #lab Carol :out\r\n", ":dave!d@h NICK :David\r\n",
              ":frank!f@h JOIN #elsewhere\r\n"},
             {{"alice", false, "", std::nullopt},
              {"bob", false, "", std::nullopt},
              {"carol", false, "", std::nullopt},
              {"dave", false, "", std::nullopt},
              {"david", true, "", std::nullopt},
              {"erin", true, "", std::nullopt},
              {"frank", false, "", std::nullopt}}},
        Case{"AccountsFromExtendedJoinNotifyAndWhox",
             {":alice!a@h JOIN #lab alice :Alice A.\r\n", ":bob!b@h JOIN #lab * :Bob\r\n",
              ":carol!c@h JOIN #lab\r\n", ":dave!d@h JOIN #lab\r\n", ":bob!b@h ACCOUNT bobby\r\n",
              ":alice!a@h ACCOUNT *\r\n", ":irc 354 relay 152 carol carol_acct\r\n",
              ":irc 354 relay 152 dave 0\r\n", ":irc 354 relay 999 erin fake\r\n",
              ":irc 354 relay 152 erin fake\r\n"},
             {{"alice", true, "", ""},
              {"bob", true, "", "bobby"},
              {"carol", true, "", "carol_acct"},
              {"dave", true, "", ""},
              {"erin", false, "", std::nullopt}}},
        Case{"AccountTagOnEveryLine",
             {":irc 353 relay = #lab :alice bob carol\r\n",
              "@account=alice :alice!a@h PRIVMSG #lab :hi\r\n", ":bob!b@h PRIVMSG #lab :hi\r\n",
              "@account=x :irc NOTICE carol :server\r\n"},
             {{"alice", true, "", "alice"},
              {"bob", true, "", ""},
              {"carol", true, "", std::nullopt}},
             true},
        Case{"AccountTagWhileItIsOffStillTells",
             {":irc 353 relay = #lab :alice bob\r\n",
              "@account=alice :alice!a@h PRIVMSG #lab :hi\r\n", ":bob!b@h PRIVMSG #lab :hi\r\n"},
             {{"alice", true, "", "alice"}, {"bob", true, "", std::nullopt}}},
        Case{"KeepsAccountAndStatusOverANickChange",
             {":irc 353 relay = #lab :@alice\r\n", ":irc 354 relay 152 alice alice\r\n",
              ":alice!a@h NICK :alice2\r\n", ":alice2!a@h NICK :Alice[2]\r\n"},
             {{"alice{2}", true, "o", "alice"}, {"alice", false, "", std::nullopt}}},
        Case{"KickOfTheBotEmptiesTheList",
             {":irc 353 relay = #lab :@alice\r\n", ":alice!a@h KICK #lab RELAY :out\r\n"},
             {{"alice", false, "", std::nullopt}},
             false,
             false},
        Case{"OwnPartEmptiesAndOwnRejoinStartsAgain",
             {":irc 353 relay = #lab :@alice\r\n", ":relay!r@h PART #lab\r\n",
              ":relay!r@h NICK :relay2\r\n", ":relay2!r@h JOIN #lab\r\n",
              ":irc 353 relay2 = #lab :relay2 bob\r\n"},
             {{"alice", false, "", std::nullopt}, {"bob", true, "", std::nullopt}}}),
    [](const auto& info) { return info.param.name; });

TEST(ChannelRosterTest, StatusAtLeast) {
  struct Case {
    std::string prefix;  // 005 PREFIX value
    std::string names;   // one member "m" with these symbols
    std::string required;
    bool has;
  };
  for (const Case& c : std::vector<Case>{
           {"(qaohv)~&@%+", "@", "op", true},
           {"(qaohv)~&@%+", "@", "halfop", true},
           {"(qaohv)~&@%+", "@", "voice", true},
           {"(qaohv)~&@%+", "@", "admin", false},
           {"(qaohv)~&@%+", "%", "op", false},
           {"(qaohv)~&@%+", "+", "voice", true},
           {"(qaohv)~&@%+", "", "voice", false},
           {"(qaohv)~&@%+", "~", "owner", true},
           // Without halfop on the server, "halfop" asks for op.
           {"(ov)@+", "+", "halfop", false},
           {"(ov)@+", "@", "halfop", true},
           // Without owner or admin, nobody has them.
           {"(ov)@+", "@", "owner", false},
           {"(ov)@+", "@", "Op", true},
       }) {
    ISupport server;
    server.Apply(ParseIrcMessage(":irc 005 relay PREFIX=" + c.prefix + " :are supported\r\n"));
    ChannelRoster roster("#lab", server);
    roster.OnMessage(ParseIrcMessage(":irc 353 relay = #lab :" + c.names + "m\r\n"));
    EXPECT_EQ(roster.HasStatus("M", StatusMode(c.required)), c.has)
        << c.prefix << " " << c.names << " " << c.required;
    EXPECT_FALSE(roster.HasStatus("nobody", 'v'));
  }
  EXPECT_EQ(StatusMode("owner"), 'q');
  EXPECT_EQ(StatusMode("chanop"), 0);
}

TEST(ChannelRosterTest, ChannelNamesByTheServersCaseMapping) {
  ISupport server;
  ChannelRoster roster("#lab[1]", server);
  EXPECT_TRUE(roster.IsChannel("#LAB{1}"));
  server.Apply(ParseIrcMessage(":irc 005 relay CASEMAPPING=ascii :are supported\r\n"));
  EXPECT_FALSE(roster.IsChannel("#LAB{1}"));
  EXPECT_TRUE(roster.IsChannel("#LAB[1]"));
  EXPECT_EQ(roster.WhoxQuery(), "WHO #lab[1] %tna,152");
}

}  // namespace
}  // namespace zelvo
