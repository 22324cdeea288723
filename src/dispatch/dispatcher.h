// Holds received text against the rules and runs the rules that match; the
// two periodic handlers put outputs back and make output 3 blink.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "dispatch/interfaces.h"
#include "model/clock.h"
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

  // Holds one IRC line (received with its CR LF, or the operator's echo
  // without one) against the channel, every rule's trigger and its allowed
  // users, and runs each matching rule once. A text of several lines is
  // taken line by line (split after each LF).
  //
  // A line counts only when its target (the first parameter after the
  // command) is exactly the configured channel followed by " :". The sender
  // is cut from the line's own prefix ":nick!user@host"; a line without one
  // matches no allowed user. The trigger must match the whole line, CR LF
  // included, with letter case ignored (ASCII and Latin-1); Nickname and
  // Username patterns count letter case.
  void MatchIOCommands(std::string_view text);

  // Runs one rule: time gate (refusal reply), day and focus gates, output
  // actions with undo bookkeeping, focus option, name reply, port write,
  // LastUsed and AutoReturnComplete. Elapsed time is measured on the
  // monotonic clock from the rule's last run; a rule that has never run
  // passes the time gate.
  void ExecuteIOCommand(IOCommand& command);

  // Every 1000 ms: puts back the outputs of each rule whose AutoReturn has passed.
  void tmrAutoReturn_Timer();
  // Every 100 ms: blinks output 3 while a rule holding the pulse bit keeps it on.
  void tmrPulseQuickly_Timer();

  bool PulsePhase() const { return mbPulsePhase; }

 private:
  void MatchLine(std::string_view line);
  // Whole seconds since the rule last ran; empty when it has never run.
  std::optional<std::int64_t> ElapsedSeconds(const IOCommand& command) const;
  // Sends `text` (which begins with a blank) to the channel and echoes it.
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
