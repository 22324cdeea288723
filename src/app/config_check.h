// zelvo --check: loads and validates config.xml the way a start does, against
// the program's own schema, and reads every setting that a start reads,
// without writing a file, opening a device or connecting anywhere.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/io_command.h"

#include "model/io_command.h"
#include "model/settings.h"
#include "outputs/outputs.h"

namespace zelvo {

struct ConfigCheck {
  bool valid = false;
  // Valid: one line naming the rules, outputs, devices and server, for
  // standard output. Not valid: a line naming the file and the report that a
  // start would log, for standard error. Each line ends with "\n".
  std::string text;
  // The warnings that a start would log (a password readable by others, the
  // rule lint's), each a "zelvo: warning: " line; may be empty.
  std::string warning;
};

// What a valid configuration holds, for a caller that goes on with it; the
// arguments live only during the call.
using CheckedConfiguration = std::function<void(
    const Settings& settings, const IOCommands& commands, const Outputs& outputs)>;

// Checks <program_dir>/config.xml; when it is valid, hands what it read to
// `use` (when given) before returning.
ConfigCheck CheckConfiguration(const std::string& program_dir,
                               const CheckedConfiguration& use = {});

// The rule lint of `commands` and the encoding check of the file at
// `config_path` they were read from, as start, reload and --check run them.
// A file that cannot be read adds no warning.
struct ConfigFindings {
  std::string errors;  // every error finding, CR LF between them; "" for none
  std::vector<std::string> warnings;
};
ConfigFindings LintConfiguration(const std::string& config_path, const IOCommands& commands);

// Exit code of --check: 0 valid, 1 not.
inline constexpr int kExitCheckFailed = 1;

}  // namespace zelvo
