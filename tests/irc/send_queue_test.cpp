#include "irc/send_queue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zelvo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = SendQueue::Kind;
using std::chrono::milliseconds;
using std::chrono::seconds;

class SendQueueTest : public ::testing::Test {
 protected:
  SendQueueTest() { queue_.Reset(now_); }

  void PushReplies(int count, const std::string& prefix = "r") {
    for (int i = 0; i < count; ++i) queue_.Push(prefix + std::to_string(i), Kind::kReply, now_);
  }

  SendQueue::TimePoint now_{std::chrono::hours(5)};
  SendQueue queue_;
};

TEST_F(SendQueueTest, SendsABurstOfFourThenOneASecond) {
  PushReplies(7);
  EXPECT_THAT(queue_.TakeDue(now_), ElementsAre("r0", "r1", "r2", "r3"));
  EXPECT_THAT(queue_.TakeDue(now_ + milliseconds(999)), IsEmpty());
  EXPECT_THAT(queue_.TakeDue(now_ + seconds(1)), ElementsAre("r4"));
  EXPECT_THAT(queue_.TakeDue(now_ + milliseconds(1500)), IsEmpty());
  EXPECT_THAT(queue_.TakeDue(now_ + seconds(2)), ElementsAre("r5"));
  EXPECT_THAT(queue_.TakeDue(now_ + seconds(10)), ElementsAre("r6"));
}

TEST_F(SendQueueTest, QuietTimeRefillsTheBurstUpToFour) {
  PushReplies(4);
  ASSERT_EQ(queue_.TakeDue(now_).size(), 4u);
  now_ += seconds(2);
  PushReplies(4, "s");
  EXPECT_THAT(queue_.TakeDue(now_), ElementsAre("s0", "s1"));
  now_ += seconds(60);
  PushReplies(6, "t");
  EXPECT_THAT(queue_.TakeDue(now_), ElementsAre("s2", "s3", "t0", "t1"));
}

TEST_F(SendQueueTest, FirstClassLinesThenTheNewestPongGoAheadOfWaitingReplies) {
  PushReplies(6);
  ASSERT_EQ(queue_.TakeDue(now_).size(), 4u);
  queue_.Push("PRIVMSG #lab :typed", Kind::kLine, now_);
  for (int i = 0; i < 100; ++i) queue_.Push("PONG :" + std::to_string(i), Kind::kPong, now_);
  queue_.Push("JOIN #lab", Kind::kFirst, now_);
  EXPECT_EQ(queue_.Size(), 5u);
  EXPECT_THAT(queue_.TakeDue(now_ + seconds(1)), ElementsAre("JOIN #lab"));
  EXPECT_THAT(queue_.TakeDue(now_ + seconds(2)), ElementsAre("PONG :99"));
  EXPECT_THAT(queue_.TakeDue(now_ + seconds(4)), ElementsAre("r4", "r5"));
  EXPECT_THAT(queue_.TakeDue(now_ + seconds(5)), ElementsAre("PRIVMSG #lab :typed"));
  EXPECT_TRUE(queue_.Empty());
}

TEST_F(SendQueueTest, FirstClassLinesWaitOnceEachAndOnlyAFew) {
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(queue_.Push("WHO #lab", Kind::kFirst, now_));
  for (int i = 0; i < 20; ++i) queue_.Push("NICK n" + std::to_string(i), Kind::kFirst, now_);
  queue_.Push("PONG :x", Kind::kPong, now_);
  EXPECT_EQ(queue_.Size(), SendQueue::kMaxFirstLines + 1);
  EXPECT_EQ(queue_.TakeDue(now_).front(), "WHO #lab");
}

TEST_F(SendQueueTest, DropsRepliesThatWouldWaitOverThirtySeconds) {
  // 4 at once, then one a second: the 34th reply waits exactly 30 s.
  int accepted = 0;
  for (int i = 0; i < 50; ++i) accepted += queue_.Push("r", Kind::kReply, now_) ? 1 : 0;
  EXPECT_EQ(accepted, 34);
  EXPECT_EQ(queue_.Size(), 34u);
  // Operator lines and first-class lines are never dropped.
  EXPECT_TRUE(queue_.Push("PRIVMSG #lab :typed", Kind::kLine, now_));
  EXPECT_TRUE(queue_.Push("PONG :x", Kind::kPong, now_));
  // Once the queue has moved on, replies are taken again.
  EXPECT_EQ(queue_.TakeDue(now_).size(), 4u);
  EXPECT_EQ(queue_.TakeDue(now_ + seconds(4)).size(), 4u);
  EXPECT_TRUE(queue_.Push("late", Kind::kReply, now_ + seconds(4)));
}

TEST_F(SendQueueTest, ReportsDropsASecondAfterTheyStop) {
  PushReplies(40);  // 6 dropped
  EXPECT_EQ(queue_.TakeDropReport(now_ + milliseconds(900)), 0u);
  EXPECT_EQ(queue_.TakeDropReport(now_ + seconds(1)), 6u);
  EXPECT_EQ(queue_.TakeDropReport(now_ + seconds(2)), 0u);
}

TEST_F(SendQueueTest, ReportsDropsThatNeverStopEveryThirtySeconds) {
  // Two replies a second against one sent a second: the queue fills, then
  // drops one reply every second without pause.
  int first_drop = -1;
  int first_report = -1;
  std::size_t dropped = 0;
  std::size_t reported = 0;
  for (int s = 0; s < 120; ++s) {
    const auto t = now_ + seconds(s);
    queue_.TakeDue(t);
    for (int i = 0; i < 2; ++i) {
      if (!queue_.Push("r", Kind::kReply, t)) {
        ++dropped;
        if (first_drop < 0) first_drop = s;
      }
    }
    const std::size_t report = queue_.TakeDropReport(t);
    if (report > 0 && first_report < 0) first_report = s;
    reported += report;
  }
  ASSERT_GE(first_drop, 0);
  EXPECT_EQ(first_report, first_drop + 30);
  EXPECT_GT(reported, 0u);
  EXPECT_LE(dropped - reported, 31u);  // at most the last 30 s are unreported
  EXPECT_EQ(queue_.TakeDropReport(now_ + seconds(200)), dropped - reported);
}

TEST_F(SendQueueTest, ResetEmptiesTheQueueAndRefillsTheBurst) {
  PushReplies(10);
  queue_.TakeDue(now_);
  queue_.Reset(now_ + seconds(1));
  EXPECT_TRUE(queue_.Empty());
  PushReplies(5, "n");
  EXPECT_THAT(queue_.TakeDue(now_ + seconds(1)), ElementsAre("n0", "n1", "n2", "n3"));
}

}  // namespace
}  // namespace zelvo
