// The example configuration the program writes, and edits of it for tests.
#pragma once

#include <stdexcept>
#include <string>

#include "config/resources.h"

namespace zelvo::testing {

inline std::string ExampleConfigText() {
  return GetResourceText(kExampleConfigResource, "XML");
}

// `text` with the first occurrence of `from` replaced by `to`; throws when
// `from` is not in it, so an edit never silently misses.
inline std::string ReplacedOnce(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("Not in the text: " + from);
  return text.replace(at, from.size(), to);
}

// The example with the first occurrence of `from` replaced by `to`.
inline std::string EditedExample(const std::string& from, const std::string& to) {
  return ReplacedOnce(ExampleConfigText(), from, to);
}

}  // namespace zelvo::testing
