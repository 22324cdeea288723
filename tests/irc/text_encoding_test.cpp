#include "irc/text_encoding.h"

#include <gtest/gtest.h>

namespace zelvo {
namespace {

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
};

class IsValidUtf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(IsValidUtf8Test, ClassifiesBytes) {
  EXPECT_EQ(IsValidUtf8(GetParam().bytes), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(Table, IsValidUtf8Test,
                         ::testing::Values(Utf8Case{"Empty", "", true},
                                           Utf8Case{"Ascii", "PRIVMSG #lab :hi\r\n", true},
                                           Utf8Case{"TwoByte", "gr\xC3\xBC\xC3\x9F", true},
                                           Utf8Case{"ThreeByte", "\xE2\x82\xAC", true},
                                           Utf8Case{"FourByte", "\xF0\x9F\x98\x80", true},
                                           Utf8Case{"Latin1Umlaut", "gr\xFC\xDF", false},
                                           Utf8Case{"LoneContinuation", "\x80", false},
                                           Utf8Case{"TruncatedAtEnd", "ab\xC3", false},
                                           Utf8Case{"BadContinuation", "\xC3\x41", false},
                                           Utf8Case{"OverlongSlash", "\xC0\xAF", false},
                                           Utf8Case{"OverlongThreeByte", "\xE0\x80\xAF", false},
                                           Utf8Case{"Surrogate", "\xED\xA0\x80", false},
                                           Utf8Case{"AboveUnicode", "\xF4\x90\x80\x80", false},
                                           Utf8Case{"FiveByteLead", "\xF8\x88\x80\x80\x80", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Latin1ToUtf8Test, WidensHighBytesAndKeepsAscii) {
  EXPECT_EQ(Latin1ToUtf8("Disco On\r\n"), "Disco On\r\n");
  EXPECT_EQ(Latin1ToUtf8("gr\xFC\xDF \xA0\xFF"), "gr\xC3\xBC\xC3\x9F \xC2\xA0\xC3\xBF");
}

TEST(ReceivedLineToUtf8Test, KeepsValidUtf8AndConvertsTheRest) {
  EXPECT_EQ(ReceivedLineToUtf8("f\xC3\xBCr\r\n"), "f\xC3\xBCr\r\n");
  // "fÃ¼r" typed in ISO-8859-1: valid as neither, so every byte is Latin-1.
  EXPECT_EQ(ReceivedLineToUtf8("f\xFCr\r\n"), "f\xC3\xBCr\r\n");
}

TEST(RemoveLineBreaksTest, RemovesCrLfAndNulOnly) {
  EXPECT_EQ(RemoveLineBreaks(std::string("a\rb\nc\0d\te", 9)), "abcd\te");
  EXPECT_EQ(RemoveLineBreaks("x\r\nQUIT :bye"), "xQUIT :bye");
}

}  // namespace
}  // namespace zelvo
