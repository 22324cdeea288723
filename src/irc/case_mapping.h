// Nicknames and channel names compared as the server compares them: by the
// CASEMAPPING its 005 announces. "rfc1459" (also when none is announced)
// folds A-Z and []\~ to a-z and {}|^; "strict-rfc1459" the same without ~/^;
// "ascii" only A-Z. A mapping the bot does not know (such as "rfc7613") is
// taken as "ascii", the part every mapping shares.
#pragma once

#include <string>
#include <string_view>

namespace zelvo {

class CaseMapping {
 public:
  enum class Kind { kRfc1459, kStrictRfc1459, kAscii };

  constexpr CaseMapping() = default;
  constexpr explicit CaseMapping(Kind kind) : kind_(kind) {}

  // The mapping named by a CASEMAPPING token's value.
  static CaseMapping FromToken(std::string_view value);

  Kind kind() const { return kind_; }
  char Fold(char c) const;
  std::string Fold(std::string_view text) const;
  bool Equal(std::string_view a, std::string_view b) const;

 private:
  Kind kind_ = Kind::kRfc1459;
};

}  // namespace zelvo
