// The front end without a window (--headless): the console on a stream, the
// connection state, its status and each rule run as console lines, no lamps
// and no tray icon.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "app/user_notice.h"
#include "front/bot_timers.h"
#include "front/front_end.h"
#include "model/clock.h"

namespace zelvo {

class TerminalFrontEnd final : public FrontEnd {
 public:
  TerminalFrontEnd(FrontEndServices services, std::ostream& out);

  Console& console() override { return console_; }
  LampPanel* lamps() override { return nullptr; }
  void AttachConnection(IrcConnection& connection) override { connection_ = &connection; }
  // The load steps without a set-up of its own.
  void Load() override;
  void Show() override {}
  // Without a caption, the state is a console line.
  void ShowConnectionState(const std::string& caption) override;
  // "Status: " and the status in words, once per change of it.
  void ShowConnectionStatus(const ConnectionStatus& status) override;
  // "Last rule: <name> by <nick> at <HH:MM:SS>".
  void ShowRuleRun(std::string_view rule, std::string_view nick, OleDate at) override;
  // No status line: the console has already shown what went wrong.
  void ShowProblem(std::string_view, const std::string&) override {}
  // Without lamps there is nothing to show.
  void ShowRules(const IOCommands&) override {}
  void ReportHandlerError(const std::string& error) override;
  // The close steps; once.
  void Close() override;

  BotTimers& Timers() { return timers_; }

 private:
  FrontEndServices services_;
  StreamConsole console_;
  BotTimers timers_;
  IrcConnection* connection_ = nullptr;
  bool closed_ = false;
  SystemClock system_clock_;
  const Clock& clock_;
  std::optional<ConnectionStatus> shown_status_;
  std::string shown_caption_;
};

}  // namespace zelvo
