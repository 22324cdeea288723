// The operator's lines as the headless bot splits its input into them.
#include "app/operator_input.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace zelvo {
namespace {

struct SplitCase {
  const char* name;
  std::vector<std::string> chunks;  // fed one after the other
  bool finish;                      // then the end of input
  std::vector<std::string> lines;
};

class InputLinesTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(InputLinesTest, SplitsAtLineFeedsAcrossReads) {
  InputLines splitter;
  std::vector<std::string> lines;
  for (const std::string& chunk : GetParam().chunks) {
    for (std::string& line : splitter.Feed(chunk)) lines.push_back(std::move(line));
  }
  if (GetParam().finish) {
    for (std::string& line : splitter.Finish()) lines.push_back(std::move(line));
  }
  EXPECT_EQ(lines, GetParam().lines);
}

const std::string kLong(InputLines::kMaxLineBytes, 'x');

INSTANTIATE_TEST_SUITE_P(
    Inputs, InputLinesTest,
    ::testing::Values(
        SplitCase{"TwoLines", {"Disco On\nDisco Off\n"}, false, {"Disco On", "Disco Off"}},
        SplitCase{"CrLf", {"Disco On\r\n"}, false, {"Disco On"}},
        SplitCase{"SplitAcrossReads", {"Dis", "co O", "n\nrest"}, false, {"Disco On"}},
        SplitCase{"EmptyLine", {"\n"}, false, {""}},
        SplitCase{"UnfinishedAtTheEnd", {"last words"}, true, {"last words"}},
        SplitCase{"NothingLeftAtTheEnd", {"done\n"}, true, {"done"}},
        SplitCase{"OverlongCut", {kLong + "yyyy", "zz\nnext\n"}, false, {kLong, "next"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OperatorInput, TerminalsPipesAndSocketsAreInputsNullAndFilesAreNot) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  EXPECT_TRUE(IsOperatorInput(pipe_fds[0]));
  close(pipe_fds[0]);
  close(pipe_fds[1]);
  const int null_fd = open("/dev/null", O_RDONLY);
  EXPECT_FALSE(IsOperatorInput(null_fd));
  close(null_fd);
  EXPECT_FALSE(IsOperatorInput(-1));
}

}  // namespace
}  // namespace zelvo
