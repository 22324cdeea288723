// The notification-area icon's menu: Show or Hide the window, the eight
// outputs by name with their state (a click toggles one, as a lamp click
// does), Reload configuration and Quit. It only reports what was chosen.
#pragma once
#include <QAction>
#include <QMenu>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include "model/output_number.h"

namespace zelvo {

struct TrayMenuActions {
  std::function<void()> show_hide;
  std::function<void(int output)> toggle_output;  // 1..8
  std::function<void()> reload;
  std::function<void()> quit;
};

class TrayMenu final : public QMenu {
 public:
  explicit TrayMenu(TrayMenuActions actions, QWidget* parent = nullptr);

  // "Hide" while the window is shown, "Show" while it is not.
  void SetWindowShown(bool shown);
  // Each output's entry: "O<n>  <name>", checked while the output is on.
  void SetNames(const std::array<std::string, kOutputCount>& names);
  void SetOutputs(std::uint8_t byte);

  QAction& ShowHide() { return *show_hide_; }
  QAction& Output(int output) { return *outputs_.at(static_cast<std::size_t>(output - 1)); }
  QAction& Reload() { return *reload_; }
  QAction& Quit() { return *quit_; }

 private:
  TrayMenuActions actions_;
  QAction* show_hide_;
  std::array<QAction*, kOutputCount> outputs_{};
  QAction* reload_;
  QAction* quit_;
  std::uint8_t byte_ = 0;
};

}  // namespace zelvo
