// The real zelvo program, started in a temporary program directory.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/instance_lock.h"
#include "app/test_support.h"
#include "log/messages.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

extern char** environ;

namespace zelvo {
namespace {

using testing::ConfigOptions;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::Exists;
using ::testing::HasSubstr;
using testing::LogEntriesOrNone;
using testing::LoggedIds;
using testing::ReadEntry;
using testing::ReadFile;
using testing::TempDir;
using testing::TestConfig;
using testing::WriteFile;

// Long enough for a loaded machine; reached only when something is wrong.
constexpr auto kPatience = std::chrono::seconds(60);
constexpr int kFailedStatus = 255;  // exit code -1 as the shell sees it

// Environment changes for a child: "NAME=value" sets, "NAME" removes.
std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& changes) {
  const auto name_of = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const bool changed = std::any_of(changes.begin(), changes.end(), [&](const std::string& c) {
      return name_of(c) == name_of(entry);
    });
    if (!changed) environment.push_back(entry);
  }
  for (const std::string& change : changes)
    if (change.find('=') != std::string::npos) environment.push_back(change);
  return environment;
}

class Process {
 public:
  Process(std::vector<std::string> arguments, const std::string& out_path,
          const std::string& err_path, std::vector<std::string> environment_changes = {},
          const std::string& program = ZELVO_BINARY, int fd3 = -1) {
    std::vector<std::string> environment = ChangedEnvironment(environment_changes);
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd3 >= 0) posix_spawn_file_actions_adddup2(&actions, fd3, 3);
    if (posix_spawnp(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Process() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool Started() const { return pid_ > 0; }
  bool Running() {
    Poll();
    return !status_;
  }
  void Signal(int signal) { kill(pid_, signal); }
  // The exit code, or -1000 - signal, or -1 when the program is still running.
  int Wait() {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (Running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!status_) return -1;
    if (WIFEXITED(*status_)) return WEXITSTATUS(*status_);
    return -1000 - WTERMSIG(*status_);
  }

 private:
  void Poll() {
    if (status_ || pid_ <= 0) return;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
  }
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Waits until `done` or the program ends; true when `done`.
bool WaitFor(Process& process, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    if (!process.Running()) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// An X server of the test's own, on a display number it chooses itself.
class Xvfb {
 public:
  // Display numbers far from those that other users of Xvfb pick first; a
  // number already taken makes Xvfb end at once and the next one is tried.
  explicit Xvfb(const TempDir& dir) : runtime_dir_(dir.path()) {
    // Qt's D-Bus connection on X11 keeps an allocation to the end.
    suppressions_ = dir.File("lsan.supp");
    WriteFile(suppressions_, "leak:libdbus-1.so\n");
    const int first = 400 + static_cast<int>(getpid() % 400);
    for (int n = first; n < first + 20 && display_.empty(); ++n) Launch(dir, n);
  }
  ~Xvfb() {
    if (process_ && process_->Running()) {
      process_->Signal(SIGTERM);
      process_->Wait();
    }
  }
  bool Ok() const { return !display_.empty(); }
  // The environment of a program that is to use this server.
  std::vector<std::string> Environment() const {
    return {"DISPLAY=" + display_, "QT_QPA_PLATFORM", "WAYLAND_DISPLAY",
            "XDG_RUNTIME_DIR=" + runtime_dir_,
            "LSAN_OPTIONS=print_suppressions=0:suppressions=" + suppressions_};
  }

 private:
  // Without -noreset the server resets when its last client leaves and
  // refuses connections meanwhile.
  void Launch(const TempDir& dir, int number) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    process_ = std::make_unique<Process>(
        std::vector<std::string>{":" + std::to_string(number), "-displayfd", "3", "-noreset",
                                 "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
        dir.File("xvfb-out.txt"), dir.File("xvfb-err.txt"), std::vector<std::string>{}, "Xvfb",
        fds[1]);
    ::close(fds[1]);
    std::string ready;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') ready.push_back(c);
    ::close(fds[0]);
    if (ready == std::to_string(number) && process_->Running()) display_ = ":" + ready;
  }

  std::string runtime_dir_;
  std::string suppressions_;
  std::unique_ptr<Process> process_;
  std::string display_;
};

// A display number where no X server runs.
std::string UnusedDisplay() {
  for (int n = 150; n < 1000; ++n) {
    const std::string number = std::to_string(n);
    if (!Exists("/tmp/.X11-unix/X" + number) && !Exists("/tmp/.X" + number + "-lock"))
      return ":" + number;
  }
  return ":999";
}

// The entries of the IRC client (connection state, socket errors, line and
// queue warnings, the connection's ids 50 to 69) come at times of the
// network's choosing; the start-up order is checked without them, but for the
// first connection attempt (50), which the load starts.
std::vector<int> StartIds(const std::string& log) {
  std::vector<int> ids;
  bool attempted = false;
  for (int id : LoggedIds(log)) {
    if (id == 50 && !attempted) {
      attempted = true;
      ids.push_back(id);
    } else if (id != 32 && id != 35 && id != 38 && id != 39 && (id < 50 || id > 73 || id == 70)) {
      ids.push_back(id);
    }
  }
  return ids;
}

bool Contains(const std::vector<int>& ids, int id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

class ProcessTest : public ::testing::Test {
 protected:
  std::unique_ptr<Process> Start(std::vector<std::string> arguments,
                                 std::vector<std::string> environment = {}) {
    ++runs_;
    auto process =
        std::make_unique<Process>(std::move(arguments), Out(), Err(), std::move(environment));
    EXPECT_TRUE(process->Started());
    return process;
  }
  std::unique_ptr<Process> StartHeadless() { return Start({"--dir", dir_.path(), "--headless"}); }
  std::string Out() const { return dir_.File("out" + std::to_string(runs_) + ".txt"); }
  std::string Err() const { return dir_.File("err" + std::to_string(runs_) + ".txt"); }
  std::string Log() const { return dir_.File("Log.xml"); }
  ConfigOptions FileDevice() const {
    ConfigOptions options;
    options.output_device = "file:" + dir_.File("port.txt");
    return options;
  }
  void WriteConfig(const ConfigOptions& options) {
    WriteFile(dir_.File("config.xml"), TestConfig(options));
  }
  bool LogHas(Process& process, int id) {
    return WaitFor(process, [&] { return Contains(LoggedIds(Log()), id); });
  }
  // TERM closes the bot, whose closing entry (34) comes last.
  void ExpectClosesOnTerm(Process& bot) {
    bot.Signal(SIGTERM);
    EXPECT_EQ(bot.Wait(), 0);
    EXPECT_EQ(StartIds(Log()).back(), 34);
  }
  // The entry that ended the start: the last before the two of the written log.
  ReadEntry FatalEntry() const {
    const std::vector<ReadEntry> entries = LogEntriesOrNone(Log());
    return entries.size() < 3 ? ReadEntry{} : entries[entries.size() - 3];
  }
  std::string DumpFile() const { return dir_.File("Zelvo-error-log.txt"); }
  // The dump file, checked for its heading and the entry of the unwritable log.
  std::string CheckedDump() const {
    const std::string dump = ReadFile(DumpFile());
    EXPECT_EQ(dump.rfind("Zelvo - Error-Log:\r\n===========================\r\n\r\n", 0), 0u);
    EXPECT_THAT(dump, HasSubstr("LogID: 20\r\nLogType: 1\r\n"));
    return dump;
  }
  // The clipboard's text as another X client gets it; "" when there is none.
  std::string Paste(const Xvfb& x) {
    const std::string out = dir_.File("paste.txt");
    Process xclip({"-o", "-selection", "clipboard"}, out, dir_.File("paste-err.txt"),
                  x.Environment(), "xclip");
    return xclip.Wait() == 0 ? ReadFile(out) : "";
  }

  TempDir dir_;
  int runs_ = 0;
};

TEST_F(ProcessTest, FirstStartInAnEmptyDirectoryWritesBothFilesAndStopsOnTerm) {
  auto bot = StartHeadless();
  ASSERT_TRUE(WaitFor(*bot, [&] { return Exists(dir_.File(kLockFileName)); }));
  EXPECT_EQ(ReadFile(dir_.File("config.xml")), testing::ExampleConfigText());
  EXPECT_EQ(ReadFile(dir_.File("config.xsd")), GetResourceText(kSchemaResource, "XML"));
  bot->Signal(SIGTERM);
  EXPECT_EQ(bot->Wait(), 0);
  // The example logs errors only, and a start without problems has none
  // (a network that cannot reach the example's server may add socket errors).
  EXPECT_THAT(StartIds(Log()), ::testing::IsEmpty());
}

TEST_F(ProcessTest, StartEntriesComeInOrderAndTermClosesTheBot) {
  WriteConfig(FileDevice());
  auto bot = StartHeadless();
  ASSERT_TRUE(LogHas(*bot, 27));
  EXPECT_THAT(StartIds(Log()),
              ElementsAre(1, 3, 6, 7, 8, 13, 14, 15, 16, 17, 18, 21, 25, 26, 29, 31, 50, 28, 27));
  ExpectClosesOnTerm(*bot);
  const std::vector<ReadEntry> entries = LogEntriesOrNone(Log());
  const auto closing = std::find_if(entries.rbegin(), entries.rend(),
                                    [](const ReadEntry& e) { return e.id == "34"; });
  ASSERT_NE(closing, entries.rend());
  EXPECT_EQ(closing->description, log_msg::kClosing.text);
}

class ProcessSignalTest : public ProcessTest, public ::testing::WithParamInterface<int> {};

// A broken pipe changes nothing; INT closes the bot as TERM does (HUP
// reloads it: reload_e2e_test.cpp).
TEST_P(ProcessSignalTest, ClosesTheBotLikeTerm) {
  WriteConfig(FileDevice());
  auto bot = StartHeadless();
  ASSERT_TRUE(LogHas(*bot, 27));
  bot->Signal(SIGPIPE);
  bot->Signal(GetParam());
  EXPECT_EQ(bot->Wait(), 0);
  EXPECT_EQ(StartIds(Log()).back(), 34);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProcessSignalTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(sigabbrev_np(info.param));
                         });

TEST_F(ProcessTest, WithAWindowOnTheOffscreenPlatform) {
  WriteConfig(FileDevice());
  auto bot = Start({"--dir", dir_.path()}, {"QT_QPA_PLATFORM=offscreen"});
  ASSERT_TRUE(LogHas(*bot, 27));
  // No notification area offscreen: the warning follows the tray entry.
  EXPECT_THAT(StartIds(Log()), ElementsAre(1, 3, 6, 7, 8, 13, 14, 15, 16, 17, 18, 21, 25, 26, 29,
                                           30, 37, 31, 50, 28, 27));
  ExpectClosesOnTerm(*bot);
}

TEST_F(ProcessTest, ASecondInstanceIsRefusedWhileTheFirstRunsOn) {
  WriteConfig(FileDevice());
  auto first = StartHeadless();
  ASSERT_TRUE(LogHas(*first, 27));
  const std::size_t first_entries = LogEntriesOrNone(Log()).size();

  auto second = StartHeadless();
  EXPECT_EQ(second->Wait(), kFailedStatus);
  // The journal of a service keeps standard error: the cause and the log stand there.
  EXPECT_THAT(ReadFile(Err()),
              ::testing::AllOf(
                  ::testing::StartsWith("An error occurd! For more info, check the Error-Log.\n"),
                  HasSubstr("another --dir"), ::testing::EndsWith("\nLog: " + Log() + "\n")));
  const std::vector<ReadEntry> all = LogEntriesOrNone(Log());
  std::vector<ReadEntry> entries;
  // The first instance's connection entries may come in between.
  for (std::size_t i = first_entries; i < all.size(); ++i) {
    const int id = std::stoi(all[i].id);
    const bool connection = id >= log_msg::kConnectionIdFirst && id <= 73 && id != 70;
    if (id != 32 && id != 35 && !connection) entries.push_back(all[i]);
  }
  std::vector<int> second_ids;
  for (const ReadEntry& entry : entries) second_ids.push_back(std::stoi(entry.id));
  const std::vector<int> start = {1, 3, 6, 9, 10, 13, 14, 15, 16, 17, 18};
  std::vector<int> expected = start;
  expected.push_back(21);
  expected.insert(expected.end(), start.begin(), start.end());
  expected.insert(expected.end(), {19, 18, 21});
  EXPECT_THAT(second_ids, ElementsAreArray(expected));
  ASSERT_GE(entries.size(), 3u);
  EXPECT_EQ(entries[entries.size() - 3].description,
            MainFunctionErrorText(-1, "Zelvo is already running."));

  EXPECT_TRUE(first->Running());
  ExpectClosesOnTerm(*first);
}

TEST_F(ProcessTest, ABrokenConfigurationEndsWithTheLoadReport) {
  const std::string broken = "<?xml version=\"1.0\"?>\r\n<Zelvo><Settings></Zelvo>\r\n";
  WriteFile(dir_.File("config.xml"), broken);
  auto bot = StartHeadless();
  EXPECT_EQ(bot->Wait(), kFailedStatus);
  EXPECT_EQ(ReadFile(dir_.File("config.xml")), broken);
  EXPECT_EQ(ReadFile(dir_.File("config.example.xml")), testing::ExampleConfigText());
  ASSERT_EQ(FatalEntry().id, "19");
  EXPECT_THAT(FatalEntry().description,
              HasSubstr("Error-Description: Couldn't load \"config.xml\" into moXMLConfig."));
  EXPECT_EQ(LogEntriesOrNone(Log()).back().description, "Log written!");
  EXPECT_THAT(ReadFile(Err()),
              ::testing::StartsWith("An error occurd! For more info, check the Error-Log.\n" +
                                    dir_.File("config.xml") + ", line "));
}

TEST_F(ProcessTest, AnUnwritableLogSendsTheDumpToStandardErrorAndAFile) {
  ConfigOptions options = FileDevice();
  options.log_file = "/proc/Log.xml";
  WriteConfig(options);
  auto bot = StartHeadless();
  EXPECT_EQ(bot->Wait(), kFailedStatus);
  const std::string dump = CheckedDump();
  EXPECT_EQ(ReadFile(Err()), dump + "The Error-Log is saved in: " + DumpFile() + "\n");
}

// A log folder that cannot be written while the bot runs: the entries are
// kept, the console says once why, and once the folder can be written again
// they are written in order. A tiny file system of the test's own, remounted
// read-only and back.
TEST_F(ProcessTest, EntriesOfAReadOnlyLogFolderAreWrittenInOrderOnceItIsWritable) {
  const std::string folder = dir_.File("logs");
  std::filesystem::create_directory(folder);
  if (::geteuid() != 0 || ::mount("zelvo-test", folder.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "needs root to mount a small file system";
  }
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{folder};
  ConfigOptions options = FileDevice();
  options.log_file = "logs/Log.xml";
  WriteConfig(options);
  auto bot = StartHeadless();
  const std::string log = folder + "/Log.xml";
  ASSERT_TRUE(WaitFor(*bot, [&] { return Contains(LoggedIds(log), 27); }));
  const auto reload_ids = [&] {
    std::vector<int> ids;
    for (int id : LoggedIds(log))
      if (id == 44 || id == 45 || id == 90 || id == 91) ids.push_back(id);
    return ids;
  };
  // A log write in progress (a file open for writing) makes the remount
  // busy: it is tried again until the write is done.
  const auto remount = [&](unsigned long read_only) {
    for (int attempt = 0; attempt < 200; ++attempt) {
      if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | read_only, "size=64k") == 0)
        return true;
      if (errno != EBUSY) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  ASSERT_TRUE(remount(MS_RDONLY)) << std::strerror(errno);
  bot->Signal(SIGHUP);  // a reload writes two entries, which cannot be written
  ASSERT_TRUE(WaitFor(*bot, [&] {
    return ReadFile(Out()).find("The log cannot be written") != std::string::npos;
  }));
  EXPECT_THAT(reload_ids(), ::testing::IsEmpty());
  ASSERT_TRUE(remount(0)) << std::strerror(errno);
  bot->Signal(SIGHUP);  // the next entry writes the kept ones first
  ASSERT_TRUE(WaitFor(*bot, [&] { return reload_ids().size() == 6; }));
  // Every reload's pair in order, the failure (44) before the note that the
  // log works again (45); the IRC client's entries may come between them.
  const std::vector<int> ids = reload_ids();
  std::vector<int> reloads;
  std::copy_if(ids.begin(), ids.end(), std::back_inserter(reloads),
               [](int id) { return id == 90 || id == 91; });
  EXPECT_THAT(reloads, ElementsAre(90, 91, 90, 91));
  EXPECT_LT(std::find(ids.begin(), ids.end(), 44), std::find(ids.begin(), ids.end(), 45));
  bot->Signal(SIGTERM);
  EXPECT_EQ(bot->Wait(), 0);
  const std::string out = ReadFile(Out());
  EXPECT_EQ(out.find("The log cannot be written"), out.rfind("The log cannot be written"));
  EXPECT_THAT(out, HasSubstr("The log can be written again;"));
}

// On X11 the clipboard serves its text only while Zelvo runs: the message box
// keeps it running until the user has read where the file is, and the file
// and standard error keep the dump afterwards.
TEST_F(ProcessTest, UnderX11TheDumpOutlivesTheProcessInAFileAndOnStandardError) {
  Xvfb x(dir_);
  ASSERT_TRUE(x.Ok());
  ConfigOptions options = FileDevice();
  options.log_file = "/proc/Log.xml";
  WriteConfig(options);
  auto bot = Start({"--dir", dir_.path()}, x.Environment());
  std::string pasted;
  ASSERT_TRUE(WaitFor(*bot, [&] { return !(pasted = Paste(x)).empty(); })) << ReadFile(Err());
  EXPECT_TRUE(bot->Running());  // the message box waits
  bot->Signal(SIGTERM);         // closes it
  EXPECT_EQ(bot->Wait(), kFailedStatus);
  const std::string dump = CheckedDump();
  EXPECT_EQ(pasted, dump);
  EXPECT_EQ(ReadFile(Err()), dump);
  EXPECT_EQ(Paste(x), "");  // the clipboard's copy ended with the process
}

TEST_F(ProcessTest, WithAWindowOnARealXServer) {
  Xvfb x(dir_);
  ASSERT_TRUE(x.Ok());
  WriteConfig(FileDevice());
  auto bot = Start({"--dir", dir_.path()}, x.Environment());
  ASSERT_TRUE(LogHas(*bot, 27));
  ExpectClosesOnTerm(*bot);
}

// A display that cannot be used ends the start through the fatal-error path
// where the window would load, never in Qt's own abort.
struct DisplayCase {
  std::string name;
  std::vector<std::string> environment;  // "{unused}" stands for a display without a server
  std::string problem;
};

void PrintTo(const DisplayCase& c, std::ostream* out) {
  *out << c.name;
}

class ProcessDisplayTest : public ProcessTest, public ::testing::WithParamInterface<DisplayCase> {};

TEST_P(ProcessDisplayTest, IsAFatalStartErrorThatSaysWhy) {
  const std::string unused = UnusedDisplay();
  const auto with_unused = [&](std::string text) {
    const std::size_t at = text.find("{unused}");
    return at == std::string::npos ? text : text.replace(at, 8, unused);
  };
  std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + dir_.path()};
  for (const std::string& change : GetParam().environment)
    environment.push_back(with_unused(change));
  const std::string problem = with_unused(GetParam().problem);
  WriteConfig(FileDevice());

  auto bot = Start({"--dir", dir_.path()}, environment);
  EXPECT_EQ(bot->Wait(), kFailedStatus);
  EXPECT_EQ(ReadFile(Err()), "zelvo: " + problem +
                                 "\nAn error occurd! For more info, check the Error-Log.\n" +
                                 problem + "\nLog: " + Log() + "\n");
  EXPECT_EQ(FatalEntry().description, MainFunctionErrorText(-1, problem));
  EXPECT_FALSE(Contains(LoggedIds(Log()), 29));
}

INSTANTIATE_TEST_SUITE_P(
    Displays, ProcessDisplayTest,
    ::testing::Values(
        DisplayCase{"NoneAtAll",
                    {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"},
                    "Cannot open the display (neither DISPLAY nor WAYLAND_DISPLAY is set); run "
                    "with --headless"},
        DisplayCase{"NoXServer",
                    {"DISPLAY={unused}", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"},
                    "Cannot open the display \"{unused}\"; run with --headless"},
        DisplayCase{"X11ChosenWithoutDisplay",
                    {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb"},
                    "Cannot open the display (DISPLAY is not set); run with --headless"},
        DisplayCase{"NoCompositorNorXServer",
                    {"DISPLAY={unused}", "WAYLAND_DISPLAY=wayland-zelvo", "QT_QPA_PLATFORM"},
                    "Cannot open the display \"wayland-zelvo\" or \"{unused}\"; run with "
                    "--headless"}),
    [](const ::testing::TestParamInfo<DisplayCase>& info) { return info.param.name; });

TEST_F(ProcessTest, TheFilePortReceivesTheStartByte) {
  WriteConfig(FileDevice());
  auto bot = StartHeadless();
  ASSERT_TRUE(LogHas(*bot, 27));
  const std::string port = ReadFile(dir_.File("port.txt"));
  EXPECT_EQ(std::count(port.begin(), port.end(), '\n'), 1);
  EXPECT_EQ(port.substr(port.find(' ')), " 0\n");
  ExpectClosesOnTerm(*bot);
}

TEST_F(ProcessTest, ABadOutputDeviceIsFatalAndTheLogSaysWhy) {
  ConfigOptions options;
  options.output_device = "parport:" + dir_.File("no-such-parport");
  WriteConfig(options);
  auto bot = StartHeadless();
  EXPECT_EQ(bot->Wait(), kFailedStatus);
  EXPECT_EQ(FatalEntry().id, "19");
  EXPECT_THAT(FatalEntry().description, HasSubstr(dir_.File("no-such-parport")));
}

struct OptionCase {
  std::vector<std::string> arguments;
  int status;
  std::string out_starts;
  std::string err_starts;
};

class ProcessOptionTest : public ProcessTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(ProcessOptionTest, AnswersWithoutStarting) {
  auto bot = Start(GetParam().arguments);
  EXPECT_EQ(bot->Wait(), GetParam().status);
  EXPECT_EQ(ReadFile(Out()).rfind(GetParam().out_starts, 0), 0u) << ReadFile(Out());
  EXPECT_EQ(ReadFile(Err()).rfind(GetParam().err_starts, 0), 0u) << ReadFile(Err());
  if (!GetParam().err_starts.empty()) {
    EXPECT_THAT(ReadFile(Err()), HasSubstr("usage: zelvo [--dir DIR] [--headless]"));
  }
  EXPECT_FALSE(Exists(dir_.File("config.xml")));
}

INSTANTIATE_TEST_SUITE_P(
    Options, ProcessOptionTest,
    ::testing::Values(OptionCase{{"--help"}, 0, "usage: zelvo", ""},
                      OptionCase{{"--version"}, 0, "zelvo 0.", ""},
                      OptionCase{{"--frobnicate"}, 2, "", "zelvo: unknown argument: --frobnicate"},
                      OptionCase{{"--dir"}, 2, "", "zelvo: --dir needs a directory"},
                      OptionCase{{"--dir", "/nonexistent/zelvo"},
                                 2,
                                 "",
                                 "zelvo: no such directory: /nonexistent/zelvo"}));

struct CheckCase {
  const char* name;
  std::string from;  // edit of the test configuration; "" leaves it; "-" writes none
  std::string to;
  int status;
  std::string out_starts;  // "{conf}" stands for the checked directory
  std::string err_starts;
};

class ProcessCheckTest : public ProcessTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(ProcessCheckTest, AnswersWithTheExitCodeAndWritesNothing) {
  const std::string conf = dir_.File("conf");
  ASSERT_TRUE(std::filesystem::create_directory(conf));
  if (GetParam().from != "-") {
    std::string text = TestConfig(FileDevice());
    if (!GetParam().from.empty())
      text = testing::ReplacedOnce(text, GetParam().from, GetParam().to);
    WriteFile(conf + "/config.xml", text);
  }
  const auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(conf))
      names.push_back(entry.path().filename().string() + " " +
                      std::to_string(entry.last_write_time().time_since_epoch().count()));
    std::sort(names.begin(), names.end());
    return names;
  };
  const auto expanded = [&](std::string text) {
    if (const std::size_t at = text.find("{conf}"); at != std::string::npos)
      text.replace(at, 6, conf);
    return text;
  };
  const std::vector<std::string> before = listing();

  auto bot = Start({"--check", "--dir", conf});
  EXPECT_EQ(bot->Wait(), GetParam().status);
  const std::string out = ReadFile(Out());
  const std::string err = ReadFile(Err());
  EXPECT_EQ(out.rfind(expanded(GetParam().out_starts), 0), 0u) << out;
  EXPECT_EQ(err.rfind(expanded(GetParam().err_starts), 0), 0u) << err;
  EXPECT_TRUE(GetParam().out_starts.empty() ? out.empty() : err.empty()) << out << err;
  EXPECT_EQ(listing(), before);
  EXPECT_FALSE(Exists(dir_.File("port.txt")));  // the file back-end is not opened
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProcessCheckTest,
    ::testing::Values(
        CheckCase{"Valid", "", "", 0,
                  "{conf}/config.xml is valid: 5 rules; outputs \"Saftblandare\"", ""},
        CheckCase{"BrokenXml", "</Settings>", "</Setings>", 1, "",
                  "zelvo: {conf}/config.xml is not valid:\nCouldn't load \"config.xml\" into "
                  "moXMLConfig.\nError-Code: "},
        CheckCase{"SchemaInvalid", "<WindowX>50</WindowX>", "<WindowX>x</WindowX>", 1, "",
                  "zelvo: {conf}/config.xml is not valid:\nInvalid \"config.xml\" based on "
                  "\"config.xsd\".\nError-Code: "},
        CheckCase{"PortOutOfRange", "<IRCPort>1</IRCPort>", "<IRCPort>70000</IRCPort>", 1, "",
                  "zelvo: {conf}/config.xml is not valid:\nInvalid value of "
                  "\"Zelvo/Settings/IRCPort\""},
        CheckCase{"BadOutputDevice", "<OutputDevice>file:", "<OutputDevice>serial:", 1, "",
                  "zelvo: {conf}/config.xml is not valid:\nUnknown OutputDevice \"serial:"},
        CheckCase{"Missing", "-", "", 1, "", "zelvo: there is no config.xml in {conf};"}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zelvo
