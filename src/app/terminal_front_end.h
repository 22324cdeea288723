// The front end without a window (--headless): the console on a stream; the
// connection's caption and status and each rule run as console lines; no
// lamps, no tray icon. Lines read from the operator's input are handled as
// lines typed into the window's input line.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/operator_input.h"
#include "app/user_notice.h"
#include "front/bot_state.h"
#include "front/front_end.h"
#include "model/clock.h"

namespace zelvo {

class TerminalFrontEnd final : public FrontEnd {
 public:
  // Subscribes to `state`, which must outlive the terminal. `clock` counts
  // the reconnect down. From Load on, each line read from `input` (-1: none)
  // goes to `actions.send_line`; "Not connected" is shown when it could not
  // be sent.
  TerminalFrontEnd(BotState& state, const Clock& clock, std::ostream& out,
                   OperatorActions actions = {}, int input = -1);

  Console& console() override { return console_; }
  void Load() override;
  void Show() override {}
  void Unload() override {}
  void FirstStart(const std::string& config_path) override;

 private:
  // The caption when it is new (a countdown is printed once), then
  // "Status: " and the status in words once per change of it.
  void ShowConnection(const ConnectionStatus& status);

  void OperatorLine(const std::string& line);

  StreamConsole console_;
  OperatorActions actions_;
  int input_;
  std::unique_ptr<OperatorInputReader> reader_;
  const Clock& clock_;
  std::optional<ConnectionStatus> shown_status_;
  std::string last_caption_;   // as last published
  std::string shown_caption_;  // as last printed
  std::vector<Subscription> subscriptions_;
};

}  // namespace zelvo
