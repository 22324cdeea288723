#include "ui/lamp_tooltip.h"

#include <QTextDocument>
#include <vector>

#include "front/qt_text.h"
#include "model/flags.h"

namespace zelvo {

namespace {

// What `rule` does to `output`, in the order the dispatcher does it.
std::vector<std::string> Actions(const IOCommand& rule, int output) {
  std::vector<std::string> actions;
  if (rule.HasFlag(OffBit(output))) actions.emplace_back("off");
  if (rule.HasFlag(OnBit(output))) actions.emplace_back("on");
  if (rule.HasFlag(ToggleBit(output))) actions.emplace_back("toggle");
  // The pulse always works on output 3, whatever outputs the rule switches.
  if (output == 3 && rule.HasFlag(flag::kPulseQuickly)) actions.emplace_back("pulses");
  return actions;
}

}  // namespace

std::string LampTooltip(const IOCommands& rules, int output, std::string_view output_name) {
  OutputIndex(output);
  std::string text = std::string(1, 'O').append(std::to_string(output));
  if (!output_name.empty()) text.append(" ").append(output_name);
  bool any = false;
  for (const IOCommands::Pointer& rule : rules) {
    const std::vector<std::string> actions = Actions(*rule, output);
    if (actions.empty()) continue;
    any = true;
    text.append("\n").append(rule->IOName()).append(": ");
    for (std::size_t i = 0; i < actions.size(); ++i) {
      if (i > 0) text.append(", ");
      text.append(actions[i]);
    }
    if (rule->AutoReturn() >= 1) {
      text.append(", undone after ").append(std::to_string(rule->AutoReturn())).append(" s");
    }
  }
  if (!any) text.append("\nNo rule switches this output.");
  return text;
}

QString AsToolTip(std::string_view plain) {
  return Qt::convertFromPlainText(TextToQString(plain), Qt::WhiteSpacePre);
}

}  // namespace zelvo
