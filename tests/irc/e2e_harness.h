// What the end-to-end tests and the benchmark share besides the servers: a
// plain IRC client on a QTcpSocket, the bot itself (Qt socket, session, real
// dispatcher, in-memory port) and a way to run the event loop until something
// has happened.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dispatch/dispatcher.h"
#include "dispatch/owner_commands.h"
#include "irc/qt_irc_client.h"
#include "model/flags.h"
#include "outputs/memory_port.h"
#include "outputs/outputs.h"
#include "support/log_line.h"
#include "support/recording_console.h"
#include "support/temp_dir.h"

namespace zelvo::e2e {

inline void EnsureQtApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "zelvo-e2e";
  static char* argv[] = {name, nullptr};
  new QCoreApplication(argc, argv);  // lives until the process ends
}

// Runs the event loop until `done` holds or `limit` has passed; returns done().
inline bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  QTimer::singleShot(limit, &loop, &QEventLoop::quit);
  poll.start();
  loop.exec();
  return done();
}

// Runs the event loop for `time`.
inline void SpinFor(std::chrono::milliseconds time) {
  SpinUntil([] { return false; }, time);
}

// A second user in the channel: a plain IRC client that answers PINGs and
// keeps every line it receives.
class RawIrcClient {
 public:
  RawIrcClient() {
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { OnData(); });
  }

  // Starts connecting from `source` and registering; WaitRegistered waits for the welcome.
  void Start(int port, const std::string& nick, const char* source = "127.0.0.1") {
    nick_ = nick;
    QObject::connect(&socket_, &QTcpSocket::connected, [this] {
      socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
      Send("NICK " + nick_ + "\r\nUSER " + nick_ + " 0 * :Zelvo test user\r\n");
    });
    socket_.bind(QHostAddress(source));
    socket_.connectToHost("127.0.0.1", static_cast<quint16>(port));
  }

  bool WaitRegistered() {
    return WaitForLineContaining(" 001 " + nick_ + " ", std::chrono::seconds(10));
  }

  bool Connect(int port, const std::string& nick) {
    Start(port, nick);
    return WaitRegistered();
  }

  bool Join(const std::string& channel) {
    Send("JOIN " + channel + "\r\n");
    return WaitForJoin(":" + nick_ + "!", channel, std::chrono::seconds(5));
  }

  // Waits for the JOIN of `channel` by the sender whose prefix starts with
  // `sender` (servers differ in the ":" before the channel); its index or -1.
  bool WaitForJoin(const std::string& sender, const std::string& channel,
                   std::chrono::milliseconds limit, std::size_t from = 0) {
    return SpinUntil([&] { return FindJoin(sender, channel, from) >= 0; }, limit);
  }
  long FindJoin(const std::string& sender, const std::string& channel, std::size_t from = 0) const {
    for (std::size_t i = from; i < lines_.size(); ++i) {
      const std::string& l = lines_[i];
      if (l.rfind(sender, 0) == 0 && (l.find(" JOIN :" + channel + "\r") != std::string::npos ||
                                      l.find(" JOIN " + channel + "\r") != std::string::npos)) {
        return static_cast<long>(i);
      }
    }
    return -1;
  }

  void Say(const std::string& target, const std::string& text) {
    Send("PRIVMSG " + target + " :" + text + "\r\n");
  }

  void Send(const std::string& raw) {
    socket_.write(raw.data(), static_cast<qint64>(raw.size()));
    socket_.flush();
  }

  // Waits for a line (received from now on or earlier, after `from`) that
  // holds `part`.
  bool WaitForLineContaining(const std::string& part, std::chrono::milliseconds limit,
                             std::size_t from = 0) {
    return SpinUntil([&] { return CountContaining(part, from) > 0; }, limit);
  }

  std::size_t CountContaining(const std::string& part, std::size_t from = 0) const {
    std::size_t n = 0;
    for (std::size_t i = from; i < lines_.size(); ++i) {
      if (lines_[i].find(part) != std::string::npos) ++n;
    }
    return n;
  }

  const std::vector<std::string>& Lines() const { return lines_; }
  bool Connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

 private:
  void OnData() {
    buffer_ += socket_.readAll().toStdString();
    std::size_t end;
    while ((end = buffer_.find('\n')) != std::string::npos) {
      std::string line = buffer_.substr(0, end + 1);
      buffer_.erase(0, end + 1);
      if (line.rfind("PING ", 0) == 0) Send("PONG " + line.substr(5));
      lines_.push_back(std::move(line));
    }
  }

  QTcpSocket socket_;
  std::string nick_;
  std::string buffer_;
  std::vector<std::string> lines_;
};

// The bot: the Qt IRC client, a real dispatcher with the example's two disco
// rules and two of its own, a port in memory (or the one given), the
// auto-return handler on a 1 s timer, and a directory for its policy file.
class Bot {
 public:
  explicit Bot(int port, SendQueue::Limits limits = {}, PortWriter* port_writer = nullptr)
      : outputs_(port_writer != nullptr ? *port_writer : port_) {
    settings_.gsIRCDomain = "127.0.0.1";
    settings_.giIRCPort = port;
    settings_.gsIRCChannel = "#lab";
    settings_.gsIRCUser = "relay";
    settings_.gsIRCNickname = "relay";
    AddRule("Disco-Kula On", "*Disco On*", 0,
            OnBit(1) | OnBit(2) | flag::kResponseWithIOCommandName);
    AddRule("Disco-Kula Off", "*Disco Off*", 0,
            OffBit(1) | OffBit(2) | flag::kResponseWithIOCommandName);
    AddRule("Blink", "*Blink Four*", 2, OnBit(4) | flag::kResponseWithIOCommandName);
    AddRule("Quiet", "*Quiet Toggle*", 0, ToggleBit(5));

    IrcHooks hooks;
    hooks.log = [this](std::int32_t id, std::int32_t type, const std::string& text) {
      log.push_back({id, type, text});
    };
    hooks.caption = [this](const std::string& caption) { captions.push_back(caption); };
    hooks.sts_file = StsFile();
    client_ = std::make_unique<QtIrcClient>(settings_, clock_, console, std::move(hooks),
                                            std::chrono::milliseconds(100), limits);
    dispatcher_ = std::make_unique<Dispatcher>(
        settings_, commands_, outputs_, clock_, client_->Sender(), console, chat_client_,
        [this](const std::string& error) { errors.push_back(error); });
    dispatcher_->SetSenderDirectory(client_->Senders());
    dispatcher_->SetLogWriter([this](std::int32_t id, std::int32_t type, const std::string& text) {
      log.push_back({id, type, text});
    });
    client_->SetMatcher([this](const LineEvent& line) { dispatcher_->Match(line); });
    QObject::connect(&auto_return_, &QTimer::timeout,
                     [this] { dispatcher_->tmrAutoReturn_Timer(); });
    auto_return_.start(1000);
  }

  ~Bot() {
    auto_return_.stop();
    client_->Connection().Close();
  }

  // Owner commands for the accounts `owners`, before Connect (no status, no reload).
  void EnableOwnerCommands(std::vector<std::string> owners) {
    settings_.IRCOwners = std::move(owners);
    owner_commands_ = std::make_unique<OwnerCommands>(
        outputs_, OwnerTools{[] { return std::vector<std::string>{}; }, [] {},
                             [this](const OwnerIdentity& sender, std::string_view text) {
                               return dispatcher_->Explain(sender, text);
                             }});
    dispatcher_->SetOwnerCommands(owner_commands_.get());
  }

  void Connect() { client_->Connection().ConnectToServer(); }
  // The settings, to change before Connect.
  Settings& Configure() { return settings_; }
  QtIrcClient& Client() { return *client_; }
  IrcSession& Session() { return client_->Session(); }
  // Where the bot keeps the strict transport security policies.
  std::string StsFile() const { return files_.File(kStsFileName); }
  const std::vector<std::uint8_t>& PortWrites() const { return port_.Written(); }
  std::uint8_t PortByte() const { return port_.Written().empty() ? 0 : port_.Written().back(); }

  // The rules, to change before Connect: all taken out, or one added whose
  // only allowed user is `user` (no auto-return, no execute limit).
  void RemoveAllRules() { commands_.RemoveAll(); }
  void AddRule(const std::string& name, const std::string& trigger, std::int32_t flags,
               std::shared_ptr<User> user) {
    AddRule(name, trigger, 0, flags, std::move(user));
  }

  // The log, one "<id> <text>" line per entry.
  std::string LogText() const {
    std::string out;
    for (const auto& e : log) out += std::to_string(e.id) + " " + e.text + "\n";
    return out;
  }

  std::size_t CountLog(std::int32_t id, const std::string& text = "") const {
    std::size_t n = 0;
    for (const auto& e : log) n += (e.id == id && (text.empty() || e.text == text)) ? 1 : 0;
    return n;
  }

  testing::RecordingConsole console;
  std::vector<testing::LogLine> log;
  std::vector<std::string> captions;
  std::vector<std::string> errors;

 private:
  void AddRule(const std::string& name, const std::string& trigger, std::int32_t auto_return,
               std::int32_t flags, std::shared_ptr<User> user = nullptr) {
    auto rule = std::make_shared<IOCommand>(clock_.LocalNow());
    rule->SetIOName(name);
    rule->SetIRCTrigger(trigger);
    rule->SetAutoReturn(auto_return);
    rule->SetExecuteLimit(0);
    rule->SetExtraFlags(flags);
    if (!user) {
      user = std::make_shared<User>();
      user->SetNickname("*");
      user->SetUsername("*");
    }
    rule->Add(std::move(user));
    commands_.Add(rule);
  }

  Settings settings_;
  testing::TempDir files_;
  SystemClock clock_;
  IOCommands commands_;
  MemoryPort port_;
  Outputs outputs_;
  NoChatClientWindow chat_client_;
  QTimer auto_return_;
  std::unique_ptr<OwnerCommands> owner_commands_;
  std::unique_ptr<QtIrcClient> client_;
  std::unique_ptr<Dispatcher> dispatcher_;
};

}  // namespace zelvo::e2e
