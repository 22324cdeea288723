// Owner commands: what the bot answers to a private message from one of the
// IRCOwners accounts, and who counts as such an owner. No IRC traffic here:
// the dispatcher hands over the text and the sender and sends the replies.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch/rule_explain.h"
#include "outputs/outputs.h"

namespace zelvo {

// The sender of an owner command.
struct OwnerIdentity {
  std::string_view prefix;   // nick!user@host
  std::string_view account;  // the services account the sender is logged in to
};

// What the commands act on besides the outputs.
struct OwnerTools {
  // Lines on the connection, the channel and the last rule run (status).
  std::function<std::vector<std::string>()> status;
  // Reads config.xml again once the reply is sent, so that it may replace
  // the connection the command came on (reload).
  std::function<void()> reload;
  // The rules' answer to `text` said by the sender in the channel (why).
  std::function<Explanation(const OwnerIdentity& sender, std::string_view text)> explain;
};

// Answers owner commands; the command word's letter case is ignored:
// status, on N, off N, toggle N (N 1..8), alloff, reload, why TEXT, help.
// A switch goes through Outputs::SetOutputs with cause kOwnerCommand naming
// the command, the sender and the account.
class OwnerCommands {
 public:
  static constexpr std::size_t kMaxLines = 5;
  static constexpr std::size_t kMaxLineBytes = 400;  // a NOTICE's text, well within 512

  // `outputs` must outlive this.
  OwnerCommands(Outputs& outputs, OwnerTools tools) : outputs_(outputs), tools_(std::move(tools)) {}

  // The reply lines for `text` from `sender`: 1 to kMaxLines, each at most
  // kMaxLineBytes and free of control characters.
  std::vector<std::string> Answer(std::string_view text, const OwnerIdentity& sender);

 private:
  std::vector<std::string> Run(std::string_view word, std::string_view rest,
                               std::string_view command, const OwnerIdentity& sender);
  std::vector<std::string> Switch(std::string_view word, int output, std::string_view command,
                                  const OwnerIdentity& sender);
  std::vector<std::string> Status();
  std::vector<std::string> Why(std::string_view text, const OwnerIdentity& sender);

  Outputs& outputs_;
  OwnerTools tools_;
};

}  // namespace zelvo
