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

TEST(ShutdownSignalsTest, TermAndIntArriveAsEventsOfTheLoop) {
  std::vector<int> received;
  {
    SignalFdShutdownSignals watcher;
    ASSERT_TRUE(watcher.Ok());
    EXPECT_TRUE(Blocked(SIGTERM));
    EXPECT_TRUE(Blocked(SIGINT));
    watcher.Watch([&received](int signal) { received.push_back(signal); });
    raise(SIGTERM);
    EXPECT_THAT(received, ::testing::IsEmpty());  // nothing happens outside the loop
    ProcessEventsUntil([&] { return received.size() == 1; });
    raise(SIGINT);
    ProcessEventsUntil([&] { return received.size() == 2; });
  }
  EXPECT_THAT(received, ElementsAre(SIGTERM, SIGINT));
  // The mask is as it was before.
  EXPECT_FALSE(Blocked(SIGTERM));
  EXPECT_FALSE(Blocked(SIGINT));
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
