// Memory of the real zelvo program under a flood of received lines. A fake
// IRC server of this program's own listens on loopback, the zelvo binary is
// started headless on a temporary configuration that points to it, and once
// it has registered the server sends it millions of lines as fast as it takes
// them, then a last PING. Reported: the resident memory (VmRSS) once the bot
// has answered that PING, and its peak over the whole run (VmHWM).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/example_config.h"
#include "support/temp_dir.h"

extern char** environ;

namespace zelvo {
namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::seconds;

constexpr const char* kChannel = "#zelvo";  // the example configuration's channel
constexpr const char* kEndToken = ":bench-end";

// What the server sends: every line a channel line, or a mix.
enum Mix : std::int64_t {
  kChatter = 0,   // channel lines that fire nothing
  kTriggers = 1,  // every tenth line "Disco On" or "Disco Off" in turn: rules that switch two
                  // outputs and answer in the channel
  kPings = 2,     // nothing but PINGs, each with its own token
  kMixed = 3,     // chatter, triggers, PINGs (some with over-long tokens), long lines
  // Before 001, for a time instead of a number of lines:
  kCapAck = 4,   // "CAP Zelvo ACK :..." with 40 names never seen before in each
  kCapList = 5,  // "CAP * LS * :..." continuation lines of 1,500 names each
};

const char* MixName(std::int64_t mix) {
  switch (mix) {
    case kChatter:
      return "chatter";
    case kTriggers:
      return "every tenth a trigger with a reply";
    case kPings:
      return "PING flood";
    case kCapAck:
      return "CAP ACK stream before 001";
    case kCapList:
      return "CAP LS continuation stream before 001";
    default:
      return "mixed";
  }
}

// Line `n` of a run of the given mix, with its CR LF.
void AppendLine(std::string& out, std::int64_t mix, std::int64_t n) {
  const std::string sender = ":user" + std::to_string(n % 37) + "!~u@host.example.net PRIVMSG ";
  const auto chatter = [&] {
    out += sender + kChannel + " :just some chatter about nothing in particular " +
           std::to_string(n) + "\r\n";
  };
  const auto trigger = [&] {
    out += sender + kChannel + (n % 20 == 0 ? " :Disco On\r\n" : " :Disco Off\r\n");
  };
  const auto ping = [&] { out += "PING :" + std::to_string(n) + "\r\n"; };
  switch (mix) {
    case kChatter:
      chatter();
      return;
    case kTriggers:
      n % 10 == 0 ? trigger() : chatter();
      return;
    case kPings:
      ping();
      return;
    case kCapAck:
      out += ":irc.bench CAP Zelvo ACK :";
      for (std::int64_t k = 0; k < 40; ++k) out += " cap" + std::to_string(n * 40 + k);
      out += "\r\n";
      return;
    case kCapList: {
      static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
      out += ":irc.bench CAP * LS * :";
      for (int k = 0; k < 1500; ++k) {
        out += ' ';
        for (int v = k + 1296, d = 0; d < 3; ++d, v /= 36) out += kDigits[v % 36];
      }
      out += "\r\n";
      return;
    }
    default:
      if (n % 10 == 0) {
        trigger();
      } else if (n % 10 == 5) {
        ping();
      } else if (n % 1000 == 7) {
        out += "PING :" + std::string(700, 'T') + "\r\n";  // too long for one PONG line
      } else if (n % 1000 == 3) {
        out += sender + kChannel + " :" + std::string(8000, 'L') + "\r\n";  // tags-size line
      } else {
        chatter();
      }
  }
}

// Kilobytes of a "VmRSS:"/"VmHWM:" line of /proc/<pid>/status; -1 if absent.
long StatusKilobytes(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
  }
  return -1;
}

// A listening socket on 127.0.0.1 below port 32768 (the configured port is a
// 16-bit signed number); -1 on failure.
int Listen(int& port) {
  std::mt19937 random(static_cast<unsigned>(::getpid()) ^
                      static_cast<unsigned>(SteadyClock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 200; ++attempt) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    port = 20000 + static_cast<int>(random() % 12000);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(fd, 1) == 0)
      return fd;
    ::close(fd);
  }
  return -1;
}

// The program under test: $ZELVO_BENCH_BINARY (to compare builds), else the
// one built beside this benchmark.
std::string ZelvoBinary() {
  const char* chosen = std::getenv("ZELVO_BENCH_BINARY");
  return chosen && *chosen ? chosen : ZELVO_BINARY;
}

pid_t StartZelvo(const std::string& dir) {
  const std::string binary = ZelvoBinary();
  std::vector<std::string> arguments{binary, "--headless", "--dir", dir};
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const std::string err = dir + "/stderr.txt";
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Polls `fd` for `events` for at most `timeout`; the returned events or 0.
short PollOnce(int fd, short events, std::chrono::milliseconds timeout) {
  pollfd p{fd, events, 0};
  if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return 0;
  return p.revents;
}

// Reads what is there without waiting; appends the lines that ended to
// `lines` (without CR LF) when `keep` is true. False when the peer closed.
bool ReadAvailable(int fd, std::string& partial, std::vector<std::string>* lines) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    partial.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = partial.find('\n')) != std::string::npos) {
      if (lines) lines->push_back(partial.substr(0, end));
      partial.erase(0, end + 1);
    }
  }
}

class Run {
 public:
  ~Run() {
    if (client_ >= 0) ::close(client_);
    if (listener_ >= 0) ::close(listener_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  // Starts the bot and waits for its JOIN after the welcome, or (without
  // `welcome`) for its USER line; "" or what went wrong.
  std::string Start(bool welcome = true) {
    int port = 0;
    listener_ = Listen(port);
    if (listener_ < 0) return "no free port to listen on";
    std::string config = testing::ExampleConfigText();
    config = testing::ReplacedOnce(config, "<IRCDomain>irc.libera.chat</IRCDomain>",
                                   "<IRCDomain>127.0.0.1</IRCDomain>");
    config = testing::ReplacedOnce(config, "<IRCPort>6667</IRCPort>",
                                   "<IRCPort>" + std::to_string(port) + "</IRCPort>");
    config = testing::ReplacedOnce(config, "<LogToFileWarnings>false", "<LogToFileWarnings>true");
    // Information too: the audit trail's entries (94) are information.
    config = testing::ReplacedOnce(config, "<LogToFileInformation>false",
                                   "<LogToFileInformation>true");
    config = testing::ReplacedOnce(config, "<Output8>N/C</Output8>",
                                   "<Output8>N/C</Output8>\r\n\t\t<OutputDevice>file:" +
                                       dir_.File("port.log") + "</OutputDevice>");
    testing::WriteFile(dir_.File("config.xml"), config);
    pid_ = StartZelvo(dir_.path());
    if (pid_ <= 0) return "cannot start " + ZelvoBinary();
    if (!(PollOnce(listener_, POLLIN, std::chrono::seconds(30)) & POLLIN))
      return "the bot did not connect";
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client_ < 0) return "accept failed";
    std::vector<std::string> lines;
    const auto deadline = SteadyClock::now() + seconds(30);
    while (SteadyClock::now() < deadline) {
      PollOnce(client_, POLLIN, std::chrono::milliseconds(100));
      if (!ReadAvailable(client_, partial_, &lines)) return "the bot closed the connection";
      for (const std::string& line : lines) {
        if (line.rfind("USER ", 0) == 0) {
          if (!welcome) {
            start_rss_kb = StatusKilobytes(pid_, "VmRSS:");
            return "";
          }
          Send(":irc.bench 001 Zelvo :Welcome\r\n");  // the bot joins once welcomed
        }
        if (line.rfind("JOIN ", 0) == 0) {
          // Settled: the start-up work is done before the flood.
          std::this_thread::sleep_for(std::chrono::milliseconds(500));
          start_rss_kb = StatusKilobytes(pid_, "VmRSS:");
          return "";
        }
      }
    }
    return "the bot did not register";
  }

  // Sends `total` lines of `mix` (with `for_time`: lines for that long) as
  // fast as the bot takes them, reading and discarding what it sends
  // meanwhile; then (with `for_time`, after 001) a last PING, and waits up to
  // `patience` for its PONG. "" or what went wrong.
  std::string Flood(std::int64_t mix, std::int64_t total, std::chrono::seconds patience,
                    bool for_time = false) {
    std::string chunk;
    std::int64_t n = 0;
    std::size_t offset = 0;
    const auto started = SteadyClock::now();
    const auto more = [&] {
      return for_time ? SteadyClock::now() - started < seconds(total) : n < total;
    };
    while (more() || offset < chunk.size()) {
      if (offset == chunk.size()) {
        chunk.clear();
        offset = 0;
        while (more() && chunk.size() < 256 * 1024) AppendLine(chunk, mix, n++);
      }
      const short ready = PollOnce(client_, POLLIN | POLLOUT, std::chrono::seconds(30));
      if (ready == 0) return "the bot stopped reading";
      if (ready & POLLIN) {
        if (!ReadAvailable(client_, partial_, nullptr)) return "the bot closed the connection";
      }
      if (ready & POLLOUT) {
        const ssize_t sent = ::send(client_, chunk.data() + offset, chunk.size() - offset,
                                    MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
          return std::string("send failed: ") + std::strerror(errno);
        if (sent > 0) offset += static_cast<std::size_t>(sent);
      }
      if (ready & (POLLERR | POLLHUP)) return "the connection broke";
    }
    if (for_time) {
      lines_sent = n;
      Send(":irc.bench 001 Zelvo :Welcome\r\n");
    }
    Send(std::string("PING ") + kEndToken + "\r\n");
    std::vector<std::string> lines;
    const auto deadline = SteadyClock::now() + patience;
    while (SteadyClock::now() < deadline && !end_answered) {
      PollOnce(client_, POLLIN, std::chrono::milliseconds(100));
      if (!ReadAvailable(client_, partial_, &lines)) return "the bot closed the connection";
      for (const std::string& line : lines) {
        if (line.rfind(std::string("PONG ") + kEndToken, 0) == 0) end_answered = true;
      }
      lines.clear();
    }
    seconds_taken = std::chrono::duration<double>(SteadyClock::now() - started).count();
    end_rss_kb = StatusKilobytes(pid_, "VmRSS:");
    peak_rss_kb = StatusKilobytes(pid_, "VmHWM:");
    return "";
  }

  // Entries 94 (a change of the outputs) in the bot's log so far.
  long SwitchEntries() const {
    std::ifstream log(dir_.File("Log.xml"));
    long count = 0;
    for (std::string line; std::getline(log, line);)
      if (line.find("<ID>94</ID>") != std::string::npos) ++count;
    return count;
  }

  long start_rss_kb = -1;
  long end_rss_kb = -1;
  long peak_rss_kb = -1;
  bool end_answered = false;
  double seconds_taken = 0;
  std::int64_t lines_sent = 0;

 private:
  void Send(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::send(client_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }

  testing::TempDir dir_;
  int listener_ = -1;
  int client_ = -1;
  pid_t pid_ = -1;
  std::string partial_;
};

// The memory and the last PING of one run.
void Report(benchmark::State& state, const Run& run) {
  state.SetIterationTime(run.seconds_taken);
  state.counters["start_MiB"] = static_cast<double>(run.start_rss_kb) / 1024.0;
  state.counters["end_MiB"] = static_cast<double>(run.end_rss_kb) / 1024.0;
  state.counters["peak_MiB"] = static_cast<double>(run.peak_rss_kb) / 1024.0;
  state.counters["last_PING_answered"] = run.end_answered ? 1 : 0;
}

// state.range(0): the mix; state.range(1): how many lines.
void BM_ZelvoMemoryUnderFlood(benchmark::State& state) {
  for (auto _ : state) {
    Run run;
    std::string error = run.Start();
    if (error.empty()) error = run.Flood(state.range(0), state.range(1), seconds(40));
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }
    Report(state, run);
    state.counters["lines_per_s"] = static_cast<double>(state.range(1)) / run.seconds_taken;
    state.counters["switch_entries"] = static_cast<double>(run.SwitchEntries());
  }
  state.SetLabel(MixName(state.range(0)));
}
BENCHMARK(BM_ZelvoMemoryUnderFlood)
    ->ArgNames({"mix", "lines"})
    ->Args({kChatter, 5'000'000})
    ->Args({kTriggers, 5'000'000})
    ->Args({kPings, 5'000'000})
    ->Args({kMixed, 5'000'000})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// state.range(0): a mix sent before 001; state.range(1): for how many seconds.
// Then 001 and the last PING.
void BM_ZelvoMemoryBeforeWelcome(benchmark::State& state) {
  for (auto _ : state) {
    Run run;
    std::string error = run.Start(false);
    if (error.empty()) error = run.Flood(state.range(0), state.range(1), seconds(40), true);
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }
    Report(state, run);
    state.counters["lines"] = static_cast<double>(run.lines_sent);
  }
  state.SetLabel(MixName(state.range(0)));
}
BENCHMARK(BM_ZelvoMemoryBeforeWelcome)
    ->ArgNames({"mix", "seconds"})
    ->Args({kCapAck, 25})
    ->Args({kCapList, 25})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace zelvo
