#include "app/shutdown_signals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace zelvo {

SignalFdShutdownSignals::SignalFdShutdownSignals() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &previous_pipe_action_);

  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGHUP);
  if (pthread_sigmask(SIG_BLOCK, &mask, &previous_mask_) != 0) return;
  fd_ = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
}

SignalFdShutdownSignals::~SignalFdShutdownSignals() {
  notifier_.reset();
  sigaction(SIGPIPE, &previous_pipe_action_, nullptr);
  if (fd_ < 0) return;
  ::close(fd_);
  pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
}

void SignalFdShutdownSignals::Watch(std::function<void(int)> on_signal) {
  on_signal_ = std::move(on_signal);
  if (fd_ < 0 || notifier_) return;
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ReadSignals(); });
}

void SignalFdShutdownSignals::ReadSignals() {
  signalfd_siginfo info{};
  for (;;) {
    const ssize_t n = ::read(fd_, &info, sizeof info);
    if (n == static_cast<ssize_t>(sizeof info)) {
      if (on_signal_) on_signal_(static_cast<int>(info.ssi_signo));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
}

}  // namespace zelvo
