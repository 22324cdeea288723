#include "dispatch/dispatcher.h"

#include <chrono>
#include <optional>
#include <utility>

#include "model/date_time.h"
#include "model/flags.h"
#include "model/glob.h"

namespace zelvo {
namespace {

constexpr int kPulseOutput = 3;
constexpr std::int32_t kPulseOutputBit = 4;  // output 3 in the port byte

struct Sender {
  std::string_view nickname;
  std::string_view username;
};

// True when `line` is addressed to `channel`: its first parameter after the
// command is exactly the channel, followed by " :" as a relayed channel
// message has. The prefix (":nick!user@host ") is optional.
bool IsChannelMessage(std::string_view line, std::string_view channel) {
  if (channel.empty()) return false;
  std::size_t command = 0;
  if (!line.empty() && line.front() == ':') {
    const std::size_t prefix_end = line.find(' ');
    if (prefix_end == std::string_view::npos) return false;
    command = prefix_end + 1;
  }
  const std::size_t command_end = line.find(' ', command);
  if (command_end == std::string_view::npos || command_end == command) return false;
  const std::string_view rest = line.substr(command_end + 1);
  return rest.size() >= channel.size() + 2 && rest.substr(0, channel.size()) == channel &&
         rest.substr(channel.size(), 2) == " :";
}

// The nickname and user-name parts of the line's prefix ":nick!user@host";
// nothing when the line has no prefix, or its prefix lacks "!" or an "@"
// after it.
std::optional<Sender> SenderOf(std::string_view line) {
  if (line.empty() || line.front() != ':') return std::nullopt;
  const std::string_view prefix = line.substr(1, line.find(' ') - 1);
  const std::size_t bang = prefix.find('!');
  if (bang == std::string_view::npos) return std::nullopt;
  const std::size_t at = prefix.find('@', bang + 1);
  if (at == std::string_view::npos) return std::nullopt;
  return Sender{prefix.substr(0, bang), prefix.substr(bang + 1, at - bang - 1)};
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
      report_error_(std::move(report_error)) {}

void Dispatcher::MatchIOCommands(std::string_view text) {
  while (!text.empty()) {
    const std::size_t line_feed = text.find('\n');
    const std::size_t size = line_feed == std::string_view::npos ? text.size() : line_feed + 1;
    MatchLine(text.substr(0, size));
    text.remove_prefix(size);
  }
}

void Dispatcher::MatchLine(std::string_view line) {
  if (!IsChannelMessage(line, settings_.gsIRCChannel)) return;
  const std::optional<Sender> sender = SenderOf(line);
  if (!sender) return;  // no allowed user can match
  const std::string lowered = LowerLatin1(line);
  for (const IOCommands::Pointer& command : commands_) {
    if (!command->TriggerPattern().Matches(lowered)) continue;
    for (const auto& user : *command) {
      if (user->NicknamePattern().Matches(sender->nickname) &&
          user->UsernamePattern().Matches(sender->username)) {
        ExecuteIOCommand(*command);
        break;
      }
    }
  }
}

std::optional<std::int64_t> Dispatcher::ElapsedSeconds(const IOCommand& command) const {
  if (!command.LastUsedMonotonic()) return std::nullopt;
  return std::chrono::duration_cast<std::chrono::seconds>(clock_.MonotonicNow() -
                                                          *command.LastUsedMonotonic())
      .count();
}

void Dispatcher::ExecuteIOCommand(IOCommand& command) {
  const std::optional<std::int64_t> elapsed = ElapsedSeconds(command);
  if (elapsed && (*elapsed < command.ExecuteLimit() || *elapsed < command.AutoReturn())) {
    Reply(kRefusalText);
    return;
  }
  const int weekday = IsoWeekday(clock_.LocalNow());
  if (command.HasFlag(flag::kExecuteOnWeekdaysOnly) && weekday >= 6) return;
  if (command.HasFlag(flag::kExecuteOnWeekendsOnly) && weekday <= 5) return;
  if (command.HasFlag(flag::kExecuteOnlyWhenVeskoHasFocus) && !chat_client_.IsChatClientActive())
    return;
  if (command.HasFlag(flag::kExecuteOnlyWhenVeskoHasNonFocus) && chat_client_.IsChatClientActive())
    return;

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
  if (command.HasFlag(flag::kResponseWithIOCommandName))
    Reply(" I toggled " + command.IOName() + ".");

  Report(outputs_.SetOutputs());
  command.SetLastUsed(clock_.LocalNow());
  command.SetLastUsedMonotonic(clock_.MonotonicNow());
  command.SetAutoReturnComplete(command.AutoReturn() < 1);
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
      sender_.SendLine("PRIVMSG " + settings_.gsIRCChannel + " :" + std::string(message) + "\r\n");
  if (!error.empty()) {
    Report(error);
    return;
  }
  console_.Append(":" + settings_.gsIRCNickname + "!~" + settings_.gsIRCUser + "@" +
                  sender_.LocalIP() + " " + std::string(text) + "\r\n");
}

void Dispatcher::Report(const std::string& error) {
  if (!error.empty() && report_error_) report_error_(error);
}

}  // namespace zelvo
