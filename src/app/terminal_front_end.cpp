#include "app/terminal_front_end.h"

namespace zelvo {

TerminalFrontEnd::TerminalFrontEnd(FrontEndServices services, std::ostream& out)
    : services_(std::move(services)),
      console_(out),
      timers_(services_.auto_return_tick, services_.pulse_quickly_tick,
              [this](const std::string& error) { ReportHandlerError(error); }),
      clock_(services_.clock ? *services_.clock : system_clock_) {}

void TerminalFrontEnd::Load() {
  RunLoadSteps(services_.log, nullptr, connection_, timers_);
}

void TerminalFrontEnd::ShowConnectionState(const std::string& caption) {
  console_.Append(caption + "\r\n");
}

void TerminalFrontEnd::ShowConnectionStatus(const ConnectionStatus& status) {
  if (shown_status_ == status) return;
  shown_status_ = status;
  console_.Append("Status: " + ConnectionStatusText(status, clock_.MonotonicNow()) + "\r\n");
}

void TerminalFrontEnd::ShowRuleRun(std::string_view rule, std::string_view nick, OleDate at) {
  console_.Append(LastRunWords(rule, nick, at) + "\r\n");
}

void TerminalFrontEnd::ReportHandlerError(const std::string& error) {
  zelvo::ReportHandlerError(services_.log, console_, error);
}

void TerminalFrontEnd::Close() {
  if (closed_) return;
  closed_ = true;
  RunCloseSteps(
      services_.log, nullptr, connection_,
      [this](const std::string& error) { ReportHandlerError(error); }, services_.exit_application);
}

}  // namespace zelvo
