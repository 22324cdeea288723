// The glob test used for triggers, channel and sender patterns: the whole text
// against the whole pattern. "*" any run of characters (line ends included),
// "?" one character, "#" one decimal digit, "[list]" one character of the list
// (ranges "a-z"), "[!list]" one character not in it; anything else matches
// itself by code. Texts are UTF-8; "?" and lists take one code point. The
// running time is linear in the text's length for any fixed pattern.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

class GlobPattern {
 public:
  explicit GlobPattern(std::string_view pattern);
  bool Matches(std::string_view text) const;

  struct Token;  // one single-character matcher; defined in glob.cpp

 private:
  struct Segment;  // single-character matchers between two "*"
  std::vector<Segment> segments_;
  bool leading_star_ = false;
  bool trailing_star_ = false;
};

bool GlobMatch(std::string_view text, std::string_view pattern);

// Lower-cases ASCII and Latin-1 letters of a UTF-8 text; other bytes stay.
std::string LowerLatin1(std::string_view text);

}  // namespace zelvo
