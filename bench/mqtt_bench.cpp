// The real zelvo program with MQTT on: how long a channel message takes to
// reach a subscriber of <prefix>/output/1 through a local mosquitto, beside
// how long it takes to reach the port (the file port's own time stamp, on
// the same monotonic clock), with MQTT on and off (needs ngircd and
// mosquitto); and how late the bot answers a server's PING while a client
// floods a /set topic with TOGGLE (needs mosquitto).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/test_support.h"
#include "irc/e2e_harness.h"
#include "irc/servers.h"

namespace zelvo {
namespace {

using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[index];
}

pid_t Launch(const std::vector<std::string>& argv, const std::string& output) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    dup2(fd, 1);
    dup2(fd, 2);
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// Notes when each message on the subscribed topic arrived.
class Subscriber {
 public:
  Subscriber(int port, const std::string& topic) : topic_(topic) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void* self, int) {
      mosquitto_subscribe(m, nullptr, static_cast<Subscriber*>(self)->topic_.c_str(), 1);
    });
    mosquitto_message_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message*) {
      auto* me = static_cast<Subscriber*>(self);
      std::lock_guard lock(me->mutex_);
      me->times_.push_back(Clock::now());
      me->count_ = me->times_.size();
    });
    mosquitto_connect(mosq_, "127.0.0.1", port, 60);
    mosquitto_loop_start(mosq_);
  }
  ~Subscriber() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
  }
  std::size_t Count() const { return count_; }
  Clock::time_point Time(std::size_t i) {
    std::lock_guard lock(mutex_);
    return times_[i];
  }

 private:
  std::string topic_;
  mosquitto* mosq_;
  std::mutex mutex_;
  std::vector<Clock::time_point> times_;
  std::atomic<std::size_t> count_{0};
};

// The time stamps (CLOCK_MONOTONIC, microseconds) of the file port's lines.
std::vector<long long> PortTimes(const std::string& path) {
  std::vector<long long> times;
  std::ifstream in(path);
  long long time;
  int byte;
  while (in >> time >> byte) times.push_back(time);
  return times;
}

long long Micros(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

// state.range(0): 1 with MQTT (the state message is waited for), 0 without.
void BM_ChannelMessageToStateAndPort(benchmark::State& state) {
  const bool mqtt = state.range(0) == 1;
  const int messages = static_cast<int>(state.range(1));
  e2e::EnsureQtApplication();
  servers::NgircdServer server;
  if (!server.Start({.penalties = false})) return state.SkipWithError(server.Error().c_str());
  testing::TempDir dir;
  const int broker_port = servers::PickFreePort();
  pid_t broker = -1;
  if (mqtt) {
    const passwd* me = getpwuid(getuid());
    testing::WriteFile(dir.File("mosquitto.conf"),
                       "listener " + std::to_string(broker_port) +
                           " 127.0.0.1\npersistence false\nallow_anonymous true\nuser " +
                           (me ? me->pw_name : "root") + "\n");
    broker = Launch({"/usr/sbin/mosquitto", "-c", dir.File("mosquitto.conf")},
                    dir.File("mosquitto.log"));
    e2e::SpinUntil([&] { return servers::PortListening(broker_port); }, std::chrono::seconds(5));
  }
  testing::ConfigOptions options;
  options.output_device = "file:" + dir.File("port.txt");
  if (mqtt)
    options.extra_settings = "<MQTTBroker>mqtt://127.0.0.1:" + std::to_string(broker_port) +
                             "</MQTTBroker><MQTTDiscovery>false</MQTTDiscovery>";
  options.log_everything = true;  // the audit trail's entries (information) reach the log
  std::string config = testing::TestConfig(options);
  config = testing::ReplacedOnce(config, "<IRCPort>1</IRCPort>",
                                 "<IRCPort>" + std::to_string(server.Port()) + "</IRCPort>");
  testing::WriteFile(dir.File("config.xml"), config);

  e2e::RawIrcClient alice;
  if (!alice.Connect(server.Port(), "alice") || !alice.Join("#zelvo"))
    return state.SkipWithError("second client could not join");
  const pid_t bot = Launch({ZELVO_BINARY, "--headless", "--dir", dir.path()}, dir.File("out.txt"));
  std::unique_ptr<Subscriber> subscriber;
  if (mqtt) subscriber = std::make_unique<Subscriber>(broker_port, "zelvo/output/1");
  // The bot's own JOIN: alice's line buffer holds her JOIN too.
  if (!alice.WaitForJoin(":Zelvo!", "#zelvo", std::chrono::seconds(10)) ||
      (mqtt &&
       !e2e::SpinUntil([&] { return subscriber->Count() > 0; }, std::chrono::seconds(10)))) {
    Stop(bot);
    Stop(broker);
    return state.SkipWithError("the bot did not come up");
  }

  std::vector<double> to_state, to_port;
  for (auto _ : state) {
    for (int i = 0; i < messages; ++i) {
      const std::size_t seen = mqtt ? subscriber->Count() : 0;
      const std::size_t written = PortTimes(dir.File("port.txt")).size();
      const auto sent = Clock::now();
      alice.Say("#zelvo", i % 2 == 0 ? "Disco On" : "Disco Off");
      const bool arrived =
          mqtt ? e2e::SpinUntil([&] { return subscriber->Count() > seen; }, std::chrono::seconds(5))
               : e2e::SpinUntil([&] { return PortTimes(dir.File("port.txt")).size() > written; },
                                std::chrono::seconds(5));
      if (!arrived) {
        Stop(bot);
        Stop(broker);
        return state.SkipWithError("a message did not arrive");
      }
      if (mqtt)
        to_state.push_back(
            std::chrono::duration<double, std::micro>(subscriber->Time(seen) - sent).count());
      e2e::SpinUntil([&] { return PortTimes(dir.File("port.txt")).size() > written; },
                     std::chrono::seconds(5));
      to_port.push_back(
          static_cast<double>(PortTimes(dir.File("port.txt"))[written] - Micros(sent)));
    }
  }
  Stop(bot);
  Stop(broker);
  if (mqtt) {
    state.counters["state_median_us"] = Percentile(to_state, 0.5);
    state.counters["state_p99_us"] = Percentile(to_state, 0.99);
  }
  state.counters["port_median_us"] = Percentile(to_port, 0.5);
  state.counters["port_p99_us"] = Percentile(to_port, 0.99);
  state.counters["messages"] = static_cast<double>(to_port.size());
}
BENCHMARK(BM_ChannelMessageToStateAndPort)
    ->Args({1, 1000})
    ->Args({0, 1000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The program under test: $ZELVO_BENCH_BINARY (to compare builds), else the
// one built beside this benchmark.
std::string ZelvoBinary() {
  const char* chosen = std::getenv("ZELVO_BENCH_BINARY");
  return chosen && *chosen ? chosen : ZELVO_BINARY;
}

// The bot's IRC server: takes one connection, welcomes it, then answers
// nothing but sends PINGs and notes when each PONG comes back.
class PingServer {
 public:
  ~PingServer() {
    for (int fd : {client_, listener_})
      if (fd >= 0) close(fd);
  }
  int Listen() {
    const int port = servers::PickFreePort();
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 1) != 0)
      return 0;
    return port;
  }
  // Accepts the bot, welcomes it and waits for its JOIN.
  bool Register() {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, 30000) <= 0) return false;
    client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (!WaitForLine("USER ", std::chrono::seconds(30))) return false;
    Send(":irc.bench 001 Zelvo :Welcome\r\n");
    return WaitForLine("JOIN ", std::chrono::seconds(30));
  }
  // The time from a PING to its PONG; a negative value when none came within
  // `patience`.
  double PongDelayMs(int token, std::chrono::seconds patience) {
    const auto sent = Clock::now();
    Send("PING :t" + std::to_string(token) + "\r\n");
    if (!WaitForLine("PONG ", patience, " :t" + std::to_string(token))) return -1;
    return std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
  }

 private:
  void Send(const std::string& text) {
    if (send(client_, text.data(), text.size(), MSG_NOSIGNAL) < 0) return;
  }
  bool WaitForLine(const std::string& start, std::chrono::seconds patience,
                   const std::string& ending = "") {
    const auto deadline = Clock::now() + patience;
    while (Clock::now() < deadline) {
      std::size_t end;
      while ((end = partial_.find('\n')) != std::string::npos) {
        std::string line = partial_.substr(0, end);
        partial_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(start, 0) == 0 &&
            (ending.empty() ||
             (line.size() >= ending.size() &&
              line.compare(line.size() - ending.size(), ending.size(), ending) == 0)))
          return true;
      }
      pollfd readable{client_, POLLIN, 0};
      if (poll(&readable, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = recv(client_, buffer, sizeof buffer, 0);
      if (n <= 0) return false;
      partial_.append(buffer, static_cast<std::size_t>(n));
    }
    return false;
  }

  int listener_ = -1;
  int client_ = -1;
  std::string partial_;
};

// Publishes "TOGGLE" at QoS 0 on zelvo/output/1/set as fast as the broker
// takes it, from a thread of its own, until destroyed.
class Flooder {
 public:
  explicit Flooder(int port) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, nullptr);
    if (mosquitto_connect(mosq_, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS) return;
    thread_ = std::thread([this] {
      while (!stop_) {
        if (mosquitto_want_write(mosq_)) {
          mosquitto_loop(mosq_, 10, 1);
          continue;
        }
        if (mosquitto_publish(mosq_, nullptr, "zelvo/output/1/set", 6, "TOGGLE", 0, false) ==
            MOSQ_ERR_SUCCESS)
          ++sent_;
        if (sent_ % 64 == 0) mosquitto_loop(mosq_, 0, 1);
      }
    });
  }
  ~Flooder() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    mosquitto_disconnect(mosq_);
    mosquitto_destroy(mosq_);
  }
  long long Sent() const { return sent_; }

 private:
  mosquitto* mosq_;
  std::atomic<bool> stop_{false};
  std::atomic<long long> sent_{0};
  std::thread thread_;
};

// state.range(0): seconds of flood. A PING every 1.5 s (after the
// previous PONG); the delays of their PONGs, and the port writes (toggles)
// during the flood.
void BM_PongDelayUnderCommandFlood(benchmark::State& state) {
  const auto flood_time = std::chrono::seconds(state.range(0));
  e2e::EnsureQtApplication();
  testing::TempDir dir;
  const int broker_port = servers::PickFreePort();
  const passwd* me = getpwuid(getuid());
  testing::WriteFile(dir.File("mosquitto.conf"),
                     "listener " + std::to_string(broker_port) +
                         " 127.0.0.1\npersistence false\nallow_anonymous true\nuser " +
                         (me ? me->pw_name : "root") + "\n");
  const pid_t broker =
      Launch({"/usr/sbin/mosquitto", "-c", dir.File("mosquitto.conf")}, dir.File("mosquitto.log"));
  e2e::SpinUntil([&] { return servers::PortListening(broker_port); }, std::chrono::seconds(5));
  PingServer server;
  const int irc_port = server.Listen();
  testing::ConfigOptions options;
  options.output_device = "file:" + dir.File("port.txt");
  options.extra_settings = "<MQTTBroker>mqtt://127.0.0.1:" + std::to_string(broker_port) +
                           "</MQTTBroker><MQTTDiscovery>false</MQTTDiscovery>";
  options.log_everything = false;
  std::string config = testing::TestConfig(options);
  config = testing::ReplacedOnce(config, "<IRCPort>1</IRCPort>",
                                 "<IRCPort>" + std::to_string(irc_port) + "</IRCPort>");
  config = testing::ReplacedOnce(config, "<LogToFileWarnings>false", "<LogToFileWarnings>true");
  testing::WriteFile(dir.File("config.xml"), config);
  const pid_t bot = Launch({ZelvoBinary(), "--headless", "--dir", dir.path()}, dir.File("out.txt"));
  if (!server.Register() || server.PongDelayMs(0, std::chrono::seconds(10)) < 0) {
    Stop(bot);
    Stop(broker);
    return state.SkipWithError("the bot did not come up");
  }

  std::vector<double> delays;
  int unanswered = 0;
  std::size_t toggles = 0;
  long long sent = 0;
  for (auto _ : state) {
    const std::size_t before = PortTimes(dir.File("port.txt")).size();
    {
      Flooder flooder(broker_port);
      const auto end = Clock::now() + flood_time;
      for (int token = 1; Clock::now() < end; ++token) {
        const double delay = server.PongDelayMs(token, std::chrono::seconds(60));
        if (delay < 0)
          ++unanswered;
        else
          delays.push_back(delay);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      }
      sent = flooder.Sent();
    }
    toggles = PortTimes(dir.File("port.txt")).size() - before;
  }
  Stop(bot);
  Stop(broker);
  if (delays.empty()) return state.SkipWithError("no PING was answered");
  state.counters["pong_median_ms"] = Percentile(delays, 0.5);
  state.counters["pong_max_ms"] = Percentile(delays, 1.0);
  state.counters["pings_answered"] = static_cast<double>(delays.size());
  state.counters["pings_unanswered"] = unanswered;
  state.counters["toggles"] = static_cast<double>(toggles);
  state.counters["commands_sent"] = static_cast<double>(sent);
}
BENCHMARK(BM_PongDelayUnderCommandFlood)->Arg(30)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace zelvo
