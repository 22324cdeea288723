#include "dispatch/rule_reload.h"

#include <map>
#include <utility>

#include "model/flags.h"
#include "model/output_number.h"

namespace zelvo {

namespace {

using RuleKey = std::pair<std::string, std::string>;

RuleKey KeyOf(const IOCommand& command) {
  return {command.IOName(), command.IRCTrigger()};
}

// Moves the run-time state; the old rule owes nothing afterwards, so no walk
// that still holds it can put the outputs back a second time.
void TakeOverState(IOCommand& from, IOCommand& to) {
  to.SetLastUsed(from.LastUsed());
  if (from.LastUsedMonotonic()) to.SetLastUsedMonotonic(*from.LastUsedMonotonic());
  to.SetAutoReturnOutputs(from.AutoReturnOutputs());
  to.SetAutoReturnComplete(from.AutoReturnComplete());
  from.SetAutoReturnOutputs(0);
  from.SetAutoReturnComplete(true);
}

void PutBack(std::int32_t undo, Outputs& outputs) {
  for (int n = 1; n <= kOutputCount; ++n) {
    if (undo & OffBit(n)) outputs.SetOutput(n, false);
    if (undo & OnBit(n)) outputs.SetOutput(n, true);
    if (undo & ToggleBit(n)) outputs.Output_Toggle(n);
  }
}

}  // namespace

RuleReloadResult ReplaceRules(IOCommands& current, IOCommands fresh, Outputs& outputs) {
  RuleReloadResult result;
  // Current rules by name and trigger, in list order within one key, so that
  // duplicates pair up in order.
  std::multimap<RuleKey, IOCommands::Pointer> waiting;
  for (const IOCommands::Pointer& command : current) waiting.emplace(KeyOf(*command), command);

  for (const IOCommands::Pointer& command : fresh) {
    const auto match = waiting.lower_bound(KeyOf(*command));
    if (match == waiting.end() || match->first != KeyOf(*command)) continue;
    TakeOverState(*match->second, *command);
    waiting.erase(match);
    ++result.kept;
  }

  for (const auto& [key, gone] : waiting) {
    if (gone->AutoReturnComplete()) continue;
    PutBack(gone->AutoReturnOutputs(), outputs);
    gone->SetAutoReturnOutputs(0);
    gone->SetAutoReturnComplete(true);
    ++result.returned;
  }
  if (result.returned > 0) result.port_error = outputs.SetOutputs({SwitchCause::Kind::kReload});

  current = std::move(fresh);
  return result;
}

}  // namespace zelvo
