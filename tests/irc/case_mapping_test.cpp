#include "irc/case_mapping.h"

#include <gtest/gtest.h>

#include "irc/irc_message.h"
#include "irc/isupport.h"

namespace zelvo {
namespace {

using Kind = CaseMapping::Kind;

struct EqualCase {
  std::string token;  // CASEMAPPING value; "" = none announced
  std::string a, b;
  bool equal;
};

class CaseMappingTest : public ::testing::TestWithParam<EqualCase> {};

TEST_P(CaseMappingTest, ComparesAsTheServerDoes) {
  const EqualCase& c = GetParam();
  ISupport server;
  if (!c.token.empty()) {
    server.Apply(ParseIrcMessage(":s 005 me CASEMAPPING=" + c.token + " :are supported\r\n"));
  }
  EXPECT_EQ(server.casemapping.Equal(c.a, c.b), c.equal) << c.a << " vs " << c.b;
  EXPECT_EQ(server.casemapping.Equal(c.b, c.a), c.equal);
  EXPECT_EQ(server.casemapping.Fold(c.a) == server.casemapping.Fold(c.b), c.equal);
}

INSTANTIATE_TEST_SUITE_P(Mappings, CaseMappingTest,
                         ::testing::Values(EqualCase{"", "#Zelvo", "#zelvo", true},
                                           EqualCase{"", "Nick[]\\~", "nick{}|^", true},
                                           EqualCase{"rfc1459", "#Lab", "#LAB", true},
                                           EqualCase{"rfc1459", "a~", "A^", true},
                                           EqualCase{"strict-rfc1459", "a[]\\", "A{}|", true},
                                           EqualCase{"strict-rfc1459", "a~", "a^", false},
                                           EqualCase{"ascii", "#Zelvo", "#zELVO", true},
                                           EqualCase{"ascii", "nick[", "nick{", false},
                                           EqualCase{"ascii", "a~", "a^", false},
                                           // Unknown mappings fold what every mapping folds.
                                           EqualCase{"rfc7613", "Bob", "bob", true},
                                           EqualCase{"rfc7613", "b[", "b{", false},
                                           EqualCase{"", "#lab", "#lab2", false},
                                           EqualCase{"", "\xC4", "\xE4", false}));

TEST(CaseMappingTest, KindFromToken) {
  EXPECT_EQ(CaseMapping().kind(), Kind::kRfc1459);
  EXPECT_EQ(CaseMapping::FromToken("rfc1459").kind(), Kind::kRfc1459);
  EXPECT_EQ(CaseMapping::FromToken("strict-rfc1459").kind(), Kind::kStrictRfc1459);
  EXPECT_EQ(CaseMapping::FromToken("ascii").kind(), Kind::kAscii);
}

struct ISupportCase {
  std::vector<std::string> lines;
  Kind casemapping;
  std::size_t nicklen;
  std::string prefix_modes, prefix_symbols;
  char bot_mode;
  std::string chantypes;
  std::string chanmodes_always;
};

class ISupportTest : public ::testing::TestWithParam<ISupportCase> {};

TEST_P(ISupportTest, TakesTheTokensTheBotNeeds) {
  const ISupportCase& c = GetParam();
  ISupport s;
  for (const std::string& line : c.lines) s.Apply(ParseIrcMessage(line));
  EXPECT_EQ(s.casemapping.kind(), c.casemapping);
  EXPECT_EQ(s.nicklen, c.nicklen);
  EXPECT_EQ(s.prefix_modes, c.prefix_modes);
  EXPECT_EQ(s.prefix_symbols, c.prefix_symbols);
  EXPECT_EQ(s.bot_mode, c.bot_mode);
  EXPECT_EQ(s.chantypes, c.chantypes);
  EXPECT_EQ(s.chanmodes_always, c.chanmodes_always);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ISupportTest,
    ::testing::Values(
        ISupportCase{{}, Kind::kRfc1459, 0, "ov", "@+", 0, "#&", "k"},
        ISupportCase{
            {":irc 005 relay AWAYLEN=200 BOT=B CASEMAPPING=ascii CHANMODES=IXbeg,k,Fl,ACT "
             "CHANTYPES=# NICKLEN=30 PREFIX=(qaohv)~&@%+ :are supported by this server\r\n"},
            Kind::kAscii,
            30,
            "qaohv",
            "~&@%+",
            'B',
            "#",
            "k"},
        // Over two lines; a later line withdraws and changes tokens.
        ISupportCase{{":irc 005 relay NICKLEN=9 CASEMAPPING=strict-rfc1459 :are supported\r\n",
                      ":irc 005 relay PREFIX=(Yov)!@+ CHANMODES=b,kx,l,n :are supported\r\n",
                      ":irc 005 relay -NICKLEN BOT=b :are supported\r\n"},
                     Kind::kStrictRfc1459,
                     0,
                     "Yov",
                     "!@+",
                     'b',
                     "#&",
                     "kx"},
        // A malformed PREFIX keeps the default; an empty one means no statuses.
        ISupportCase{{":irc 005 relay PREFIX=(ov)@ NICKLEN=abc :are supported\r\n"},
                     Kind::kRfc1459,
                     0,
                     "ov",
                     "@+",
                     0,
                     "#&",
                     "k"},
        ISupportCase{{":irc 005 relay PREFIX= :are supported\r\n",
                      ":irc 001 relay :Welcome PREFIX=(q)~\r\n"},
                     Kind::kRfc1459,
                     0,
                     "",
                     "",
                     0,
                     "#&",
                     "k"}));

TEST(ISupportTest, ModesAndChannels) {
  ISupport s;
  s.Apply(ParseIrcMessage(":irc 005 me PREFIX=(qov)~@+ CHANMODES=b,k,l,n CHANTYPES=#! :x\r\n"));
  EXPECT_EQ(s.ModeForSymbol('~'), 'q');
  EXPECT_EQ(s.ModeForSymbol('%'), 0);
  EXPECT_TRUE(s.ModeTakesParam('o', false));
  EXPECT_TRUE(s.ModeTakesParam('b', false));
  EXPECT_TRUE(s.ModeTakesParam('k', false));
  EXPECT_TRUE(s.ModeTakesParam('l', true));
  EXPECT_FALSE(s.ModeTakesParam('l', false));
  EXPECT_FALSE(s.ModeTakesParam('n', true));
  EXPECT_TRUE(s.IsChannel("!abc"));
  EXPECT_FALSE(s.IsChannel("&abc"));
  EXPECT_FALSE(s.IsChannel(""));
}

}  // namespace
}  // namespace zelvo
