// The MQTT client and bridge against a real mosquitto broker on loopback,
// driven by the Qt event loop; mosquitto_sub and mosquitto_pub observe and
// command from outside.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "irc/servers.h"
#include "mqtt/bridge.h"
#include "mqtt/mosquitto_client.h"
#include "mqtt/qt_driver.h"
#include "mqtt/relay_port.h"
#include "support/fake_clock.h"

namespace zelvo::mqtt {
namespace {

QString Find(const char* program) {
  return QStandardPaths::findExecutable(program, {"/usr/sbin", "/usr/bin", "/usr/local/sbin"});
}

// Runs the event loop until `done` holds or 10 s have passed.
template <typename Predicate>
bool SpinUntil(Predicate done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 10000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// A private mosquitto, with mosquitto_sub and mosquitto_pub at hand.
class Broker : public servers::MosquittoBroker {
 public:
  // Starts mosquitto_sub; its output is read when it has ended.
  std::unique_ptr<QProcess> Subscribe(const std::string& topic, int count,
                                      const QStringList& more = {}) {
    auto sub = std::make_unique<QProcess>();
    sub->start(Find("mosquitto_sub"), QStringList{"-h", "127.0.0.1", "-p", QString::number(Port()),
                                                  "-t", QString::fromStdString(topic), "-v", "-C",
                                                  QString::number(count), "-W", "10"} +
                                          more);
    sub->waitForStarted(5000);
    return sub;
  }
  bool Publish(const std::string& topic, const QByteArray& payload) {
    QProcess pub;
    pub.start(Find("mosquitto_pub"), {"-h", "127.0.0.1", "-p", QString::number(Port()), "-q", "1",
                                      "-t", QString::fromStdString(topic), "-s"});
    pub.write(payload);
    pub.closeWriteChannel();
    return pub.waitForFinished(5000) && pub.exitCode() == 0;
  }
};

std::vector<std::string> Lines(QProcess& process) {
  SpinUntil([&] { return process.state() == QProcess::NotRunning; });
  std::vector<std::string> lines;
  for (const QByteArray& line : process.readAllStandardOutput().split('\n'))
    if (!line.isEmpty()) lines.push_back(line.toStdString());
  return lines;
}

// A relay to the broker whose listening queue is full at first, so that a
// client's connection stays pending (its SYN is dropped and sent again about
// a second later) as on a slow network.
class PendingProxy {
 public:
  explicit PendingProxy(int target) : target_(target) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listen_, 0);
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    blocker_ = Connect(port_);  // takes the one place in the queue
  }
  ~PendingProxy() {
    stop_ = true;
    if (relay_.joinable()) relay_.join();
    for (int fd : {listen_, blocker_}) ::close(fd);
  }
  int port() const { return port_; }

  // Frees the queue and relays the next connection to the target.
  void Release() {
    relay_ = std::thread([this] {
      ::close(::accept(listen_, nullptr, nullptr));  // the blocker
      pollfd waiting{listen_, POLLIN, 0};
      while (!stop_ && ::poll(&waiting, 1, 50) == 0) {
      }
      if (stop_) return;
      const int ends[2] = {::accept(listen_, nullptr, nullptr), Connect(target_)};
      pollfd both[2] = {{ends[0], POLLIN, 0}, {ends[1], POLLIN, 0}};
      char buffer[4096];
      while (!stop_) {
        if (::poll(both, 2, 50) <= 0) continue;
        bool open = true;
        for (int i = 0; i < 2 && open; ++i)
          if (both[i].revents) {
            const ssize_t n = ::read(ends[i], buffer, sizeof buffer);
            open = n > 0 && ::write(ends[1 - i], buffer, n) == n;
          }
        if (!open) break;
      }
      for (int fd : ends) ::close(fd);
    });
  }

 private:
  static sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
  }
  static int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
  }

  int target_;
  int port_ = -1;
  int listen_ = -1;
  int blocker_ = -1;
  std::atomic<bool> stop_{false};
  std::thread relay_;
};

// How a Bot connects.
struct BotSetup {
  std::string username, password;
  bool tls = false;
  std::string ca_file;
  bool discovery = false;
};

// The bot's MQTT side: client, bridge and Qt driver.
struct Bot {
  Bot(int port, const BotSetup& setup = {}) {
    ClientOptions options;
    options.broker = BrokerUrl{setup.tls, "127.0.0.1", port};
    options.client_id = "zelvo-e2e";
    options.username = setup.username;
    options.password = setup.password;
    options.ca_file = setup.ca_file;
    options.will_topic = "zelvo/status";
    BridgeOptions bridge_options;
    bridge_options.client_id = options.client_id;
    bridge_options.discovery = setup.discovery;
    bridge_options.output_names = {"Disco", "Lamp", "", "Fan", "", "", "", "Door"};
    std::string error;
    client = MosquittoClient::Create(
        options, clock,
        {[this] {
           bridge->Connected(byte);
           ++connections;
         },
         [this](const std::string& why) {
           bridge->Disconnected();
           lost.push_back(why);
         },
         [this](const std::string& t, const std::string& p, bool r) { bridge->Message(t, p, r); }},
        &error);
    EXPECT_NE(client, nullptr) << error;
    bridge = std::make_unique<Bridge>(
        bridge_options, *client, clock,
        [this](int output, SwitchCommand command) {
          commands.push_back(std::to_string(output) + "=" + std::to_string(int(command)));
        },
        [this](const LogMessage&, const std::string& text) { reports.push_back(text); });
    driver = std::make_unique<QtDriver>(*client);
  }
  // Lets the reconnect wait pass at once instead of on the one-second timer.
  void WaitOut(std::chrono::seconds wait) {
    clock.Advance(wait);
    client->LoopMisc();
    driver->Sync();
  }
  testing::FakeClock clock;
  std::unique_ptr<MosquittoClient> client;
  std::unique_ptr<Bridge> bridge;
  std::unique_ptr<QtDriver> driver;
  std::uint8_t byte = 0b0000'0101;
  int connections = 0;
  std::vector<std::string> lost, commands, reports;
};

class MqttEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "mqtt-e2e";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  }
  void SetUp() override {
    if (Find("mosquitto").isEmpty() || Find("mosquitto_sub").isEmpty())
      GTEST_SKIP() << "mosquitto and mosquitto-clients are not installed";
  }
};

TEST_F(MqttEndToEnd, PublishesRetainedStatesTakesCommandsAndLeavesItsWillWhenCutOff) {
  Broker broker;
  ASSERT_TRUE(broker.Start()) << broker.Log();
  Bot bot(broker.Port());
  ASSERT_TRUE(SpinUntil([&] { return bot.connections == 1; })) << broker.Log();

  auto retained = broker.Subscribe("zelvo/#", 10);
  EXPECT_EQ(Lines(*retained),
            (std::vector<std::string>{
                "zelvo/status online", "zelvo/output/1 ON", "zelvo/output/2 OFF",
                "zelvo/output/3 ON", "zelvo/output/4 OFF", "zelvo/output/5 OFF",
                "zelvo/output/6 OFF", "zelvo/output/7 OFF", "zelvo/output/8 OFF", "zelvo/byte 5"}));

  // A command, bad payloads and a command for an output that does not exist.
  ASSERT_TRUE(broker.Publish("zelvo/output/4/set", "ON"));
  ASSERT_TRUE(broker.Publish("zelvo/output/4/set", QByteArray(10240, 'x')));
  ASSERT_TRUE(broker.Publish("zelvo/output/4/set", QByteArray("\x00\xff\x01", 3)));
  ASSERT_TRUE(broker.Publish("zelvo/output/9/set", "ON"));
  ASSERT_TRUE(broker.Publish("zelvo/output/2/set", "toggle"));
  ASSERT_TRUE(SpinUntil([&] { return bot.commands.size() >= 2; }));
  EXPECT_EQ(bot.commands, (std::vector<std::string>{"4=0", "2=2"}));
  EXPECT_EQ(bot.reports.size(), 2u);  // one per topic: output 4 (once a minute) and output 9

  // A state change is published and retained.
  bot.bridge->PortWritten(0b0000'1101);
  bot.driver->Sync();
  auto change = broker.Subscribe("zelvo/output/4", 1);
  EXPECT_EQ(Lines(*change), std::vector<std::string>{"zelvo/output/4 ON"});

  // The connection ends without a DISCONNECT, as when the process is killed.
  auto will = broker.Subscribe("zelvo/status", 2);
  ASSERT_TRUE(SpinUntil([&] { return will->bytesAvailable() > 0; }));  // "online" retained
  ::shutdown(bot.client->Socket(), SHUT_RDWR);
  EXPECT_EQ(Lines(*will),
            (std::vector<std::string>{"zelvo/status online", "zelvo/status offline"}));
  ASSERT_TRUE(SpinUntil([&] { return !bot.lost.empty(); }));
  EXPECT_NE(bot.lost[0].find("trying again in 5 s"), std::string::npos) << bot.lost[0];

  // After the wait the client reconnects and publishes everything again.
  bot.WaitOut(std::chrono::seconds(5));
  ASSERT_TRUE(SpinUntil([&] { return bot.connections == 2; })) << broker.Log();
  auto again = broker.Subscribe("zelvo/status", 1);
  EXPECT_EQ(Lines(*again), std::vector<std::string>{"zelvo/status online"});

  // An orderly close leaves "offline".
  bot.driver->Close("offline");
  auto closed = broker.Subscribe("zelvo/status", 1);
  EXPECT_EQ(Lines(*closed), std::vector<std::string>{"zelvo/status offline"});
}

TEST_F(MqttEndToEnd, PasswordFileAcceptsTheRightPasswordAndNeverShowsIt) {
  Broker broker;
  const QString passwd = Find("mosquitto_passwd");
  if (passwd.isEmpty()) GTEST_SKIP() << "mosquitto_passwd is not installed";
  const std::string file = broker.Dir().File("passwords");
  testing::WriteFile(file, "");
  ASSERT_EQ(QProcess::execute(passwd, {"-b", QString::fromStdString(file), "bot", "s3cret-Pw"}), 0);
  ASSERT_TRUE(broker.Start("allow_anonymous false\npassword_file " + file + "\n")) << broker.Log();

  Bot wrong(broker.Port(), {"bot", "not-the-Pw", false, "", false});
  ASSERT_TRUE(SpinUntil([&] { return !wrong.lost.empty(); })) << broker.Log();
  EXPECT_EQ(wrong.connections, 0);
  EXPECT_NE(wrong.lost[0].find("MQTTPassword"), std::string::npos) << wrong.lost[0];
  EXPECT_EQ(wrong.lost[0].find("not-the-Pw"), std::string::npos) << wrong.lost[0];

  Bot right(broker.Port(), {"bot", "s3cret-Pw", false, "", false});
  ASSERT_TRUE(SpinUntil([&] { return right.connections == 1; })) << broker.Log();
  EXPECT_TRUE(right.lost.empty());
}

TEST_F(MqttEndToEnd, TlsListenerTakesTheClientWithItsCaAndRefusesItWithAnother) {
  if (Find("openssl").isEmpty()) GTEST_SKIP() << "openssl is not installed";
  Broker broker;
  servers::TestCertificates certs;
  ASSERT_EQ(certs.Make(broker.Dir()), "");
  ASSERT_TRUE(broker.Start("allow_anonymous true\ncafile " + certs.ca_file + "\ncertfile " +
                           certs.cert_file + "\nkeyfile " + certs.key_file + "\n"))
      << broker.Error();

  BotSetup setup{"bot", "s3cret-Pw", true, certs.wrong_ca_file};
  Bot wrong(broker.Port(), setup);
  ASSERT_TRUE(SpinUntil([&] { return !wrong.lost.empty(); })) << broker.Log();
  EXPECT_EQ(wrong.connections, 0);
  EXPECT_NE(wrong.lost[0].find("mqtts://127.0.0.1:"), std::string::npos) << wrong.lost[0];
  EXPECT_NE(wrong.lost[0].find("certificate"), std::string::npos) << wrong.lost[0];
  EXPECT_NE(wrong.lost[0].find("MQTTCAFile"), std::string::npos) << wrong.lost[0];
  EXPECT_EQ(wrong.lost[0].find("s3cret-Pw"), std::string::npos) << wrong.lost[0];

  setup.ca_file = certs.ca_file;
  Bot right(broker.Port(), setup);
  ASSERT_TRUE(SpinUntil([&] { return right.connections == 1; })) << broker.Log();
  EXPECT_TRUE(right.lost.empty()) << right.lost[0];
  // Messages flow both ways over TLS: the bot's own command comes back.
  ASSERT_EQ(right.client->Publish("zelvo/output/2/set", "OFF", false), "");
  right.driver->Sync();
  ASSERT_TRUE(SpinUntil([&] { return right.commands.size() == 1; }));
  EXPECT_EQ(right.commands[0], "2=1");

  // The handshake begins while the TCP connection is still being made.
  PendingProxy proxy(broker.Port());
  Bot slow(proxy.port(), setup);
  int turns = 0;
  SpinUntil([&] { return ++turns > 5; });
  proxy.Release();
  ASSERT_TRUE(SpinUntil([&] { return slow.connections == 1; })) << broker.Log();
  EXPECT_TRUE(slow.lost.empty()) << slow.lost[0];
}

TEST_F(MqttEndToEnd, ReconnectsToTheRestartedBrokerAndPublishesEverythingRetainedAgain) {
  Broker broker;
  ASSERT_TRUE(broker.Start()) << broker.Log();
  BotSetup setup;
  setup.discovery = true;
  Bot bot(broker.Port(), setup);
  ASSERT_TRUE(SpinUntil([&] { return bot.connections == 1; })) << broker.Log();

  ASSERT_TRUE(broker.Restart()) << broker.Log();
  ASSERT_TRUE(SpinUntil([&] { return !bot.lost.empty(); }));
  EXPECT_NE(bot.lost[0].find("trying again in 5 s"), std::string::npos) << bot.lost[0];
  // The port changes while the broker is away.
  bot.byte = 0b1000'0010;
  bot.bridge->PortWritten(bot.byte);

  bot.WaitOut(std::chrono::seconds(5));
  ASSERT_TRUE(SpinUntil([&] { return bot.connections == 2; })) << broker.Log();
  auto retained = broker.Subscribe("zelvo/#", 10);
  EXPECT_EQ(Lines(*retained), (std::vector<std::string>{"zelvo/status online", "zelvo/output/1 OFF",
                                                        "zelvo/output/2 ON", "zelvo/output/3 OFF",
                                                        "zelvo/output/4 OFF", "zelvo/output/5 OFF",
                                                        "zelvo/output/6 OFF", "zelvo/output/7 OFF",
                                                        "zelvo/output/8 ON", "zelvo/byte 130"}));
  auto discovery = broker.Subscribe("homeassistant/switch/#", 8);
  EXPECT_EQ(Lines(*discovery).size(), 8u);
  // Commands arrive again: the subscriptions were renewed.
  ASSERT_TRUE(broker.Publish("zelvo/output/3/set", "ON"));
  ASSERT_TRUE(SpinUntil([&] { return bot.commands.size() == 1; }));
  EXPECT_EQ(bot.commands[0], "3=0");
}

TEST_F(MqttEndToEnd, DiscoveryIsRetainedWithTheOutputNamesAndSentAgainWhenHomeAssistantStarts) {
  Broker broker;
  ASSERT_TRUE(broker.Start()) << broker.Log();
  BotSetup setup;
  setup.discovery = true;
  Bot bot(broker.Port(), setup);
  ASSERT_TRUE(SpinUntil([&] { return bot.connections == 1; })) << broker.Log();

  auto sub = broker.Subscribe("homeassistant/#", 17);
  ASSERT_TRUE(SpinUntil([&] { return sub->bytesAvailable() > 0; }));  // the retained ones
  ASSERT_TRUE(broker.Publish("homeassistant/status", "online"));
  const std::vector<std::string> lines = Lines(*sub);
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[8], "homeassistant/status online");
  const char* names[] = {"Disco",    "Lamp",     "Output 3", "Fan",
                         "Output 5", "Output 6", "Output 7", "Door"};
  for (std::size_t first : {0u, 9u}) {
    std::vector<std::string> configs(lines.begin() + first, lines.begin() + first + 8);
    std::sort(configs.begin(), configs.end());
    for (int n = 1; n <= 8; ++n) {
      const std::string& line = configs[n - 1];
      const std::string id = "zelvo-e2e_output" + std::to_string(n);
      for (const std::string& part :
           {"homeassistant/switch/zelvo-e2e/output" + std::to_string(n) + "/config {",
            "\"name\":\"" + std::string(names[n - 1]) + "\"", "\"unique_id\":\"" + id + "\"",
            "\"command_topic\":\"zelvo/output/" + std::to_string(n) + "/set\"",
            "\"state_topic\":\"zelvo/output/" + std::to_string(n) + "\"",
            std::string("\"availability_topic\":\"zelvo/status\"")})
        EXPECT_NE(line.find(part), std::string::npos) << part << " in " << line;
    }
  }
}

TEST_F(MqttEndToEnd, RemoteRelaysAreSwitchedWhenOutputsGoOn) {
  Broker broker;
  ASSERT_TRUE(broker.Start()) << broker.Log();
  Bot bot(broker.Port());
  ASSERT_TRUE(SpinUntil([&] { return bot.connections == 1; })) << broker.Log();
  struct Case {
    std::string device, filter;
    std::vector<std::string> expected;
  };
  for (const Case& c : std::vector<Case>{
           {"cmnd/relay%N/POWER", "cmnd/#", {"cmnd/relay1/POWER ON", "cmnd/relay2/POWER ON"}},
           {"shellies/shelly1-%N/relay/0/command:on:off",
            "shellies/#",
            {"shellies/shelly1-1/relay/0/command on", "shellies/shelly1-2/relay/0/command on"}}}) {
    PortWriterChoice relays = RelayPort::Open(c.device, *bot.client);
    ASSERT_TRUE(relays.writer) << relays.error;
    EXPECT_EQ(relays.writer->Write(0), "");  // the first write at start
    auto sub = broker.Subscribe(c.filter, 3, {"-t", "zelvo/status"});
    ASSERT_TRUE(SpinUntil([&] { return sub->bytesAvailable() > 0; }));  // subscribed
    EXPECT_EQ(relays.writer->Write(0b0000'0011), "");
    bot.driver->Sync();
    std::vector<std::string> expected{"zelvo/status online"};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(Lines(*sub), expected) << c.device;
  }
}

}  // namespace
}  // namespace zelvo::mqtt
