#include "app/application.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/program_backends.h"
#include "app/terminal_front_end.h"
#include "app/test_support.h"
#include "log/event_log.h"
#include "mqtt/fake_transport.h"
#include "support/fake_clock.h"
#include "support/log_reader.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"
#include "ui/fakes.h"
#include "ui/main_window.h"

namespace zelvo {
namespace {

using testing::ConfigOptions;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::Events;
using testing::FakeIrcConnection;
using testing::FakeTray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::LogEntriesOrNone;
using testing::LoggedIds;
using ::testing::Not;
using testing::ReadEntry;
using testing::ReadFile;
using ::testing::StartsWith;
using testing::TempDir;
using testing::TestConfig;
using testing::WriteFile;

// The window with a fake tray icon; the clipboard and message box are the
// test's own.
struct FakeDesktop final : Desktop {
  explicit FakeDesktop(Events& events) : tray(events) {}
  std::unique_ptr<Clipboard> MakeClipboard() override { return nullptr; }
  std::unique_ptr<MessageBox> MakeMessageBox() override { return nullptr; }
  std::unique_ptr<FrontEnd> MakeWindow(const WindowServices& services) override {
    return std::make_unique<frmMain>(MainWindowServices{services, tray, nullptr});
  }
  FakeTray tray;
};

class FakeClipboard final : public Clipboard {
 public:
  std::optional<ClipboardFailure> SetText(const std::string& text) override {
    if (failure) return failure;
    texts.push_back(text);
    return std::nullopt;
  }
  bool KeepsTextAfterExit() const override { return keeps; }
  std::vector<std::string> texts;
  std::optional<ClipboardFailure> failure;
  bool keeps = false;
};

class FakeMessageBox final : public MessageBox {
 public:
  void ShowCritical(const std::string& text, const std::string& detail) override {
    texts.push_back(text);
    details.push_back(detail);
    if (on_show) on_show();
  }
  std::vector<std::string> texts;
  std::vector<std::string> details;
  std::function<void()> on_show;
};

class FakeLock final : public InstanceLock {
 public:
  bool AnotherInstanceRunning() override { return another; }
  bool another = false;
};

class RecordingSender final : public IrcSender {
 public:
  std::string SendLine(std::string_view line) override {
    lines.emplace_back(line);
    return "";
  }
  std::string LocalIP() const override { return "10.0.0.5"; }
  std::vector<std::string> lines;
};

// An IRC client that records and keeps what it was given.
class FakeIrcClient final : public IrcClient {
 public:
  FakeIrcClient(const IrcEnvironment& environment, Events& events)
      : environment(environment), connection(events) {}
  IrcConnection& Connection() override { return connection; }
  IrcSender& Sender() override { return sender; }
  bool InChannel() const override { return in_channel; }
  void OnStatusChanged(std::function<void(const ConnectionStatus&)> show) override {
    show_status = std::move(show);
  }
  // The session's caption changed.
  void Caption(const std::string& text) {
    ConnectionStatus status;
    status.caption = text;
    show_status(status);
  }
  void Receive(std::string_view line) { environment.match(ServerLine{ParseIrcMessage(line)}); }

  IrcEnvironment environment;
  std::function<void(const ConnectionStatus&)> show_status;
  FakeIrcConnection connection;
  RecordingSender sender;
  bool in_channel = false;
};

// A broker connection that records what is published and lets the test
// deliver the connection's events.
class FakeMqttConnection final : public MqttConnection {
 public:
  FakeMqttConnection(const mqtt::ClientOptions& options, mqtt::MosquittoClient::Events events)
      : options(options), events(std::move(events)) {}
  mqtt::Transport& transport() override { return broker; }
  bool Connected() const override { return connected; }
  void Sync() override { ++syncs; }
  void Close(const std::string& final_payload) override {
    closed_with = final_payload;
    connected = false;
  }
  void Connect() {
    connected = true;
    events.connected();
  }

  mqtt::ClientOptions options;
  mqtt::MosquittoClient::Events events;
  mqtt::FakeTransport broker;
  bool connected = false;
  int syncs = 0;
  std::string closed_with;
};

// Records the messages to the service manager.
class FakeNotifier final : public ServiceNotifier {
 public:
  void Ready() override { sent.push_back("READY=1"); }
  void Stopping() override { sent.push_back("STOPPING=1"); }
  void Reloading() override { sent.push_back("RELOADING=1"); }
  void Status(const std::string& text) override { sent.push_back("STATUS=" + text); }
  std::chrono::microseconds WatchdogInterval() const override { return interval; }
  void FeedWatchdog() override { sent.push_back("WATCHDOG=1"); }
  std::vector<std::string> sent;
  std::chrono::microseconds interval{0};
};

// Records the journal's entries; `failure` refuses them.
struct FakeJournal final : Journal {
  std::string Send(const std::vector<std::string>& fields) override {
    return sent.push_back(fields), failure;
  }
  std::vector<std::vector<std::string>> sent;
  std::string failure;
};

// The first entry of the start-up that comes from outside this folder's code
// depends on the files found; a start with config.xml present and config.xsd
// missing logs these.
const std::vector<int> kConfigEntries = {1, 3, 6, 7, 8, 13, 14, 15, 16, 17, 18};

frmMain* Window(Application& app) {
  return dynamic_cast<frmMain*>(app.front_end());
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class ApplicationTest : public ::testing::Test {
 protected:
  std::unique_ptr<Application> Make(bool headless = false, bool real_irc = false,
                                    std::string display_error = "") {
    ApplicationEnvironment environment;
    environment.program_dir = dir_.path();
    environment.headless = headless;
    environment.display_error = std::move(display_error);
    auto clipboard = std::make_unique<FakeClipboard>();
    clipboard_ = clipboard.get();
    if (with_clipboard_)
      environment.clipboard = std::move(clipboard);
    else
      kept_clipboard_ = std::move(clipboard);
    auto message_box = std::make_unique<FakeMessageBox>();
    message_box_ = message_box.get();
    environment.message_box = std::move(message_box);
    auto lock = std::make_unique<FakeLock>();
    lock_ = lock.get();
    environment.instance_lock = std::move(lock);
    if (!headless) environment.desktop = std::make_unique<FakeDesktop>(events_);
    environment.console_out = &console_;
    environment.operator_input = operator_input_;
    environment.error_out = &errors_;
    environment.exit_application = [this](int code) { exit_codes_.push_back(code); };
    if (clock_) environment.clock = clock_;
    auto notifier = std::make_unique<FakeNotifier>();
    notifier->interval = watchdog_interval_;
    notifier_ = notifier.get();
    environment.service_notifier = std::move(notifier);
    auto journal = std::make_unique<FakeJournal>();
    journal_ = journal.get();
    environment.journal = std::move(journal);
    environment.make_mqtt = [this](const mqtt::ClientOptions& options, const Clock&,
                                   mqtt::MosquittoClient::Events events, std::string*) {
      auto connection = std::make_unique<FakeMqttConnection>(options, std::move(events));
      mqtt_ = connection.get();
      return connection;
    };
    if (!real_irc) {
      environment.make_irc = [this](const IrcEnvironment& irc) {
        auto client = std::make_unique<FakeIrcClient>(irc, events_);
        irc_ = client.get();
        return client;
      };
    }
    return std::make_unique<Application>(std::move(environment));
  }

  void WriteConfig(const ConfigOptions& options) {
    WriteFile(dir_.File("config.xml"), TestConfig(options));
  }
  ConfigOptions FileDevice() {
    ConfigOptions options;
    options.output_device = "file:" + dir_.File("port.txt");
    return options;
  }
  std::vector<int> Ids() { return LoggedIds(dir_.File("Log.xml")); }
  std::vector<ReadEntry> Entries() { return LogEntriesOrNone(dir_.File("Log.xml")); }
  // The bytes written to the file port, one per line after the time stamp.
  std::vector<int> PortBytes() {
    std::vector<int> bytes;
    std::istringstream lines(ReadFile(dir_.File("port.txt")));
    long long time;
    int byte;
    while (lines >> time >> byte) bytes.push_back(byte);
    return bytes;
  }

  TempDir dir_;
  Events events_;
  bool with_clipboard_ = true;
  std::unique_ptr<FakeClipboard> kept_clipboard_;
  FakeClipboard* clipboard_ = nullptr;
  FakeMessageBox* message_box_ = nullptr;
  FakeLock* lock_ = nullptr;
  FakeIrcClient* irc_ = nullptr;
  std::shared_ptr<testing::FakeClock> clock_;
  std::chrono::microseconds watchdog_interval_{0};
  FakeNotifier* notifier_ = nullptr;
  FakeJournal* journal_ = nullptr;
  FakeMqttConnection* mqtt_ = nullptr;
  std::ostringstream console_;
  int operator_input_ = -1;  // headless: the descriptor of the operator's lines
  std::ostringstream errors_;
  std::vector<int> exit_codes_;
};

TEST_F(ApplicationTest, StartWritesItsEntriesInOrderAndOpensTheWindow) {
  ConfigOptions options = FileDevice();
  options.window_show = true;
  WriteConfig(options);
  auto app = Make();
  ASSERT_TRUE(app->Main());
  EXPECT_THAT(Ids(), ElementsAreArray(Concat(kConfigEntries, {21, 25, 26, 29, 30, 31, 28, 27})));
  ASSERT_NE(Window(*app), nullptr);
  EXPECT_TRUE(Window(*app)->isVisible());
  EXPECT_EQ(MainWindowView(*Window(*app)).OutputNameLabel(2).text(), "Disco-Kula");
  EXPECT_THAT(PortBytes(), ElementsAre(0));
  EXPECT_THAT(events_, ElementsAre("tray add", "connect"));
  EXPECT_TRUE(app->Running());
  EXPECT_THAT(message_box_->texts, IsEmpty());
  EXPECT_THAT(clipboard_->texts, IsEmpty());
}

TEST_F(ApplicationTest, TheIrcClientIsWiredToWindowDispatcherAndLog) {
  WriteConfig(FileDevice());
  auto app = Make();
  ASSERT_TRUE(app->Main());
  ASSERT_NE(irc_, nullptr);
  EXPECT_EQ(&irc_->environment.console, static_cast<Console*>(Window(*app)));
  EXPECT_EQ(irc_->environment.settings.gsIRCChannel, "#zelvo");
  irc_->Caption("Zelvo -  (Connected)");
  EXPECT_EQ(Window(*app)->windowTitle(), "Zelvo -  (Connected)");
  irc_->environment.log(32, 4, SocketStateChangedText("Connected"));
  EXPECT_EQ(Entries().back().description, SocketStateChangedText("Connected"));
  // A channel line reaches the rules: "Disco On" switches outputs 1 and 2.
  irc_->Receive(":op!~op@host PRIVMSG #zelvo :Disco On\r\n");
  EXPECT_TRUE(app->outputs()->Output(1));
  EXPECT_TRUE(app->outputs()->Output(2));
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3));
  EXPECT_EQ(MainWindowView(*Window(*app)).Picture(2).Shape().FillColor(), kLampOnColour);
  EXPECT_FALSE(irc_->sender.lines.empty());  // the rule answers in the channel
  Window(*app)->Picture3_Click();  // the operator's click writes the port and lights the lamp
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3, 7));
  EXPECT_EQ(MainWindowView(*Window(*app)).Picture(3).Shape().FillColor(), kLampOnColour);
  // The run is shown under the status, and the lamps name their rules.
  EXPECT_THAT(MainWindowView(*Window(*app)).LastRun().text().toStdString(),
              ::testing::StartsWith("Last rule: Disco-Kula On by op at "));
  EXPECT_THAT(MainWindowView(*Window(*app)).Picture(2).toolTip().toStdString(),
              ::testing::HasSubstr("Disco-Kula\u00A0Off"));
}

// A port on a full file system: the rule switches nothing and says so in the
// log, the console and the status line; no reply, no lamp; when space comes
// back, the next run works and the status line is clear again.
TEST_F(ApplicationTest, ARuleWhoseOutputsThePortRefusedAnnouncesNothing) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  const std::string small = dir_.File("small");
  std::filesystem::create_directory(small);
  if (::mount("zelvo-test", small.c_str(), "tmpfs", 0, "size=4k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  const std::unique_ptr<const char, void (*)(const char*)> unmount(
      small.c_str(), [](const char* path) { ::umount2(path, MNT_DETACH); });
  const std::string port = small + "/port.txt";
  ConfigOptions options;
  options.output_device = "file:" + port;
  WriteConfig(options);
  auto app = Make();
  ASSERT_TRUE(app->Main());
  const int fill = ::open(port.c_str(), O_WRONLY | O_APPEND);
  while (::write(fill, "x", 1) == 1) {
  }
  const auto said = [&] { irc_->Receive(":op!~op@h PRIVMSG #zelvo :Disco On\r\n"); };
  said();
  StatusLine& status = MainWindowView(*Window(*app)).Status();
  EXPECT_EQ(app->outputs()->DecimalOutput(), 0);
  EXPECT_EQ(MainWindowView(*Window(*app)).Picture(1).Shape().FillColor(), kLampOffColour);
  EXPECT_TRUE(irc_->sender.lines.empty());
  EXPECT_THAT(status.Text().toStdString(), ::testing::HasSubstr(PortProblemText("")));
  EXPECT_THAT(Entries().back().description,
              ::testing::HasSubstr(RuleNotSwitchedText("Disco-Kula On", "")));

  ASSERT_EQ(::ftruncate(fill, 0), 0);
  ::close(fill);
  said();
  EXPECT_EQ(app->outputs()->DecimalOutput(), 3);
  EXPECT_FALSE(irc_->sender.lines.empty());
  EXPECT_THAT(status.Text().toStdString(), ::testing::Not(::testing::HasSubstr("cannot")));
}

TEST_F(ApplicationTest, ARelativeFilePortIsInTheProgramDirectory) {
  ConfigOptions options;
  options.output_device = "file:port.txt";
  WriteConfig(options);
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  EXPECT_THAT(PortBytes(), ElementsAre(0));
  EXPECT_FALSE(std::filesystem::exists("port.txt"));
}

// Headless, lines from the operator's input (a pipe here) are said in the
// channel as typed lines are; one that cannot be sent says so; the end of
// input leaves the bot running. A first start says where the example went.
TEST_F(ApplicationTest, HeadlessTheOperatorsInputIsSaidInTheChannelAndAFirstStartSaysWhere) {
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  operator_input_ = pipe_fds[0];
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  EXPECT_THAT(console_.str(),
              HasSubstr("Zelvo runs without a window. Its configuration was written to " +
                        dir_.File("config.xml") + ";"));
  const auto pump = [] {
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  };
  ASSERT_EQ(::write(pipe_fds[1], "Disco On\n", 9), 9);
  pump();
  irc_->connection.connected = false;
  ASSERT_EQ(::write(pipe_fds[1], "Disco Off", 9), 9);
  ::close(pipe_fds[1]);  // the last line without its line end, then the end
  pump();
  EXPECT_THAT(irc_->connection.sent, ElementsAre("Disco On", "Disco Off"));
  EXPECT_THAT(console_.str(), HasSubstr("Not connected\n"));
  EXPECT_TRUE(exit_codes_.empty());
  app.reset();
  ::close(pipe_fds[0]);
}

// The real IRC client against a port where nothing listens (127.0.0.1:1):
// the caption and the headless console show the state as the client words it.
// Without reconnecting, the refusal's state stays.
TEST_F(ApplicationTest, TheRealIrcClientShowsItsStateInTheCaptionAndTheHeadlessConsole) {
  ConfigOptions options = FileDevice();
  options.extra_settings = "<IRCReconnect>false</IRCReconnect>";
  WriteConfig(options);
  for (const bool headless : {false, true}) {
    SCOPED_TRACE(headless ? "headless" : "window");
    console_.str("");
    auto app = Make(headless, /*real_irc=*/true);
    ASSERT_TRUE(app->Main());
    const auto refused = [&] {
      for (const ReadEntry& entry : Entries())
        if (entry.id == "35") return true;
      return false;
    };
    for (int i = 0; i < 500 && !refused(); ++i)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(refused()) << "no socket error logged for a refused connection";
    // Closed before the attempt, then connecting, then the refusal; the
    // status in words once per change of it.
    const std::string place = "  \u00B7  127.0.0.1:1  \u00B7  #zelvo  \u00B7  Zelvo\n";
    const std::string why = ConnectFailedText("127.0.0.1:1", connect_cause::kRefused);
    if (headless) {
      EXPECT_EQ(console_.str(),
                "Status: Disconnected" + place + "Zelvo -  (Closed)\nStatus: Connecting" + place +
                    "Zelvo -  (Connecting)\n" + why +
                    "\nZelvo -  (Error)\nStatus: Disconnected  \u00B7  " + why + place);
    } else {
      EXPECT_EQ(Window(*app)->windowTitle().toStdString(), "Zelvo -  (Error)");
      EXPECT_EQ(MainWindowView(*Window(*app)).Status().Text().toStdString() + "\n",
                "Disconnected  \u00B7  " + why + place);
    }
    app->Close();
    std::remove(dir_.File("Log.xml").c_str());
  }
}

// A channel member's escape sequences reach neither the terminal nor the pane.
TEST_F(ApplicationTest, BothConsolesShowControlCharactersVisibly) {
  WriteConfig(FileDevice());
  for (const bool headless : {false, true}) {
    SCOPED_TRACE(headless ? "headless" : "window");
    auto app = Make(headless);
    ASSERT_TRUE(app->Main());
    irc_->environment.console.Append(":x!~x@h PRIVMSG #zelvo :\x1b]0;owned\x07\x1b[2J\r\n");
    const std::string shown =
        headless ? console_.str()
                 : MainWindowView(*Window(*app)).txtBuffer().toPlainText().toStdString();
    EXPECT_THAT(shown, HasSubstr(":x!~x@h PRIVMSG #zelvo :\\x1b]0;owned\\x07\\x1b[2J\n"));
    app->Close();
  }
}

TEST_F(ApplicationTest, CloseLogsClosesTheConnectionAndExitsWithZero) {
  WriteConfig(FileDevice());
  auto app = Make();
  ASSERT_TRUE(app->Main());
  events_.clear();
  app->Close();
  EXPECT_EQ(Entries().back().id, "34");
  EXPECT_EQ(Entries().back().description, log_msg::kClosing.text);
  EXPECT_THAT(events_, ElementsAre("tray remove", "irc close"));
  EXPECT_THAT(exit_codes_, ElementsAre(0));
  app->Close();
  EXPECT_THAT(exit_codes_, ElementsAre(0));
}

TEST_F(ApplicationTest, CloseBeforeTheStartHasFinishedIsIgnored) {
  WriteConfig(FileDevice());
  auto app = Make();
  app->Close();
  EXPECT_THAT(exit_codes_, IsEmpty());
  EXPECT_FALSE(testing::Exists(dir_.File("Log.xml")));
}

TEST_F(ApplicationTest, HeadlessStartRunsTheBotWithoutWindowAndTray) {
  WriteConfig(FileDevice());
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  EXPECT_EQ(Window(*app), nullptr);
  EXPECT_THAT(Ids(), ElementsAreArray(Concat(kConfigEntries, {21, 25, 26, 29, 31, 28, 27})));
  EXPECT_THAT(events_, ElementsAre("connect"));
  auto* terminal = dynamic_cast<TerminalFrontEnd*>(app->front_end());
  ASSERT_NE(terminal, nullptr);
  EXPECT_TRUE(app->timers().tmrAutoReturn().isActive());
  EXPECT_TRUE(app->timers().tmrPulseQuickly().isActive());
  irc_->environment.console.Append("PING :1\r\n");
  EXPECT_EQ(console_.str(), "PING :1\n");
  irc_->Receive(":op!~op@host PRIVMSG #zelvo :Disco On\r\n");
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3));
  app->Close();
  EXPECT_EQ(Entries().back().id, "34");
  EXPECT_THAT(events_, ElementsAre("connect", "irc close"));
  EXPECT_THAT(exit_codes_, ElementsAre(0));
}

TEST_F(ApplicationTest, ASecondInstanceIsRefusedAfterItsStartEntries) {
  WriteConfig(FileDevice());
  auto app = Make();
  lock_->another = true;
  EXPECT_FALSE(app->Main());
  // The first flush, 21, then the fatal path's flush of the whole buffer again.
  EXPECT_THAT(Ids(), ElementsAreArray(Concat(Concat(kConfigEntries, {21}),
                                             Concat(kConfigEntries, {19, 18, 21}))));
  const std::vector<ReadEntry> entries = Entries();
  EXPECT_EQ(entries[entries.size() - 3].description,
            MainFunctionErrorText(-1, "Zelvo is already running."));
  EXPECT_EQ(entries[entries.size() - 3].type, "ERROR");
  EXPECT_THAT(message_box_->texts,
              ElementsAre("An error occurd! For more info, check the Error-Log."));
  EXPECT_THAT(message_box_->details,
              ElementsAre(::testing::AllOf(HasSubstr(dir_.File("zelvo.lock")), HasSubstr("another --dir"),
                                ::testing::EndsWith("\nLog: " + dir_.File("Log.xml")))));
  EXPECT_EQ(Window(*app), nullptr);
  EXPECT_FALSE(testing::Exists(dir_.File("port.txt")));
}

TEST_F(ApplicationTest, ABrokenConfigurationEndsTheStartWithTheLoadReport) {
  WriteFile(dir_.File("config.xml"), "<Zelvo><Settings>");
  auto app = Make();
  EXPECT_FALSE(app->Main());
  EXPECT_EQ(ReadFile(dir_.File("config.xml")), "<Zelvo><Settings>");
  EXPECT_TRUE(testing::Exists(dir_.File("config.example.xml")));
  // Nothing loaded: the log takes every type, in Log.xml.
  const std::vector<ReadEntry> entries = Entries();
  ASSERT_GE(entries.size(), 3u);
  EXPECT_EQ(entries[entries.size() - 3].id, "19");
  EXPECT_THAT(
      entries[entries.size() - 3].description,
      StartsWith(MainFunctionErrorText(-1, "Couldn't load \"config.xml\" into moXMLConfig.")));
  EXPECT_EQ(entries[entries.size() - 2].id, "18");
  EXPECT_EQ(entries.back().id, "21");
  EXPECT_THAT(Ids(), ::testing::Contains(22));
  EXPECT_THAT(message_box_->texts,
              ElementsAre("An error occurd! For more info, check the Error-Log."));
  // The cause in one line: the file, the line and the parser's reason.
  EXPECT_THAT(message_box_->details,
              ElementsAre(::testing::MatchesRegex(dir_.File("config.xml") + ", line 1: [^\n]*Premature end "
                                       "of data[^\n]*\nLog: " + dir_.File("Log.xml"))));
}

// The log cannot be written: the dump goes to standard error, to a file and
// to the clipboard; the message box names the file unless the clipboard
// keeps the text after the process has ended.
struct DumpCase {
  std::string name;
  enum class Clipboard { kLastsWhileRunning, kKeepsAfterExit, kFails, kNone } clipboard;
  bool message_box;
  std::string message;  // the message box's text before the file's path
};

void PrintTo(const DumpCase& c, std::ostream* out) {
  *out << c.name;
}

class UnwritableLogTest : public ApplicationTest, public ::testing::WithParamInterface<DumpCase> {};

TEST_P(UnwritableLogTest, TheDumpOutlivesTheProcessAndTheUserIsToldWhere) {
  const DumpCase& c = GetParam();
  ConfigOptions options = FileDevice();
  options.log_file = "/proc/Log.xml";
  WriteConfig(options);
  with_clipboard_ = c.clipboard != DumpCase::Clipboard::kNone;
  auto app = Make(/*headless=*/!with_clipboard_);
  if (c.clipboard == DumpCase::Clipboard::kKeepsAfterExit) clipboard_->keeps = true;
  if (c.clipboard == DumpCase::Clipboard::kFails)
    clipboard_->failure = ClipboardFailure{5, "Clipboard busy"};

  EXPECT_FALSE(app->Main());

  const std::string dump = ErrorLogDumpText(app->prelog());
  EXPECT_THAT(dump, StartsWith("Zelvo - Error-Log:\r\n===========================\r\n\r\n"
                               "LogID: 1\r\nLogType: 4\r\nLogDescription: " +
                               std::string(log_msg::kStarted.text) + "\r\n"));
  EXPECT_THAT(dump, HasSubstr("LogID: 19\r\nLogType: 1\r\nLogDescription: " +
                              MainFunctionErrorText(-1, "Couldn't write PreLog.")));
  EXPECT_THAT(dump, HasSubstr("LogID: 20\r\nLogType: 1\r\nLogDescription: An error occurd when "
                              "trying to write the log: Couldn't write PreLog."));
  EXPECT_THAT(dump, HasSubstr("\r\nTrying to copy to clipboard instead.\r\n"));
  const std::string file = dir_.File(kErrorLogFileName);
  EXPECT_EQ(ReadFile(file), dump);
  EXPECT_EQ(errors_.str().substr(0, dump.size()), dump);
  if (c.clipboard == DumpCase::Clipboard::kLastsWhileRunning ||
      c.clipboard == DumpCase::Clipboard::kKeepsAfterExit) {
    EXPECT_THAT(clipboard_->texts, ElementsAre(dump));
  }
  if (!c.message_box) {
    EXPECT_THAT(message_box_->texts, IsEmpty());
    EXPECT_EQ(errors_.str(), dump + "The Error-Log is saved in: " + file + "\n");
  } else {
    EXPECT_THAT(message_box_->texts, ElementsAre(c.message + "The Error-Log is saved in: " + file));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Clipboards, UnwritableLogTest,
    ::testing::Values(
        DumpCase{"ClipboardLastsWhileRunning", DumpCase::Clipboard::kLastsWhileRunning, true,
                 "The Error-Log is on the clipboard until this message is closed.\r\n"},
        DumpCase{"ClipboardKeepsTheText", DumpCase::Clipboard::kKeepsAfterExit, false, ""},
        DumpCase{"ClipboardFails", DumpCase::Clipboard::kFails, true,
                 "An error occurd when trying to copy Error-Log to clipboard: Couldn't copy Log "
                 "to clipboard. Error-number: 5 Error-Descripton: Clipboard busy\r\n"},
        DumpCase{"NoClipboardWithoutAWindow", DumpCase::Clipboard::kNone, true, ""}),
    [](const ::testing::TestParamInfo<DumpCase>& info) { return info.param.name; });

TEST_F(ApplicationTest, WithoutADisplayTheStartFailsWhereTheWindowWouldLoad) {
  WriteConfig(FileDevice());
  const std::string problem = "Cannot open the display \":99\"; run with --headless";
  auto app = Make(/*headless=*/false, /*real_irc=*/false, problem);
  EXPECT_FALSE(app->Main());
  EXPECT_EQ(Window(*app), nullptr);
  const std::vector<ReadEntry> entries = Entries();
  ASSERT_GE(entries.size(), 3u);
  EXPECT_EQ(entries[entries.size() - 3].description, MainFunctionErrorText(-1, problem));
  EXPECT_THAT(Ids(), ::testing::Not(::testing::Contains(29)));
  EXPECT_THAT(message_box_->texts,
              ElementsAre("An error occurd! For more info, check the Error-Log."));
  EXPECT_THAT(message_box_->details, ElementsAre(problem + "\nLog: " + dir_.File("Log.xml")));
}

// A close request (a signal) while the fatal path's message box waits ends
// the wait; the exit code stays that of the failed start.
TEST_F(ApplicationTest, CloseWhileTheFatalMessageIsShownEndsItWithTheFailedCode) {
  WriteFile(dir_.File("config.xml"), "<Zelvo><Settings>");
  auto app = Make();
  message_box_->on_show = [&] { app->Close(); };
  EXPECT_FALSE(app->Main());
  EXPECT_THAT(exit_codes_, ElementsAre(kExitStartupFailed));
  app->Close();  // once the message is gone, nothing is left to end
  EXPECT_THAT(exit_codes_, ElementsAre(kExitStartupFailed));
}

TEST_F(ApplicationTest, AnUnknownOutputDeviceIsFatalAndNamesTheDevice) {
  ConfigOptions options;
  options.output_device = "bogus:thing";
  WriteConfig(options);
  auto app = Make();
  EXPECT_FALSE(app->Main());
  const std::string expected = CheckPortBackends(Settings{}).Check("bogus:thing");
  ASSERT_FALSE(expected.empty());
  const std::vector<ReadEntry> entries = Entries();
  EXPECT_EQ(entries[entries.size() - 3].description, MainFunctionErrorText(-1, expected));
  EXPECT_THAT(expected, HasSubstr("bogus:thing"));
  EXPECT_THAT(Ids(), ::testing::Not(::testing::Contains(29)));  // no window was loaded
}

TEST_F(ApplicationTest, APortThatFailsTheFirstWriteIsFatalAfterTheWindowLoaded) {
  ConfigOptions options;
  options.output_device = "file:/dev/full";
  WriteConfig(options);
  auto app = Make();
  EXPECT_FALSE(app->Main());
  const std::vector<int> ids = Ids();
  EXPECT_THAT(ids, ::testing::Contains(28));
  EXPECT_THAT(ids, ::testing::Not(::testing::Contains(27)));
  EXPECT_EQ(Entries()[ids.size() - 3].id, "19");
  EXPECT_FALSE(app->Running());
}

TEST_F(ApplicationTest, TheAutomaticDeviceFallbackIsLoggedAsAWarning) {
  const PortWriterChoice probe = StartPortBackends(NativePortPlatform(), nullptr).Open("auto");
  if (probe.warning.empty()) GTEST_SKIP() << "a parallel port is present";
  WriteConfig(ConfigOptions{});
  auto app = Make();
  ASSERT_TRUE(app->Main());
  const std::vector<ReadEntry> entries = Entries();
  const auto fallback =
      std::find_if(entries.begin(), entries.end(), [](const ReadEntry& e) { return e.id == "40"; });
  ASSERT_NE(fallback, entries.end());
  EXPECT_EQ(fallback->type, "WARNING");
  EXPECT_EQ(fallback->description, probe.warning);
  EXPECT_EQ(std::next(fallback)->id, "29");
}

}  // namespace
}  // namespace zelvo

namespace zelvo {
namespace {

// --- Devices, MQTT, safe states and the service manager ----------------------

std::vector<std::string> Descriptions(const std::vector<ReadEntry>& entries, const char* id) {
  std::vector<std::string> texts;
  for (const ReadEntry& entry : entries)
    if (entry.id == id) texts.push_back(entry.description);
  return texts;
}

// The MQTT side rides on the one connection: the retained states and the
// relays on connect, the states, relays and an event after a rule, a /set
// command switching like a lamp click (logged), "offline" at the close. The
// password is handed to the client and nowhere else.
TEST_F(ApplicationTest, MqttBridgeAndRelaysFollowTheOutputs) {
  clock_ = std::make_shared<testing::FakeClock>(CivilDateTime{2024, 5, 1, 14, 3, 9});
  ConfigOptions options = FileDevice();
  options.extra_settings =
      "<OutputDevice>mqtt:cmnd/relay%N/POWER</OutputDevice>\r\n"
      "<MQTTBroker>mqtt://127.0.0.1:1883</MQTTBroker><MQTTUsername>bot</MQTTUsername>"
      "<MQTTPassword>s3cret-pw</MQTTPassword><MQTTDiscovery>false</MQTTDiscovery>";
  WriteConfig(options);
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  ASSERT_NE(mqtt_, nullptr);
  EXPECT_EQ(mqtt_->options.client_id, "zelvo-Zelvo");
  EXPECT_EQ(mqtt_->options.password, "s3cret-pw");
  EXPECT_EQ(mqtt_->options.will_topic, "zelvo/status");
  EXPECT_EQ(mqtt_->options.will_payload, "offline");
  EXPECT_THAT(mqtt_->broker.Take(), IsEmpty());  // nothing before the broker answers
  EXPECT_THAT(PortBytes(), ElementsAre(0));

  mqtt_->Connect();
  std::vector<std::string> on_connect = {"zelvo/status [r] online"};
  for (int n = 1; n <= 8; ++n)
    on_connect.push_back("zelvo/output/" + std::to_string(n) + " [r] OFF");
  on_connect.push_back("zelvo/byte [r] 0");
  for (int n = 1; n <= 8; ++n)
    on_connect.push_back("cmnd/relay" + std::to_string(n) + "/POWER OFF");
  EXPECT_EQ(mqtt_->broker.Take(), on_connect);
  EXPECT_THAT(mqtt_->broker.subscribed, ElementsAre("zelvo/output/+/set"));

  const int syncs = mqtt_->syncs;
  irc_->Receive(":op!~op@example.org PRIVMSG #zelvo :Disco On\r\n");
  const std::vector<std::string> after_rule = mqtt_->broker.Take();
  ASSERT_EQ(after_rule.size(), 6u);
  EXPECT_THAT(std::vector<std::string>(after_rule.begin(), after_rule.begin() + 5),
              ElementsAre("cmnd/relay1/POWER ON", "cmnd/relay2/POWER ON", "zelvo/output/1 [r] ON",
                          "zelvo/output/2 [r] ON", "zelvo/byte [r] 3"));
  EXPECT_THAT(after_rule[5],
              ::testing::MatchesRegex(
                  R"(zelvo/event \{"rule":"Disco-Kula On","nick":"op","user":"~op",)"
                  R"("host":"example.org","account":null,"channel":"#zelvo",)"
                  R"("time":"2024-05-01T14:03:09[+-][0-9][0-9]:[0-9][0-9]","outputs":3\})"));
  EXPECT_GT(mqtt_->syncs, syncs);  // handed to the socket at once

  mqtt_->events.message("zelvo/output/4/set", "on", false);
  EXPECT_TRUE(app->outputs()->Output(4));
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3, 11));
  EXPECT_THAT(mqtt_->broker.Take(),
              ElementsAre("cmnd/relay4/POWER ON", "zelvo/output/4 [r] ON", "zelvo/byte [r] 11"));
  EXPECT_THAT(Descriptions(Entries(), "82"),
              ElementsAre(MqttSwitchedText(4, true, "ON", "zelvo/output/4/set")));
  mqtt_->events.message("zelvo/output/9/set", "ON", false);
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3, 11));
  EXPECT_EQ(Descriptions(Entries(), "83").size(), 1u);

  // Lost: the relays wait; on the next connection all is sent again.
  mqtt_->connected = false;
  const std::string lost = MqttDisconnectedText("mqtt://127.0.0.1:1883", "connection lost", 5);
  mqtt_->events.disconnected(lost);
  irc_->Receive(":op!~op@example.org PRIVMSG #zelvo :Disco Off\r\n");
  EXPECT_THAT(mqtt_->broker.Take(), IsEmpty());
  EXPECT_THAT(Descriptions(Entries(), "81"), ElementsAre(lost));
  mqtt_->Connect();
  EXPECT_THAT(mqtt_->broker.Take(), ::testing::Contains("cmnd/relay4/POWER ON"));
  // Reloaded with other relays: the next connection resends to those alone.
  WriteFile(dir_.File("config.xml"),
            testing::ReplacedOnce(ReadFile(dir_.File("config.xml")), "relay%N", "switch%N"));
  app->Reload();
  mqtt_->broker.Take();
  mqtt_->Connect();
  EXPECT_THAT(mqtt_->broker.Take(),
              ::testing::AllOf(::testing::Contains("cmnd/switch4/POWER ON"),
                               Not(::testing::Contains("cmnd/relay4/POWER ON"))));

  app->Close();
  EXPECT_EQ(mqtt_->closed_with, "offline");
  const std::string log = ReadFile(dir_.File("Log.xml"));
  EXPECT_THAT(log, Not(HasSubstr("s3cret-pw")));
  EXPECT_THAT(console_.str() + errors_.str(), Not(HasSubstr("s3cret-pw")));
}

// An mqtt: back-end needs the broker setting; without it the start fails.
TEST_F(ApplicationTest, ARelayBackEndWithoutABrokerIsFatal) {
  ConfigOptions options = FileDevice();
  options.extra_settings = "<OutputDevice>mqtt:cmnd/relay%N/POWER</OutputDevice>";
  WriteConfig(options);
  auto app = Make(/*headless=*/true);
  EXPECT_FALSE(app->Main());
  EXPECT_EQ(mqtt_, nullptr);
  EXPECT_THAT(Descriptions(Entries(), "19"), ElementsAre(HasSubstr("MQTTBroker")));
}

// Several back-ends: a failing one is reported by its name (after a rule, and
// in the console after a click), the others are written, and the next write
// brings it in line.
TEST_F(ApplicationTest, EveryBackEndIsWrittenAndAFailingOneIsNamed) {
  ConfigOptions options = FileDevice();
  options.extra_settings =
      "<OutputDevice>mqtt:cmnd/relay%N/POWER</OutputDevice>\r\n"
      "<MQTTBroker>mqtt://127.0.0.1:1883</MQTTBroker><MQTTDiscovery>false</MQTTDiscovery>";
  WriteConfig(options);
  auto app = Make();
  ASSERT_TRUE(app->Main());
  mqtt_->Connect();
  mqtt_->broker.Take();
  mqtt_->broker.failure = "out of memory";
  irc_->Receive(":op!~op@h PRIVMSG #zelvo :Disco On\r\n");
  Window(*app)->Picture4_Click();
  Window(*app)->Picture4_Click();
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3, 11, 3));
  const std::string failed = HandlerErrorText(
      "MQTT relays cmnd/relay%N/POWER: Cannot publish to cmnd/relay1/POWER: out of memory");
  EXPECT_THAT(Descriptions(Entries(), "36"), ElementsAre(failed, failed, failed));
  EXPECT_THAT(MainWindowView(*Window(*app)).txtBuffer().toPlainText().toStdString(),
              HasSubstr(failed + "\n"));
  mqtt_->broker.failure.clear();
  mqtt_->broker.Take();
  mqtt_->events.message("zelvo/output/8/set", "ON", false);
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3, 11, 3, 131));
  EXPECT_THAT(mqtt_->broker.Take(),
              ElementsAre("cmnd/relay1/POWER ON", "cmnd/relay2/POWER ON", "cmnd/relay4/POWER OFF",
                          "cmnd/relay8/POWER ON", "zelvo/output/1 [r] ON", "zelvo/output/2 [r] ON",
                          "zelvo/output/4 [r] OFF", "zelvo/output/8 [r] ON", "zelvo/byte [r] 131"));
}

// OutputsOnDisconnect: written once after 30 s out of the channel without a
// break (pending auto-returns dropped), logged; OutputsOnExit at the close.
TEST_F(ApplicationTest, SafeStatesAfterThirtySecondsOutOfTheChannelAndAtTheClose) {
  clock_ = std::make_shared<testing::FakeClock>(CivilDateTime{2024, 5, 1, 14, 0, 0});
  ConfigOptions options = FileDevice();
  options.extra_settings =
      "<OutputsOnExit>5</OutputsOnExit><OutputsOnDisconnect>0</OutputsOnDisconnect>";
  WriteConfig(options);
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  auto tick = [&](std::chrono::seconds elapsed) {
    clock_->Advance(elapsed);
    app->timers().tmrAutoReturn_Timer();
  };
  irc_->Receive(":op!~op@h PRIVMSG #zelvo :Disco On\r\n");
  tick(std::chrono::seconds(29));
  irc_->in_channel = true;  // joined just in time
  tick(std::chrono::seconds(5));
  irc_->in_channel = false;
  tick(std::chrono::seconds(29));
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3));
  tick(std::chrono::seconds(1));
  tick(std::chrono::seconds(60));  // once per absence
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3, 0));
  EXPECT_FALSE(app->outputs()->Output(1));
  EXPECT_THAT(Descriptions(Entries(), "84"), ElementsAre(OutputsOnDisconnectText("#zelvo", 30, 0)));
  app->Close();
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3, 0, 5));
  EXPECT_THAT(Descriptions(Entries(), "85"), ElementsAre(OutputsOnExitText(5)));
  EXPECT_THAT(exit_codes_, ElementsAre(kExitClosed));
}

// OutputsOnStart: the first port write; "last" keeps every change in the
// state file beside the log and starts from it (off, with a warning, without it).
TEST_F(ApplicationTest, OutputsStartOffAtAByteOrAsTheyWereLast) {
  ConfigOptions options = FileDevice();
  options.extra_settings = "<OutputsOnStart>last</OutputsOnStart>";
  WriteConfig(options);
  {
    auto app = Make(/*headless=*/true);
    ASSERT_TRUE(app->Main());
    EXPECT_THAT(Descriptions(Entries(), "77"),
                ElementsAre(StartStateMissingText(dir_.File("state"))));
    irc_->Receive(":op!~op@h PRIVMSG #zelvo :Disco On\r\n");
    app->Close();
    EXPECT_EQ(ReadFile(dir_.File("state")), "3\n");
  }
  {
    auto app = Make(/*headless=*/true);
    ASSERT_TRUE(app->Main());
    EXPECT_THAT(PortBytes(), ElementsAre(0, 3, 3));
    app->Close();
  }
  options.extra_settings = "<OutputsOnStart>160</OutputsOnStart>";
  WriteConfig(options);
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  EXPECT_THAT(PortBytes(), ElementsAre(0, 3, 3, 160));
  EXPECT_TRUE(app->outputs()->Output(8));
  EXPECT_THAT(Descriptions(Entries(), "77"), ::testing::SizeIs(1));
}

// The service manager hears of readiness once the port is open, of each
// connection state and of the close; its watchdog is fed at half its interval.
// A start that fails never says it is ready.
TEST_F(ApplicationTest, TheServiceManagerIsToldReadyStatusAndStopping) {
  watchdog_interval_ = std::chrono::seconds(4);
  WriteConfig(FileDevice());
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  EXPECT_THAT(notifier_->sent, ElementsAre("READY=1", "WATCHDOG=1"));
  EXPECT_TRUE(app->WatchdogTimer().isActive());
  EXPECT_EQ(app->WatchdogTimer().interval(), 2000);
  irc_->Caption("Zelvo -  (Joined #zelvo)");
  app->Close();
  EXPECT_THAT(notifier_->sent, ElementsAre("READY=1", "WATCHDOG=1",
                                           "STATUS=Zelvo -  (Joined #zelvo)", "STOPPING=1"));
  EXPECT_FALSE(app->WatchdogTimer().isActive());

  watchdog_interval_ = std::chrono::microseconds(0);
  auto outside = Make(/*headless=*/true);
  ASSERT_TRUE(outside->Main());
  EXPECT_FALSE(outside->WatchdogTimer().isActive());

  ConfigOptions broken = FileDevice();
  broken.output_device = "nonsense:1";
  WriteConfig(broken);
  auto failed = Make(/*headless=*/true);
  EXPECT_FALSE(failed->Main());
  EXPECT_THAT(notifier_->sent, IsEmpty());
}

// A configuration holding a password that other users may read is logged as
// a warning at start; a private one is not.
TEST_F(ApplicationTest, AReadablePasswordFileIsLogged) {
  ConfigOptions options = FileDevice();
  options.extra_settings =
      "<MQTTBroker>mqtt://127.0.0.1:1883</MQTTBroker><MQTTPassword>pw</MQTTPassword>";
  WriteConfig(options);
  for (const mode_t mode : {mode_t{0644}, mode_t{0600}}) {
    SCOPED_TRACE(mode);
    std::remove(dir_.File("Log.xml").c_str());
    ASSERT_EQ(::chmod(dir_.File("config.xml").c_str(), mode), 0);
    auto app = Make(/*headless=*/true);
    ASSERT_TRUE(app->Main());
    EXPECT_EQ(Descriptions(Entries(), "86").size(), mode == 0644 ? 1u : 0u);
    app->Close();
  }
}

// A LogFile in a missing folder is warned of in the log that takes the
// entries, once at the start and once at each reload while it is missing.
TEST_F(ApplicationTest, AMissingLogFolderIsWarnedOncePerStartAndReload) {
  ConfigOptions options = FileDevice();
  options.log_file = "gone/zelvo.xml";
  WriteConfig(options);
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  const auto ids = [&] { return Descriptions(LogEntriesOrNone(dir_.File("OlmuLog.xml")), "67"); };
  const std::string warning =
      LogFolderMissingText(dir_.File("gone"), "gone/zelvo.xml", dir_.File("OlmuLog.xml"));
  EXPECT_THAT(ids(), ElementsAre(warning));
  app->Reload();
  EXPECT_THAT(ids(), ElementsAre(warning, warning));
  ASSERT_EQ(::mkdir(dir_.File("gone").c_str(), 0700), 0);
  app->Reload();  // the log goes to the folder now
  EXPECT_THAT(ids(), ElementsAre(warning, warning));
  EXPECT_THAT(LoggedIds(dir_.File("gone/zelvo.xml")), ElementsAre(90, 91));
}

// A rule held back by its user's Host condition is logged by the dispatcher.
TEST_F(ApplicationTest, TheDispatcherLogsARuleHeldBackByACondition) {
  std::string text = TestConfig(FileDevice());
  text = testing::ReplacedOnce(text, "<User Username=\"*\" Nickname=\"*\" />",
                               "<User Username=\"*\" Nickname=\"*\" Host=\"*.example.org\" />");
  WriteFile(dir_.File("config.xml"), text);
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  irc_->Receive(":op!~op@elsewhere.net PRIVMSG #zelvo :!Saft\r\n");
  EXPECT_THAT(Descriptions(Entries(), "70"), ElementsAre(HasSubstr("Saftblandare")));
}

// SIGHUP's reload: a valid file replaces rules and names with the outputs as
// they are, reopening only what changed; a broken one changes nothing.
struct ReloadCase {
  const char* label;
  std::vector<std::pair<std::string, std::string>> edits;  // replaced once in config.xml
  bool reloaded;
  bool reconnected;
  std::string output1_name;
  const char* fires;     // after the reload: turns outputs 1 and 2 off
  bool port_reopened;
};

class ReloadTest : public ApplicationTest, public ::testing::WithParamInterface<ReloadCase> {};

TEST_P(ReloadTest, ReplacesWhatChangedAndKeepsTheOutputs) {
  const ReloadCase& c = GetParam();
  WriteConfig(FileDevice());
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  irc_->Receive(":op!~op@h PRIVMSG #zelvo :Disco On\r\n");
  ASSERT_THAT(PortBytes(), ElementsAre(0, 3));
  const FakeIrcClient* before = irc_;
  events_.clear();
  notifier_->sent.clear();

  std::string text = ReadFile(dir_.File("config.xml"));
  for (const auto& [from, to] : c.edits) text = testing::ReplacedOnce(text, from, to);
  WriteFile(dir_.File("config.xml"), text);
  app->Reload();

  const std::vector<std::string> reloaded = Descriptions(Entries(), "91");
  const std::vector<std::string> failed = Descriptions(Entries(), "92");
  EXPECT_EQ(Descriptions(Entries(), "90").size(), 1u);
  EXPECT_EQ(reloaded.size(), c.reloaded ? 1u : 0u);
  EXPECT_EQ(failed.size(), c.reloaded ? 0u : 1u);
  EXPECT_EQ(irc_ != before, c.reconnected);
  const Events expected_events =
      c.reconnected ? Events{"irc close", "connect"} : Events{};
  EXPECT_EQ(events_, expected_events);
  EXPECT_EQ(app->outputs()->OutputName(1), c.output1_name);
  EXPECT_EQ(app->outputs()->DecimalOutput(), 3);  // the outputs keep their state
  EXPECT_EQ(notifier_->sent, (std::vector<std::string>{"RELOADING=1", "READY=1"}));
  EXPECT_THAT(Descriptions(Entries(), "93"), IsEmpty());  // no window or MQTT setting changed

  const std::string port = c.port_reopened ? dir_.File("port2.txt") : dir_.File("port.txt");
  irc_->Receive(":op!~op@h PRIVMSG #zelvo :" + std::string(c.fires) + "\r\n");
  EXPECT_EQ(app->outputs()->DecimalOutput(), 0);
  const std::string written = ReadFile(port);
  EXPECT_EQ(written.substr(written.rfind(' ') + 1), "0\n") << written;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReloadTest,
    ::testing::Values(
        ReloadCase{"NewTriggerAndName",
                   {{"<Output1>Saftblandare</Output1>", "<Output1>Mixer</Output1>"},
                    {"IRCTrigger=\"*Disco Off*\"", "IRCTrigger=\"*Disco Stop*\""}},
                   true, false, "Mixer", "Disco Stop", false},
        ReloadCase{"BrokenXml",
                   {{"<Output1>Saftblandare</Output1>", "<Output1>Mixer</Output2>"}},
                   false, false, "Saftblandare", "Disco Off", false},
        ReloadCase{"InvalidPort",
                   {{"<IRCPort>1</IRCPort>", "<IRCPort>70000</IRCPort>"},
                    {"IRCTrigger=\"*Disco Off*\"", "IRCTrigger=\"*Disco Stop*\""}},
                   false, false, "Saftblandare", "Disco Off", false},
        ReloadCase{"NewNickname",
                   {{"<IRCNickname>Zelvo</IRCNickname>", "<IRCNickname>Zelvo2</IRCNickname>"}},
                   true, true, "Saftblandare", "Disco Off", false},
        ReloadCase{"NewDevice",
                   {{"port.txt</OutputDevice>", "port2.txt</OutputDevice>"}},
                   true, false, "Saftblandare", "Disco Off", true}),
    [](const auto& info) { return std::string(info.param.label); });

// --- The audit trail ------------------------------------------------------------

struct Bot {
  Application& app;
  FakeIrcClient& irc;
  testing::FakeClock& clock;
  FakeMqttConnection* mqtt;
  std::string config;
  void Seconds(int n) { clock.Advance(std::chrono::seconds(n)), app.timers().tmrAutoReturn_Timer(); }
};
struct SwitchCase {
  std::string name, settings;
  std::function<void(Bot&)> act;
  std::vector<std::string> entries;  // of id 94, in order
};
class SwitchLogTest : public ApplicationTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchLogTest, OneEntryPerChangeWithCauseWhoBeforeAndAfter) {
  clock_ = std::make_shared<testing::FakeClock>(CivilDateTime{2024, 5, 1, 14, 0, 0});
  ConfigOptions options = FileDevice();
  options.extra_settings = GetParam().settings;
  WriteConfig(options);
  auto app = Make();
  ASSERT_TRUE(app->Main());
  Bot bot{*app, *irc_, *clock_, mqtt_, dir_.File("config.xml")};
  GetParam().act(bot);
  app->Close();
  EXPECT_THAT(Descriptions(Entries(), "94"), ElementsAreArray(GetParam().entries));
}

const char kDisco[] = ":op!~op@host PRIVMSG #zelvo :Disco On\r\n";
const char kSaft[] = ":op!~op@host PRIVMSG #zelvo :!Saft\r\n";
const char kSaftOn[] = "Switched by channel line (rule \"Saftblandare\") from op!~op@host: 00000000 -> 00000001.";
const char kBuzzerOn[] = "Switched by channel line (rule \"Buzzer\") from op!~op@host: 00000001 -> 00000101.";
INSTANTIATE_TEST_SUITE_P(Causes, SwitchLogTest, ::testing::Values(
    SwitchCase{"RuleWithAccount", "", [](Bot& b) { b.irc.Receive("@account=dj :dj!~dj@host PRIVMSG #zelvo :Disco On\r\n"); },
               {"Switched by channel line (rule \"Disco-Kula On\") from dj!~dj@host (account dj): 00000000 -> 00000011."}},
    SwitchCase{"RuleWithoutAccountTwiceChangesOnce", "", [](Bot& b) { b.irc.Receive(kDisco); b.irc.Receive(kDisco); },
               {"Switched by channel line (rule \"Disco-Kula On\") from op!~op@host: 00000000 -> 00000011."}},
    SwitchCase{"OperatorLine", "", [](Bot& b) { b.irc.environment.match(OperatorLine{"Zelvo", "Disco On"}); },
               {"Switched by operator line (rule \"Disco-Kula On\") from operator: 00000000 -> 00000011."}},
    SwitchCase{"LampThenSafeStateAtExit", "<OutputsOnExit>0</OutputsOnExit>", [](Bot& b) { Window(b.app)->Picture3_Click(); },
               {"Switched by lamp click from operator: 00000000 -> 00000100.", "Switched by safe state at exit: 00000100 -> 00000000."}},
    SwitchCase{"MqttSet", "<MQTTBroker>mqtt://127.0.0.1:1883</MQTTBroker>", [](Bot& b) { b.mqtt->Connect(); b.mqtt->events.message("zelvo/output/8/set", "ON", false); },
               {"Switched by MQTT /set from zelvo/output/8/set: 00000000 -> 10000000."}},
    SwitchCase{"BlinksThenPulseEndAndAutoReturn", "", [](Bot& b) {
                 b.irc.Receive(kSaft);
                 for (int i = 0; i < 3; ++i) b.app.timers().tmrPulseQuickly_Timer();
                 b.Seconds(2), b.Seconds(13);
               }, {kSaftOn, kBuzzerOn, "Switched by pulse end (rule \"Buzzer\"): 00000101 -> 00000001.",
                   "Switched by auto-return (rule \"Saftblandare\"): 00000001 -> 00000000."}},
    SwitchCase{"ReloadWithoutARule", "", [](Bot& b) {
                 b.irc.Receive(kSaft);
                 WriteFile(b.config, testing::ReplacedOnce(ReadFile(b.config), "\"Saftblandare\"", "\"Saft\""));
                 b.app.Reload();
               }, {kSaftOn, kBuzzerOn, "Switched by reload: 00000101 -> 00000100."}},
    SwitchCase{"OwnerCommand", "<IRCOwners>dj</IRCOwners>", [](Bot& b) { b.irc.Receive("@account=dj :dj!~dj@host PRIVMSG zelvo :on 2\r\n"); },
               {"Switched by owner command \"on 2\" from dj!~dj@host (account dj): 00000000 -> 00000010."}},
    SwitchCase{"LogSwitchesOff", "<LogSwitches>false</LogSwitches>", [](Bot& b) { b.irc.Receive(kDisco); }, {}}),
    [](const auto& info) { return info.param.name; });

// Running as a service: the same text and its fields to the journal, and on
// the console; a refused send is logged once until one works again.
TEST_F(ApplicationTest, EachChangeGoesToTheJournalWithItsFields) {
  WriteConfig(FileDevice());
  auto app = Make(/*headless=*/true);
  ASSERT_TRUE(app->Main());
  journal_->failure = "Connection refused";
  irc_->Receive(kDisco);
  irc_->Receive(":op!~op@host PRIVMSG #zelvo :Disco Off\r\n");
  journal_->failure.clear();
  irc_->Receive("@account=dj :dj!~dj@host PRIVMSG #zelvo :Disco On\r\n");
  const std::string text = "Switched by channel line (rule \"Disco-Kula On\") from dj!~dj@host (account dj): 00000000 -> 00000011.";
  ASSERT_EQ(journal_->sent.size(), 3u);
  EXPECT_THAT(journal_->sent.back(), ElementsAre("MESSAGE=" + text, "PRIORITY=6", "ZELVO_OUTPUTS=00000000 -> 00000011",
                                                 "ZELVO_RULE=Disco-Kula On", "ZELVO_SENDER=dj!~dj@host", "ZELVO_ACCOUNT=dj"));
  EXPECT_THAT(console_.str(), HasSubstr(text + "\n"));
  app->Close();
  EXPECT_THAT(Descriptions(Entries(), "95"), ElementsAre(JournalFailedText("Connection refused")));
}

}  // namespace
}  // namespace zelvo
