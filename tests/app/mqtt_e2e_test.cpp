// The real zelvo program between a real ngircd and a real mosquitto: the
// retained states, a rule run seen on the broker, a command from the broker,
// the relays, a broker restart, the Last Will and the safe state at an orderly
// stop. libmosquitto (its own thread) observes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mosquitto.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/spawned_bot.h"
#include "app/test_support.h"
#include "irc/servers.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using std::chrono::milliseconds;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PortBytes;
using testing::ReadFile;
using testing::Spawn;

constexpr auto kPatience = std::chrono::seconds(20);

// Every message on the broker, as "topic payload", in order of arrival.
class Observer {
 public:
  explicit Observer(int port) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(
        mosq_, [](mosquitto* m, void*, int) { mosquitto_subscribe(m, nullptr, "#", 1); });
    mosquitto_subscribe_callback_set(mosq_, [](mosquitto*, void* self, int, int, const int*) {
      auto* observer = static_cast<Observer*>(self);
      std::lock_guard lock(observer->mutex_);
      observer->subscribed_ = true;
      observer->changed_.notify_all();
    });
    mosquitto_message_callback_set(
        mosq_, [](mosquitto*, void* self, const mosquitto_message* message) {
          auto* observer = static_cast<Observer*>(self);
          std::lock_guard lock(observer->mutex_);
          observer->messages_.push_back(std::string(message->topic) + " " +
                                        std::string(static_cast<const char*>(message->payload),
                                                    static_cast<std::size_t>(message->payloadlen)));
          observer->changed_.notify_all();
        });
    mosquitto_connect(mosq_, "127.0.0.1", port, 30);
    mosquitto_loop_start(mosq_);
  }
  ~Observer() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
  }
  bool WaitSubscribed() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [this] { return subscribed_; });
  }
  // Waits until `message` (or one that begins with `prefix`) has arrived at
  // or after `from`; its index or -1.
  int WaitFor(const std::string& message, std::size_t from = 0) {
    return Wait([&](const std::string& m) { return m == message; }, from);
  }
  int WaitForPrefix(const std::string& prefix, std::size_t from = 0) {
    return Wait([&](const std::string& m) { return m.rfind(prefix, 0) == 0; }, from);
  }
  int Wait(const std::function<bool(const std::string&)>& match, std::size_t from) {
    std::unique_lock lock(mutex_);
    int found = -1;
    changed_.wait_for(lock, kPatience, [&] {
      for (std::size_t i = from; i < messages_.size() && found < 0; ++i)
        if (match(messages_[i])) found = static_cast<int>(i);
      return found >= 0;
    });
    return found;
  }
  std::vector<std::string> Messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  mosquitto* mosq_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool subscribed_ = false;
  std::vector<std::string> messages_;
};

// ngircd, mosquitto with an observer, and the bot started with `settings`
// (after its OutputDevice entries) and in its channel beside the user "op";
// `retained_on` is published retained with ON before the bot starts.
class MqttEndToEnd : public ::testing::Test {
 protected:
  void StartBot(const std::string& settings, const std::string& retained_on = "") {
    ASSERT_TRUE(ircd.Start()) << ircd.Error();
    ASSERT_TRUE(broker.Start()) << broker.Error();
    observer = std::make_unique<Observer>(broker.Port());
    ASSERT_TRUE(observer->WaitSubscribed());
    if (!retained_on.empty()) {
      ASSERT_EQ(Publish("-r -t " + retained_on + " -m ON"), 0);
    }
    testing::ConfigOptions options;
    options.output_device = "file:" + port_file;
    options.extra_settings =
        "<OutputDevice>mqtt:cmnd/relay%N/POWER</OutputDevice>\r\n<MQTTBroker>mqtt://127.0.0.1:" +
        std::to_string(broker.Port()) + "</MQTTBroker>" + settings;
    options.irc_port = ircd.Port();
    testing::WriteFile(dir.File("config.xml"), testing::TestConfig(options));
    bot = Spawn({ZELVO_BINARY, "--headless", "--dir", dir.path()}, dir.File("out.txt"));
    ASSERT_GT(bot, 0);

    // The retained states after "online".
    const int online = observer->WaitFor("zelvo/status online");
    ASSERT_GE(online, 0) << ReadFile(dir.File("out.txt"));
    for (int n = 1; n <= 8; ++n)
      EXPECT_GE(observer->WaitFor("zelvo/output/" + std::to_string(n) + " OFF", online), 0) << n;

    ASSERT_TRUE(op.Connect(ircd.Port()));
    ASSERT_TRUE(op.Register("op"));
    op.Send("JOIN #zelvo");
    // The bot is in the channel: named in the member list or joining later.
    ASSERT_GE(op.WaitFor(
                  [](const std::string& line) {
                    return (line.find(" 353 ") != std::string::npos &&
                            line.find("Zelvo") != std::string::npos) ||
                           line.rfind(":Zelvo!", 0) == 0;
                  },
                  milliseconds(20000)),
              0)
        << op.Transcript();
  }
  int Publish(const std::string& arguments) {
    const std::string port = std::to_string(broker.Port());
    return std::system(("mosquitto_pub -h 127.0.0.1 -p " + port + " -q 1 " + arguments).c_str());
  }
  void TearDown() override {
    if (bot <= 0) return;
    ::kill(bot, SIGKILL);
    ::waitpid(bot, nullptr, 0);
  }

  servers::NgircdServer ircd;
  servers::MosquittoBroker broker;
  std::unique_ptr<Observer> observer;
  testing::TempDir dir;
  const std::string port_file = dir.File("port.txt");
  servers::LineClient op;
  pid_t bot = -1;
};

TEST_F(MqttEndToEnd, TheBotBetweenNgircdAndMosquitto) {
  StartBot("<MQTTPassword>never-shown</MQTTPassword>");
  Observer& observer = *this->observer;
  const std::size_t before_rule = observer.Messages().size();
  op.Send("PRIVMSG #zelvo :Disco On");
  for (const char* message : {"zelvo/output/1 ON", "zelvo/output/2 ON", "cmnd/relay1/POWER ON",
                              "cmnd/relay2/POWER ON", "zelvo/byte 3"})
    EXPECT_GE(observer.WaitFor(message, before_rule), 0) << message;
  EXPECT_GE(observer.WaitForPrefix("zelvo/event ", before_rule), 0);
  std::vector<std::string> events;
  for (const std::string& message : observer.Messages())
    if (message.rfind("zelvo/event ", 0) == 0) events.push_back(message);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_THAT(events[0], HasSubstr("\"rule\":\"Disco-Kula On\",\"nick\":\"op\""));
  EXPECT_THAT(events[0], HasSubstr("\"channel\":\"#zelvo\""));
  EXPECT_THAT(events[0], HasSubstr("\"outputs\":3}"));

  const std::size_t before_set = observer.Messages().size();
  EXPECT_EQ(std::system(("mosquitto_pub -h 127.0.0.1 -p " + std::to_string(broker.Port()) +
                         " -q 1 -t zelvo/output/4/set -m ON")
                            .c_str()),
            0);
  EXPECT_GE(observer.WaitFor("zelvo/output/4 ON", before_set), 0);
  EXPECT_GE(observer.WaitFor("cmnd/relay4/POWER ON", before_set), 0);
  EXPECT_THAT(PortBytes(port_file), ElementsAre(0, 3, 11));

  // The broker goes away and comes back on the same port: rules fire
  // meanwhile, and the bot publishes its states again on its own.
  broker.Stop();
  op.Send("PRIVMSG #zelvo :Disco Off");
  for (int i = 0; i < 400 && PortBytes(port_file).size() < 4; ++i)
    std::this_thread::sleep_for(milliseconds(25));
  EXPECT_THAT(PortBytes(port_file), ElementsAre(0, 3, 11, 8));
  ASSERT_TRUE(broker.Restart()) << broker.Error();
  const std::size_t before_restart = observer.Messages().size();
  for (const char* message : {"zelvo/status online", "zelvo/output/1 OFF", "zelvo/output/2 OFF",
                              "zelvo/output/4 ON", "zelvo/byte 8"})
    EXPECT_GE(observer.WaitFor(message, before_restart), 0) << message;

  const std::size_t before_kill = observer.Messages().size();
  ::kill(bot, SIGKILL);
  ::waitpid(bot, nullptr, 0);
  bot = -1;
  EXPECT_GE(observer.WaitFor("zelvo/status offline", before_kill), 0);

  const std::string shown = ReadFile(dir.File("out.txt")) + ReadFile(dir.File("Log.xml"));
  EXPECT_THAT(shown, ::testing::Not(HasSubstr("never-shown")));
}

// An orderly stop with OutputsOnExit 0: the states and the byte of the safe
// state reach the broker before "offline" and stay retained.
TEST_F(MqttEndToEnd, TheSafeStateAtTheCloseIsWhatStaysRetained) {
  StartBot("<OutputsOnExit>0</OutputsOnExit>");
  EXPECT_GE(Observer(broker.Port()).WaitFor("zelvo/status online"), 0);  // retained
  op.Send("PRIVMSG #zelvo :Disco On");
  ASSERT_GE(observer->WaitFor("zelvo/byte 3"), 0);
  ::kill(bot, SIGTERM);
  ASSERT_EQ(::waitpid(bot, nullptr, 0), bot);
  bot = -1;
  EXPECT_THAT(PortBytes(port_file), ElementsAre(0, 3, 0));
  Observer retained(broker.Port());
  std::vector<std::string> expected = {"zelvo/byte 0", "zelvo/status offline"};
  for (int n = 1; n <= 8; ++n) expected.push_back("zelvo/output/" + std::to_string(n) + " OFF");
  for (const std::string& message : expected) EXPECT_GE(retained.WaitFor(message), 0) << message;
}

// A command the broker kept from before the start switches nothing and is
// logged (before the fresh one, on the same connection) with the command that
// clears it; a fresh one switches.
TEST_F(MqttEndToEnd, ARetainedCommandIsIgnoredAndAFreshOneSwitches) {
  StartBot("", "zelvo/output/3/set");
  const std::size_t before_set = observer->Messages().size();
  ASSERT_EQ(Publish("-t zelvo/output/3/set -m ON"), 0);
  EXPECT_GE(observer->WaitFor("zelvo/output/3 ON", before_set), 0);
  EXPECT_THAT(PortBytes(port_file), ElementsAre(0, 4));  // the fresh one alone
  EXPECT_THAT(ReadFile(dir.File("Log.xml")),
              HasSubstr("mosquitto_pub -r -n -t zelvo/output/3/set"));
}

// A flood of TOGGLE commands at QoS 0: output 1 switches at most ten times a
// second, the drops are logged once, and a rule said in the channel meanwhile
// still runs.
TEST_F(MqttEndToEnd, ACommandFloodIsLimitedAndTheBotStaysResponsive) {
  StartBot("");
  std::string flood;
  for (int i = 0; i < 5000; ++i) flood += "TOGGLE\n";
  testing::WriteFile(dir.File("flood.txt"), flood);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(std::system(("mosquitto_pub -h 127.0.0.1 -p " + std::to_string(broker.Port()) +
                         " -q 0 -t zelvo/output/1/set -l < " + dir.File("flood.txt"))
                            .c_str()),
            0);
  const std::size_t before_rule = observer->Messages().size();
  op.Send("PRIVMSG #zelvo :Disco On");
  EXPECT_GE(observer->WaitForPrefix("zelvo/event ", before_rule), 0);
  const std::string dropped = "commands for output 1 on zelvo/output/1/set";
  for (int i = 0; i < 800 && ReadFile(dir.File("Log.xml")).find(dropped) == std::string::npos; ++i)
    std::this_thread::sleep_for(milliseconds(25));
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_NE(ReadFile(dir.File("Log.xml")).find(dropped), std::string::npos);
  const double toggles = static_cast<double>(PortBytes(port_file).size()) - 2;  // start, rule
  EXPECT_GE(toggles, 1);
  EXPECT_LE(toggles, 10 * (elapsed.count() + 1));
}

}  // namespace
}  // namespace zelvo
