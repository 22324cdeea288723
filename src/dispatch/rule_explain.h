// What the rules make of one channel line, told without running any rule:
// the line as the triggers see it and, for each rule in order, that it fires
// (what it would switch and answer) or the first gate that holds it back.
// Every decision is the dispatcher's own (JudgeRule); nothing is switched,
// sent or logged.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch/dispatcher.h"
#include "dispatch/sender_directory.h"
#include "model/io_command.h"
#include "outputs/outputs.h"

namespace zelvo {

// One sender as the explanation assumes it: logged in to `account`
// (nothing: not logged in) and holding `status` in the channel, whatever
// the nickname. Names compare by rfc1459; the bot's nickname is the
// configured one. An account tag on the line itself counts first.
class StatedSender final : public SenderDirectory {
 public:
  // `settings` must outlive this.
  StatedSender(const Settings& settings, std::optional<std::string> account, ChannelStatus status)
      : settings_(settings), account_(std::move(account)), status_(status) {}

  const CaseMapping& Mapping() const override { return mapping_; }
  std::string_view OwnNick() const override { return settings_.gsIRCNickname; }
  std::optional<std::string> Account(std::string_view nick,
                                     const IrcMessage& message) const override;
  bool HasStatus(std::string_view nick, ChannelStatus least) const override;

 private:
  const Settings& settings_;
  std::optional<std::string> account_;
  ChannelStatus status_;
  CaseMapping mapping_;
};

// The line a server sends for `text` said by `from` (NICK!USER@HOST) in
// `channel`: ":FROM PRIVMSG CHANNEL :TEXT" and CR LF; NOTICE with `notice`.
std::string ChannelLine(std::string_view from, std::string_view channel, std::string_view text,
                        bool notice);

struct Explanation {
  // "Line: ..." with the line end written out as \r\n, "Sender: ...", one
  // "Rule N ..." line per rule and a summary; each line ends with "\n".
  std::string text;
  int firing = 0;  // rules that fire for certain
  // Each rule's "Rule N ..." line of `text` without its line end, in order.
  struct Rule {
    std::string text;
    bool fires = false;
  };
  std::vector<Rule> rules;
};

// Explains the received `line` (line end included) against `commands`, with
// the output names of `outputs`. With no chat client in `context`, a rule
// held only by a focus gate is told as such and not counted as firing.
Explanation ExplainLine(std::string_view line, const IOCommands& commands, const Outputs& outputs,
                        const RuleContext& context);

}  // namespace zelvo
