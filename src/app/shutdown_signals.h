// SIGINT, SIGTERM and SIGHUP as events of the event loop (the first two end
// the bot the way closing the window does, SIGHUP reloads its configuration);
// SIGPIPE is ignored, so that a write to a closed connection is an error of
// that write, not the end.
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
  // each SIGINT, SIGTERM or SIGHUP that arrives.
  virtual void Watch(std::function<void(int)> on_signal) = 0;
};

// Blocks SIGINT, SIGTERM and SIGHUP for normal delivery and reads them from
// a signalfd, and ignores SIGPIPE. Create it before any other thread starts,
// so that every thread inherits the blocked mask; the previous mask and
// SIGPIPE handling are restored on destruction.
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
  struct sigaction previous_pipe_action_ {};
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void(int)> on_signal_;
};

}  // namespace zelvo
