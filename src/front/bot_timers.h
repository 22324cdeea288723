// The two periodic timers of the bot, owned by the application: auto-return
// (with the rest of the second's work) every 1000 ms and the quick pulse
// every 100 ms. Each tick calls its handler; a failure inside a handler is
// reported and the timers run on. Needs only QtCore.
#pragma once

#include <QTimer>
#include <functional>
#include <string>

namespace zelvo {

class BotTimers {
 public:
  using Handler = std::function<void()>;
  using ErrorHandler = std::function<void(const std::string&)>;

  static constexpr int kAutoReturnMs = 1000;
  static constexpr int kPulseQuicklyMs = 100;

  BotTimers(Handler auto_return, Handler pulse_quickly, ErrorHandler on_error);

  // Starts both timers; they are never stopped or re-timed afterwards.
  void Start();

  // One tick of each timer (what the timers call).
  void tmrAutoReturn_Timer();
  void tmrPulseQuickly_Timer();

  const QTimer& tmrAutoReturn() const { return auto_return_timer_; }
  const QTimer& tmrPulseQuickly() const { return pulse_quickly_timer_; }

 private:
  void Run(const Handler& handler);

  Handler auto_return_;
  Handler pulse_quickly_;
  ErrorHandler on_error_;
  QTimer auto_return_timer_;
  QTimer pulse_quickly_timer_;
};

}  // namespace zelvo
