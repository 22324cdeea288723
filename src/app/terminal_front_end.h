// The front end without a window (--headless): the console on a stream, the
// connection state as a console line, no lamps and no tray icon.
#pragma once

#include <ostream>
#include <string>

#include "app/user_notice.h"
#include "front/bot_timers.h"
#include "front/front_end.h"

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
};

}  // namespace zelvo
