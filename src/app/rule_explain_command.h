// zelvo --explain: loads config.xml as --check does and tells what the rules
// make of one channel line, without connecting, opening a device or writing
// any file.
#pragma once

#include <optional>
#include <string>

#include "model/clock.h"
#include "model/io_command.h"

namespace zelvo {

struct ExplainRequest {
  std::string from = "user!~user@example.org";  // NICK!USER@HOST
  std::optional<std::string> account;           // nothing: not logged in
  ChannelStatus status = ChannelStatus::kNone;
  bool notice = false;  // a NOTICE instead of a PRIVMSG
  std::string text;     // the message text
};

struct ExplainOutcome {
  int exit_code = 0;
  std::string out;  // for standard output
  std::string err;  // for standard error: the configuration's report or warning
};

// Explains `request` against <program_dir>/config.xml, the line said in the
// configured channel; `clock` gives today's date for the day gates.
ExplainOutcome ExplainCommand(const std::string& program_dir, const ExplainRequest& request,
                              const Clock& clock);

// Exit codes of --explain: 0 when a rule fires, 1 when none does, 2 when the
// configuration is missing or not valid.
inline constexpr int kExitNoRuleFires = 1;
inline constexpr int kExitExplainBadConfig = 2;

}  // namespace zelvo
