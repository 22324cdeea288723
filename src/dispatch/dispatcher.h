// Holds received text against the rules and runs the rules that match; the
// two periodic handlers put outputs back and make output 3 blink.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "dispatch/interfaces.h"
#include "model/clock.h"
#include "model/io_command.h"
#include "model/settings.h"
#include "outputs/outputs.h"

namespace zelvo {

inline constexpr std::string_view kRefusalText = " Don't be hasty, the procedure will be available soon...";

class Dispatcher {
 public:
  // Reports a failure (a port write, a send) that must not stop the program.
  using ErrorReporter = std::function<void(const std::string&)>;

  Dispatcher(const Settings& settings, IOCommands& commands, Outputs& outputs, const Clock& clock,
             IrcSender& sender, Console& console, ChatClientWindow& chat_client,
             ErrorReporter report_error);

  // Holds one IRC line (received with its CR LF, or the operator's echo
  // without one) against the channel, every rule's trigger and its allowed
  // users, and runs each matching rule once. A text of several lines is
  // taken line by line.
  void MatchIOCommands(std::string_view text);

  // Runs one rule: time, day and focus gates, output actions, undo
  // bookkeeping, focus option, reply, port write, LastUsed.
  void ExecuteIOCommand(IOCommand& command);

  // Every 1000 ms: puts back the outputs of each rule whose AutoReturn has passed.
  void tmrAutoReturn_Timer();
  // Every 100 ms: blinks output 3 while a rule holding the pulse bit keeps it on.
  void tmrPulseQuickly_Timer();

  bool PulsePhase() const { return mbPulsePhase; }

 private:
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
  bool mbPulsePhase = false;
};

}  // namespace zelvo
