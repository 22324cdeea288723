#include "service/service_notifier.h"

#include <systemd/sd-daemon.h>
#include <time.h>

#include <cstdint>

namespace zelvo {

namespace {

void Notify(const std::string& message) {
  // Fails only when the manager's socket is gone; the program goes on either way.
  (void)sd_notify(0, message.c_str());
}

}  // namespace

SystemdServiceNotifier::SystemdServiceNotifier() {
  std::uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) > 0) watchdog_interval_ = std::chrono::microseconds(usec);
}

void SystemdServiceNotifier::Ready() {
  Notify("READY=1");
}

void SystemdServiceNotifier::Stopping() {
  Notify("STOPPING=1");
}

void SystemdServiceNotifier::Reloading() {
  // The monotonic time lets the manager tell this reload from an older one.
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const std::uint64_t usec = static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
  Notify("RELOADING=1\nMONOTONIC_USEC=" + std::to_string(usec));
}

void SystemdServiceNotifier::Status(const std::string& text) {
  // One line: a line break would start a new assignment.
  std::string line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  Notify("STATUS=" + line);
}

void SystemdServiceNotifier::FeedWatchdog() {
  if (watchdog_interval_.count() > 0) Notify("WATCHDOG=1");
}

}  // namespace zelvo
