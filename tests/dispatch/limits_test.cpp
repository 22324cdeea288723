// SenderRateLimit and OutputMinInterval as gates of the dispatcher.
#include <gtest/gtest.h>

#include "dispatch/dispatch_fixture.h"

namespace zelvo {
namespace {

// Steps, each giving the outputs' byte after it: digit N: N seconds pass; a,
// A, h, k, K, n: "go" (toggles output 1) from al, al's host, another host, an
// account on two hosts, al's host with it; o: the operator's "go"; f: "go" from
// as many hosts as are kept; z: "buzz" (toggles, blinks output 3); l, L: lamp
// 1, 2 clicked; t, p: the auto-return and blink ticks.
struct Row {
  Settings::RateLimit limit;
  std::int32_t interval, auto_return;
  // told: the nicknames sent a NOTICE, then the first word of each log entry
  std::string steps, bytes, told{};
  std::string text{};  // the first entry's text (and NOTICE)
};

class LimitsTest : public testing::DispatchTest, public ::testing::WithParamInterface<Row> {};

// clang-format off
constexpr const char* kFrom[] = {":al!~a@h1", ":ev!~e@H1", ":bo!~b@h2", "@account=kim :ki!~k@h3",
                                 "@account=KIM :k_!~k@h4", "@account=kim :ni!~n@h1"};

INSTANTIATE_TEST_SUITE_P(SenderRateLimit, LimitsTest, ::testing::Values(
    Row{{}, 0, 0, "aaaa", "1010"},                            // off
    Row{{2, 60}, 0, 0, "aaaa", "1000", "al Sender ",          // told once
        "Sender host \"h1\" (al!~a@h1) ran 2 rules in 60 s, the most SenderRateLimit "
        "allows: their lines fire no rule until the limit ends in 60 s.\nNOTICE al :You ran 2 "
        "commands in 60 s, the most allowed; your lines switch nothing for the next 60 s."},
    Row{{2, 60}, 0, 0, "aaah", "1001", "al Sender "},         // another host
    Row{{2, 60}, 0, 0, "aAa", "100", "al Sender "},           // the same host
    Row{{2, 60}, 0, 0, "kKk", "100", "ki Sender "},           // the same account
    Row{{2, 60}, 0, 0, "naa", "101"},                         // an account, not the host
    Row{{2, 6}, 0, 0, "aa3a3a", "100001", "al Sender "},      // the window ends
    Row{{1, 60}, 0, 0, "oooo", "1010"},                       // the operator
    Row{{1, 60}, 0, 0, "a1fa", "1110"}));                     // the table stays bounded

INSTANTIATE_TEST_SUITE_P(OutputMinInterval, LimitsTest, ::testing::Values(
    Row{{}, 5, 0, "aa4a1a", "111110", "Rule Rule "},          // refused, then after
    Row{{}, 5, 0, "la", "11", "Rule ",                        // a lamp click counts
        "Rule \"R\" not run: output 1 \"Lamp\" changed less than 5 s ago (OutputMinInterval); "
        "it may switch again in 5 s."},
    Row{{}, 5, 0, "La", "23"},                                // another output
    Row{{}, 5, 2, "a2t1a4a", "1100001", "Rule "},             // auto-return runs, and counts
    Row{{}, 2, 0, "z1p1pz", "444440"}));                      // the blink does not count
// clang-format on

TEST_P(LimitsTest, HoldsBackRulesBeyondTheLimits) {
  std::vector<std::string> log;
  dispatcher.SetLogWriter([&](auto, auto, const std::string& text) { log.push_back(text); });
  OutputChanges changes{clock};
  outputs.SetWrittenHook([&](std::uint8_t byte) { changes.Written(byte); });
  dispatcher.SetOutputChanges(&changes);
  outputs.SetOutputName(1, "Lamp");
  outputs.SetOutputs({SwitchCause::Kind::kLamp});
  settings.SenderRateLimit = GetParam().limit;
  settings.OutputMinInterval = GetParam().interval;
  AddRule("R", "*:go*", GetParam().auto_return, 0, ToggleBit(1));
  AddRule("B", "*:buzz*", 0, 0, ToggleBit(3) | flag::kPulseQuickly);
  std::string bytes, told;
  for (char c : GetParam().steps) {
    if (c >= '1' && c <= '9') clock.Advance(std::chrono::seconds(c - '0'));
    if (const auto i = std::string_view("aAhkKn").find(c); i != std::string_view::npos)
      Feed(std::string(kFrom[i]) + " PRIVMSG #lab :go\r\n");
    for (std::size_t i = 0; c == 'f' && i < SenderRateLimiter::kMaxSenders; ++i)
      Feed(Said("go", "x!~x@f" + std::to_string(i)));
    if (c == 'o' || c == 'z') Feed(c == 'o' ? "go" : Said("buzz"));
    if (c == 'l' || c == 'L') outputs.Output_Toggle(c == 'l' ? 1 : 2), outputs.SetOutputs({SwitchCause::Kind::kLamp});
    if (c == 't' || c == 'p')
      c == 't' ? dispatcher.tmrAutoReturn_Timer() : dispatcher.tmrPulseQuickly_Timer();
    bytes += static_cast<char>('0' + outputs.DecimalOutput());
  }
  for (const std::string& line : sender.sent) told += line.substr(7, line.find(' ', 7) - 6);
  for (const std::string& entry : log) told += entry.substr(0, entry.find(' ') + 1);
  EXPECT_EQ(bytes, GetParam().bytes);
  EXPECT_EQ(told, GetParam().told);
  if (GetParam().text.empty()) return;
  EXPECT_EQ(log.at(0) + (sender.sent.empty() ? "" : "\n" + sender.sent[0]), GetParam().text);
}

}  // namespace
}  // namespace zelvo
