#include "model/glob.h"

#include <gtest/gtest.h>

#include <string>

namespace zelvo {
namespace {

struct GlobCase {
  std::string pattern;
  std::string text;
  bool matches;
};

std::ostream& operator<<(std::ostream& out, const GlobCase& c) {
  return out << "pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
}

std::string Repeat(std::string_view piece, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += piece;
  return result;
}

class GlobTableTest : public testing::TestWithParam<GlobCase> {};

TEST_P(GlobTableTest, MatchesWholeTextAgainstWholePattern) {
  const GlobCase& c = GetParam();
  EXPECT_EQ(GlobMatch(c.text, c.pattern), c.matches);
  // A compiled pattern gives the same answer, also when used again.
  const GlobPattern compiled(c.pattern);
  EXPECT_EQ(compiled.Matches(c.text), c.matches);
  EXPECT_EQ(compiled.Matches(c.text), c.matches);
}

INSTANTIATE_TEST_SUITE_P(Literals, GlobTableTest,
                         testing::Values(GlobCase{"", "", true}, GlobCase{"", "a", false},
                                         GlobCase{"abc", "abc", true},
                                         GlobCase{"abc", "abcd", false},
                                         GlobCase{"abc", "ab", false},
                                         GlobCase{"ABC", "abc", false}, GlobCase{"]", "]", true},
                                         GlobCase{"!", "!", true}, GlobCase{"a-b", "a-b", true},
                                         GlobCase{"line\r\n", "line\r\n", true}));

INSTANTIATE_TEST_SUITE_P(
    Wildcards, GlobTableTest,
    testing::Values(GlobCase{"*", "", true}, GlobCase{"*", "anything\r\n", true},
                    GlobCase{"**", "", true}, GlobCase{"*?", "", false}, GlobCase{"*?", "x", true},
                    GlobCase{"a?c", "abc", true}, GlobCase{"a?c", "ac", false},
                    GlobCase{"a?c", "abbc", false}, GlobCase{"#", "5", true},
                    GlobCase{"#", "a", false}, GlobCase{"##", "12", true},
                    GlobCase{"#", "\xD9\xA1", false},  // Arabic one
                    GlobCase{"a*", "a", true}, GlobCase{"*a", "ba", true},
                    GlobCase{"*a", "ab", false}, GlobCase{"a*b*c", "aXbYc", true},
                    GlobCase{"a*b*c", "aXcYb", false}, GlobCase{"a*a", "a", false},
                    GlobCase{"a*a", "aa", true}, GlobCase{"ab*ba", "aba", false},
                    GlobCase{"ab*ba", "abba", true}, GlobCase{"a*b", "a\r\nb", true},
                    GlobCase{"*Disco On", "x Disco On\r\n", false},
                    GlobCase{"*Disco On*", "x Disco On\r\n", true},
                    GlobCase{"*a?c*", "xxabcxx", true}, GlobCase{"*#-#*", "555-1234", true},
                    GlobCase{"*#-#*", "555 1234", false}, GlobCase{"*?b", "ab", true},
                    GlobCase{"*[0-9]#", "x12", true}, GlobCase{"*[0-9]#", "x1a", false},
                    GlobCase{"*PRIVMSG*!saft*", ":a!b@c PRIVMSG #lab :!saft\r\n", true},
                    GlobCase{"*PRIVMSG*!saft*", ":a!b@c PRIVMSG #lab :saft\r\n", false}));

INSTANTIATE_TEST_SUITE_P(
    Lists, GlobTableTest,
    testing::Values(
        GlobCase{"[abc]", "b", true}, GlobCase{"[abc]", "d", false}, GlobCase{"[a-z]", "m", true},
        GlobCase{"[a-z]", "M", false}, GlobCase{"[!a-z]", "M", true},
        GlobCase{"[!a-z]", "m", false}, GlobCase{"[A-CX-Z]", "Y", true},
        GlobCase{"[A-CX-Z]", "D", false}, GlobCase{"[-a]", "-", true}, GlobCase{"[a-]", "-", true},
        GlobCase{"[!-]", "-", false}, GlobCase{"[!-]", "a", true}, GlobCase{"[a-c-e]", "-", true},
        GlobCase{"[a-c-e]", "d", false}, GlobCase{"[*]", "*", true}, GlobCase{"[*]", "a", false},
        GlobCase{"[?]", "?", true}, GlobCase{"[?]", "x", false}, GlobCase{"[#]", "#", true},
        GlobCase{"[#]", "1", false}, GlobCase{"[[]", "[", true}, GlobCase{"[!!]", "!", false},
        GlobCase{"[!!]", "a", true}, GlobCase{"[]", "", true}, GlobCase{"[]", "a", false},
        GlobCase{"a[]b", "ab", true}, GlobCase{"[!]", "x", true}, GlobCase{"[!]", "", false},
        GlobCase{"[z-a]", "m", false}, GlobCase{"[z-a]", "z", false},
        GlobCase{"[abc", "[abc", true}, GlobCase{"[abc", "a", false},
        GlobCase{"*[!x]*[ab]", "xxyxb", true}, GlobCase{"*[!x]*[ab]", "xxxb", false}));

INSTANTIATE_TEST_SUITE_P(
    Utf8, GlobTableTest,
    testing::Values(GlobCase{"?", "\xC3\xA9", true},          // é: one character
                    GlobCase{"??", "\xC3\xA9", false},        //
                    GlobCase{"?", "\xE2\x82\xAC", true},      // €
                    GlobCase{"?", "\xF0\x9F\x98\x80", true},  // a four-byte character
                    GlobCase{"a?c",
                             "a\xC3\xA9"
                             "c",
                             true},                            //
                    GlobCase{"[\xC3\xA9]", "\xC3\xA9", true},  //
                    GlobCase{"[\xC3\xA0-\xC3\xBF]", "\xC3\xA9", true},
                    GlobCase{"[\xC3\xA0-\xC3\xBF]", "e", false},
                    GlobCase{"[!\xC3\xA9]", "\xC3\xA9", false},  //
                    GlobCase{"[!\xC3\xA9]", "e", true},          //
                    GlobCase{"*\xC3\xA9*", "caf\xC3\xA9x", true},
                    GlobCase{"*?\xC3\xA9", "a\xC3\xA9", true},  //
                    GlobCase{"*\xC3\xA9?",
                             "\xC3\xA9"
                             "a",
                             true},
                    GlobCase{"*[\xC3\xA0-\xC3\xBF]?*", "xy\xC3\xA9z", true},
                    GlobCase{"*[\xC3\xA0-\xC3\xBF]?*", "xy\xC3\xA9", false},
                    GlobCase{"\xC3\xA9", "\xC3\x89", false}));  // case counts: é against É

INSTANTIATE_TEST_SUITE_P(
    InvalidBytes, GlobTableTest,
    testing::Values(GlobCase{"?", "\xFF", true}, GlobCase{"??", "\xC3(", true},
                    GlobCase{"\xC3?", "\xC3\xA9", false},  // a lone lead byte is not é
                    GlobCase{"*\xA9", "\xC3\xA9", false},  // nor is the tail of é
                    GlobCase{"*\xA9", "a\xA9", true},      //
                    GlobCase{"?\xA9", "\xC3\xA9", false},  //
                    GlobCase{"*\xA9*", "\xC3\xA9\xC3\xA9", false},
                    GlobCase{"???", "\xED\xA0\x80", true},  // a surrogate is three bytes
                    GlobCase{"?", "\xED\xA0\x80", false},   //
                    GlobCase{"??", "\xC0\xAF", true},       // overlong form: two bytes
                    GlobCase{"??", "\xE2\x82", true},       // cut-off sequence
                    GlobCase{"[\x80-\xFF]", "\xFF", true},  //
                    GlobCase{"[\x80-\xFF]", "\xC3\xA9", false},
                    GlobCase{"*?\xE2\x82", "a\xE2\x82", true},
                    GlobCase{"*\xE2\x82?*", "x\xE2\x82\xAC", false}));

// Patterns that make a backtracking matcher take exponential time; the answer
// must still be right.
INSTANTIATE_TEST_SUITE_P(
    Adversarial, GlobTableTest,
    testing::Values(
        GlobCase{Repeat("a*", 16) + "b", std::string(512, 'a'), false},
        GlobCase{Repeat("a*", 16) + "a", std::string(512, 'a'), true},
        GlobCase{"*a*a*a*a*a*a*b", std::string(510, 'a'), false},
        GlobCase{"*a*a*a*a*a*a*b", std::string(509, 'a') + "b", true},
        GlobCase{"*?*?*?*?*x", std::string(510, 'y'), false},
        GlobCase{"*?*?*?*?*x", std::string(509, 'y') + "x", true},
        GlobCase{"*?*?*?*?*x", "yyx", false},
        GlobCase{"*" + std::string(63, 'a') + "b*", std::string(510, 'a'), false},
        // Found only after many near misses.
        GlobCase{"*" + std::string(63, 'a') + "b*",
                 std::string(400, 'a') + "b" + std::string(99, 'a'), true},
        GlobCase{"*" + std::string(63, 'a') + "b*",
                 Repeat(std::string(62, 'a') + "b", 8) + std::string(63, 'a') + "b", true},
        GlobCase{"*" + std::string(63, 'a') + "b*", Repeat(std::string(62, 'a') + "b", 9), false},
        GlobCase{"*" + Repeat("a?", 40) + "*", std::string(80, 'a'), true},
        GlobCase{"*" + Repeat("a?", 40) + "*", std::string(79, 'a'), false},
        // Segments longer than one machine word.
        GlobCase{"*" + std::string(100, '?') + "b*", std::string(200, 'a') + "b", true},
        GlobCase{"*" + std::string(100, '?') + "b*",
                 std::string(50, 'a') + "b" + std::string(100, 'a'), false},
        GlobCase{"*" + Repeat("[ab]", 70) + "c*", Repeat("ab", 40) + "c", true},
        GlobCase{"*" + Repeat("[ab]", 70) + "c*", Repeat("ab", 30) + "c", false}));

// Where matching stops: "piece/pieces [begin,end) text T pattern P", " end"
// when the piece must reach the text's end, or "matched".
struct StopCase {
  std::string pattern;
  std::string text;
  std::string stop;
};

class GlobStopTest : public testing::TestWithParam<StopCase> {};

TEST_P(GlobStopTest, TellsThePieceAndPlaceWhereMatchingStops) {
  const GlobPattern::Stop s = GlobPattern(GetParam().pattern).WhereMatchingStops(GetParam().text);
  const auto n = [](std::size_t v) { return std::to_string(v); };
  EXPECT_EQ(s.matched
                ? "matched"
                : n(s.piece) + "/" + n(s.pieces) + " [" + n(s.begin) + "," + n(s.end) + ") text " +
                      n(s.text_pos) + " pattern " + n(s.pattern_pos) + (s.must_end ? " end" : ""),
            GetParam().stop);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GlobStopTest,
    testing::Values(StopCase{"abc", "abc", "matched"}, StopCase{"*b#c*", "ab1cd", "matched"},
                    StopCase{"abc", "abd", "0/1 [0,3) text 2 pattern 2"},
                    StopCase{"abc", "abcd", "0/1 [0,3) text 3 pattern 3 end"},
                    StopCase{"*b#c", "ab1cd", "1/2 [1,4) text 4 pattern 4 end"},
                    StopCase{"*b#c*", "abxc", "1/3 [1,4) text 2 pattern 2"},
                    StopCase{"a**[xy]z*", "aq", "1/3 [3,8) text 1 pattern 3"},
                    StopCase{"ab*c", "abd", "1/2 [3,4) text 2 pattern 3"}));

struct LowerCase {
  std::string text;
  std::string lowered;
};

class LowerLatin1Test : public testing::TestWithParam<LowerCase> {};

TEST_P(LowerLatin1Test, LowersAsciiAndLatin1LettersOnly) {
  EXPECT_EQ(LowerLatin1(GetParam().text), GetParam().lowered);
}

INSTANTIATE_TEST_SUITE_P(Texts, LowerLatin1Test,
                         testing::Values(LowerCase{"ABC xyz 09 :@!", "abc xyz 09 :@!"},
                                         LowerCase{"\xC3\x80\xC3\x89\xC3\x96\xC3\x9E",
                                                   "\xC3\xA0\xC3\xA9\xC3\xB6\xC3\xBE"},
                                         LowerCase{"\xC3\x97", "\xC3\x97"},  // multiplication sign
                                         LowerCase{"\xC3\x9F", "\xC3\x9F"},  // sharp s
                                         LowerCase{"\xC5\xB8", "\xC5\xB8"},  // Y with diaeresis
                                         LowerCase{"\xC3", "\xC3"},          // cut off at the end
                                         LowerCase{"\xC3"
                                                   "A",
                                                   "\xC3"
                                                   "a"},  // lone lead byte
                                         LowerCase{"\xC3\xC3\x80", "\xC3\xC3\xA0"},  //
                                         LowerCase{"\x80\x9E", "\x80\x9E"}));        // no lead byte

}  // namespace
}  // namespace zelvo
