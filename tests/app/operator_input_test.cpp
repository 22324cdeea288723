// The operator's lines as the headless bot splits its input into them.
#include "app/operator_input.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace zelvo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Lines end at LF (a CR before it dropped), even across reads; an overlong
// line is cut; the end of input gives the unfinished last line, if any.
TEST(InputLinesTest, SplitsAtLineFeedsAcrossReads) {
  InputLines lines;
  EXPECT_THAT(lines.Feed("Disco On\r\nDisco Off\n\nDis"), ElementsAre("Disco On", "Disco Off", ""));
  EXPECT_THAT(lines.Feed("co O"), IsEmpty());
  EXPECT_THAT(lines.Feed("n\nlast words"), ElementsAre("Disco On"));
  EXPECT_THAT(lines.Finish(), ElementsAre("last words"));
  EXPECT_THAT(lines.Finish(), IsEmpty());
  const std::string kLong(InputLines::kMaxLineBytes, 'x');
  EXPECT_THAT(lines.Feed(kLong + "yyyy"), IsEmpty());
  EXPECT_THAT(lines.Feed("zz\nnext\n"), ElementsAre(kLong, "next"));
}

TEST(OperatorInput, TerminalsPipesAndSocketsAreInputsNullAndFilesAreNot) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const int null_fd = open("/dev/null", O_RDONLY);
  EXPECT_TRUE(IsOperatorInput(pipe_fds[0]));
  EXPECT_FALSE(IsOperatorInput(null_fd));
  EXPECT_FALSE(IsOperatorInput(-1));
  for (const int fd : {pipe_fds[0], pipe_fds[1], null_fd}) close(fd);
}

}  // namespace
}  // namespace zelvo
