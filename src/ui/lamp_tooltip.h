// The tooltip of an output's lamp: which rules switch that output and how.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "model/io_command.h"

namespace zelvo {

// Plain text: a first line with the output's number and name, then one line
// per rule that switches output `output` (1..8), in rule order, naming what
// the rule does to it in the order the rule does it ("off", "on", "toggle";
// "pulses" for a "PulseQuickly" rule on output 3) and, when the rule puts
// its outputs back, after how long. Refuses an output outside 1..8 with
// std::out_of_range.
std::string LampTooltip(const IOCommands& rules, int output, std::string_view output_name);

// A plain text as a tooltip that shows it as written, with no markup taken
// from rule or output names.
QString AsToolTip(std::string_view plain);

}  // namespace zelvo
