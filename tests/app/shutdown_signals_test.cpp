#include "app/shutdown_signals.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <QCoreApplication>
#include <vector>

#include "support/qt_application.h"

namespace zelvo {
namespace {

using ::testing::ElementsAre;

bool Blocked(int signal) {
  sigset_t mask;
  pthread_sigmask(SIG_BLOCK, nullptr, &mask);
  return sigismember(&mask, signal) == 1;
}

// Runs the event loop until `done` or a bounded number of rounds.
template <typename Done>
void ProcessEventsUntil(Done done) {
  for (int round = 0; round < 1000 && !done(); ++round)
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool Ignored(int signal) {
  struct sigaction action {};
  sigaction(signal, nullptr, &action);
  return action.sa_handler == SIG_IGN;
}

TEST(ShutdownSignalsTest, TermIntAndHupArriveAsEventsOfTheLoopAndPipeIsIgnored) {
  const std::vector<int> closing = {SIGTERM, SIGINT, SIGHUP};
  std::vector<int> received;
  {
    SignalFdShutdownSignals watcher;
    ASSERT_TRUE(watcher.Ok());
    for (const int signal : closing) EXPECT_TRUE(Blocked(signal)) << signal;
    EXPECT_TRUE(Ignored(SIGPIPE));
    raise(SIGPIPE);  // would end this test program if it were not ignored
    watcher.Watch([&received](int signal) { received.push_back(signal); });
    raise(SIGTERM);
    EXPECT_THAT(received, ::testing::IsEmpty());  // nothing happens outside the loop
    ProcessEventsUntil([&] { return received.size() == 1; });
    for (std::size_t i = 1; i < closing.size(); ++i) {
      raise(closing[i]);
      ProcessEventsUntil([&] { return received.size() == i + 1; });
    }
  }
  EXPECT_EQ(received, closing);
  // The mask and SIGPIPE's handling are as they were before.
  for (const int signal : closing) EXPECT_FALSE(Blocked(signal)) << signal;
  EXPECT_FALSE(Ignored(SIGPIPE));
}

TEST(ShutdownSignalsTest, ASignalBeforeWatchingIsKeptUntilWatched) {
  std::vector<int> received;
  SignalFdShutdownSignals watcher;
  ASSERT_TRUE(watcher.Ok());
  raise(SIGTERM);
  watcher.Watch([&received](int signal) { received.push_back(signal); });
  ProcessEventsUntil([&] { return !received.empty(); });
  EXPECT_THAT(received, ElementsAre(SIGTERM));
}

}  // namespace
}  // namespace zelvo
