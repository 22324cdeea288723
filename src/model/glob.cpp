#include "model/glob.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace zelvo {
namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

// Codes of characters that are a single byte outside any well-formed
// sequence: above every Unicode code point, so they only equal themselves.
constexpr std::uint32_t kLoneByte = 0x110000;

constexpr std::uint32_t kAsciiCount = 128;

inline bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

struct Char {
  std::uint32_t code;
  std::uint32_t size;  // bytes
};

// Decodes the character at byte `i` (< s.size()). Only well-formed UTF-8
// sequences (no overlong forms, no surrogates, nothing above U+10FFFF) are
// taken whole; any other byte is one character by itself.
inline Char DecodeAt(std::string_view s, std::size_t i) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + i;
  const std::size_t available = s.size() - i;
  const std::uint32_t b0 = p[0];
  if (b0 < 0x80) return {b0, 1};
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    if (available >= 2 && IsContinuation(p[1])) return {((b0 & 0x1F) << 6) | (p[1] & 0x3Fu), 2};
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    const unsigned low = b0 == 0xE0 ? 0xA0 : 0x80;
    const unsigned high = b0 == 0xED ? 0x9F : 0xBF;
    if (available >= 3 && p[1] >= low && p[1] <= high && IsContinuation(p[2]))
      return {((b0 & 0x0F) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu), 3};
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    const unsigned low = b0 == 0xF0 ? 0x90 : 0x80;
    const unsigned high = b0 == 0xF4 ? 0x8F : 0xBF;
    if (available >= 4 && p[1] >= low && p[1] <= high && IsContinuation(p[2]) &&
        IsContinuation(p[3]))
      return {((b0 & 0x07) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu),
              4};
  }
  return {kLoneByte + b0, 1};
}

// Start of the character that ends at `end` (> 0), a character boundary of s.
// A byte that is not a continuation byte always starts a character, so the
// nearest one within the last four bytes decides.
inline std::size_t PreviousStart(std::string_view s, std::size_t end) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  if (!IsContinuation(p[end - 1])) return end - 1;
  for (std::size_t back = 2; back <= 4 && back <= end; ++back) {
    const std::size_t start = end - back;
    if (!IsContinuation(p[start]))
      return DecodeAt(s.substr(0, end), start).size == back ? start : end - 1;
  }
  return end - 1;
}

// Leftmost occurrence of `needle` (size >= 1) in `haystack`, or null. Checks
// the places where the first byte occurs; once that has cost more than a few
// passes over the text, a linear-time substring search takes over.
const char* FindLiteral(const char* haystack, std::size_t size, const char* needle,
                        std::size_t needle_size) {
  if (needle_size > size) return nullptr;
  const char* const last = haystack + (size - needle_size);
  std::size_t budget = 4 * size + 64;
  for (const char* p = haystack; p <= last; ++p) {
    p = static_cast<const char*>(std::memchr(p, needle[0], static_cast<std::size_t>(last - p) + 1));
    if (p == nullptr) return nullptr;
    if (std::memcmp(p + 1, needle + 1, needle_size - 1) == 0) return p;
    if (budget < needle_size) {
      return static_cast<const char*>(
          memmem(p + 1, static_cast<std::size_t>(haystack + size - p - 1), needle, needle_size));
    }
    budget -= needle_size;
  }
  return nullptr;
}

// A small buffer of 64-bit words that stays on the stack for short segments.
class WordBuffer {
 public:
  explicit WordBuffer(std::size_t words) {
    if (words > local_.size()) heap_.resize(words);
    data_ = words > local_.size() ? heap_.data() : local_.data();
  }
  std::uint64_t* data() { return data_; }

 private:
  std::array<std::uint64_t, 4> local_{};
  std::vector<std::uint64_t> heap_;
  std::uint64_t* data_;
};

}  // namespace

GlobPattern::GlobPattern(std::string_view pattern) {
  Segment current;
  std::string literal;  // bytes of the current segment while it is a plain literal
  bool plain = true;
  std::vector<Segment> all;
  std::vector<Span> all_spans;
  std::size_t piece_start = 0;

  std::size_t i = 0;  // the pattern byte being read
  auto add = [&](Token token, std::string_view bytes) {
    token_starts_.push_back(static_cast<std::uint32_t>(i));
    if (token.kind == Token::kLiteral && token.code < kLoneByte)
      literal.append(bytes);
    else
      plain = false;
    tokens_.push_back(token);
  };
  auto finish_segment = [&](std::size_t end) {
    current.token_count = static_cast<std::uint32_t>(tokens_.size()) - current.first_token;
    current.plain_literal = plain;
    if (plain) {
      current.literal_offset = static_cast<std::uint32_t>(literals_.size());
      current.literal_size = static_cast<std::uint32_t>(literal.size());
      literals_ += literal;
    }
    all.push_back(current);
    all_spans.push_back({static_cast<std::uint32_t>(piece_start), static_cast<std::uint32_t>(end)});
    piece_start = end + 1;
    current = Segment{};
    current.first_token = static_cast<std::uint32_t>(tokens_.size());
    literal.clear();
    plain = true;
  };

  std::vector<std::uint32_t> items;
  while (i < pattern.size()) {
    const Char c = DecodeAt(pattern, i);
    Token token;
    switch (c.code) {
      case '*':
        has_star_ = true;
        finish_segment(i);
        ++i;
        continue;
      case '?':
        token.kind = Token::kAny;
        add(token, {});
        ++i;
        continue;
      case '#':
        token.kind = Token::kDigit;
        add(token, {});
        ++i;
        continue;
      case '[': {
        std::size_t start = i + 1;
        const bool negated = start < pattern.size() && pattern[start] == '!';
        if (negated) ++start;
        const std::size_t close = pattern.find(']', start);
        if (close == kNotFound) break;  // no list: "[" stands for itself
        items.clear();
        for (std::size_t j = start; j < close;) {
          const Char item = DecodeAt(pattern.substr(0, close), j);
          items.push_back(item.code);
          j += item.size;
        }
        if (items.empty() && !negated) {  // "[]" matches no character
          i = close + 1;
          continue;
        }
        token.kind = Token::kClass;
        token.negated = negated;
        token.first_range = static_cast<std::uint32_t>(ranges_.size());
        for (std::size_t k = 0; k < items.size();) {
          if (k + 2 < items.size() && items[k + 1] == '-') {
            ranges_.push_back({items[k], items[k + 2]});
            k += 3;
          } else {
            ranges_.push_back({items[k], items[k]});
            k += 1;
          }
        }
        token.range_count = static_cast<std::uint32_t>(ranges_.size()) - token.first_range;
        add(token, {});
        i = close + 1;
        continue;
      }
      default:
        break;
    }
    token.kind = Token::kLiteral;
    token.code = c.code;
    add(token, pattern.substr(i, c.size));
    i += c.size;
  }
  finish_segment(pattern.size());

  if (!has_star_) {
    segments_ = std::move(all);
    spans_ = std::move(all_spans);
    return;
  }
  // Keep the anchored ends; a middle segment left empty by "**" adds nothing.
  segments_.push_back(all.front());
  spans_.push_back(all_spans.front());
  for (std::size_t s = 1; s + 1 < all.size(); ++s) {
    if (all[s].token_count > 0) {
      segments_.push_back(all[s]);
      spans_.push_back(all_spans[s]);
    }
  }
  segments_.push_back(all.back());
  spans_.push_back(all_spans.back());
  for (std::size_t s = 1; s + 1 < segments_.size(); ++s)
    if (!segments_[s].plain_literal) BuildTables(segments_[s]);
}

void GlobPattern::BuildTables(Segment& segment) {
  // Non-ASCII literals, by code, for a binary search per character.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> literals;  // code, token
  for (std::uint32_t t = 0; t < segment.token_count; ++t) {
    const Token& token = tokens_[segment.first_token + t];
    if (token.kind == Token::kLiteral && token.code >= kAsciiCount)
      literals.emplace_back(token.code, t);
  }
  std::sort(literals.begin(), literals.end());
  segment.code_offset = static_cast<std::uint32_t>(codes_.size());
  for (const auto& literal : literals)
    if (codes_.size() == segment.code_offset || codes_.back() != literal.first)
      codes_.push_back(literal.first);
  segment.code_count = static_cast<std::uint32_t>(codes_.size()) - segment.code_offset;

  const std::uint32_t words = (segment.token_count + 63) / 64;
  segment.words = words;
  segment.mask_offset = static_cast<std::uint32_t>(masks_.size());
  segment.special_offset = static_cast<std::uint32_t>(special_tokens_.size());
  masks_.resize(masks_.size() + (kAsciiCount + 1 + segment.code_count) * words, 0);
  std::uint64_t* table = masks_.data() + segment.mask_offset;
  std::uint64_t* non_ascii = table + kAsciiCount * words;
  std::uint64_t* code_masks = non_ascii + words;
  const std::uint32_t* codes = codes_.data() + segment.code_offset;
  for (const auto& [code, t] : literals) {
    const auto index =
        static_cast<std::size_t>(std::lower_bound(codes, codes + segment.code_count, code) - codes);
    code_masks[index * words + t / 64] |= std::uint64_t{1} << (t % 64);
  }

  for (std::uint32_t t = 0; t < segment.token_count; ++t) {
    const Token& token = tokens_[segment.first_token + t];
    const std::uint32_t word = t / 64;
    const std::uint64_t bit = std::uint64_t{1} << (t % 64);
    auto set = [&](std::uint32_t c) { table[c * words + word] |= bit; };
    switch (token.kind) {
      case Token::kAny:
        for (std::uint32_t c = 0; c < kAsciiCount; ++c) set(c);
        non_ascii[word] |= bit;
        break;
      case Token::kDigit:
        for (std::uint32_t c = '0'; c <= '9'; ++c) set(c);
        break;
      case Token::kLiteral:
        if (token.code < kAsciiCount) set(token.code);
        break;
      case Token::kClass: {
        std::array<bool, kAsciiCount> member{};
        bool reaches_non_ascii = false;
        for (std::uint32_t r = 0; r < token.range_count; ++r) {
          const Range& range = ranges_[token.first_range + r];
          for (std::uint32_t c = range.low; c <= range.high && c < kAsciiCount; ++c)
            member[c] = true;
          if (range.high >= kAsciiCount && range.low <= range.high) reaches_non_ascii = true;
        }
        for (std::uint32_t c = 0; c < kAsciiCount; ++c)
          if (member[c] != token.negated) set(c);
        if (reaches_non_ascii)
          special_tokens_.push_back(t);
        else if (token.negated)
          non_ascii[word] |= bit;
        break;
      }
    }
  }
  segment.special_count =
      static_cast<std::uint32_t>(special_tokens_.size()) - segment.special_offset;
}

bool GlobPattern::TokenMatches(const Token& token, std::uint32_t code) const {
  switch (token.kind) {
    case Token::kLiteral:
      return code == token.code;
    case Token::kAny:
      return true;
    case Token::kDigit:
      return code >= '0' && code <= '9';
    case Token::kClass:
      for (std::uint32_t r = 0; r < token.range_count; ++r) {
        const Range& range = ranges_[token.first_range + r];
        if (code >= range.low && code <= range.high) return !token.negated;
      }
      return token.negated;
  }
  return false;
}

std::size_t GlobPattern::MatchAt(const Segment& segment, std::string_view text,
                                 std::size_t pos) const {
  if (segment.plain_literal) {
    const std::size_t size = segment.literal_size;
    if (text.size() - pos < size ||
        std::memcmp(text.data() + pos, literals_.data() + segment.literal_offset, size) != 0)
      return kNotFound;
    return pos + size;
  }
  for (std::uint32_t t = 0; t < segment.token_count; ++t) {
    if (pos >= text.size()) return kNotFound;
    const Char c = DecodeAt(text, pos);
    if (!TokenMatches(tokens_[segment.first_token + t], c.code)) return kNotFound;
    pos += c.size;
  }
  return pos;
}

std::size_t GlobPattern::MatchEnd(const Segment& segment, std::string_view text) const {
  std::size_t start = text.size();
  if (segment.plain_literal) {
    // The literal begins with a lead or ASCII byte, which always starts a character.
    if (start < segment.literal_size) return kNotFound;
    start -= segment.literal_size;
  } else {
    for (std::uint32_t t = 0; t < segment.token_count; ++t) {
      if (start == 0) return kNotFound;
      start = PreviousStart(text, start);
    }
  }
  return MatchAt(segment, text, start) == text.size() ? start : kNotFound;
}

std::size_t GlobPattern::FindFrom(const Segment& segment, std::string_view text,
                                  std::size_t pos) const {
  if (!segment.plain_literal) return ScanFrom(segment, text, pos);
  // A well-formed literal found anywhere begins and ends on character boundaries.
  const char* found = FindLiteral(text.data() + pos, text.size() - pos,
                                  literals_.data() + segment.literal_offset, segment.literal_size);
  if (found == nullptr) return kNotFound;
  return static_cast<std::size_t>(found - text.data()) + segment.literal_size;
}

// Shift-And: bit t of the state is set when the segment's first t + 1 tokens
// match the characters that end at the current position.
std::size_t GlobPattern::ScanFrom(const Segment& segment, std::string_view text,
                                  std::size_t pos) const {
  const std::uint32_t words = segment.words;
  const std::uint64_t* table = masks_.data() + segment.mask_offset;
  const std::uint64_t* non_ascii = table + kAsciiCount * words;
  const std::uint32_t* codes = codes_.data() + segment.code_offset;
  const std::uint32_t* special = special_tokens_.data() + segment.special_offset;
  const std::uint32_t last = segment.token_count - 1;
  const std::uint32_t last_word = last / 64;
  const std::uint64_t last_bit = std::uint64_t{1} << (last % 64);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());

  WordBuffer state_buffer(words);
  WordBuffer mask_buffer(words);
  std::uint64_t* state = state_buffer.data();
  std::uint64_t* mask = mask_buffer.data();

  while (pos < text.size()) {
    const std::uint64_t* m;
    if (bytes[pos] < 0x80) {
      m = table + bytes[pos] * words;
      ++pos;
    } else {
      const Char c = DecodeAt(text, pos);
      pos += c.size;
      std::memcpy(mask, non_ascii, words * sizeof(std::uint64_t));
      const std::uint32_t* found = std::lower_bound(codes, codes + segment.code_count, c.code);
      if (found != codes + segment.code_count && *found == c.code) {
        const std::uint64_t* code_mask = non_ascii + (1 + (found - codes)) * words;
        for (std::uint32_t w = 0; w < words; ++w) mask[w] |= code_mask[w];
      }
      for (std::uint32_t s = 0; s < segment.special_count; ++s)
        if (TokenMatches(tokens_[segment.first_token + special[s]], c.code))
          mask[special[s] / 64] |= std::uint64_t{1} << (special[s] % 64);
      m = mask;
    }
    std::uint64_t carry = 1;
    for (std::uint32_t w = 0; w < words; ++w) {
      const std::uint64_t shifted = (state[w] << 1) | carry;
      carry = state[w] >> 63;
      state[w] = shifted & m[w];
    }
    if (state[last_word] & last_bit) return pos;
  }
  return kNotFound;
}

bool GlobPattern::Matches(std::string_view text) const {
  if (!has_star_) return MatchAt(segments_.front(), text, 0) == text.size();
  std::size_t pos = MatchAt(segments_.front(), text, 0);
  if (pos == kNotFound) return false;
  const std::size_t tail = MatchEnd(segments_.back(), text);
  if (tail == kNotFound || tail < pos) return false;
  // The tail's start is a character boundary, so the middle segments can be
  // searched in the text cut there.
  const std::string_view middle = text.substr(0, tail);
  for (std::size_t s = 1; s + 1 < segments_.size(); ++s) {
    pos = FindFrom(segments_[s], middle, pos);
    if (pos == kNotFound) return false;
  }
  return true;
}

bool GlobPattern::CanMatchBetween(std::string_view head, std::string_view tail,
                                  std::string_view excluded) const {
  const auto count = [](std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i += DecodeAt(s, i).size) ++n;
    return n;
  };
  const std::size_t head_count = count(head);
  const std::size_t tail_count = count(tail);
  std::string text(head);
  // A character each token accepts: a literal itself; otherwise the first
  // acceptable one near the ends of the token's ranges or among a few
  // common ones, skipping surrogates and the excluded characters.
  const auto append = [&](std::uint32_t first, std::uint32_t end) {
    for (std::uint32_t t = first; t < end; ++t) {
      const Token& token = tokens_[t];
      if (token.kind == Token::kLiteral) {
        if (token.code < kAsciiCount && excluded.find(static_cast<char>(token.code)) != kNotFound)
          return false;
        if (token.code >= kLoneByte) {
          text += static_cast<char>(token.code - kLoneByte);
          continue;
        }
      }
      std::vector<std::uint32_t> bases{'a', '0', ' ', 0xE9, 0xE000};
      if (token.kind == Token::kLiteral) bases = {token.code};
      for (std::uint32_t r = 0; r < token.range_count; ++r) {
        const Range& range = ranges_[token.first_range + r];
        bases.insert(bases.end(), {range.low, range.high, range.high + 1, range.low - 3});
      }
      bool found = false;
      for (std::size_t b = 0; b < bases.size() && !found; ++b) {
        for (std::uint32_t c = bases[b]; c < bases[b] + 4 && !found; ++c) {
          const bool usable =
              c > 0 && c < 0x110000 && (c < 0xD800 || c > 0xDFFF) &&
              !(c < kAsciiCount && excluded.find(static_cast<char>(c)) != kNotFound);
          if (!usable || !TokenMatches(token, c)) continue;
          found = true;
          if (c < 0x80) {
            text += static_cast<char>(c);
          } else if (c < 0x800) {
            text += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
          } else if (c < 0x10000) {
            text +=
                {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (c & 0x3F))};
          } else {
            text +=
                {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                 static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
          }
        }
      }
      if (!found) return false;
    }
    return true;
  };
  // The head covers the first segment's first tokens and the tail the last
  // segment's last ones; with a "*" between, any segment may lie past the head.
  const Segment& front = segments_.front();
  const Segment& back = segments_.back();
  const std::uint32_t front_end = front.first_token + front.token_count;
  const std::uint32_t back_end = back.first_token + back.token_count;
  const auto skip = [](std::uint32_t from, std::uint32_t to, std::size_t n) {
    return static_cast<std::uint32_t>(std::min<std::size_t>(from + n, to));
  };
  const auto cut = [](std::uint32_t from, std::uint32_t to, std::size_t n) {
    return to - static_cast<std::uint32_t>(std::min<std::size_t>(to - from, n));
  };
  if (!has_star_) {
    if (front.token_count < head_count + tail_count) return false;
    if (!append(front.first_token + static_cast<std::uint32_t>(head_count),
                front_end - static_cast<std::uint32_t>(tail_count)))
      return false;
  } else {
    if (!append(skip(front.first_token, front_end, head_count), front_end)) return false;
    for (std::size_t s = 1; s + 1 < segments_.size(); ++s)
      if (!append(segments_[s].first_token, segments_[s].first_token + segments_[s].token_count))
        return false;
    if (!append(back.first_token, cut(back.first_token, back_end, tail_count))) return false;
  }
  text += tail;
  return Matches(text);
}

GlobPattern::Stop GlobPattern::WhereMatchingStops(std::string_view text) const {
  struct Reach {
    std::size_t text_pos;
    std::uint32_t tokens;  // how many of the segment's tokens matched
  };
  // How far `segment` matches from `pos`.
  const auto reach = [&](const Segment& segment, std::size_t pos) {
    std::uint32_t t = 0;
    for (; t < segment.token_count && pos < text.size(); ++t) {
      const Char c = DecodeAt(text, pos);
      if (!TokenMatches(tokens_[segment.first_token + t], c.code)) break;
      pos += c.size;
    }
    return Reach{pos, t};
  };
  const auto stop = [&](std::size_t piece, Reach reached, bool must_end) {
    const Segment& segment = segments_[piece];
    const std::size_t pattern_pos = reached.tokens < segment.token_count
                                        ? token_starts_[segment.first_token + reached.tokens]
                                        : spans_[piece].end;
    return Stop{false,
                piece,
                segments_.size(),
                spans_[piece].begin,
                spans_[piece].end,
                reached.text_pos,
                pattern_pos,
                must_end};
  };
  // The placement at or after `pos` that matches the most tokens of the piece.
  const auto longest = [&](std::size_t piece, std::size_t pos) {
    Reach best{pos, 0};
    for (std::size_t at = pos; at < text.size(); at += DecodeAt(text, at).size)
      if (const Reach reached = reach(segments_[piece], at); reached.tokens > best.tokens)
        best = reached;
    return best;
  };
  const Segment& first = segments_.front();
  std::size_t pos = MatchAt(first, text, 0);
  if (pos == kNotFound) return stop(0, reach(first, 0), false);
  if (!has_star_) return pos == text.size() ? Stop{true} : stop(0, {pos, first.token_count}, true);
  const std::size_t last = segments_.size() - 1;
  const std::size_t tail = MatchEnd(segments_.back(), text);
  if (tail == kNotFound || tail < pos) {
    // The end of the last whole occurrence at or after `pos`, if any.
    std::size_t last_end = kNotFound;
    for (std::size_t at = pos; at < text.size(); at += DecodeAt(text, at).size)
      if (const std::size_t end = MatchAt(segments_.back(), text, at); end != kNotFound)
        last_end = end;
    if (last_end == kNotFound) return stop(last, longest(last, pos), false);
    return stop(last, {last_end, segments_.back().token_count}, true);
  }
  const std::string_view middle = text.substr(0, tail);
  for (std::size_t s = 1; s < last; ++s) {
    const std::size_t end = FindFrom(segments_[s], middle, pos);
    if (end == kNotFound) return stop(s, longest(s, pos), false);
    pos = end;
  }
  return Stop{true};
}

bool GlobMatch(std::string_view text, std::string_view pattern) {
  return GlobPattern(pattern).Matches(text);
}

std::string LowerLatin1(std::string_view text) {
  std::string lower(text);
  for (std::size_t i = 0; i < lower.size(); ++i) {
    const auto byte = static_cast<unsigned char>(lower[i]);
    if (byte >= 'A' && byte <= 'Z') {
      lower[i] = static_cast<char>(byte + 0x20);
    } else if (byte == 0xC3 && i + 1 < lower.size() &&
               IsContinuation(static_cast<unsigned char>(lower[i + 1]))) {
      const auto next = static_cast<unsigned char>(lower[++i]);
      if (next <= 0x9E && next != 0x97) lower[i] = static_cast<char>(next + 0x20);
    }
  }
  return lower;
}

}  // namespace zelvo
