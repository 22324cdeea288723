#include "irc/line_framer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zelvo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(LineFramerTest, HandsOutEachCompleteLineWithItsLineEnd) {
  LineFramer framer;
  EXPECT_THAT(framer.Feed(":a!~a@h PRIVMSG #lab :one\r\n:b!~b@h PRIVMSG #lab :two\r\n"),
              ElementsAre(":a!~a@h PRIVMSG #lab :one\r\n", ":b!~b@h PRIVMSG #lab :two\r\n"));
  EXPECT_EQ(framer.BufferedBytes(), 0u);
}

TEST(LineFramerTest, JoinsALineSplitAcrossReads) {
  LineFramer framer;
  EXPECT_THAT(framer.Feed(":alice!~al@host PRIVMSG #lab :Dis"), IsEmpty());
  EXPECT_THAT(framer.Feed("co On\r"), IsEmpty());
  EXPECT_THAT(framer.Feed("\n:bob"), ElementsAre(":alice!~al@host PRIVMSG #lab :Disco On\r\n"));
  EXPECT_THAT(framer.Feed("!~b@h PING x\r\n"), ElementsAre(":bob!~b@h PING x\r\n"));
}

TEST(LineFramerTest, AcceptsBareLineFeeds) {
  LineFramer framer;
  EXPECT_THAT(framer.Feed("PING :1\nPING :2\n"), ElementsAre("PING :1\n", "PING :2\n"));
}

TEST(LineFramerTest, ResetForgetsAPartialLine) {
  LineFramer framer;
  framer.Feed("half a li");
  framer.Reset();
  EXPECT_THAT(framer.Feed("ne\r\n"), ElementsAre("ne\r\n"));
}

TEST(LineFramerTest, KeepsALineOfExactlyTheLimitArrivingInPieces) {
  LineFramer framer;
  const std::string body(kMaxTaggedLineBytes - 2, 'x');
  EXPECT_THAT(framer.Feed(body.substr(0, 5000)), IsEmpty());
  EXPECT_THAT(framer.Feed(body.substr(5000)), IsEmpty());
  EXPECT_THAT(framer.Feed("\r\n"), ElementsAre(body + "\r\n"));
  EXPECT_EQ(framer.TakeDroppedCount(), 0u);
}

TEST(LineFramerTest, DropsAPartialLineOverTheLimitAndItsRest) {
  LineFramer framer;
  const std::string body(kMaxTaggedLineBytes - 2, 'x');
  // 8701 bytes and CR: with its line feed the line would be one byte too long.
  EXPECT_THAT(framer.Feed(body), IsEmpty());
  EXPECT_EQ(framer.BufferedBytes(), kMaxTaggedLineBytes - 2);
  EXPECT_THAT(framer.Feed("x\r"), IsEmpty());
  EXPECT_EQ(framer.BufferedBytes(), 0u);
  EXPECT_EQ(framer.TakeDroppedCount(), 1u);
  EXPECT_EQ(framer.TakeDroppedCount(), 0u);
  // The tail of the dropped line is no line of its own; the next one is.
  EXPECT_THAT(framer.Feed("tail\r\nPING :7\r\n"), ElementsAre("PING :7\r\n"));
}

TEST(LineFramerTest, NeverBuffersMoreThanTheLimitWhateverArrives) {
  LineFramer framer;
  const std::string chunk(4096, 'y');
  for (int i = 0; i < 100; ++i) {
    EXPECT_THAT(framer.Feed(chunk), IsEmpty());
    EXPECT_LE(framer.BufferedBytes(), kMaxTaggedLineBytes);
  }
  EXPECT_EQ(framer.TakeDroppedCount(), 1u);  // one line, however long
  EXPECT_THAT(framer.Feed("\nok\n"), ElementsAre("ok\n"));
}

TEST(LineFramerTest, DropsAnOverLongLineThatArrivesComplete) {
  LineFramer framer;
  const std::string huge(kMaxTaggedLineBytes + 10, 'z');
  EXPECT_THAT(framer.Feed("a\r\n" + huge + "\r\nb\r\n"), ElementsAre("a\r\n", "b\r\n"));
  EXPECT_EQ(framer.TakeDroppedCount(), 1u);
}

}  // namespace
}  // namespace zelvo
