#include "app/terminal_front_end.h"

namespace zelvo {
namespace {

std::string WithoutDigits(std::string_view text) {
  std::string kept;
  for (const char c : text)
    if (c < '0' || c > '9') kept.push_back(c);
  return kept;
}

// Whether `next` only moves on the reconnect countdown that `shown` printed.
bool OnlyCountsDown(std::string_view shown, std::string_view next) {
  constexpr std::string_view kWaiting = "econnecting";
  return shown.find(kWaiting) != std::string_view::npos &&
         next.find(kWaiting) != std::string_view::npos && WithoutDigits(shown) == WithoutDigits(next);
}

}  // namespace

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
  // The window's caption counts a reconnect down each second; the terminal
  // prints the wait once.
  if (OnlyCountsDown(shown_caption_, caption)) return;
  shown_caption_ = caption;
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
