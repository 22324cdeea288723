#include "app/rule_explain_command.h"

#include "app/config_check.h"
#include "dispatch/rule_explain.h"

namespace zelvo {

ExplainOutcome ExplainCommand(const std::string& program_dir, const ExplainRequest& request,
                              const Clock& clock) {
  ExplainOutcome outcome;
  const ConfigCheck check = CheckConfiguration(
      program_dir,
      [&](const Settings& settings, const IOCommands& commands, const Outputs& outputs) {
        const StatedSender sender(settings, request.account, request.status);
        const RuleContext context{settings, sender, clock, nullptr};
        const Explanation explanation = ExplainLine(
            ChannelLine(request.from, settings.gsIRCChannel, request.text, request.notice),
            commands, outputs, context);
        outcome.out = explanation.text;
        outcome.exit_code = explanation.firing > 0 ? 0 : kExitNoRuleFires;
      });
  outcome.err = check.warning;
  if (!check.valid) {
    outcome.err += check.text;
    outcome.exit_code = kExitExplainBadConfig;
  }
  return outcome;
}

}  // namespace zelvo
