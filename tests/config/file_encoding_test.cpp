#include "config/file_encoding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zelvo {
namespace {

struct Row {
  std::string bytes;
  std::vector<int> lines;
};

class FileEncodingTest : public ::testing::TestWithParam<Row> {};

TEST_P(FileEncodingTest, NamesTheLinesWithUtf8) {
  EXPECT_EQ(FindMisreadUtf8(GetParam().bytes).lines, GetParam().lines);
}

const std::string kLatin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
INSTANTIATE_TEST_SUITE_P(
    Files, FileEncodingTest,
    ::testing::Values(Row{kLatin1 + "<a>T\xC3\xBCr</a>\n<b/>\n<c>\xE2\x82\xAC \xC3\xA9</c>",
                          {2, 4}},
                      Row{kLatin1 + "<a>T\xFCr \xC3</a>", {}},  // Latin-1 bytes only
                      Row{"<?xml version='1.0' encoding='utf-8'?>\n<a>T\xC3\xBCr</a>", {}},
                      Row{"<?xml version=\"1.0\"?>\n<a>T\xC3\xBCr</a>", {}}));

}  // namespace
}  // namespace zelvo
