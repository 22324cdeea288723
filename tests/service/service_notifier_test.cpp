#include "service/service_notifier.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace zelvo {
namespace {

// A datagram socket of the test standing in for the service manager's, named
// by NOTIFY_SOCKET while the test runs; the watchdog variables are cleared.
class FakeManager {
 public:
  explicit FakeManager(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      throw std::runtime_error("Cannot bind " + path);
    }
    ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    ::unsetenv("WATCHDOG_USEC");
    ::unsetenv("WATCHDOG_PID");
  }
  ~FakeManager() {
    ::unsetenv("NOTIFY_SOCKET");
    ::unsetenv("WATCHDOG_USEC");
    ::unsetenv("WATCHDOG_PID");
    ::close(fd_);
  }

  // Every datagram that has arrived, in order, without waiting.
  std::vector<std::string> Received() {
    std::vector<std::string> messages;
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT);
      if (n < 0) break;
      messages.emplace_back(buffer, static_cast<std::size_t>(n));
    }
    return messages;
  }

 private:
  int fd_ = -1;
};

struct MessageCase {
  const char* name;
  std::function<void(ServiceNotifier&)> call;
  const char* expected;  // a regular expression for the one datagram
};

class ServiceNotifierMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ServiceNotifierMessages, SendsOneDatagramToTheManager) {
  testing::TempDir dir;
  FakeManager manager(dir.File("notify"));
  ::setenv("WATCHDOG_USEC", "30000000", 1);
  ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
  SystemdServiceNotifier notifier;

  GetParam().call(notifier);

  const std::vector<std::string> received = manager.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_TRUE(std::regex_match(received[0], std::regex(GetParam().expected))) << received[0];
}

INSTANTIATE_TEST_SUITE_P(
    AllMessages, ServiceNotifierMessages,
    ::testing::Values(
        MessageCase{"Ready", [](ServiceNotifier& n) { n.Ready(); }, "READY=1"},
        MessageCase{"Stopping", [](ServiceNotifier& n) { n.Stopping(); }, "STOPPING=1"},
        MessageCase{"Reloading", [](ServiceNotifier& n) { n.Reloading(); },
                    "RELOADING=1\nMONOTONIC_USEC=[1-9][0-9]*"},
        MessageCase{"Status", [](ServiceNotifier& n) { n.Status("In #zelvo\r\non irc"); },
                    "STATUS=In #zelvo  on irc"},
        MessageCase{"Watchdog", [](ServiceNotifier& n) { n.FeedWatchdog(); }, "WATCHDOG=1"}),
    [](const auto& info) { return std::string(info.param.name); });

struct WatchdogCase {
  const char* name;
  const char* usec;  // WATCHDOG_USEC, or null for unset
  int pid;           // WATCHDOG_PID: 0 for this process, -1 for unset, else that pid
  long long expected_usec;
};

class ServiceNotifierWatchdog : public ::testing::TestWithParam<WatchdogCase> {};

// The interval comes from WATCHDOG_USEC only for the process WATCHDOG_PID
// names (or any process when it is unset); otherwise there is no watchdog and
// feeding it sends nothing.
TEST_P(ServiceNotifierWatchdog, IntervalAndFeeding) {
  const WatchdogCase& c = GetParam();
  testing::TempDir dir;
  FakeManager manager(dir.File("notify"));
  if (c.usec) ::setenv("WATCHDOG_USEC", c.usec, 1);
  if (c.pid >= 0) {
    ::setenv("WATCHDOG_PID", std::to_string(c.pid == 0 ? ::getpid() : c.pid).c_str(), 1);
  }
  SystemdServiceNotifier notifier;

  EXPECT_EQ(notifier.WatchdogInterval().count(), c.expected_usec);
  notifier.FeedWatchdog();
  const std::vector<std::string> received = manager.Received();
  if (c.expected_usec > 0) {
    EXPECT_EQ(received, std::vector<std::string>{"WATCHDOG=1"});
  } else {
    EXPECT_TRUE(received.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(AllEnvironments, ServiceNotifierWatchdog,
                         ::testing::Values(WatchdogCase{"ThisProcess", "30000000", 0, 30000000},
                                           WatchdogCase{"NoPidGiven", "5000000", -1, 5000000},
                                           WatchdogCase{"AnotherProcess", "30000000", 1, 0},
                                           WatchdogCase{"NoWatchdog", nullptr, -1, 0},
                                           WatchdogCase{"ZeroInterval", "0", 0, 0},
                                           WatchdogCase{"NotANumber", "soon", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Outside a service nothing is sent anywhere, not even to a socket that the
// manager named earlier.
TEST(ServiceNotifierOutsideService, SendsNothing) {
  testing::TempDir dir;
  FakeManager manager(dir.File("notify"));
  ::setenv("WATCHDOG_USEC", "30000000", 1);
  ::unsetenv("NOTIFY_SOCKET");
  SystemdServiceNotifier notifier;

  notifier.Ready();
  notifier.Status("Connecting");
  notifier.FeedWatchdog();
  notifier.Reloading();
  notifier.Stopping();

  EXPECT_TRUE(manager.Received().empty());
}

}  // namespace
}  // namespace zelvo
