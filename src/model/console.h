// The console pane (the window's, or the terminal's): appends text and keeps
// its newest line in view.
#pragma once

#include <string_view>

namespace zelvo {

class Console {
 public:
  virtual ~Console() = default;
  virtual void Append(std::string_view text) = 0;
};

}  // namespace zelvo
