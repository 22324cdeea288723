#include "irc/case_mapping.h"

namespace zelvo {

CaseMapping CaseMapping::FromToken(std::string_view value) {
  if (value == "rfc1459") return CaseMapping(Kind::kRfc1459);
  if (value == "strict-rfc1459") return CaseMapping(Kind::kStrictRfc1459);
  return CaseMapping(Kind::kAscii);
}

char CaseMapping::Fold(char c) const {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if (kind_ == Kind::kAscii) return c;
  switch (c) {
    case '[':
      return '{';
    case ']':
      return '}';
    case '\\':
      return '|';
    case '~':
      return kind_ == Kind::kRfc1459 ? '^' : c;
    default:
      return c;
  }
}

std::string CaseMapping::Fold(std::string_view text) const {
  std::string out(text);
  for (char& c : out) c = Fold(c);
  return out;
}

bool CaseMapping::Equal(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

}  // namespace zelvo
