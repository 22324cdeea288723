// The main window on a private X server with a real window manager (openbox):
// what the user sees of a hidden start, of the configured frame, of a window
// back from the notification area, and of the tray icon and its menu (trayer).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#ifdef ZELVO_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include "ui/fakes.h"
#include "ui/main_window.h"
#include "ui/qt_tray_icon.h"
#include "ui/status_line.h"

// The D-Bus library keeps one buffer for the life of the process once Qt's
// desktop integration has used it.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}

namespace zelvo {
namespace {

using testing::Events;
using testing::FakeTray;

bool OnPath(const char* program) {
  const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// Output of a shell command.
std::string Shell(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  return output;
}

pid_t Spawn(const std::function<void()>& exec) {
  const pid_t pid = fork();
  if (pid == 0) {
    // The child ends with this test program and keeps out of its output.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    exec();
    _exit(127);
  }
  return pid;
}

void Stop(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

// Runs the Qt event loop until `done` holds or five seconds have passed.
bool SpinUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 5000) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QApplication::sendPostedEvents();
    usleep(10000);
  }
  return true;
}

// What the X server and the window manager say about one client window.
struct XWindow {
  explicit XWindow(WId id) : id(std::to_string(id)) {}

  std::string Properties() const {
    return Shell("xprop -id " + id + " WM_STATE _NET_WM_STATE _NET_FRAME_EXTENTS 2>/dev/null");
  }
  bool Iconic() const { return Properties().find("window state: Iconic") != std::string::npos; }
  bool Normal() const { return Properties().find("window state: Normal") != std::string::npos; }
  bool HasState(const std::string& atom) const {
    const std::string properties = Properties();
    const std::size_t line = properties.find("_NET_WM_STATE(ATOM)");
    return line != std::string::npos && properties.find(atom, line) < properties.find('\n', line);
  }
  // The window manager has made it the active window.
  bool Active() const {
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llx", std::stoull(id));
    const std::string active = Shell("xprop -root _NET_ACTIVE_WINDOW");
    return active.find(std::string("# ") + hex + "\n") != std::string::npos;
  }
  bool Mapped() const {
    return Shell("xwininfo -id " + id + " 2>/dev/null").find("Map State: IsViewable") !=
           std::string::npos;
  }
  // The outer frame: the client's position and size widened by the frame
  // extents that the window manager announces; empty before it has.
  QRect Frame() const {
    std::smatch match;
    const std::string properties = Properties();
    static const std::regex extents(
        R"(_NET_FRAME_EXTENTS\(CARDINAL\) = (\d+), (\d+), (\d+), (\d+))");
    if (!std::regex_search(properties, match, extents)) return {};
    const int left = std::stoi(match[1]), right = std::stoi(match[2]);
    const int top = std::stoi(match[3]), bottom = std::stoi(match[4]);
    const std::string info = Shell("xwininfo -id " + id + " 2>/dev/null");
    const auto field = [&](const char* name) {
      std::smatch value;
      const std::regex pattern(std::string(name) + R"(:\s+(-?\d+))");
      return std::regex_search(info, value, pattern) ? std::stoi(value[1]) : -100000;
    };
    return QRect(field("Absolute upper-left X") - left, field("Absolute upper-left Y") - top,
                 field("Width") + left + right, field("Height") + top + bottom);
  }

  std::string id;
};

// Xvfb, openbox on it, and the Qt application on that display.
class X11Desktop final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!OnPath("Xvfb")) {
      skip_reason_ = "Xvfb is not installed";
      return;
    }
    if (!OnPath("openbox")) {
      skip_reason_ = "openbox is not installed: the window-manager tests need it";
      return;
    }
    if (!OnPath("xprop") || !OnPath("xwininfo")) {
      skip_reason_ = "xprop and xwininfo (x11-utils) are not installed";
      return;
    }
    int fds[2];
    if (pipe(fds) != 0) return;
    server_ = Spawn([&] {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset", "-screen",
             "0", "1280x1024x24", static_cast<char*>(nullptr));
    });
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(fds[0]);
    if (number.empty()) {
      skip_reason_ = "Xvfb did not start";
      return;
    }
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
    window_manager_ =
        Spawn([] { execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr)); });
    // The window manager is up once it has announced itself on the root.
    QElapsedTimer timer;
    timer.start();
    while (Shell("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") == std::string::npos) {
      if (timer.elapsed() > 5000) {
        skip_reason_ = "openbox did not start";
        return;
      }
      usleep(20000);
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    application_ = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setQuitOnLastWindowClosed(false);
    // Once it has managed and activated a first window, the window manager
    // has finished starting.
    QWidget probe;
    probe.show();
    const XWindow x(probe.winId());
    if (!SpinUntil([&] { return x.Normal() && x.Active(); }))
      skip_reason_ = "openbox does not manage windows";
  }

  void TearDown() override {
    application_.reset();
    Stop(window_manager_);
    Stop(server_);
  }

  static inline std::string skip_reason_;

 private:
  pid_t server_ = -1;
  pid_t window_manager_ = -1;
  std::string display_;
  int argc_ = 1;
  char name_[16] = "zelvo-test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

::testing::Environment* const kDesktop = ::testing::AddGlobalTestEnvironment(new X11Desktop);

#ifdef ZELVO_HAVE_XCB
// Asks the window manager to minimise the window, as its minimise button does
// (the ICCCM WM_CHANGE_STATE request).
void MinimiseThroughTheWindowManager(WId window) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const char name[] = "WM_CHANGE_STATE";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
  if (atom) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window);
    event.type = atom->atom;
    event.data.data32[0] = 3;  // IconicState
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    std::free(atom);
  }
  xcb_flush(connection);
  xcb_disconnect(connection);
}
#endif

class MainWindowX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!X11Desktop::skip_reason_.empty()) GTEST_SKIP() << X11Desktop::skip_reason_;
    settings_.gbWindowShow = true;
    settings_.giWindowX = 50;
    settings_.giWindowY = 20;
    settings_.giWindowWidth = 900;
    settings_.giWindowHeight = 700;
  }

  void TearDown() override {
    window_.reset();
    qt_tray_.reset();
    Stop(tray_host_);
  }

  // Loads the window and shows it, as the start-up does.
  frmMain& Start(bool tray_available) {
    tray_ = std::make_unique<FakeTray>(events_, tray_available);
    return Start(*tray_);
  }
  frmMain& Start(TrayIcon& tray) {
    window_ = std::make_unique<frmMain>(
        MainWindowServices{{settings_, state_, actions_, nullptr, nullptr}, tray, nullptr});
    window_->Form_Load();
    window_->show();
    return *window_;
  }

  Settings settings_;
  BotState state_;
  OperatorActions actions_;
  Events events_;
  pid_t tray_host_ = -1;
  std::unique_ptr<FakeTray> tray_;
  std::unique_ptr<QtTrayIcon> qt_tray_;
  std::unique_ptr<frmMain> window_;
};

QImage Screenshot() {
  return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// A screenshot kept in the test's temporary folder, for a failure message.
std::string Kept(const std::string& name) {
  const std::string path = ::testing::TempDir() + "main_window_x11_" + name + ".png";
  Screenshot().save(QString::fromStdString(path));
  return " (screenshot: " + path + ")";
}

// The bounding box of the strong (saturated, bright) pixels in `area` within 15
// degrees of the hue of `colour`, if they are most of its strong pixels.
QRect Lit(const QImage& shot, const QRect& area, const QColor& colour) {
  const auto sector = [](const QColor& c) { return (c.hsvHue() + 15) / 30 % 12; };
  QRect lit;
  int balance = 0;  // matching minus other strong pixels
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor pixel = shot.pixelColor(x, y);
      if (pixel.hsvSaturation() < 128 || pixel.value() < 128) continue;
      const bool matching = sector(pixel) == sector(colour);
      balance += matching ? 1 : -1;
      if (matching) lit |= QRect(x, y, 1, 1);
    }
  }
  return balance > 0 ? lit : QRect();
}

// The share of pixels that `part` has in common with the screenshot at `where`.
double Overlap(const QImage& shot, const QImage& part, const QRect& where) {
  int same = 0;
  for (int y = 0; y < where.height(); ++y)
    for (int x = 0; x < where.width(); ++x)
      same += shot.pixel(where.topLeft() + QPoint(x, y)) == part.pixel(x, y);
  return where.isEmpty() ? 0.0 : double(same) / (where.width() * where.height());
}

void Click(const QPoint& at, int button) {
  Shell("xdotool mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " click " +
        std::to_string(button));
}

TEST_F(MainWindowX11Test, HiddenStartWithoutTrayIsMinimisedOnTheTaskBar) {
  settings_.gbWindowShow = false;
  frmMain& window = Start(/*tray_available=*/false);
  const XWindow x(window.winId());
  ASSERT_TRUE(SpinUntil([&] { return x.Iconic(); })) << x.Properties();
  EXPECT_TRUE(x.HasState("_NET_WM_STATE_HIDDEN")) << x.Properties();
  EXPECT_FALSE(x.HasState("_NET_WM_STATE_SKIP_TASKBAR")) << x.Properties();
  EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowX11Test, HiddenStartWithTrayIsNeverLeftOnScreen) {
  settings_.gbWindowShow = false;
  frmMain& window = Start(/*tray_available=*/true);
  const XWindow x(window.winId());
  ASSERT_TRUE(SpinUntil([&] { return !window.isVisible(); }));
  EXPECT_TRUE(SpinUntil([&] { return !x.Mapped() && !x.Normal(); })) << x.Properties();
}

TEST_F(MainWindowX11Test, TheSettingsPlaceTheOuterFrameAndThePanesFillTheInnerArea) {
  frmMain& window = Start(/*tray_available=*/false);
  const XWindow x(window.winId());
  ASSERT_TRUE(SpinUntil([&] { return x.Frame() == QRect(50, 20, 900, 700); }))
      << "frame " << x.Frame().x() << "," << x.Frame().y() << " " << x.Frame().width() << "x"
      << x.Frame().height();
  // The input line, the status and the last rule run under it; the last run
  // ends one margin above the inner area's bottom edge.
  EXPECT_EQ(MainWindowView(window).Text1().geometry().bottom() + 1, window.height() - 8 - 40);
  EXPECT_EQ(MainWindowView(window).LastRun().geometry().bottom() + 1, window.height() - 8);
  EXPECT_EQ(MainWindowView(window).txtBuffer().geometry().right() + 1, window.width() - 11);
}

TEST_F(MainWindowX11Test, AMaximisedWindowComesBackFromTheTrayMaximised) {
#ifndef ZELVO_HAVE_XCB
  GTEST_SKIP() << "built without xcb: the window manager cannot be asked to minimise";
#endif
  settings_.giWindowState = window_state::kMaximised;
  frmMain& window = Start(/*tray_available=*/true);
  const XWindow x(window.winId());
  // Managed (mapped, WM_STATE set by the window manager), activated and
  // maximised.
  ASSERT_TRUE(SpinUntil([&] {
    return x.Normal() && x.Mapped() && x.Active() && x.HasState("_NET_WM_STATE_MAXIMIZED_VERT") &&
           window.isMaximized();
  })) << x.Properties();
  // The user minimises it through the window manager; the request is
  // repeated now and then while it has had no effect.
  int polls = 0;
  ASSERT_TRUE(SpinUntil([&] {
    if (!window.isVisible()) return true;
#ifdef ZELVO_HAVE_XCB
    if (polls++ % 25 == 0 && !x.Iconic()) MinimiseThroughTheWindowManager(window.winId());
#endif
    return false;
  })) << x.Properties();
  EXPECT_FALSE(settings_.gbWindowShow);
  tray_->Activate(TrayIcon::Activation::kPrimaryPress);
  ASSERT_TRUE(SpinUntil([&] { return x.Normal() && x.Mapped(); })) << x.Properties();
  EXPECT_TRUE(SpinUntil([&] { return x.HasState("_NET_WM_STATE_MAXIMIZED_VERT"); }))
      << x.Properties();
  EXPECT_TRUE(window.isMaximized());
}

TEST_F(MainWindowX11Test, TheTrayIconShowsTheConnectionAndItsMenuTogglesAnOutput) {
  if (!OnPath("trayer") || !OnPath("xdotool"))
    GTEST_SKIP() << "trayer and xdotool are not installed: the notification-area test needs them";
  tray_host_ = Spawn([] {
    execlp("trayer", "trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
           "--width", "120", "--height", "24", static_cast<char*>(nullptr));
  });
  QRect area;  // trayer's panel
  ASSERT_TRUE(SpinUntil([&] {
    const std::string shell = Shell(
        "xdotool search --onlyvisible --class '^trayer$' getwindowgeometry --shell 2>/dev/null");
    int x = 0, y = 0, width = 0, height = 0;
    std::sscanf(shell.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &x, &y, &width, &height);
    area = QRect(x, y, width, height);
    return !area.isEmpty() && QSystemTrayIcon::isSystemTrayAvailable();
  })) << "trayer did not start";
  std::vector<int> toggled;
  actions_.toggle_output = [&](int output) { toggled.push_back(output); };
  qt_tray_ = std::make_unique<QtTrayIcon>();
  frmMain& window = Start(*qt_tray_);

  // The lamp in the notification area takes the connection's colour.
  QRect lamp;
  for (const auto state : {ConnectionStatus::State::kDown, ConnectionStatus::State::kJoined}) {
    const bool failed = state == ConnectionStatus::State::kDown;
    state_.connection.Set({state, "", "", "", {}, "", failed ? "Connection refused" : ""});
    ASSERT_TRUE(SpinUntil([&] {
      lamp = Lit(Screenshot(), area, ColorFromNumber(MarkColour(state)));
      return lamp.width() >= 4 && lamp.height() >= 4;
    })) << "state " + std::to_string(static_cast<int>(state)) + Kept("tray_icon");
  }

  // A right click on it opens the menu on the screen (not there before),
  // hanging from the notification area.
  TrayMenu& menu = MainWindowView(window).Menu();
  const QImage before = Screenshot();
  Click(lamp.center(), 3);
  ASSERT_TRUE(SpinUntil([&] {
    return menu.isVisible() && XWindow(menu.winId()).Mapped() &&
           Overlap(Screenshot(), menu.grab().toImage(), menu.geometry()) > 0.9;
  })) << Kept("tray_menu");
  EXPECT_LT(Overlap(before, menu.grab().toImage(), menu.geometry()), 0.5);
  const QRect placed = menu.geometry();
  EXPECT_TRUE(placed.top() >= area.top() && placed.top() <= area.bottom() &&
              placed.bottom() > area.bottom())
      << "menu at y " << placed.y() << Kept("tray_menu");

  // Choosing an output toggles it, as a click on its lamp does.
  Click(menu.mapToGlobal(menu.actionGeometry(&menu.Output(3)).center()), 1);
  EXPECT_TRUE(SpinUntil([&] { return !toggled.empty() && !menu.isVisible(); }))
      << Kept("tray_menu_click");
  EXPECT_EQ(toggled, std::vector<int>{3});
}

}  // namespace
}  // namespace zelvo
