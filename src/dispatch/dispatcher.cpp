#include "dispatch/dispatcher.h"

#include <chrono>
#include <optional>
#include <utility>
#include <variant>

#include "model/date_time.h"
#include "model/flags.h"
#include "model/glob.h"

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
  const SenderDirectory& senders = Senders();
  if (!message.nick.empty() && senders.Mapping().Equal(message.nick, senders.OwnNick())) return;
  MatchMessage(message);
}

void Dispatcher::MatchOperatorEcho(std::string_view nick, std::string_view text) {
  MatchMessage(RelayedOperatorLine(nick, settings_.gsIRCUser, sender_.LocalIP(),
                                   settings_.gsIRCChannel, text));
}

void Dispatcher::MatchMessage(const IrcMessage& message) {
  if (!IsChannelMessage(message, settings_.gsIRCChannel, Senders().Mapping())) return;
  if (!HasUserPrefix(message)) return;  // no allowed user can match
  const std::string lowered = LowerLatin1(message.classic);
  for (const IOCommands::Pointer& command : commands_) {
    if (!command->TriggerPattern().Matches(lowered)) continue;
    bool runs = false;
    std::string missing;
    for (const auto& user : *command) {
      if (!user->NicknamePattern().Matches(message.nick) ||
          !user->UsernamePattern().Matches(message.user))
        continue;
      const std::string failed = MissingConditions(*user, message);
      if (failed.empty()) {
        runs = true;
        break;
      }
      if (missing.find(failed) == std::string::npos)
        missing += (missing.empty() ? "" : "; ") + failed;
    }
    if (runs) {
      if (ExecuteIOCommand(*command)) {
        if (!rule_run_hooks_.empty()) {
          const std::optional<std::string> account = Senders().Account(message.nick, message);
          for (const RuleRunSenderHook& hook : rule_run_hooks_) hook(*command, message, account);
        }
      }
    } else if (!missing.empty()) {
      const std::string text = RuleNotRunText(command->IOName(), message.prefix, missing);
      WriteMessage(log_, log_msg::kRuleNotRun, text);
      console_.Append(text + "\r\n");
    }
  }
}

std::string Dispatcher::MissingConditions(const User& user, const IrcMessage& message) const {
  std::string missing;
  const auto add = [&missing](const std::string& text) {
    missing += (missing.empty() ? "" : ", ") + text;
  };
  if (!user.Host().empty() && !MatchesIgnoringCase(message.host, user.Host()))
    add("host " + Quoted(message.host) + " does not match " + Quoted(user.Host()));
  if (!user.Account().empty()) {
    const std::optional<std::string> account = Senders().Account(message.nick, message);
    const std::string wanted = "an account matching " + Quoted(user.Account());
    if (!account) {
      add("account not known, needs " + wanted);
    } else if (account->empty()) {
      add("not logged in to " + wanted);
    } else if (!MatchesIgnoringCase(*account, user.Account())) {
      add("logged in as " + Quoted(*account) + ", not to " + wanted);
    }
  }
  if (user.Status() != ChannelStatus::kNone && !Senders().HasStatus(message.nick, user.Status()))
    add("not " + std::string(StatusName(user.Status())) + " or higher in " +
        settings_.gsIRCChannel);
  return missing;
}

std::optional<std::int64_t> Dispatcher::ElapsedSeconds(const IOCommand& command) const {
  if (!command.LastUsedMonotonic()) return std::nullopt;
  return std::chrono::duration_cast<std::chrono::seconds>(clock_.MonotonicNow() -
                                                          *command.LastUsedMonotonic())
      .count();
}

bool Dispatcher::ExecuteIOCommand(IOCommand& command) {
  const std::optional<std::int64_t> elapsed = ElapsedSeconds(command);
  if (elapsed && (*elapsed < command.ExecuteLimit() || *elapsed < command.AutoReturn())) {
    Reply(kRefusalText);
    return false;
  }
  const int weekday = IsoWeekday(clock_.LocalNow());
  if (command.HasFlag(flag::kExecuteOnWeekdaysOnly) && weekday >= 6) return false;
  if (command.HasFlag(flag::kExecuteOnWeekendsOnly) && weekday <= 5) return false;
  if (command.HasFlag(flag::kExecuteOnlyWhenVeskoHasFocus) && !chat_client_.IsChatClientActive())
    return false;
  if (command.HasFlag(flag::kExecuteOnlyWhenVeskoHasNonFocus) && chat_client_.IsChatClientActive())
    return false;

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
  const std::string error = outputs_.SetOutputs();
  if (!outputs_.LastWriteTaken()) {
    command.SetAutoReturnOutputs(pending_return);
    Report(RuleNotSwitchedText(command.IOName(), error));
    return false;
  }
  Report(error);  // some devices of a group refused it
  if (command.HasFlag(flag::kResponseWithIOCommandName))
    Reply(" I toggled " + command.IOName() + ".");
  command.SetLastUsed(clock_.LocalNow());
  command.SetLastUsedMonotonic(clock_.MonotonicNow());
  command.SetAutoReturnComplete(command.AutoReturn() < 1);
  return true;
}

void Dispatcher::tmrAutoReturn_Timer() {
  for (const IOCommands::Pointer& command : commands_) {
    if (command->AutoReturnComplete()) continue;
    const std::optional<std::int64_t> elapsed = ElapsedSeconds(*command);
    if (elapsed && *elapsed < command->AutoReturn()) continue;
    const std::int32_t undo = command->AutoReturnOutputs();
    for (int n = 1; n <= kOutputCount; ++n) {
      if (undo & OffBit(n)) outputs_.SetOutput(n, false);
      if (undo & OnBit(n)) outputs_.SetOutput(n, true);
      if (undo & ToggleBit(n)) outputs_.Output_Toggle(n);
    }
    Report(outputs_.SetOutputs());
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
