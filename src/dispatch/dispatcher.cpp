#include "dispatch/dispatcher.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>
#include <variant>

#include "dispatch/owner_commands.h"
#include "dispatch/rule_explain.h"
#include "model/date_time.h"
#include "model/flags.h"
#include "model/glob.h"
#include "model/visible_text.h"

namespace zelvo {
namespace {

constexpr int kPulseOutput = 3;
constexpr std::int32_t kPulseOutputBit = 4;  // output 3 in the port byte

// A PRIVMSG to `channel` whose text is not a CTCP request other than ACTION.
bool IsChannelMessage(const IrcMessage& message, std::string_view channel,
                      const CaseMapping& mapping) {
  if (channel.empty() || message.command != "PRIVMSG" || message.params.size() != 2) return false;
  if (!mapping.Equal(message.params[0], channel)) return false;
  const std::string_view text = message.params[1];
  if (text.empty() || text.front() != '\x01') return true;
  const std::string_view ctcp = text.substr(1, text.find_first_of(" \x01", 1) - 1);
  return ctcp == "ACTION";
}

// Whether the prefix names a user: a "!" before its first "@".
bool HasUserPrefix(const IrcMessage& message) {
  const std::size_t at = message.prefix.find('@');
  return at != std::string::npos && message.prefix.find('!') < at;
}

std::string_view StatusName(ChannelStatus status) {
  switch (status) {
    case ChannelStatus::kVoice:
      return "voice";
    case ChannelStatus::kHalfop:
      return "halfop";
    case ChannelStatus::kOp:
      return "op";
    case ChannelStatus::kAdmin:
      return "admin";
    case ChannelStatus::kOwner:
      return "owner";
    case ChannelStatus::kNone:
      break;
  }
  return "";
}

bool MatchesIgnoringCase(std::string_view text, std::string_view pattern) {
  return GlobMatch(LowerLatin1(text), LowerLatin1(pattern));
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  return quoted.append(text).append(1, '"');
}

// The conditions of `user` that `message`'s sender fails, joined; "" when it
// meets them all.
std::string MissingConditions(const User& user, const IrcMessage& message,
                              const RuleContext& context) {
  std::string missing;
  const auto add = [&missing](const std::string& text) {
    missing += (missing.empty() ? "" : ", ") + text;
  };
  if (!user.Host().empty() && !MatchesIgnoringCase(message.host, user.Host()))
    add("host " + Quoted(message.host) + " does not match " + Quoted(user.Host()));
  if (!user.Account().empty()) {
    const std::optional<std::string> account = context.senders.Account(message.nick, message);
    const std::string wanted = "an account matching " + Quoted(user.Account());
    if (!account) {
      add("account not known, needs " + wanted);
    } else if (account->empty()) {
      add("not logged in to " + wanted);
    } else if (!MatchesIgnoringCase(*account, user.Account())) {
      add("logged in as " + Quoted(*account) + ", not to " + wanted);
    }
  }
  if (user.Status() != ChannelStatus::kNone &&
      !context.senders.HasStatus(message.nick, user.Status()))
    add("not " + std::string(StatusName(user.Status())) + " or higher in " +
        context.settings.gsIRCChannel);
  return missing;
}

// The limit gates of a rule that passed all others.
RuleVerdict JudgeLimits(const IOCommand& rule, const RuleLine& line, const RuleContext& context) {
  RuleVerdict verdict;
  const auto now = context.clock.MonotonicNow();
  if (context.sender_limits && !line.sender.empty())
    verdict.wait =
        context.sender_limits->SecondsLimited(line.sender, context.settings.SenderRateLimit, now);
  if (verdict.wait > 0) {
    verdict.gate = RuleGate::kSenderLimited;
    return verdict;
  }
  if (!context.output_changes) return verdict;
  for (int n = 1; n <= kOutputCount; ++n) {
    if (!rule.HasFlag(OffBit(n) | OnBit(n) | ToggleBit(n))) continue;
    const std::int64_t left =
        context.output_changes->SecondsLeft(n, context.settings.OutputMinInterval);
    if (left > verdict.wait) {
      verdict.wait = left;
      verdict.output = n;
      verdict.gate = RuleGate::kOutputTooSoon;
    }
  }
  return verdict;
}

}  // namespace

Dispatcher::Dispatcher(const Settings& settings, IOCommands& commands, Outputs& outputs,
                       const Clock& clock, IrcSender& sender, Console& console,
                       ChatClientWindow& chat_client, ErrorReporter report_error)
    : settings_(settings),
      commands_(commands),
      outputs_(outputs),
      clock_(clock),
      sender_(sender),
      console_(console),
      chat_client_(chat_client),
      report_error_(std::move(report_error)),
      configured_(settings) {}

void Dispatcher::AddRuleRunHook(RuleRunHook hook) {
  rule_run_hooks_.push_back(
      [hook = std::move(hook)](const IOCommand& rule, const IrcMessage& message,
                               const std::optional<std::string>&) { hook(rule, message.nick); });
}

void Dispatcher::SetSenderDirectory(const SenderDirectory* directory) {
  directory_ = directory;
}

void Dispatcher::Match(const LineEvent& event) {
  if (const auto* line = std::get_if<ServerLine>(&event)) {
    MatchReceived(line->message);
  } else {
    const auto& typed = std::get<OperatorLine>(event);
    MatchOperatorEcho(typed.nick, typed.text);
  }
}

void Dispatcher::MatchReceived(const IrcMessage& message) {
  if (owner_commands_ && IsPrivateMessage(message, Senders())) return AnswerOwner(message);
  MatchMessage(message, true);
}

void Dispatcher::AnswerOwner(const IrcMessage& message) {
  const OwnerGate::Verdict verdict =
      owner_gate_.Judge(message, Senders(), settings_.IRCOwners, clock_.MonotonicNow());
  if (!verdict.refusal.empty()) {
    WriteMessage(log_, log_msg::kOwnerRefused, verdict.refusal);
    console_.Append(verdict.refusal + "\r\n");
  }
  if (!verdict.owner) return;
  const std::string& text = message.params[1];
  WriteMessage(log_, log_msg::kOwnerCommand,
               OwnerCommandText(VisibleControlText(text), message.prefix, verdict.account));
  std::string echo = ":";
  echo.append(Senders().OwnNick()).append("!~").append(settings_.gsIRCUser);
  echo.append("@").append(sender_.LocalIP());
  for (const std::string& line : owner_commands_->Answer(text, {message.prefix, verdict.account})) {
    const std::string notice = "NOTICE " + message.nick + " :" + line;
    const std::string error = sender_.SendLine(notice);
    if (!error.empty()) return Report(error);
    console_.Append(echo + " " + notice + "\r\n");
  }
}

Explanation Dispatcher::Explain(const OwnerIdentity& sender, std::string_view text) {
  // The account as a tag of the line itself, so that it counts first.
  std::string line = "@account=";
  for (const char c : sender.account) {
    if (c == ';')
      line += "\\:";
    else if (c == ' ')
      line += "\\s";
    else if (c == '\\')
      line += "\\\\";
    else
      line += c;
  }
  line += ' ';
  line += ChannelLine(sender.prefix, settings_.gsIRCChannel, text, false);
  return ExplainLine(line, commands_, outputs_, Context());
}

void Dispatcher::MatchOperatorEcho(std::string_view nick, std::string_view text) {
  MatchMessage(RelayedOperatorLine(nick, settings_.gsIRCUser, sender_.LocalIP(),
                                   settings_.gsIRCChannel, text),
               false);
}

void Dispatcher::MatchMessage(const IrcMessage& message, bool received) {
  const RuleContext context = Context();
  const RuleLine line = JudgeLine(message, received, context);
  if (line.gate != RuleGate::kRuns) return;
  const Settings::RateLimit& limit = settings_.SenderRateLimit;
  for (const IOCommands::Pointer& command : commands_) {
    const RuleVerdict verdict = JudgeRule(*command, line, context);
    if (verdict.gate == RuleGate::kConditions) {
      const std::string text = RuleNotRunText(command->IOName(), message.prefix, verdict.missing);
      WriteMessage(log_, log_msg::kRuleNotRun, text);
      console_.Append(text + "\r\n");
      continue;
    }
    if (verdict.gate == RuleGate::kSenderLimited) {
      TellSenderLimited(message, line.sender, verdict.wait);
      continue;
    }
    if (verdict.gate == RuleGate::kTooSoon && !line.sender.empty() &&
        sender_limits_.SecondsLimited(line.sender, limit, clock_.MonotonicNow()) > 0) {
      continue;  // a limited sender does not even get the refusal reply
    }
    if (verdict.gate == RuleGate::kOutputTooSoon) {
      const std::string text =
          OutputTooSoonText(command->IOName(), verdict.output, outputs_.OutputName(verdict.output),
                            settings_.OutputMinInterval, verdict.wait);
      WriteMessage(log_, log_msg::kOutputTooSoon, text);
      console_.Append(text + "\r\n");
      continue;
    }
    std::optional<std::string> account;
    if (verdict.Runs()) account = Senders().Account(message.nick, message);
    const SwitchCause cause{
        received ? SwitchCause::Kind::kRule : SwitchCause::Kind::kOperatorLine, {},
        received ? std::string_view(message.prefix) : std::string_view("operator"),
        received && account ? std::string_view(*account) : std::string_view()};
    if (Run(*command, verdict, cause)) {
      if (!line.sender.empty()) sender_limits_.Count(line.sender, limit, clock_.MonotonicNow());
      for (const RuleRunSenderHook& hook : rule_run_hooks_) hook(*command, message, account);
    }
  }
}

void Dispatcher::TellSenderLimited(const IrcMessage& message, const std::string& sender,
                                   std::int64_t wait) {
  if (!sender_limits_.FirstRefusal(sender)) return;
  const Settings::RateLimit& limit = settings_.SenderRateLimit;
  const std::string text =
      SenderLimitedText(sender, message.prefix, limit.count, limit.seconds, wait);
  WriteMessage(log_, log_msg::kSenderLimited, text);
  console_.Append(text + "\r\n");
  Report(sender_.SendLine("NOTICE " + message.nick + " :" +
                          SenderLimitedNoticeText(limit.count, limit.seconds, wait)));
}

RuleLine JudgeLine(const IrcMessage& message, bool received, const RuleContext& context) {
  RuleLine line{message, RuleGate::kRuns, {}, {}};
  const SenderDirectory& senders = context.senders;
  if (received && !message.nick.empty() && senders.Mapping().Equal(message.nick, senders.OwnNick()))
    line.gate = RuleGate::kOwnLine;
  else if (!IsChannelMessage(message, context.settings.gsIRCChannel, senders.Mapping()))
    line.gate = RuleGate::kNotChannelMessage;
  else if (!HasUserPrefix(message))
    line.gate = RuleGate::kNoUserPrefix;
  else
    line.lowered = LowerLatin1(message.classic);
  if (received && line.gate == RuleGate::kRuns) line.sender = SenderKey(message, senders);
  return line;
}

std::string SenderKey(const IrcMessage& message, const SenderDirectory& senders) {
  const std::optional<std::string> account = senders.Account(message.nick, message);
  if (account && !account->empty()) return "account " + Quoted(LowerLatin1(*account));
  return "host " + Quoted(LowerLatin1(message.host));
}

UserVerdict JudgeUser(const User& user, const IrcMessage& message, const RuleContext& context) {
  if (!user.NicknamePattern().Matches(message.nick)) return {UserVerdict::kNickname, {}};
  if (!user.UsernamePattern().Matches(message.user)) return {UserVerdict::kUsername, {}};
  std::string missing = MissingConditions(user, message, context);
  if (missing.empty()) return {};
  return {UserVerdict::kConditions, std::move(missing)};
}

RuleVerdict JudgeRule(const IOCommand& rule, const RuleLine& line, const RuleContext& context) {
  RuleVerdict verdict;
  verdict.gate = line.gate;
  if (line.gate != RuleGate::kRuns) return verdict;
  if (!rule.TriggerPattern().Matches(line.lowered)) {
    verdict.gate = RuleGate::kTrigger;
    return verdict;
  }
  for (const auto& user : rule) {
    const UserVerdict judged = JudgeUser(*user, line.message, context);
    if (judged.gate == UserVerdict::kMatches) {
      RuleVerdict run = JudgeRun(rule, context);
      return run.Runs() ? JudgeLimits(rule, line, context) : run;
    }
    if (judged.gate == UserVerdict::kConditions &&
        verdict.missing.find(judged.missing) == std::string::npos)
      verdict.missing += (verdict.missing.empty() ? "" : "; ") + judged.missing;
  }
  verdict.gate = verdict.missing.empty() ? RuleGate::kNoUser : RuleGate::kConditions;
  return verdict;
}

RuleVerdict JudgeRun(const IOCommand& rule, const RuleContext& context) {
  RuleVerdict verdict;
  const auto failed = [&verdict](RuleGate gate) {
    verdict.gate = gate;
    return verdict;
  };
  if (const std::optional<std::int64_t> elapsed = SecondsSinceRun(rule, context.clock);
      elapsed && *elapsed < RestSeconds(rule)) {
    verdict.wait = RestSeconds(rule) - *elapsed;
    return failed(RuleGate::kTooSoon);
  }
  const int weekday = IsoWeekday(context.clock.LocalNow());
  if (rule.HasFlag(flag::kExecuteOnWeekdaysOnly) && weekday >= 6)
    return failed(RuleGate::kWeekdaysOnly);
  if (rule.HasFlag(flag::kExecuteOnWeekendsOnly) && weekday <= 5)
    return failed(RuleGate::kWeekendsOnly);
  // Without a window to ask, a focus gate is the one left open.
  ChatClientWindow* const window = context.chat_client;
  verdict.window_unknown = window == nullptr;
  if (rule.HasFlag(flag::kExecuteOnlyWhenVeskoHasFocus) &&
      (!window || !window->IsChatClientActive()))
    return failed(RuleGate::kFocus);
  if (rule.HasFlag(flag::kExecuteOnlyWhenVeskoHasNonFocus) &&
      (!window || window->IsChatClientActive()))
    return failed(RuleGate::kNonFocus);
  verdict.window_unknown = false;
  return verdict;
}

std::optional<std::int64_t> SecondsSinceRun(const IOCommand& rule, const Clock& clock) {
  if (!rule.LastUsedMonotonic()) return std::nullopt;
  return std::chrono::duration_cast<std::chrono::seconds>(clock.MonotonicNow() -
                                                          *rule.LastUsedMonotonic())
      .count();
}

std::int64_t RestSeconds(const IOCommand& rule) {
  return std::max(rule.ExecuteLimit(), rule.AutoReturn());
}

std::string RuleReplyText(const IOCommand& rule) {
  if (!rule.HasFlag(flag::kResponseWithIOCommandName)) return "";
  return "I toggled " + rule.IOName() + ".";
}

bool Dispatcher::ExecuteIOCommand(IOCommand& command) {
  return Run(command, JudgeRun(command, Context()), {SwitchCause::Kind::kRule});
}

bool Dispatcher::Run(IOCommand& command, const RuleVerdict& verdict, SwitchCause cause) {
  if (verdict.gate == RuleGate::kTooSoon) {
    Reply(kRefusalText);
    return false;
  }
  if (!verdict.Runs()) return false;

  const std::int32_t pending_return = command.AutoReturnOutputs();
  for (int n = 1; n <= kOutputCount; ++n) {
    if (command.HasFlag(OffBit(n))) {
      outputs_.SetOutput(n, false);
      command.SetAutoReturnOutputs(command.AutoReturnOutputs() | OnBit(n));
    }
    if (command.HasFlag(OnBit(n))) {
      outputs_.SetOutput(n, true);
      command.SetAutoReturnOutputs(command.AutoReturnOutputs() | OffBit(n));
    }
    if (command.HasFlag(ToggleBit(n))) {
      outputs_.Output_Toggle(n);
      command.SetAutoReturnOutputs(command.AutoReturnOutputs() | ToggleBit(n));
    }
  }
  if (command.HasFlag(flag::kPulseQuickly))
    command.SetAutoReturnOutputs(command.AutoReturnOutputs() | flag::kPulseQuickly);
  if (command.HasFlag(flag::kSetFocusOnVesko)) chat_client_.BringChatClientForward();

  // Nothing is announced for a byte the port refused: the register is back
  // at what the devices show, and the rule did not run.
  cause.rule = command.IOName();
  const std::string error = outputs_.SetOutputs(cause);
  if (!outputs_.LastWriteTaken()) {
    command.SetAutoReturnOutputs(pending_return);
    Report(RuleNotSwitchedText(command.IOName(), error));
    return false;
  }
  Report(error);  // some devices of a group refused it
  if (const std::string reply = RuleReplyText(command); !reply.empty()) Reply(" " + reply);
  command.SetLastUsed(clock_.LocalNow());
  command.SetLastUsedMonotonic(clock_.MonotonicNow());
  command.SetAutoReturnComplete(command.AutoReturn() < 1);
  return true;
}

void Dispatcher::tmrAutoReturn_Timer() {
  for (const IOCommands::Pointer& command : commands_) {
    if (command->AutoReturnComplete()) continue;
    const std::optional<std::int64_t> elapsed = SecondsSinceRun(*command, clock_);
    if (elapsed && *elapsed < command->AutoReturn()) continue;
    const std::int32_t undo = command->AutoReturnOutputs();
    for (int n = 1; n <= kOutputCount; ++n) {
      if (undo & OffBit(n)) outputs_.SetOutput(n, false);
      if (undo & OnBit(n)) outputs_.SetOutput(n, true);
      if (undo & ToggleBit(n)) outputs_.Output_Toggle(n);
    }
    Report(outputs_.SetOutputs({(undo & flag::kPulseQuickly) != 0 ? SwitchCause::Kind::kPulseEnd
                                                                 : SwitchCause::Kind::kAutoReturn,
                                command->IOName()}));
    command->SetAutoReturnOutputs(0);
    command->SetAutoReturnComplete(true);
  }
}

void Dispatcher::tmrPulseQuickly_Timer() {
  if (!outputs_.Output(kPulseOutput)) return;
  bool pulsing = false;
  for (const IOCommands::Pointer& command : commands_)
    pulsing = pulsing || (command->AutoReturnOutputs() & flag::kPulseQuickly) != 0;
  if (!pulsing) return;
  std::int32_t byte = outputs_.DecimalOutput();
  if (!mbPulsePhase) byte &= ~kPulseOutputBit;
  Report(outputs_.PortOut(static_cast<std::uint8_t>(byte)));
  mbPulsePhase = !mbPulsePhase;
}

void Dispatcher::Reply(std::string_view text) {
  const std::string_view message = text.empty() ? text : text.substr(1);
  const std::string error =
      sender_.SendLine("PRIVMSG " + settings_.gsIRCChannel + " :" + std::string(message));
  if (!error.empty()) {
    Report(error);
    return;
  }
  std::string echo = ":";
  echo.append(Senders().OwnNick());
  echo += "!~" + settings_.gsIRCUser + "@" + sender_.LocalIP() + " " + std::string(text) + "\r\n";
  console_.Append(echo);
}

void Dispatcher::Report(const std::string& error) {
  if (!error.empty() && report_error_) report_error_(error);
}

}  // namespace zelvo
