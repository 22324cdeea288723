// Speed of the trigger dispatch: a received line against the rule list,
// loading the rule list, the glob test on typical triggers, and patterns that
// make backtracking matchers slow, each beside glibc's fnmatch on the same
// pattern and text.
#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "dispatch/dispatcher.h"
#include "model/flags.h"
#include "model/glob.h"

namespace zelvo {
namespace {

class NullPort final : public PortWriter {
 public:
  std::string Write(std::uint8_t) override { return {}; }
  std::string Describe() const override { return "null"; }
};

class NullSender final : public IrcSender {
 public:
  std::string SendLine(std::string_view line) override {
    benchmark::DoNotOptimize(line.data());
    return {};
  }
  std::string LocalIP() const override { return "10.0.0.5"; }
};

class NullConsole final : public Console {
 public:
  void Append(std::string_view text) override { benchmark::DoNotOptimize(text.data()); }
};

std::string Join(std::initializer_list<std::string_view> pieces) {
  std::string result;
  for (std::string_view piece : pieces) result += piece;
  return result;
}

std::string Repeat(std::string_view piece, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += piece;
  return result;
}

// --- One received line against the rule list ---------------------------------

struct DispatchSetup {
  explicit DispatchSetup(int rule_count) {
    settings.gsIRCChannel = "#lab";
    settings.gsIRCNickname = "Zelvo";
    settings.gsIRCUser = "zelvo";
    const OleDate now = clock.LocalNow();
    auto add = [&](std::string name, std::string trigger, int auto_return, int limit, int flags) {
      auto rule = std::make_shared<IOCommand>(now);
      rule->SetIOName(std::move(name));
      rule->SetIRCTrigger(std::move(trigger));
      rule->SetAutoReturn(auto_return);
      rule->SetExecuteLimit(limit);
      rule->SetExtraFlags(flags);
      auto user = std::make_shared<User>();
      user->SetNickname("*");
      user->SetUsername("*");
      rule->Add(user);
      commands.Add(rule);
    };
    add("Saftblandare", "*PRIVMSG*!saft*", 15, 20, 32 | flag::kSetFocusOnVesko);
    add("Buzzer", "*PRIVMSG*!saft*", 2, 20, 2048 | flag::kPulseQuickly);
    add("Buzz", "*PRIVMSG*!Buzz*", 0, 0, 8192 | flag::kPulseQuickly);
    add("Disco-Kula On", "*Disco On*", 0, 0, 32 | 256 | flag::kResponseWithIOCommandName);
    add("Disco-Kula Off", "*Disco Off*", 0, 0, 64 | 512 | flag::kResponseWithIOCommandName);
    for (int i = 5; i < rule_count; ++i)
      add("Command " + std::to_string(i), "*PRIVMSG*!cmd" + std::to_string(i) + "*", 0, 0, 128);
  }

  Settings settings;
  IOCommands commands;
  NullPort port;
  Outputs outputs{port};
  SystemClock clock;
  NullSender sender;
  NullConsole console;
  NoChatClientWindow chat_client;
  Dispatcher dispatcher{settings, commands, outputs, clock, sender, console, chat_client, nullptr};
};

void BM_DispatchChatLine(benchmark::State& state) {
  DispatchSetup setup(static_cast<int>(state.range(0)));
  const IrcMessage line =
      ParseIrcMessage(":alice!~al@host.example.net PRIVMSG #lab :anyone seen my keys?\r\n");
  for (auto _ : state) setup.dispatcher.MatchReceived(line);
}
BENCHMARK(BM_DispatchChatLine)->Arg(5)->Arg(100)->Arg(1100)->Arg(2000);

// "Disco On" fires its rule (no limits) on every line: gates, actions, reply, port write.
void BM_DispatchFiringLine(benchmark::State& state) {
  DispatchSetup setup(static_cast<int>(state.range(0)));
  const IrcMessage line = ParseIrcMessage(":alice!~al@host.example.net PRIVMSG #lab :Disco On\r\n");
  for (auto _ : state) setup.dispatcher.MatchReceived(line);
}
BENCHMARK(BM_DispatchFiringLine)->Arg(5)->Arg(100)->Arg(1100)->Arg(2000);

// Loading a configuration: `state.range(0)` rules added one by one, each with one user.
void BM_AddRules(benchmark::State& state) {
  const OleDate now = SystemClock().LocalNow();
  for (auto _ : state) {
    IOCommands commands;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
      auto rule = std::make_shared<IOCommand>(now);
      rule->SetIRCTrigger("*PRIVMSG*!cmd" + std::to_string(i) + "*");
      auto user = std::make_shared<User>();
      user->SetNickname("*");
      user->SetUsername("*");
      rule->Add(std::move(user));
      commands.Add(std::move(rule));
    }
    benchmark::DoNotOptimize(commands.Count());
  }
}
BENCHMARK(BM_AddRules)->Arg(2000)->Arg(40000)->Unit(benchmark::kMillisecond);

// The collection alone: `state.range(0)` additions of one shared object.
void BM_CollectionAdd(benchmark::State& state) {
  const auto user = std::make_shared<User>();
  for (auto _ : state) {
    KeyedCollection<User> users;
    for (std::int64_t i = 0; i < state.range(0); ++i) users.Add(user);
    benchmark::DoNotOptimize(users.Count());
  }
}
BENCHMARK(BM_CollectionAdd)->Arg(2000)->Arg(40000)->Unit(benchmark::kMicrosecond);

// --- The glob test on typical triggers ------------------------------------------

// The received line and triggers as the dispatcher holds them: lower-cased.
const std::string kTypicalLine =
    ":alice!~al@host.example.net privmsg #lab :!saft bitte, und danke\r\n";
const std::vector<std::string> kTypicalTriggers = {"*privmsg*!saft*", "*privmsg*!buzz*",
                                                   "*disco on*"};

void BM_GlobTypicalCompiled(benchmark::State& state) {
  const GlobPattern pattern(kTypicalTriggers[static_cast<std::size_t>(state.range(0))]);
  for (auto _ : state) benchmark::DoNotOptimize(pattern.Matches(kTypicalLine));
}
BENCHMARK(BM_GlobTypicalCompiled)->DenseRange(0, 2);

void BM_GlobTypicalOneOff(benchmark::State& state) {
  const std::string& trigger = kTypicalTriggers[static_cast<std::size_t>(state.range(0))];
  for (auto _ : state) benchmark::DoNotOptimize(GlobMatch(kTypicalLine, trigger));
}
BENCHMARK(BM_GlobTypicalOneOff)->DenseRange(0, 2);

void BM_FnmatchTypical(benchmark::State& state) {
  const std::string& trigger = kTypicalTriggers[static_cast<std::size_t>(state.range(0))];
  for (auto _ : state)
    benchmark::DoNotOptimize(fnmatch(trigger.c_str(), kTypicalLine.c_str(), FNM_CASEFOLD));
}
BENCHMARK(BM_FnmatchTypical)->DenseRange(0, 2);

// Lower-casing the line, as the dispatcher does once per line.
void BM_LowerLatin1TypicalLine(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LowerLatin1(kTypicalLine));
}
BENCHMARK(BM_LowerLatin1TypicalLine);

// --- Adversarial patterns ---------------------------------------------------------

struct HardCase {
  std::string pattern;
  std::string text;
};

// The bytes from `first` to `last`, each a character of its own.
std::string Range(int first, int last) {
  std::string bytes;
  for (int b = first; b <= last; ++b) bytes += static_cast<char>(b);
  return bytes;
}

// Patterns of at most 128 characters against texts of 510 or 512 bytes. From
// 10 on, the slowest cases for this matcher that could be constructed: every
// text character is a lone byte that needs a list test; 14 to 16 test each
// against about 120 list members.
const std::vector<HardCase>& HardCases() {
  static const std::vector<HardCase> cases = {
      {"*a*a*a*a*a*a*b", std::string(510, 'a')},                                         // 0
      {"*?*?*?*?*x", std::string(510, 'y')},                                             // 1
      {Repeat("a*", 16) + "b", std::string(512, 'a')},                                   // 2
      {Join({Repeat("a*", 16), "b*"}), std::string(512, 'a')},                           // 3
      {"*a*a*a*a*a*a*b*", std::string(510, 'a')},                                        // 4
      {Join({"*", std::string(63, 'a'), "b*"}), std::string(510, 'a')},                  // 5
      {Join({"*", std::string(125, '?'), "b*"}), std::string(510, 'a')},                 // 6
      {Join({"*", Repeat("[ab]", 31), "c*"}), Repeat("ab", 255)},                        // 7
      {Join({"*", Repeat("\xC3\xA9?", 62), "x*"}), Repeat("\xC3\xA9", 256)},             // 8
      {Join({"*", std::string(126, '\xFE'), "*"}), std::string(512, '\xFF')},            // 9
      {Join({"*", Repeat("[\x80-\xFE]", 24), "x*"}), std::string(512, '\xFF')},          // 10
      {Join({"*[", Repeat("\x80-\x81", 41), "]x*"}), std::string(512, '\xFF')},          // 11
      {Join({"*[!", Repeat("\x80-\x81", 40), "]x*"}), std::string(512, '\xFF')},         // 12
      {Join({"*", Repeat("[!\x80-\xFE]?", 17), "[!\xFF]*"}), std::string(512, '\xFF')},  // 13
      {Join({"*[", Range(0x80, 0xFA), "]x*"}), std::string(512, '\xFF')},                // 14
      {Join({"*[!", Range(0x80, 0xF9), "]x*"}), std::string(512, '\xFF')},               // 15
      {Join({"*[", Range(0x80, 0xBB), "][", Range(0xBC, 0xF8), "]*"}),
       std::string(512, '\xFF')},  // 16
  };
  return cases;
}

void BM_GlobAdversarialCompiled(benchmark::State& state) {
  const HardCase& c = HardCases()[static_cast<std::size_t>(state.range(0))];
  const GlobPattern pattern(c.pattern);
  for (auto _ : state) benchmark::DoNotOptimize(pattern.Matches(c.text));
}
BENCHMARK(BM_GlobAdversarialCompiled)->DenseRange(0, 16);

void BM_GlobAdversarialOneOff(benchmark::State& state) {
  const HardCase& c = HardCases()[static_cast<std::size_t>(state.range(0))];
  for (auto _ : state) benchmark::DoNotOptimize(GlobMatch(c.text, c.pattern));
}
BENCHMARK(BM_GlobAdversarialOneOff)->DenseRange(0, 16);

void BM_FnmatchAdversarial(benchmark::State& state) {
  const HardCase& c = HardCases()[static_cast<std::size_t>(state.range(0))];
  for (auto _ : state)
    benchmark::DoNotOptimize(fnmatch(c.pattern.c_str(), c.text.c_str(), FNM_CASEFOLD));
}
BENCHMARK(BM_FnmatchAdversarial)->DenseRange(0, 16);

}  // namespace
}  // namespace zelvo
