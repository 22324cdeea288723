// SIGINT and SIGTERM as events of the event loop, so that they end the bot
// the way closing the window does.
#pragma once

#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace zelvo {

class ShutdownSignals {
 public:
  virtual ~ShutdownSignals() = default;
  // From now on, `on_signal` is called on the event loop with the number of
  // each SIGINT or SIGTERM that arrives.
  virtual void Watch(std::function<void(int)> on_signal) = 0;
};

// Blocks SIGINT and SIGTERM for normal delivery and reads them from a
// signalfd. Create it before any other thread starts, so that every thread
// inherits the blocked mask; the previous mask is restored on destruction.
class SignalFdShutdownSignals final : public ShutdownSignals {
 public:
  SignalFdShutdownSignals();
  ~SignalFdShutdownSignals() override;
  SignalFdShutdownSignals(const SignalFdShutdownSignals&) = delete;
  SignalFdShutdownSignals& operator=(const SignalFdShutdownSignals&) = delete;

  void Watch(std::function<void(int)> on_signal) override;
  bool Ok() const { return fd_ >= 0; }

 private:
  void ReadSignals();

  int fd_ = -1;
  sigset_t previous_mask_{};
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void(int)> on_signal_;
};

}  // namespace zelvo
