// Holds the lines the IRC session hands over against the rules and runs the
// rules that match; the two periodic handlers put outputs back and make
// output 3 blink.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dispatch/chat_client.h"
#include "dispatch/sender_directory.h"
#include "irc/irc_message.h"
#include "irc/irc_sender.h"
#include "irc/line_event.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/console.h"
#include "model/io_command.h"
#include "model/settings.h"
#include "outputs/outputs.h"

namespace zelvo {

inline constexpr std::string_view kRefusalText =
    " Don't be hasty, the procedure will be available soon...";

class Dispatcher {
 public:
  // Reports a failure (a port write, a send) that must not stop the program.
  using ErrorReporter = std::function<void(const std::string&)>;

  Dispatcher(const Settings& settings, IOCommands& commands, Outputs& outputs, const Clock& clock,
             IrcSender& sender, Console& console, ChatClientWindow& chat_client,
             ErrorReporter report_error);

  // What the connection knows of the senders; until one is set (or after
  // nullptr), ConfiguredSenders. `directory` must outlive its use.
  void SetSenderDirectory(const SenderDirectory* directory);
  // Where the entries on rules not run for a condition go; none by default.
  void SetLogWriter(LogWriter log) { log_ = std::move(log); }
  // Told of each rule that ran for a received line or the operator's line:
  // the rule (its LastUsed is the time it ran) and the sender's nickname.
  using RuleRunHook = std::function<void(const IOCommand& rule, const std::string& nick)>;
  void AddRuleRunHook(RuleRunHook hook);
  // The same with the whole sender: the line's prefix parts and the account
  // the sender is logged in to ("" when not, nothing when not known).
  using RuleRunSenderHook = std::function<void(const IOCommand& rule, const IrcMessage& message,
                                               const std::optional<std::string>& account)>;
  void AddRuleRunHook(RuleRunSenderHook hook) { rule_run_hooks_.push_back(std::move(hook)); }

  // Holds one line against the rules: a received line (MatchReceived) or
  // the operator's (MatchOperatorEcho).
  void Match(const LineEvent& event);

  // One line received from the server, message tags and all. Only a PRIVMSG
  // to the configured channel counts (compared by the server's case
  // mapping), with a text that is not a CTCP request other than ACTION; a
  // line from the bot's own nickname never counts. The trigger must match the
  // whole line as a server without tags sends it (`classic`), CR LF
  // included, letter case ignored (ASCII and Latin-1). The sender comes from
  // the prefix ":nick!user@host" (a prefix without "!" before its "@" matches
  // no allowed user). An allowed user matches when its Nickname and Username
  // (letter case counting) and each of its conditions match: Host and
  // Account are patterns with letter case ignored, an Account only ever
  // matches a sender known to be logged in; Status is the least channel
  // status. Each matching rule runs once. A rule held back only by such
  // conditions (of users whose Nickname and Username matched) gets one
  // information entry log_msg::kRuleNotRun and a console line naming the sender
  // and what is missing.
  void MatchReceived(const IrcMessage& message);

  // A line the operator typed, sent to the channel from `nick` (the nickname
  // in use). Held against the rules as the line other members receive,
  // ":nick!~user@localip PRIVMSG #channel :text" without a line end (the
  // configured user name, the sender's LocalIP), but from the bot's own
  // nickname: its Account and Status are the bot's own.
  void MatchOperatorEcho(std::string_view nick, std::string_view text);

  // Runs one rule: time gate (refusal reply), day and focus gates, output
  // actions with undo bookkeeping, focus option, port write, name reply,
  // LastUsed and AutoReturnComplete. Elapsed time is measured on the
  // monotonic clock from the rule's last run; a rule that has never run
  // passes the time gate. A port write that fails is reported and undoes the
  // run: no reply, no undo bookkeeping, no LastUsed. True when the rule's
  // outputs were written.
  bool ExecuteIOCommand(IOCommand& command);

  // Every 1000 ms: puts back the outputs of each rule whose AutoReturn has passed.
  void tmrAutoReturn_Timer();
  // Every 100 ms: blinks output 3 while a rule holding the pulse bit keeps it on.
  void tmrPulseQuickly_Timer();

  bool PulsePhase() const { return mbPulsePhase; }

 private:
  void MatchMessage(const IrcMessage& message);
  // The conditions of `user` that `message`'s sender `nick` fails, joined;
  // "" when it meets them all.
  std::string MissingConditions(const User& user, const IrcMessage& message) const;
  const SenderDirectory& Senders() const { return directory_ ? *directory_ : configured_; }
  // Whole seconds since the rule last ran; empty when it has never run.
  std::optional<std::int64_t> ElapsedSeconds(const IOCommand& command) const;
  // Sends `text` (which begins with a blank) to the channel and echoes it on
  // the console from the nickname in use (the sender directory's OwnNick).
  void Reply(std::string_view text);
  void Report(const std::string& error);

  const Settings& settings_;
  IOCommands& commands_;
  Outputs& outputs_;
  const Clock& clock_;
  IrcSender& sender_;
  Console& console_;
  ChatClientWindow& chat_client_;
  ErrorReporter report_error_;
  LogWriter log_;
  ConfiguredSenders configured_;
  const SenderDirectory* directory_ = nullptr;
  std::vector<RuleRunSenderHook> rule_run_hooks_;
  bool mbPulsePhase = false;
};

}  // namespace zelvo
