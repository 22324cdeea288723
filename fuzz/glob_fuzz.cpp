// Holds the glob matcher against the dynamic-programming reference on input
// split at the first "|" into pattern and text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/glob_reference.h"
#include "model/glob.h"

namespace {

[[noreturn]] void Fail(const char* what, std::string_view pattern, std::string_view text,
                       bool expected) {
  std::fprintf(stderr, "%s: pattern \"%.*s\" text \"%.*s\" expected %d\n", what,
               static_cast<int>(pattern.size()), pattern.data(), static_cast<int>(text.size()),
               text.data(), expected ? 1 : 0);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t bar = input.find('|');
  const std::string_view pattern = input.substr(0, bar);
  const std::string_view text = bar == std::string_view::npos ? "" : input.substr(bar + 1);
  // The reference takes time in proportion to pattern times text.
  if (pattern.size() > 512 || text.size() > 4096) return 0;

  const bool expected = zelvo::reference::ReferenceGlobMatch(text, pattern);
  const zelvo::GlobPattern compiled(pattern);
  if (compiled.Matches(text) != expected) Fail("GlobPattern", pattern, text, expected);
  if (compiled.Matches(text) != expected) Fail("GlobPattern reused", pattern, text, expected);
  if (zelvo::GlobMatch(text, pattern) != expected) Fail("GlobMatch", pattern, text, expected);

  // Lower-casing keeps every length and is idempotent.
  const std::string lower = zelvo::LowerLatin1(text);
  if (lower.size() != text.size() || zelvo::LowerLatin1(lower) != lower)
    Fail("LowerLatin1", pattern, text, expected);
  return 0;
}
