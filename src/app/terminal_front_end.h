// The front end without a window (--headless): the console on a stream; the
// connection's caption and status and each rule run as console lines; no
// lamps, no tray icon, no input line.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/user_notice.h"
#include "front/bot_state.h"
#include "front/front_end.h"
#include "model/clock.h"

namespace zelvo {

class TerminalFrontEnd final : public FrontEnd {
 public:
  // Subscribes to `state`, which must outlive the terminal. `clock` counts
  // the reconnect down.
  TerminalFrontEnd(BotState& state, const Clock& clock, std::ostream& out);

  Console& console() override { return console_; }
  void Load() override {}
  void Show() override {}
  void Unload() override {}

 private:
  // The caption when it is new (a countdown is printed once), then
  // "Status: " and the status in words once per change of it.
  void ShowConnection(const ConnectionStatus& status);

  StreamConsole console_;
  const Clock& clock_;
  std::optional<ConnectionStatus> shown_status_;
  std::string last_caption_;   // as last published
  std::string shown_caption_;  // as last printed
  std::vector<Subscription> subscriptions_;
};

}  // namespace zelvo
