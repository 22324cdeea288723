#include "front/bot_timers.h"

#include <exception>

namespace zelvo {

BotTimers::BotTimers(Handler auto_return, Handler pulse_quickly, ErrorHandler on_error)
    : auto_return_(std::move(auto_return)),
      pulse_quickly_(std::move(pulse_quickly)),
      on_error_(std::move(on_error)) {
  auto_return_timer_.setInterval(kAutoReturnMs);
  pulse_quickly_timer_.setInterval(kPulseQuicklyMs);
  auto_return_timer_.setTimerType(Qt::PreciseTimer);
  pulse_quickly_timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&auto_return_timer_, &QTimer::timeout, [this] { tmrAutoReturn_Timer(); });
  QObject::connect(&pulse_quickly_timer_, &QTimer::timeout, [this] { tmrPulseQuickly_Timer(); });
}

void BotTimers::Start() {
  auto_return_timer_.start();
  pulse_quickly_timer_.start();
}

void BotTimers::tmrAutoReturn_Timer() {
  Run(auto_return_);
}
void BotTimers::tmrPulseQuickly_Timer() {
  Run(pulse_quickly_);
}

void BotTimers::Run(const Handler& handler) {
  if (!handler) return;
  try {
    handler();
  } catch (const std::exception& e) {
    if (on_error_) on_error_(e.what());
  } catch (...) {
    if (on_error_) on_error_("unknown error");
  }
}

}  // namespace zelvo
