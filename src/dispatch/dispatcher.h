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
#include "dispatch/owner_gate.h"
#include "dispatch/rate_limits.h"
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

// The gates that a line and a rule pass on the way to running the rule, in
// the order they are checked.
enum class RuleGate : std::uint8_t {
  kRuns,               // every gate passed: the rule runs
  kOwnLine,            // a received line from the bot's own nickname
  kNotChannelMessage,  // not a PRIVMSG to the channel, or a CTCP request other than ACTION
  kNoUserPrefix,       // the prefix has no "!" before its "@": no allowed user can match
  kTrigger,            // the trigger does not match the line
  kNoUser,             // no allowed user's Nickname and Username match the sender
  kConditions,         // users matched, but their Host, Account or Status conditions fail
  kTooSoon,            // ExecuteLimit or AutoReturn not over since the last run
  kWeekdaysOnly,       // ExecuteOnWeekdaysOnly on a Saturday or Sunday
  kWeekendsOnly,       // ExecuteOnWeekendsOnly on a Monday to Friday
  kFocus,              // ExecuteOnlyWhenVeskoHasFocus, the chat client is not active
  kNonFocus,           // ExecuteOnlyWhenVeskoHasNonFocus, the chat client is active
  kSenderLimited,      // the sender has run as many rules as SenderRateLimit allows
  kOutputTooSoon,      // an output of the rule changed less than OutputMinInterval ago
};

// What rules are judged against besides the line.
struct RuleContext {
  const Settings& settings;  // the channel
  const SenderDirectory& senders;
  const Clock& clock;  // the weekday and the time since a rule last ran
  // Asked for the focus gates; nullptr when the window is not looked at.
  ChatClientWindow* chat_client;
  // The limit gates' records; nullptr passes the gate.
  const SenderRateLimiter* sender_limits = nullptr;
  const OutputChanges* output_changes = nullptr;
};

// One line judged once for all rules: `gate` is kRuns, kOwnLine,
// kNotChannelMessage or kNoUserPrefix; `lowered` is the classic line
// lower-cased for the triggers (only when the gate passes). `message` must
// outlive it.
struct RuleLine {
  const IrcMessage& message;
  RuleGate gate = RuleGate::kRuns;
  std::string lowered;
  // A received line's sender as SenderRateLimit counts it (SenderKey); ""
  // for the operator's lines, which are never limited.
  std::string sender;
};

// Who sent `message` for SenderRateLimit: `account "NAME"` when the sender
// is known to be logged in, else `host "HOST"`, both lower-cased.
std::string SenderKey(const IrcMessage& message, const SenderDirectory& senders);

// `received`: a line from the server, which never counts from the bot's own
// nickname; otherwise the operator's relayed line.
RuleLine JudgeLine(const IrcMessage& message, bool received, const RuleContext& context);

// The first gate a rule fails for a line, or kRuns.
struct RuleVerdict {
  RuleGate gate = RuleGate::kRuns;
  // kConditions: what the users whose Nickname and Username matched lack,
  // as the log entry log_msg::kRuleNotRun names it.
  std::string missing;
  // kTooSoon, kSenderLimited, kOutputTooSoon: whole seconds until it may run again.
  std::int64_t wait = 0;
  int output = 0;  // kOutputTooSoon: the output that changed too recently
  bool window_unknown = false;  // kFocus, kNonFocus: the window was not looked at
  bool Runs() const { return gate == RuleGate::kRuns; }
};

// One allowed user against the line's sender: kMatches, or the first part
// that fails; `missing` lists the failed conditions for kConditions.
struct UserVerdict {
  enum Gate : std::uint8_t { kMatches, kNickname, kUsername, kConditions };
  Gate gate = kMatches;
  std::string missing;
};
UserVerdict JudgeUser(const User& user, const IrcMessage& message, const RuleContext& context);

// Every gate of `rule` for `line`, in order: the line's, the trigger, the
// allowed users and their conditions, JudgeRun's, then the limits: the
// line's sender against SenderRateLimit and the rule's outputs against
// OutputMinInterval (the one that may switch last is named). Asks the chat
// client only when the rule has a focus gate and passed all earlier ones.
RuleVerdict JudgeRule(const IOCommand& rule, const RuleLine& line, const RuleContext& context);
// The gates of a run alone: the time gate, the day gates (today's local
// date) and the focus gates. Without a chat client, a rule held only by a
// focus gate gets kFocus or kNonFocus with window_unknown set.
RuleVerdict JudgeRun(const IOCommand& rule, const RuleContext& context);

// Whole seconds since the rule last ran on the monotonic clock; empty when it
// has never run.
std::optional<std::int64_t> SecondsSinceRun(const IOCommand& rule, const Clock& clock);
// Seconds after a run before the rule runs again: the larger of ExecuteLimit
// and AutoReturn.
std::int64_t RestSeconds(const IOCommand& rule);
// What a rule that runs says in the channel: "I toggled NAME." with
// ResponseWithIOCommandName, otherwise nothing.
std::string RuleReplyText(const IOCommand& rule);

struct Explanation;
struct OwnerIdentity;
class OwnerCommands;

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
  // When the outputs last changed, for OutputMinInterval; without it (or
  // after nullptr) that gate passes. `changes` must outlive its use.
  void SetOutputChanges(const OutputChanges* changes) { output_changes_ = changes; }
  // Where the entries on rules not run for a condition or a limit go; none by default.
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

  // Answers private messages from an IRCOwners account (see MatchReceived);
  // none by default. `commands` must outlive its use.
  void SetOwnerCommands(OwnerCommands* commands) { owner_commands_ = commands; }
  // The rules' answer, as ExplainLine gives it, to `text` said now in the
  // channel by `sender` logged in to its account; nothing runs.
  Explanation Explain(const OwnerIdentity& sender, std::string_view text);

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
  // and what is missing. A rule's port write carries its cause: kRule with
  // the prefix and the account when known (kOperatorLine and "operator" for
  // the operator's line).
  // Each rule run counts against the sender's SenderRateLimit. A rule
  // refused for that limit fires nothing (not even the refusal reply of
  // kTooSoon): the first refusal in a window gets the warning
  // log_msg::kSenderLimited with a console line and a NOTICE to the
  // sender's nickname. A rule refused for OutputMinInterval gets the
  // information entry log_msg::kOutputTooSoon and a console line.
  // With owner commands set, a private message to the bot (IsPrivateMessage)
  // is not held against the rules: from an IRCOwners account (OwnerGate) it
  // gets the entry log_msg::kOwnerCommand and its answer as NOTICEs to the
  // sender, each echoed on the console; from anyone else no answer, and
  // the gate's refusal as log_msg::kOwnerRefused and a console line.
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

  // Every 1000 ms: puts back the outputs of each rule whose AutoReturn has
  // passed (cause kAutoReturn, or kPulseEnd for a rule that pulsed).
  void tmrAutoReturn_Timer();
  // Every 100 ms: blinks output 3 while a rule holding the pulse bit keeps it on.
  void tmrPulseQuickly_Timer();

  bool PulsePhase() const { return mbPulsePhase; }

 private:
  void MatchMessage(const IrcMessage& message, bool received);
  void AnswerOwner(const IrcMessage& message);
  // Runs `command` as `verdict` allows: the refusal reply for kTooSoon,
  // nothing for any other failed gate. `cause` goes with the port write.
  bool Run(IOCommand& command, const RuleVerdict& verdict, SwitchCause cause);
  const SenderDirectory& Senders() const { return directory_ ? *directory_ : configured_; }
  RuleContext Context() {
    return {settings_, Senders(), clock_, &chat_client_, &sender_limits_, output_changes_};
  }
  // The log entry, console line and NOTICE of a sender refused for
  // SenderRateLimit, once per window.
  void TellSenderLimited(const IrcMessage& message, const std::string& sender, std::int64_t wait);
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
  SenderRateLimiter sender_limits_;
  const OutputChanges* output_changes_ = nullptr;
  std::vector<RuleRunSenderHook> rule_run_hooks_;
  OwnerCommands* owner_commands_ = nullptr;
  OwnerGate owner_gate_;
  bool mbPulsePhase = false;
};

}  // namespace zelvo
