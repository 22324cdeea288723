// Replacing the rules when the configuration is read again while the bot
// runs: the outputs keep their state, a rule that stays keeps its run-time
// state, and what a rule that goes still owes is done before it goes.
#pragma once

#include <cstdint>
#include <string>

#include "model/io_command.h"
#include "outputs/outputs.h"

namespace zelvo {

struct RuleReloadResult {
  std::int32_t kept = 0;      // fresh rules that took over a current rule's state
  std::int32_t returned = 0;  // pending auto-returns carried out for rules that went
  std::string port_error;     // "" or the port's error text of that write
};

// Makes `fresh` the rule list in place of `current` (which ends up holding the
// fresh rules). A fresh rule with the IOName and IRCTrigger of a current rule
// takes over its LastUsed, its monotonic stamp and its pending auto-return, so
// a reload neither lets a rule run early nor loses an output to put back.
// Every current rule without such a successor whose auto-return is pending
// has it carried out on `outputs`, written to the port once (cause kReload).
RuleReloadResult ReplaceRules(IOCommands& current, IOCommands fresh, Outputs& outputs);

}  // namespace zelvo
