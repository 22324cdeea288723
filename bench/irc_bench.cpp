// Speed of the IRC client: how long a second user's channel message takes to
// reach the port through a local ngircd (median and 99th percentile), and how
// many received lines a second the session takes from the socket and holds
// against 100 rules.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "irc/e2e_harness.h"
#include "irc/servers.h"
#include "irc/irc_fakes.h"

namespace zelvo {
namespace {

using Clock = std::chrono::steady_clock;

// A port that notes when each byte was written.
class TimedPort final : public PortWriter {
 public:
  std::string Write(std::uint8_t) override {
    times.push_back(Clock::now());
    return {};
  }
  std::string Describe() const override { return "timed"; }
  std::vector<Clock::time_point> times;
};

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[index];
}

// One message at a time: alice says the trigger, the bot's port is written;
// the next message goes once the write has happened.
void BM_MessageToPortLatency(benchmark::State& state) {
  e2e::EnsureQtApplication();
  const int messages = static_cast<int>(state.range(0));
  servers::NgircdServer server;
  if (!server.Start({.penalties = false})) {
    state.SkipWithError(server.Error().c_str());
    return;
  }
  e2e::RawIrcClient alice;
  if (!alice.Connect(server.Port(), "alice") || !alice.Join("#lab")) {
    state.SkipWithError("second client could not join");
    return;
  }
  TimedPort port;
  e2e::Bot bot(server.Port(), {}, &port);
  bot.Connect();
  if (!alice.WaitForLineContaining(":relay!~relay@127.0.0.1 JOIN :#lab",
                                   std::chrono::seconds(10))) {
    state.SkipWithError("the bot did not join");
    return;
  }
  std::vector<double> micros;
  micros.reserve(static_cast<std::size_t>(messages));
  for (auto _ : state) {
    micros.clear();
    for (int i = 0; i < messages; ++i) {
      const std::size_t before = port.times.size();
      const auto sent = Clock::now();
      alice.Say("#lab", "Quiet Toggle");
      if (!e2e::SpinUntil([&] { return port.times.size() > before; }, std::chrono::seconds(5))) {
        state.SkipWithError("a message did not reach the port");
        return;
      }
      micros.push_back(
          std::chrono::duration<double, std::micro>(port.times[before] - sent).count());
    }
  }
  state.counters["median_us"] = Percentile(micros, 0.5);
  state.counters["p99_us"] = Percentile(micros, 0.99);
  state.counters["max_us"] = Percentile(micros, 1.0);
  state.counters["messages"] = static_cast<double>(micros.size());
}
BENCHMARK(BM_MessageToPortLatency)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);

class NullPort final : public PortWriter {
 public:
  std::string Write(std::uint8_t) override { return {}; }
  std::string Describe() const override { return "null"; }
};

// Received lines through framing, PING test, console, state report and the
// dispatcher with state.range(0) rules (0: the session alone); with 100 rules
// one line in 100 fires a rule (with a reply). Triggers are written as in the
// example configuration, "*PRIVMSG*!ruleN *", or with state.range(1) = 1
// anchored to the channel, "*PRIVMSG #lab :!ruleN *".
void BM_SessionLinesPerSecond(benchmark::State& state) {
  Settings settings;
  settings.gsIRCChannel = "#lab";
  settings.gsIRCNickname = "relay";
  settings.gsIRCUser = "relay";
  testing::FakeClock clock;
  testing::FakeSocket socket;
  socket.state = socket_state::kConnected;
  class CountingConsole final : public Console {
   public:
    void Append(std::string_view text) override { bytes += text.size(); }
    std::size_t bytes = 0;
  } console;
  IOCommands commands;
  for (int r = 0; r < state.range(0); ++r) {
    auto rule = std::make_shared<IOCommand>(clock.LocalNow());
    rule->SetIOName("Rule " + std::to_string(r));
    rule->SetIRCTrigger((state.range(1) == 1 ? "*PRIVMSG #lab :!rule" : "*PRIVMSG*!rule") +
                        std::to_string(r) + " *");
    rule->SetExtraFlags(ToggleBit(1 + r % 8) | flag::kResponseWithIOCommandName);
    auto user = std::make_shared<User>();
    user->SetNickname("*");
    user->SetUsername("*");
    rule->Add(user);
    commands.Add(rule);
  }
  NullPort port;
  Outputs outputs(port);
  NoChatClientWindow chat_client;
  IrcSession session(settings, socket, clock, console, IrcHooks{});
  Dispatcher dispatcher(settings, commands, outputs, clock, session, console, chat_client,
                        [](const std::string&) {});
  session.SetMatcher([&](const LineEvent& line) { dispatcher.Match(line); });
  session.sckIRC_Connect();  // registered: lines are taken only then
  socket.Receive(session, ":irc.example.net 001 relay :Welcome\r\n");

  // 1000 lines in reads of about 4 KB, as a busy channel delivers them.
  std::vector<std::string> reads;
  std::string read;
  for (int i = 0; i < 1000; ++i) {
    read += ":user" + std::to_string(i % 37) + "!~u" + std::to_string(i % 37) +
            "@host.example.net PRIVMSG #lab :" +
            (i % 100 == 0 ? "!rule" + std::to_string(i % 97) + " now"
                          : "just some chatter about nothing in particular " + std::to_string(i)) +
            "\r\n";
    if (read.size() > 4000) reads.push_back(std::move(read)), read.clear();
  }
  reads.push_back(read);
  for (auto _ : state) {
    for (const std::string& chunk : reads) socket.Receive(session, chunk);
    clock.Advance(std::chrono::seconds(60));  // lets the reply queue drain
    session.tmrSendQueue_Timer();
    socket.sent.clear();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
  benchmark::DoNotOptimize(console.bytes);
}
BENCHMARK(BM_SessionLinesPerSecond)
    ->Args({0, 0})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Unit(benchmark::kMillisecond);

// A registered session on the fake socket and clock, its console discarded.
struct BareSession {
  explicit BareSession(const std::string& welcome_extra = "") {
    settings.gsIRCChannel = "#lab";
    settings.gsIRCNickname = "relay";
    settings.gsIRCUser = "relay";
    socket.state = socket_state::kConnected;
    session.sckIRC_Connect();
    socket.Receive(session, ":irc.example.net 001 relay :Welcome\r\n" + welcome_extra);
  }
  class NullConsole final : public Console {
   public:
    void Append(std::string_view) override {}
  };
  Settings settings;
  testing::FakeClock clock;
  testing::FakeSocket socket;
  NullConsole console;
  IrcSession session{settings, socket, clock, console, IrcHooks{}};
};

// The bot joins a channel whose NAMES reply lists state.range(0) distinct
// nicknames (353 lines of 500 names each).
void BM_SessionNames(benchmark::State& state) {
  BareSession bare;
  std::string names = ":relay!~relay@h JOIN :#lab\r\n";
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    if (i % 500 == 0) names += ":irc.example.net 353 relay = #lab :";
    names += "nick" + std::to_string(i) + (i % 500 == 499 ? "\r\n" : " ");
  }
  names += ":irc.example.net 366 relay #lab :End of /NAMES list.\r\n";
  for (auto _ : state) {
    bare.socket.Receive(bare.session, names);
    bare.socket.Receive(bare.session, ":relay!~relay@h PART #lab\r\n");
  }
  bare.socket.Receive(bare.session, names);
  state.counters["members_kept"] = static_cast<double>(bare.session.Roster().Size());
}
BENCHMARK(BM_SessionNames)->Arg(100'000)->Unit(benchmark::kMillisecond);

// A server with WHOX echoes the bot's JOIN state.range(0) times, then PINGs:
// how long (on the session's clock, the tick every 100 ms) until the PONG
// goes out. Reported as the counter pong_delay_s; nothing is timed.
void BM_PongDelayBehindJoinEchoes(benchmark::State& state) {
  for (auto _ : state) {
    BareSession bare(":irc.example.net 005 relay WHOX :are supported\r\n");
    std::string echoes;
    for (std::int64_t i = 0; i < state.range(0); ++i) echoes += ":relay!~relay@h JOIN :#lab\r\n";
    bare.socket.Receive(bare.session, echoes + "PING :delay\r\n");
    const auto start = bare.clock.MonotonicNow();
    const auto answered = [&] {
      return std::find(bare.socket.sent.begin(), bare.socket.sent.end(), "PONG :delay\r\n") !=
             bare.socket.sent.end();
    };
    while (!answered() && bare.clock.MonotonicNow() - start < std::chrono::hours(2)) {
      bare.clock.Advance(std::chrono::milliseconds(100));
      bare.session.tmrSendQueue_Timer();
    }
    state.counters["pong_delay_s"] =
        std::chrono::duration<double>(bare.clock.MonotonicNow() - start).count();
  }
}
BENCHMARK(BM_PongDelayBehindJoinEchoes)->Arg(2'000)->Iterations(1);

}  // namespace
}  // namespace zelvo
