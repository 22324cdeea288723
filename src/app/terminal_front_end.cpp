#include "app/terminal_front_end.h"

#include "log/messages.h"

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
         next.find(kWaiting) != std::string_view::npos &&
         WithoutDigits(shown) == WithoutDigits(next);
}

}  // namespace

void TerminalFrontEnd::Load() {
  if (input_ < 0) return;
  reader_ = std::make_unique<OperatorInputReader>(
      input_, [this](const std::string& line) { OperatorLine(line); });
}

void TerminalFrontEnd::OperatorLine(const std::string& line) {
  const LineOutcome outcome =
      actions_.send_line ? actions_.send_line(line) : LineOutcome::kNotConnected;
  if (outcome == LineOutcome::kNotConnected) {
    console_.Append(std::string(console_text::kNotConnected) + "\r\n");
  }
}

void TerminalFrontEnd::FirstStart(const std::string& config_path) {
  console_.Append(FirstStartText(first_start::kWithoutWindow, config_path) + "\r\n");
}

TerminalFrontEnd::TerminalFrontEnd(BotState& state, const Clock& clock, std::ostream& out,
                                   OperatorActions actions, int input)
    : console_(out), actions_(std::move(actions)), input_(input), clock_(clock) {
  subscriptions_.push_back(state.connection.Subscribe(
      [this](const ConnectionStatus& status) { ShowConnection(status); }));
  subscriptions_.push_back(state.last_run.Subscribe([this](const std::optional<RuleRun>& run) {
    if (run) console_.Append(LastRunWords(run->rule, run->nick, run->at) + "\r\n");
  }));
}

void TerminalFrontEnd::ShowConnection(const ConnectionStatus& status) {
  // The window's caption counts a reconnect down each second; the terminal
  // prints the wait once.
  const bool new_caption = status.caption != last_caption_;
  last_caption_ = status.caption;
  if (new_caption && !status.caption.empty() && !OnlyCountsDown(shown_caption_, status.caption)) {
    shown_caption_ = status.caption;
    console_.Append(status.caption + "\r\n");
  }
  if (shown_status_ && !StatusChanged(*shown_status_, status)) return;
  shown_status_ = status;
  console_.Append("Status: " + ConnectionStatusText(status, clock_.MonotonicNow()) + "\r\n");
}

}  // namespace zelvo
