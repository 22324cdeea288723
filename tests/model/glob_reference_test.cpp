// Checks the fast glob matcher against the plain dynamic-programming matcher
// on generated patterns and texts.
#include "fuzz/glob_reference.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "model/glob.h"

namespace zelvo {
namespace {

// Pieces drawn from a small alphabet so that patterns and texts meet often:
// wildcards, list syntax, multi-byte and malformed UTF-8.
const std::vector<std::string> kPatternPieces = {
    "a",           "b",
    "c",           "*",
    "*",           "?",
    "#",           "[",
    "]",           "!",
    "-",           "1",
    "7",           "[ab]",
    "[!a]",        "[a-c]",
    "[]",          "[!]",
    "\xC3\xA9",    "\xE2\x82\xAC",
    "\xC3",        "\xA9",
    "\xFF",        "[\xC3\xA0-\xC3\xBF]",
    "[!\xC3\xA9]", "[a\xE2\x82\xAC]",
    "[\x80-\xFF]",
};
const std::vector<std::string> kTextPieces = {
    "a",    "b",    "c",    "1",    "7", "-", "!", "[", "]", "*", "?", "\xC3\xA9", "\xE2\x82\xAC",
    "\xC3", "\xA9", "\xFF", "\r\n",
};

std::string Compose(std::mt19937& random, const std::vector<std::string>& pieces,
                    std::size_t max_pieces) {
  std::string result;
  const std::size_t count = random() % (max_pieces + 1);
  for (std::size_t i = 0; i < count; ++i) result += pieces[random() % pieces.size()];
  return result;
}

TEST(GlobReferenceTest, AgreesWithDynamicProgrammingOnGeneratedCases) {
  std::mt19937 random(20240515);
  int matched = 0;
  for (int i = 0; i < 5000; ++i) {
    const std::string pattern = Compose(random, kPatternPieces, 10);
    // Texts built from the pattern's own pieces match more often.
    std::string text = Compose(random, kTextPieces, 14);
    if (i % 3 == 0) {
      text.clear();
      for (char c : pattern)
        if (c != '*' && c != '[' && c != ']') text += c;
    }
    const bool expected = reference::ReferenceGlobMatch(text, pattern);
    ASSERT_EQ(GlobMatch(text, pattern), expected)
        << "pattern \"" << pattern << "\" text \"" << text << "\"";
    matched += expected ? 1 : 0;
  }
  // The generator must exercise both answers.
  EXPECT_GT(matched, 250);
  EXPECT_LT(matched, 4750);
}

TEST(GlobReferenceTest, AgreesOnLongSegmentsOverWordSize) {
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) {
    std::string pattern = "*";
    const int length = 60 + static_cast<int>(random() % 80);
    for (int k = 0; k < length; ++k) pattern += (random() % 4 == 0) ? "?" : "[ab]";
    pattern += (random() % 2 == 0) ? "c*" : "*";
    std::string text;
    const int text_length = static_cast<int>(random() % 200);
    for (int k = 0; k < text_length; ++k) text += "abc"[random() % (k % 40 == 39 ? 3 : 2)];
    ASSERT_EQ(GlobMatch(text, pattern), reference::ReferenceGlobMatch(text, pattern))
        << "pattern \"" << pattern << "\" text \"" << text << "\"";
  }
}

}  // namespace
}  // namespace zelvo
