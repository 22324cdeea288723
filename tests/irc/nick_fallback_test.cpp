#include "irc/nick_fallback.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

#include "irc/isupport.h"

namespace zelvo {
namespace {

using std::chrono::seconds;

// Hands out the given numbers in turn.
RandomSource Numbers(std::deque<std::uint32_t> numbers) {
  return [numbers = std::move(numbers)]() mutable {
    const std::uint32_t n = numbers.front();
    numbers.pop_front();
    return n;
  };
}

struct Step {
  std::string line;  // empty: time passes by `wait` and the timer ticks
  seconds wait{0};
  std::optional<std::string> sent;
};

struct Case {
  std::string name;
  std::string configured, alternative;
  std::size_t nicklen;
  std::vector<Step> steps;
  std::string current_at_end;
};

class NickFallbackTest : public ::testing::TestWithParam<Case> {};

TEST_P(NickFallbackTest, PicksAndRegainsTheNickname) {
  const Case& c = GetParam();
  NickFallback nick(c.configured, c.alternative, Numbers({7, 1234, 42}));
  nick.SetNickLen(c.nicklen);
  auto now = std::chrono::steady_clock::time_point(std::chrono::hours(1));
  EXPECT_EQ(nick.Start(), c.nicklen > 0 && c.configured.size() > c.nicklen
                              ? c.configured.substr(0, c.nicklen)
                              : c.configured);
  const CaseMapping mapping;
  ISupport server;
  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    const Step& step = c.steps[i];
    now += step.wait;
    const IrcMessage message = ParseIrcMessage(step.line);
    if (server.Apply(message)) nick.SetMonitor(server.monitor);  // as the session does
    const auto sent = step.line.empty() ? nick.Tick(now) : nick.OnMessage(message, mapping, now);
    EXPECT_EQ(sent, step.sent) << "step " << i << ": " << step.line;
  }
  EXPECT_EQ(nick.Current(), c.current_at_end);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NickFallbackTest,
    ::testing::Values(
        Case{"FallsBackThroughAlternativeUnderscoreAndDigits",
             "relay",
             "relay2",
             0,
             {{":irc 433 * relay :Nickname is already in use\r\n", {}, "NICK relay2"},
              {":irc 433 * relay2 :Nickname is already in use\r\n", {}, "NICK relay_"},
              {":irc 432 * relay_ :Erroneous nickname\r\n", {}, "NICK relay07"},
              {":irc 437 * relay07 :Nick temporarily unavailable\r\n", {}, "NICK relay34"},
              // A refusal of a nickname it no longer tries changes nothing.
              {":irc 433 * relay_ :in use\r\n", {}, std::nullopt},
              {":irc 001 relay34 :Welcome\r\n", {}, std::nullopt}},
             "relay34"},
        Case{"WithoutAlternativeGoesToUnderscore",
             "relay",
             "",
             0,
             {{":irc 433 * relay :in use\r\n", {}, "NICK relay_"}},
             "relay_"},
        Case{"CutsToNickLen",
             "longnickname",
             "",
             8,
             {{":irc 433 * longnick :in use\r\n", {}, "NICK longnic_"},
              {":irc 433 * longnic_ :in use\r\n", {}, "NICK longni07"}},
             "longni07"},
        Case{"RegainsEverySixtySeconds",
             "relay",
             "",
             0,
             {{":irc 433 * relay :in use\r\n", {}, "NICK relay_"},
              {":irc 001 relay_ :Welcome\r\n", {}, std::nullopt},
              {"", seconds(59), std::nullopt},
              {"", seconds(1), "NICK relay"},
              {":irc 433 relay_ relay :in use\r\n", {}, std::nullopt},
              {"", seconds(59), std::nullopt},
              {"", seconds(1), "NICK relay"},
              {":relay_!r@h NICK :relay\r\n", {}, std::nullopt},
              {"", seconds(600), std::nullopt}},
             "relay"},
        Case{"RegainsAtOnceWhenTheHolderQuitsOrRenames",
             "relay",
             "",
             0,
             {{":irc 433 * relay :in use\r\n", {}, "NICK relay_"},
              {":irc 001 relay_ :Welcome\r\n", seconds(5), std::nullopt},
              {":someone!s@h QUIT :bye\r\n", {}, std::nullopt},
              {":RELAY!x@h QUIT :bye\r\n", seconds(5), "NICK relay"},
              {":irc 433 relay_ relay :taken again\r\n", {}, std::nullopt},
              {":relay!y@h NICK :other\r\n", seconds(5), "NICK relay"},
              {":relay_!r@h NICK relay\r\n", {}, std::nullopt},
              {":relay!r@h QUIT :bye\r\n", {}, std::nullopt}},
             "relay"},
        Case{"MonitorRegainsOnOfflineInsteadOfPolling",
             "relay",
             "",
             0,
             {{":irc 433 * relay :in use\r\n", {}, "NICK relay_"},
              {":irc 001 relay_ :Welcome\r\n", {}, std::nullopt},
              {":irc 005 relay_ MONITOR=100 :are supported\r\n", {}, "MONITOR + relay"},
              {"", seconds(600), std::nullopt},
              {":irc 731 relay_ :other\r\n", {}, std::nullopt},
              {":irc 731 relay_ :other,RELAY!r@h\r\n", {}, "NICK relay"},
              {":relay_!r@h NICK :relay\r\n", {}, "MONITOR - relay"},
              {":relay!r@h NICK :renamed\r\n", {}, "MONITOR + relay"},
              // A full watch list: the 60 s attempts again.
              {":irc 734 renamed 1 relay :Monitor list is full\r\n", {}, std::nullopt},
              {"", seconds(1), "NICK relay"}},
             "renamed"},
        Case{"RegisteredUnderItsOwnNameNeedsNoRegain",
             "relay",
             "",
             0,
             {{":irc 001 relay :Welcome\r\n", {}, std::nullopt},
              {"", seconds(120), std::nullopt},
              {":relay!r@h NICK :renamed\r\n", {}, std::nullopt},
              {"", seconds(60), "NICK relay"}},
             "renamed"}),
    [](const auto& info) { return info.param.name; });

TEST(NickFallbackTest, EveryConnectionStartsWithTheConfiguredNickname) {
  NickFallback nick("relay", "", Numbers({}));
  const CaseMapping mapping;
  const auto now = std::chrono::steady_clock::time_point();
  nick.Start();
  nick.OnMessage(ParseIrcMessage(":irc 433 * relay :in use\r\n"), mapping, now);
  nick.OnMessage(ParseIrcMessage(":irc 001 relay_ :Welcome\r\n"), mapping, now);
  EXPECT_TRUE(nick.Regaining());
  EXPECT_EQ(nick.Start(), "relay");
  EXPECT_FALSE(nick.Registered());
  EXPECT_FALSE(nick.Regaining());
  EXPECT_EQ(nick.Tick(now + seconds(600)), std::nullopt);
}

}  // namespace
}  // namespace zelvo
