// A slow, plain dynamic-programming glob matcher that the fast one is checked
// against. It decodes both sides into character codes and fills a table over
// (pattern element, text position); nothing is shared with the fast matcher.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace zelvo::reference {

// Code of a byte that is not part of a well-formed UTF-8 sequence.
inline constexpr std::uint32_t kLoneByteBase = 0x110000;

// Splits UTF-8 into character codes following the table of well-formed byte
// sequences; every byte outside such a sequence becomes one character.
inline std::vector<std::uint32_t> Characters(std::string_view s) {
  struct Form {
    unsigned char lead_low, lead_high;  // lead bytes of this form
    int trail;                          // number of continuation bytes
    unsigned char second_low, second_high;
  };
  static constexpr Form kForms[] = {
      {0xC2, 0xDF, 1, 0x80, 0xBF}, {0xE0, 0xE0, 2, 0xA0, 0xBF}, {0xE1, 0xEC, 2, 0x80, 0xBF},
      {0xED, 0xED, 2, 0x80, 0x9F}, {0xEE, 0xEF, 2, 0x80, 0xBF}, {0xF0, 0xF0, 3, 0x90, 0xBF},
      {0xF1, 0xF3, 3, 0x80, 0xBF}, {0xF4, 0xF4, 3, 0x80, 0x8F},
  };
  std::vector<std::uint32_t> codes;
  std::size_t i = 0;
  while (i < s.size()) {
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) {
      codes.push_back(lead);
      ++i;
      continue;
    }
    bool taken = false;
    for (const Form& form : kForms) {
      if (lead < form.lead_low || lead > form.lead_high) continue;
      if (i + static_cast<std::size_t>(form.trail) >= s.size()) break;
      std::uint32_t code = lead & (0x3Fu >> form.trail);
      bool ok = true;
      for (int k = 1; k <= form.trail; ++k) {
        const auto byte = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        const unsigned char low = k == 1 ? form.second_low : 0x80;
        const unsigned char high = k == 1 ? form.second_high : 0xBF;
        if (byte < low || byte > high) ok = false;
        code = (code << 6) | (byte & 0x3Fu);
      }
      if (ok) {
        codes.push_back(code);
        i += static_cast<std::size_t>(form.trail) + 1;
        taken = true;
      }
      break;
    }
    if (!taken) {
      codes.push_back(kLoneByteBase + lead);
      ++i;
    }
  }
  return codes;
}

inline bool ReferenceGlobMatch(std::string_view text_bytes, std::string_view pattern_bytes) {
  const std::vector<std::uint32_t> text = Characters(text_bytes);
  const std::vector<std::uint32_t> pattern = Characters(pattern_bytes);
  const std::size_t n = text.size();

  // reachable[j]: the pattern read so far can cover exactly the first j characters.
  std::vector<char> reachable(n + 1, 0), next(n + 1, 0);
  reachable[0] = 1;
  auto step = [&](auto accepts) {
    std::fill(next.begin(), next.end(), 0);
    for (std::size_t j = 0; j < n; ++j)
      if (reachable[j] && accepts(text[j])) next[j + 1] = 1;
    reachable.swap(next);
  };

  for (std::size_t k = 0; k < pattern.size(); ++k) {
    const std::uint32_t c = pattern[k];
    if (c == '*') {
      char any = 0;
      for (std::size_t j = 0; j <= n; ++j)
        reachable[j] = any = static_cast<char>(any | reachable[j]);
    } else if (c == '?') {
      step([](std::uint32_t) { return true; });
    } else if (c == '#') {
      step([](std::uint32_t t) { return t >= '0' && t <= '9'; });
    } else if (c == '[') {
      std::size_t first = k + 1;
      const bool negated = first < pattern.size() && pattern[first] == '!';
      if (negated) ++first;
      std::size_t close = first;
      while (close < pattern.size() && pattern[close] != ']') ++close;
      if (close == pattern.size()) {  // no closing bracket: a plain "["
        step([](std::uint32_t t) { return t == '['; });
        continue;
      }
      std::vector<std::pair<std::uint32_t, std::uint32_t>> members;
      for (std::size_t m = first; m < close;) {
        if (m + 2 < close && pattern[m + 1] == '-') {
          members.emplace_back(pattern[m], pattern[m + 2]);
          m += 3;
        } else {
          members.emplace_back(pattern[m], pattern[m]);
          m += 1;
        }
      }
      k = close;
      if (members.empty() && !negated) continue;  // "[]": zero length
      step([&](std::uint32_t t) {
        bool in = false;
        for (const auto& [low, high] : members) in = in || (t >= low && t <= high);
        return in != negated;
      });
    } else {
      step([c](std::uint32_t t) { return t == c; });
    }
  }
  return reachable[n] != 0;
}

}  // namespace zelvo::reference
