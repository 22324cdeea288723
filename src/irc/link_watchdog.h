// Dead-link detection: when nothing has arrived for the ping timeout, the
// bot sends "PING :zelvo-<number>"; when nothing arrives within another
// ping timeout after that, the link is dead. Every line reported with
// OnReceived counts (the session reports every line once registered, and
// before that only the lines that move registration on).
#pragma once

#include <chrono>
#include <string>

namespace zelvo {

class LinkWatchdog {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;
  explicit LinkWatchdog(Duration timeout) : timeout_(timeout) {}

  struct Action {
    enum class Kind { kNone, kSendPing, kDead };
    Kind kind = Kind::kNone;
    std::string line;  // the PING to send
  };

  // A connection stands (or starts again): the silence is counted from now.
  void Start(TimePoint now);
  void OnReceived(TimePoint now);
  // What is due at `now`; kDead once, after which nothing until Start.
  Action Tick(TimePoint now);

 private:
  Duration timeout_;
  bool running_ = false;
  bool pinged_ = false;
  TimePoint last_{};
  unsigned long number_ = 0;
};

}  // namespace zelvo
