// The glob test used for triggers and sender patterns: the whole text against
// the whole pattern. "*" any run of characters (line ends included), "?" one
// character, "#" one decimal digit (0-9), "[list]" one character of the list
// (ranges "a-z"), "[!list]" one character not in it; anything else matches
// itself by code point, so letter case counts.
//
// Lists follow the classic BASIC rules: "*", "?", "#" and "[" stand for
// themselves inside a list; "-" is literal at the start (after "!") or end of
// a list; "]" closes the list and cannot be a member. "[]" matches no
// character at all (zero length), "[!]" any one character, a range whose
// start lies above its end no character, and a "[" without a closing "]"
// stands for itself.
//
// Texts are UTF-8: "?" and lists take one code point. A byte that does not
// start a well-formed sequence counts as one character of its own.
//
// The running time is linear in the text's length for any fixed pattern: the
// pattern is split at "*" into segments of single-character matchers; the
// first and last segments are anchored, each middle one is placed leftmost
// (literal segments by substring search, the others by a bit-parallel scan).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

class GlobPattern {
 public:
  explicit GlobPattern(std::string_view pattern);
  bool Matches(std::string_view text) const;

  // Whether some text made of `head`, then characters none of which is in
  // `excluded` (ASCII), then `tail` matches. Each single-character matcher
  // is given a character it accepts, and the text so built must pass Matches;
  // false when no such text exists.
  bool CanMatchBetween(std::string_view head, std::string_view tail,
                       std::string_view excluded = {}) const;

  // Where a text fails the pattern, told by the same segment matcher.
  // The pieces are the parts of the pattern between "*" (empty ones between
  // "**" left out); `piece` is the one that could not be placed, `begin` and
  // `end` its bytes in the pattern. Matching stopped at byte `text_pos` of
  // the text and byte `pattern_pos` of the pattern (`end` when the whole
  // piece matched). For the first piece, anchored at the start, that is the
  // first character it does not match; for a middle piece or a last piece
  // found nowhere, the furthest that any placement from where the search
  // began gets. With `must_end` set the piece matched whole, ending at
  // `text_pos`, but the text goes on although it must end there (the last
  // piece; a pattern without "*" is one piece anchored at both ends).
  struct Stop {
    bool matched = false;
    std::size_t piece = 0;
    std::size_t pieces = 1;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t text_pos = 0;
    std::size_t pattern_pos = 0;
    bool must_end = false;
  };
  Stop WhereMatchingStops(std::string_view text) const;

  // One single-character matcher.
  struct Token {
    enum Kind : std::uint8_t { kLiteral, kAny, kDigit, kClass };
    Kind kind = kLiteral;
    bool negated = false;           // kClass: "[!list]"
    std::uint32_t code = 0;         // kLiteral: the character's code
    std::uint32_t first_range = 0;  // kClass: index into the pattern's ranges
    std::uint32_t range_count = 0;
  };

 private:
  struct Range {
    std::uint32_t low;
    std::uint32_t high;
  };
  // The single-character matchers between two "*" (or an end of the pattern).
  struct Segment {
    std::uint32_t first_token = 0;
    std::uint32_t token_count = 0;
    // Set when every token is a literal of a well-formed character: the
    // segment is then compared as bytes (literal_offset into literals_).
    bool plain_literal = false;
    std::uint32_t literal_offset = 0;
    std::uint32_t literal_size = 0;
    // Bit-parallel search tables of a middle segment that is not a plain
    // literal, `words` 64-bit words per mask, from mask_offset in masks_:
    // 128 ASCII masks, the mask of tokens matching every non-ASCII character,
    // then one mask per non-ASCII literal code (codes sorted in codes_ from
    // code_offset). Lists that need a test per non-ASCII character are in
    // special_tokens_ from special_offset.
    std::uint32_t mask_offset = 0;
    std::uint32_t words = 0;
    std::uint32_t code_offset = 0;
    std::uint32_t code_count = 0;
    std::uint32_t special_offset = 0;
    std::uint32_t special_count = 0;
  };

  bool TokenMatches(const Token& token, std::uint32_t code) const;
  // Matches `segment` at byte `pos`; returns the end, or npos.
  std::size_t MatchAt(const Segment& segment, std::string_view text, std::size_t pos) const;
  // Matches `segment` so that it ends the text; returns its start, or npos.
  std::size_t MatchEnd(const Segment& segment, std::string_view text) const;
  // Leftmost occurrence of `segment` in text starting at or after `pos`;
  // returns its end, or npos.
  std::size_t FindFrom(const Segment& segment, std::string_view text, std::size_t pos) const;
  std::size_t ScanFrom(const Segment& segment, std::string_view text, std::size_t pos) const;
  void BuildTables(Segment& segment);

  std::vector<Token> tokens_;
  std::vector<Range> ranges_;
  std::vector<Segment> segments_;  // without "*": exactly one
  std::string literals_;
  std::vector<std::uint64_t> masks_;
  std::vector<std::uint32_t> codes_;
  std::vector<std::uint32_t> special_tokens_;
  bool has_star_ = false;

  struct Span {
    std::uint32_t begin;
    std::uint32_t end;
  };
  std::vector<Span> spans_;                  // each segment's bytes in the pattern
  std::vector<std::uint32_t> token_starts_;  // each token's first byte in the pattern
};

bool GlobMatch(std::string_view text, std::string_view pattern);

// Lower-cases ASCII and Latin-1 letters of a UTF-8 text (U+00C0..U+00DE except
// U+00D7); every other byte stays as it is.
std::string LowerLatin1(std::string_view text);

}  // namespace zelvo
