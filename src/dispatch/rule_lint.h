// The rule lint: what in the rules of config.xml is refused (an unknown flag,
// an output outside 1 to 8, negative seconds) and what is allowed but cannot
// work (a trigger or a user pattern that nothing can match, a rule that can
// never run, an AutoReturn with nothing to put back). A pure function of the
// rules as read, with their Flag texts.
#pragma once

#include <string>
#include <vector>

#include "model/io_command.h"

namespace zelvo {

struct RuleFinding {
  enum class Severity { kError, kWarning };
  Severity severity;
  int position;      // the rule's, from 1
  std::string rule;  // its IOName
  std::string text;  // the whole finding: rule, fault and fix
};

// Every finding, rule by rule in configuration order.
std::vector<RuleFinding> LintRules(const IOCommands& commands);

}  // namespace zelvo
