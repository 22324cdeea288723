// zelvo --check: loads and validates config.xml the way a start does, against
// the program's own schema, and reads every setting that a start reads,
// without writing a file, opening a device or connecting anywhere.
#pragma once

#include <string>

namespace zelvo {

struct ConfigCheck {
  bool valid = false;
  // Valid: one line naming the rules, outputs, devices and server, for
  // standard output. Not valid: a line naming the file and the report that a
  // start would log, for standard error. Each line ends with "\n".
  std::string text;
  // A warning that a start would log (a password readable by others); may be
  // empty.
  std::string warning;
};

// Checks <program_dir>/config.xml.
ConfigCheck CheckConfiguration(const std::string& program_dir);

// Exit code of --check: 0 valid, 1 not.
inline constexpr int kExitCheckFailed = 1;

}  // namespace zelvo
