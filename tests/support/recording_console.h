// A console that keeps every text appended to it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/console.h"

namespace zelvo::testing {

class RecordingConsole final : public Console {
 public:
  void Append(std::string_view text) override { lines.emplace_back(text); }

  // How many of the appended texts hold `part`.
  std::size_t CountContaining(std::string_view part) const {
    std::size_t n = 0;
    for (const std::string& line : lines) n += line.find(part) != std::string::npos ? 1 : 0;
    return n;
  }

  std::vector<std::string> lines;
};

}  // namespace zelvo::testing
