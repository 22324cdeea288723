#include "dispatch/owner_commands.h"

#include <algorithm>
#include <array>

#include "dispatch/dispatcher.h"
#include "log/messages.h"
#include "model/visible_text.h"

namespace zelvo {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::size_t kExplainedRules = 3;  // rules told when none fires

constexpr std::array<std::string_view, 2> kHelp = {
    "Commands: status | on N | off N | toggle N | alloff (N is an output, 1 to 8)",
    "reload (reads config.xml again) | why TEXT (what the rules make of TEXT said in the "
    "channel) | help",
};

std::string_view Trimmed(std::string_view text) {
  const std::size_t start = text.find_first_not_of(kBlanks);
  if (start == std::string_view::npos) return {};
  return text.substr(start, text.find_last_not_of(kBlanks) - start + 1);
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// Output number 1..8 written alone, else 0.
int OutputNumber(std::string_view text) {
  return text.size() == 1 && text[0] >= '1' && text[0] <= '8' ? text[0] - '0' : 0;
}

// `text` made safe for one NOTICE: controls shown, cut on a character
// boundary with "..." when too long.
std::string OneLine(std::string_view text) {
  std::string line = VisibleControlText(text);
  if (line.size() <= OwnerCommands::kMaxLineBytes) return line;
  std::size_t cut = OwnerCommands::kMaxLineBytes - 3;
  while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
  return line.substr(0, cut) + "...";
}

std::string Quoted(std::string_view text) {
  return std::string(1, '"').append(text).append(1, '"');
}

std::string OutputWords(const Outputs& outputs, int n) {
  return std::to_string(n) + " " + Quoted(outputs.OutputName(n)) +
         (outputs.Output(n) ? " on" : " off");
}

std::vector<std::string> Unknown(std::string_view command) {
  return {"Unknown command " + Quoted(command) + "; say \"help\" for the commands."};
}

}  // namespace

std::vector<std::string> OwnerCommands::Answer(std::string_view text, const OwnerIdentity& sender) {
  const std::string_view command = Trimmed(text);
  const std::size_t end = std::min(command.find_first_of(kBlanks), command.size());
  std::vector<std::string> lines =
      Run(LowerAscii(command.substr(0, end)), Trimmed(command.substr(end)), command, sender);
  if (lines.size() > kMaxLines) lines.resize(kMaxLines);
  for (std::string& line : lines) line = OneLine(line);
  return lines;
}

std::vector<std::string> OwnerCommands::Run(std::string_view word, std::string_view rest,
                                            std::string_view command, const OwnerIdentity& sender) {
  if (word == "on" || word == "off" || word == "toggle") {
    if (const int n = OutputNumber(rest)) return Switch(word, n, command, sender);
    return {Quoted(word) + " needs one output number from 1 to 8, as in \"" + std::string(word) +
            " 2\"; say \"help\" for the commands."};
  }
  if (!rest.empty() && word != "why") return Unknown(command);
  if (word == "alloff") return Switch(word, 0, command, sender);
  if (word == "status") return Status();
  if (word == "help") return {kHelp.begin(), kHelp.end()};
  if (word == "reload") {
    tools_.reload();
    return {"Reading config.xml again; the log tells how it went."};
  }
  if (word == "why") {
    if (rest.empty()) return {"\"why\" needs the text to explain, as in \"why Disco On\"."};
    return Why(rest, sender);
  }
  return Unknown(command);
}

// `output` 0: all off.
std::vector<std::string> OwnerCommands::Switch(std::string_view word, int output,
                                               std::string_view command,
                                               const OwnerIdentity& sender) {
  if (output == 0) {
    for (int n = 1; n <= kOutputCount; ++n) outputs_.SetOutput(n, false);
  } else if (word == "toggle") {
    outputs_.Output_Toggle(output);
  } else {
    outputs_.SetOutput(output, word == "on");
  }
  const std::string error = outputs_.SetOutputs(
      {SwitchCause::Kind::kOwnerCommand, command, sender.prefix, sender.account});
  if (!outputs_.LastWriteTaken()) return {"Not switched: " + error};
  std::vector<std::string> lines = {output == 0 ? "All outputs are off."
                                                : "Output " + OutputWords(outputs_, output) + "."};
  if (!error.empty()) lines.push_back("Some devices refused it: " + error);
  return lines;
}

std::vector<std::string> OwnerCommands::Status() {
  std::vector<std::string> lines = tools_.status();
  for (int first = 1; first <= kOutputCount; first += 4) {
    std::string line = "Outputs:";
    for (int n = first; n < first + 4; ++n)
      line += (n == first ? " " : ", ") + OutputWords(outputs_, n);
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> OwnerCommands::Why(std::string_view text, const OwnerIdentity& sender) {
  const Explanation explanation = tools_.explain(sender, text);
  std::vector<std::string> lines;
  for (const Explanation::Rule& rule : explanation.rules) {
    if (explanation.firing > 0 ? rule.fires : lines.size() < kExplainedRules)
      lines.push_back(rule.text);
  }
  if (explanation.firing == 0)
    lines.push_back(explain_text::SummaryText(0, static_cast<int>(explanation.rules.size())));
  return lines;
}

}  // namespace zelvo
