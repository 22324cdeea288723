#include "model/visible_text.h"

#include <gtest/gtest.h>

namespace zelvo {
namespace {

struct Case {
  std::string name;
  std::string in;
  std::string out;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class VisibleTextTest : public ::testing::TestWithParam<Case> {};

TEST_P(VisibleTextTest, ShowsControlCharactersVisibly) {
  EXPECT_EQ(VisibleControlText(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VisibleTextTest,
    ::testing::Values(
        Case{"Plain", ":a!~a@h PRIVMSG #z :hi there\r\n", ":a!~a@h PRIVMSG #z :hi there\r\n"},
        Case{"Empty", "", ""},
        Case{"TabAndLineEndsStay", "a\tb\r\nc\nd\r\n\r\n", "a\tb\r\nc\nd\r\n\r\n"},
        Case{"TerminalTitle", "\x1b]0;owned\x07\r\n", "\\x1b]0;owned\\x07\r\n"},
        Case{"ClearScreen", "\x1b[2J\x1b[H", "\\x1b[2J\\x1b[H"},
        Case{"LoneCarriageReturn", "good\rfake\r", "good\\x0dfake\\x0d"},
        Case{"CarriageReturnBeforeCarriageReturnLineFeed", "a\r\r\n", "a\\x0d\r\n"},
        Case{"NulBackspaceDelete", std::string("a\0b\x08\x7f", 5), "a\\x00b\\x08\\x7f"},
        Case{"FormFeedVerticalTab", "\x0c\x0b", "\\x0c\\x0b"},
        Case{"Utf8KeepsLetters", "Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC",
             "Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC"},
        Case{"Utf8C1Controls",
             "a\xC2\x9B"
             "31mb\xC2\x85\xC2\xA0",
             "a\\u009b31mb\\u0085\xC2\xA0"},
        Case{"Latin1C1Controls",
             "\xE4\x9B"
             "31m\x85\xFF",
             "\xE4\\u009b31m\\u0085\xFF"},
        Case{"InvalidUtf8IsReadAsLatin1", "\xC3\xBC\xC2\x9B\xC3", "\xC3\xBC\xC2\\u009b\xC3"},
        Case{"OverlongFormIsNotUtf8", "\xC0\x9B", "\xC0\\u009b"}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace zelvo
