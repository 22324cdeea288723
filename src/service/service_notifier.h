// Messages to the service manager: readiness, reload, stop, a status line and
// the watchdog. Outside a notify-type service (no NOTIFY_SOCKET) nothing is
// sent and nothing fails.
#pragma once

#include <chrono>
#include <string>

namespace zelvo {

class ServiceNotifier {
 public:
  virtual ~ServiceNotifier() = default;
  // The configuration is loaded and the program serves.
  virtual void Ready() = 0;
  // The program has begun to shut down.
  virtual void Stopping() = 0;
  // The program reads its configuration again; Ready() follows when done.
  virtual void Reloading() = 0;
  // A one-line status shown by `systemctl status`.
  virtual void Status(const std::string& text) = 0;
  // How often the manager expects FeedWatchdog(); zero when it expects nothing.
  virtual std::chrono::microseconds WatchdogInterval() const = 0;
  // Tells the manager that the event loop is alive.
  virtual void FeedWatchdog() = 0;
};

// Through sd_notify(3). The watchdog interval is read once, at construction,
// from WATCHDOG_USEC, and only when WATCHDOG_PID names this process.
class SystemdServiceNotifier final : public ServiceNotifier {
 public:
  SystemdServiceNotifier();

  void Ready() override;
  void Stopping() override;
  void Reloading() override;
  void Status(const std::string& text) override;
  std::chrono::microseconds WatchdogInterval() const override { return watchdog_interval_; }
  void FeedWatchdog() override;

 private:
  std::chrono::microseconds watchdog_interval_{0};
};

}  // namespace zelvo
