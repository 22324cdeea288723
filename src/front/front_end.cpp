#include "front/front_end.h"

#include <exception>

#include "front/exit_codes.h"

namespace zelvo {

void RunLoadSteps(const LogWriter& log, const std::function<void()>& set_up,
                  IrcConnection* connection, BotTimers& timers) {
  WriteMessage(log, log_msg::kMainwindowSetup);
  if (set_up) set_up();
  WriteMessage(log, log_msg::kConnecting);
  if (connection) connection->ConnectToServer();
  WriteMessage(log, log_msg::kMainformLoaded);
  timers.Start();
}

void RunCloseSteps(const LogWriter& log, const std::function<void()>& tear_down,
                   IrcConnection* connection,
                   const std::function<void(const std::string&)>& report_error,
                   const std::function<void(int)>& exit_application) {
  try {
    WriteMessage(log, log_msg::kClosing);
    if (tear_down) tear_down();
    if (connection) connection->Close();
  } catch (const std::exception& error) {
    if (report_error) report_error(error.what());
  }
  if (exit_application) exit_application(kExitClosed);
}

void ReportHandlerError(const LogWriter& log, Console& console, const std::string& error) {
  const std::string text = HandlerErrorText(error);
  WriteMessage(log, log_msg::kHandlerError, text);
  console.Append(text + "\r\n");
}

}  // namespace zelvo
