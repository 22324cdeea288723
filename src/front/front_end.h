// The front end of the bot: the window, or the terminal when the bot runs
// without one. The application wires the bot to this interface alone, so that
// whatever the two show differently is added here and in both of them.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "front/bot_status.h"
#include "front/bot_timers.h"
#include "irc/irc_connection.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/console.h"
#include "model/date_time.h"
#include "model/io_command.h"
#include "model/settings.h"
#include "outputs/outputs.h"

namespace zelvo {

// What every front end is given. Everything referenced outlives it.
struct FrontEndServices {
  Settings& settings;  // the window updates gbWindowShow and giWindowState here
  Outputs& outputs;
  LogWriter log;
  BotTimers::Handler auto_return_tick;    // every 1000 ms
  BotTimers::Handler pulse_quickly_tick;  // every 100 ms
  // Ends the program with the exit code (kExitClosed after a close).
  std::function<void(int)> exit_application;
  // Counts down the reconnect and dates the lamps' activity; null: the
  // system clock.
  const Clock* clock = nullptr;
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // Where the IRC traffic and the bot's own lines are shown.
  virtual Console& console() = 0;
  // The lamps of the eight outputs; null when nothing shows them.
  virtual LampPanel* lamps() = 0;
  // The connection the front end starts, sends the operator's lines through
  // and closes. Set before Load.
  virtual void AttachConnection(IrcConnection& connection) = 0;

  // Sets itself up, starts the connection and the bot's timers (see
  // RunLoadSteps). A failure here fails the start.
  virtual void Load() = 0;
  // The start has finished: the window shows itself (or stays hidden as its
  // settings say); the terminal has nothing to show.
  virtual void Show() = 0;

  // The connection's state as the IRC client words it:
  // "Zelvo - " + IRC state + " (" + socket state + ")".
  virtual void ShowConnectionState(const std::string& caption) = 0;
  // The connection's state, server, channel and nickname: the window's
  // status line; the terminal prints it when it has changed.
  virtual void ShowConnectionStatus(const ConnectionStatus& status) = 0;
  // A rule ran for a line from `nick`, at local time `at`.
  virtual void ShowRuleRun(std::string_view rule, std::string_view nick, OleDate at) = 0;
  // The output names and, per output, the rules that switch it (the lamps'
  // tooltips). Called at start and again after the rules are reloaded.
  virtual void ShowRules(const IOCommands& rules) = 0;

  // A lasting problem beside the connection's state, such as a port that
  // refuses the outputs, under a short name ("port"); an empty text: solved.
  // The window's status line shows it until then; the terminal prints it.
  virtual void ShowProblem(std::string_view what, const std::string& text) = 0;

  // A failure inside an event handler: logged and shown (see
  // ReportHandlerError); the bot runs on.
  virtual void ReportHandlerError(const std::string& error) = 0;

  // Ends the bot in order (see RunCloseSteps); later calls do nothing.
  virtual void Close() = 0;
};

// The load every front end runs: entry 29, the front end's own `set_up`,
// entry 31 and the connection started, entry 28, the timers started.
void RunLoadSteps(const LogWriter& log, const std::function<void()>& set_up,
                  IrcConnection* connection, BotTimers& timers);

// The close every front end runs: entry 34, the front end's own `tear_down`,
// the connection closed (a failure of these is reported through
// `report_error`), then the program ends with kExitClosed.
void RunCloseSteps(const LogWriter& log, const std::function<void()>& tear_down,
                   IrcConnection* connection,
                   const std::function<void(const std::string&)>& report_error,
                   const std::function<void(int)>& exit_application);

// Logs a failure inside an event handler as an error and shows it in the
// console; the program keeps running.
void ReportHandlerError(const LogWriter& log, Console& console, const std::string& error);

}  // namespace zelvo
