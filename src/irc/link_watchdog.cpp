#include "irc/link_watchdog.h"

namespace zelvo {

void LinkWatchdog::Start(TimePoint now) {
  running_ = true;
  pinged_ = false;
  last_ = now;
}

void LinkWatchdog::OnReceived(TimePoint now) {
  pinged_ = false;
  last_ = now;
}

LinkWatchdog::Action LinkWatchdog::Tick(TimePoint now) {
  if (!running_) return {};
  if (!pinged_ && now - last_ >= timeout_) {
    pinged_ = true;
    last_ = now;
    return {Action::Kind::kSendPing, "PING :zelvo-" + std::to_string(++number_)};
  }
  if (pinged_ && now - last_ >= timeout_) {
    running_ = false;
    return {Action::Kind::kDead, ""};
  }
  return {};
}

}  // namespace zelvo
