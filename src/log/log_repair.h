// Where a log file whose end is damaged can be cut back to, and whether the
// bytes cut off hold anything worth keeping.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelvo {

struct LogRepair {
  // The file up to the end of its last sound entry (or its "<Logs>"), with a
  // line end: the file's closing tags may follow it directly.
  std::string kept;
  // Everything after that place in the damaged file.
  std::string cut_off;
};

// Tries the last few places where an entry ends, latest first, and takes the
// first that leaves a file in this program's layout. Empty when none does
// (the damage reaches further back than one or two entries).
std::optional<LogRepair> PlanRepair(std::string_view content);

// False when `cut_off` holds nothing but white space, zero bytes and a
// piece of the file's closing tags: nothing that needs keeping.
bool WorthKeeping(std::string_view cut_off);

}  // namespace zelvo
