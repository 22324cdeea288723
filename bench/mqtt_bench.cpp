// The real zelvo program with MQTT on: how long a channel message takes to
// reach a subscriber of <prefix>/output/1 through a local mosquitto, beside
// how long it takes to reach the port (the file port's own time stamp, on
// the same monotonic clock), with MQTT on and off. Needs ngircd and
// mosquitto.
#include <benchmark/benchmark.h>
#include <mosquitto.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "app/test_support.h"
#include "irc/e2e_harness.h"

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
  e2e::NgircdServer server;
  if (!server.Start(0, /*penalties=*/false)) return state.SkipWithError(server.Error().c_str());
  testing::TempDir dir;
  const int broker_port = e2e::FreeLoopbackPort();
  pid_t broker = -1;
  if (mqtt) {
    const passwd* me = getpwuid(getuid());
    testing::WriteFile(dir.File("mosquitto.conf"),
                       "listener " + std::to_string(broker_port) +
                           " 127.0.0.1\npersistence false\nallow_anonymous true\nuser " +
                           (me ? me->pw_name : "root") + "\n");
    broker = Launch({"/usr/sbin/mosquitto", "-c", dir.File("mosquitto.conf")},
                    dir.File("mosquitto.log"));
    e2e::SpinUntil([&] { return e2e::PortAccepts(broker_port); }, std::chrono::seconds(5));
  }
  testing::ConfigOptions options;
  options.output_device = "file:" + dir.File("port.txt");
  if (mqtt)
    options.extra_settings = "<MQTTBroker>mqtt://127.0.0.1:" + std::to_string(broker_port) +
                             "</MQTTBroker><MQTTDiscovery>false</MQTTDiscovery>";
  options.log_everything = false;
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
  if (!alice.WaitForLineContaining(" JOIN :#zelvo", std::chrono::seconds(10)) ||
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

}  // namespace
}  // namespace zelvo
