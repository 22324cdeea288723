// The main window frmMain: title, eight output lamps with their names, the
// console pane txtBuffer and the operator's input line Text1. It keeps the
// notification-area icon and shows what it subscribes to in the bot's state:
// the connection's caption, the lamps, an activity strip under each lamp, a
// tooltip on each lamp naming the rules that switch its output, and under
// the input line the connection's status with the problems and the last rule
// run. Clicks, typed lines and the close box go to the operator's actions.
// The window is never smaller than layout::kMinimumArea, so that every lamp
// stays in reach.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "front/bot_state.h"
#include "front/front_end.h"
#include "front/window_services.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/console.h"
#include "model/output_history.h"
#include "model/output_number.h"
#include "model/settings.h"
#include "ui/activity_strip.h"
#include "ui/lamp_box.h"
#include "ui/last_run_label.h"
#include "ui/status_line.h"
#include "ui/tray_icon.h"
#include "ui/tray_menu.h"

namespace zelvo {

// The application's services and the window's own: its tray icon and how it
// asks a question. Everything referenced outlives the window.
struct MainWindowServices : WindowServices {
  TrayIcon& tray;
  // Asks the user a yes-or-no question; null: a message box.
  std::function<bool(const QString& question)> confirm;
};

// Window states as the settings hold them.
namespace window_state {
inline constexpr std::int16_t kNormal = 0;
inline constexpr std::int16_t kMinimised = 1;
inline constexpr std::int16_t kMaximised = 2;
}  // namespace window_state

class frmMain final : public QWidget, public Console, public FrontEnd {
 public:
  // The console keeps at most this many characters (the newest), dropping
  // whole old lines.
  static constexpr std::size_t kConsoleLimit = 1024 * 1024;

  explicit frmMain(MainWindowServices services);
  ~frmMain() override;

  // FrontEnd
  Console& console() override { return *this; }
  void Load() override { Form_Load(); }
  void Show() override { show(); }
  void Unload() override { Form_Unload(); }
  void FirstStart(const std::string& config_path) override;

  // The window's set-up: window settings, caption, output names, log 30 +
  // tray icon; then the status tick starts.
  // WindowX/WindowY/WindowWidth/WindowHeight give the outer frame; a
  // minimised WindowState starts hidden.
  void Form_Load();
  // A window that is not meant to be visible goes to the notification area
  // when its icon is shown there, else once to the task bar, minimised.
  void Form_Paint();
  // Fits console and input line to the inner area; a minimised window goes
  // to the notification area when its icon is shown there.
  void Form_Resize();
  // The tray icon removed; once.
  void Form_Unload();

  // Asks for output n (1..8) to be toggled.
  void Picture_Click(int output);
  void Picture1_Click() { Picture_Click(1); }
  void Picture2_Click() { Picture_Click(2); }
  void Picture3_Click() { Picture_Click(3); }
  void Picture4_Click() { Picture_Click(4); }
  void Picture5_Click() { Picture_Click(5); }
  void Picture6_Click() { Picture_Click(6); }
  void Picture7_Click() { Picture_Click(7); }
  void Picture8_Click() { Picture_Click(8); }

  // Up recalls the last line sent; Enter sends the line to the channel and
  // clears it, or says "Not connected" and keeps it.
  void Text1_KeyDown(int key);

  void AddTrayIcon();
  void RemoveTrayIcon();
  // An activation of the notification-area icon: a primary press toggles
  // whether the window is shown.
  void TrayIcon_Activated(TrayIcon::Activation activation);
  // Shows the window when hidden, hides it to the tray when shown.
  void ToggleShown();
  // The tray menu's Quit: asks first while any output is on, then ends the bot.
  void QuitFromTray();

  // Console: appends the text (CR LF line ends) and shows its end.
  void Append(std::string_view text) override;

  void SetConsoleLimit(std::size_t characters) { console_limit_ = characters; }

  // Once a second from load: the reconnect countdown and the activity strips
  // move on.
  void StatusTick();
  static constexpr int kStatusTickMs = 1000;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class MainWindowView;

  void Log(const LogMessage& message);
  // The state's parts, as they are published.
  void ShowConnection(const ConnectionStatus& status);
  void ShowOutputs(std::uint8_t byte);
  void ShowRules(const OutputRules& rules);
  // The tray icon lit in the connection's colour, its tooltip the status line.
  void UpdateTray();
  // The window's own load step: settings, caption, names, tray icon.
  void ApplyWindowSettings();
  // True while the window's icon is in a notification area, so that a
  // hidden window can be brought back.
  bool IconShown() const;
  // Console and input line fitted to the inner area.
  void FitPanes();
  // Sizes the window so that its outer frame has the configured size.
  void FitOuterSize();
  std::int16_t CurrentStateCode() const;
  void TrimConsole();

  MainWindowServices services_;
  SystemClock system_clock_;
  const Clock& clock_;
  QTimer status_timer_;

  QLabel* label1_;
  QLabel* label2_;
  std::array<PictureBox*, kOutputCount> pictures_{};
  std::array<QLabel*, kOutputCount> name_labels_{};
  QPlainTextEdit* txt_buffer_;
  QLineEdit* text1_;
  std::array<std::unique_ptr<OutputHistory>, kOutputCount> histories_{};
  std::array<ActivityStrip*, kOutputCount> strips_{};
  StatusLine* status_line_ = nullptr;
  LastRunLabel* last_run_ = nullptr;
  std::unique_ptr<TrayMenu> tray_menu_;
  std::uint8_t outputs_byte_ = 0;
  std::array<std::string, kOutputCount> names_{};
  // What the tray icon shows now.
  std::uint32_t tray_colour_ = 0;
  QString tray_tip_;

  QString ms_last_input_;
  std::size_t console_limit_ = kConsoleLimit;
  bool tray_added_ = false;
  bool unloaded_ = false;
  bool hide_pending_ = false;
  // The configured outer size, applied again once the frame is known (at the
  // first paint).
  QSize outer_size_;
  bool outer_size_pending_ = false;
  // Last, so that they end before the parts they show into.
  std::vector<Subscription> subscriptions_;
};

// The window's parts, for tests that look inside it.
class MainWindowView {
 public:
  explicit MainWindowView(frmMain& window) : window_(window) {}
  QPlainTextEdit& txtBuffer() { return *window_.txt_buffer_; }
  QLineEdit& Text1() { return *window_.text1_; }
  PictureBox& Picture(int output) {
    return *window_.pictures_.at(static_cast<std::size_t>(output - 1));
  }
  QLabel& OutputNameLabel(int output) {
    return *window_.name_labels_.at(static_cast<std::size_t>(output - 1));
  }
  QLabel& Label1() { return *window_.label1_; }
  QLabel& Label2() { return *window_.label2_; }
  const QTimer& StatusTimer() { return window_.status_timer_; }
  StatusLine& Status() { return *window_.status_line_; }
  LastRunLabel& LastRun() { return *window_.last_run_; }
  ActivityStrip& Strip(int output) {
    return *window_.strips_.at(static_cast<std::size_t>(output - 1));
  }
  const QString& msLastInput() const { return window_.ms_last_input_; }
  TrayMenu& Menu() { return *window_.tray_menu_; }

 private:
  frmMain& window_;
};

// Shows an output's name in its label: cut at the end with "…" when it does
// not fit, the whole name then in the label's tooltip.
void ShowOutputName(QLabel& label, const QString& name);

// The window state for a normal or maximised state code; a minimised code
// gives the normal state.
Qt::WindowStates WindowStatesFromCode(std::int16_t code);

}  // namespace zelvo
