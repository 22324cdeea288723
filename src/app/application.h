// The application object: owns every long-lived part of the bot (clock,
// pre-log, event log, configuration, settings, rules, port, outputs,
// dispatcher, IRC client, timers, the state the operator is shown, front
// end), runs the start-up sequence Main, the fatal-error path StartupFailed,
// and the orderly close. The front end is the window or, without one, the
// terminal: it subscribes to the state and reports the operator's actions;
// the application alone logs.
#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/instance_lock.h"
#include "app/irc_factory.h"
#include "app/mqtt_link.h"
#include "app/user_notice.h"
#include "config/config_loader.h"
#include "dispatch/chat_client.h"
#include "dispatch/dispatcher.h"
#include "dispatch/owner_commands.h"
#include "front/bot_state.h"
#include "front/bot_timers.h"
#include "front/exit_codes.h"
#include "front/front_end.h"
#include "log/event_log.h"
#include "log/log_backlog.h"
#include "log/log_types.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/io_command.h"
#include "model/settings.h"
#include "mqtt/safe_state.h"
#include "outputs/outputs.h"
#include "outputs/port_slot.h"
#include "outputs/port_writer.h"
#include "outputs/start_state.h"
#include "service/journal.h"
#include "service/service_notifier.h"

namespace zelvo {

// What the application is given; empty members get the real thing.
struct ApplicationEnvironment {
  std::string program_dir;  // config.xml, config.xsd, the log and the lock live here
  bool headless = false;    // no window, no tray, console on `console_out`
  // Why the window cannot open (no display): start-up fails where the window
  // would load. Notices then go to standard error as without a window.
  std::string display_error;
  std::shared_ptr<const Clock> clock;             // default: SystemClock
  // The window, tray icon, clipboard and message box; none: the program has
  // no window and runs headless only.
  std::unique_ptr<Desktop> desktop;
  std::unique_ptr<Clipboard> clipboard;           // default: the desktop's; none without a window
  std::unique_ptr<MessageBox> message_box;        // default: the desktop's, or stderr when headless
  std::unique_ptr<InstanceLock> instance_lock;    // default: <program_dir>/zelvo.lock
  std::unique_ptr<ChatClientWindow> chat_client;  // default: none
  std::ostream* console_out = nullptr;            // default: standard output (headless)
  // Headless: the operator's lines come from this descriptor; -1: none.
  int operator_input = -1;
  std::ostream* error_out = nullptr;              // default: standard error (the error-log dump)
  std::string temp_dir;                           // default: the system's temporary directory
  std::function<void(int)> exit_application;      // default: QCoreApplication::exit
  std::function<std::unique_ptr<IrcClient>(const IrcEnvironment&)>
      make_irc;                                       // default: MakeIrcClient
  MqttConnectionFactory make_mqtt;                    // default: MakeMosquittoConnection
  std::unique_ptr<ServiceNotifier> service_notifier;  // default: SystemdServiceNotifier
  // Takes each change of the outputs as well; default: ServiceJournal().
  std::unique_ptr<Journal> journal;
};

class Application {
 public:
  explicit Application(ApplicationEnvironment environment);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The start-up sequence. True when the bot is up and the event loop may
  // run; false after StartupFailed (the program then ends with
  // kExitStartupFailed).
  bool Main();

  // The fatal-error path: logs the error, writes the log (or, when it cannot,
  // puts the pre-log dump on standard error, in a file and on the clipboard),
  // tells the user. Returns kExitStartupFailed.
  int StartupFailed(std::int32_t number, const std::string& description);

  // Puts the pre-log dump on the clipboard; "" or the clipboard's error text.
  std::string CopyErrorLogToClipboard();

  // Ends the bot as closing the window does (entry 34, the front end
  // unloaded, the connection closed, the close's own steps, kExitClosed).
  // Ignored during start-up, except that the message box of the fatal-error
  // path is closed (kExitStartupFailed).
  void Close();

  // Reads config.xml again (SIGHUP). When it loads, validates and every
  // setting reads, the rules and output names are replaced (the outputs keep
  // their state; see ReplaceRules), and the IRC connection and the port
  // back-ends are reopened only when their settings changed; the log section
  // applies to the next entry. Otherwise the bot goes on as it was and the
  // report is logged. MQTT and window settings take effect at the next start
  // (logged when they changed). Ignored until start-up has finished.
  void Reload();

  bool Running() const { return running_; }
  const PreLog& prelog() const { return prelog_; }
  const Settings& settings() const { return settings_; }
  Outputs* outputs() { return outputs_.get(); }
  // The window or the terminal; null before the start has made it.
  FrontEnd* front_end() { return front_.get(); }
  // Auto-return (with the rest of each second's work) and pulse; started
  // by the load.
  BotTimers& timers() { return timers_; }
  Dispatcher* dispatcher() { return dispatcher_.get(); }
  IrcClient* irc() { return irc_client_.get(); }
  // The MQTT side; null without MQTTBroker.
  MqttLink* mqtt() { return mqtt_.get(); }
  // Feeds the service manager's watchdog; inactive outside a service.
  const QTimer& WatchdogTimer() const { return watchdog_timer_; }
  const std::string& ProgramDir() const { return program_dir_; }

 private:
  void WriteLog(const LogMessage& message);
  void WriteLog(const LogMessage& message, const std::string& text);
  LogWriter Logger();
  // Logger that also shows warnings and errors on the console (for parts
  // that have no console of their own, such as the MQTT link).
  LogWriter LoggerShowingProblems();
  // The start's steps.
  void LoadConfiguration();
  // Warning 67 into the pre-log, once per start, when the loaded LogFile
  // names a folder that does not exist.
  void NoteMissingLogFolder();
  // That warning's text; "" when the folder exists or nothing is loaded.
  std::string MissingLogFolderText() const;
  // Returns the rule lint's warnings, logged already, for the console.
  std::vector<std::string> ReadSettingsAndRules();
  // OutputsOnStart read: the byte the outputs start at (warning 77 logged
  // when the state file could not be used); makes the state file.
  StartByte ReadStartByte();
  // Keeps the byte written in the state file under OutputsOnStart "last".
  void KeepState(std::uint8_t byte);
  // A save of the state file that failed: warning 78, on the console too.
  void ReportStateSave(const std::string& error);
  // Opens MQTT and the port back-ends, those that set lines at `initial_byte`.
  void OpenPort(std::uint8_t initial_byte);
  std::unique_ptr<FrontEnd> MakeFrontEnd();
  // Makes the front end and wires the bot; then entry 29, the front end's
  // load, entry 31, the connection started, entry 28, the timers started.
  void LoadFrontEnd();
  // Makes the IRC client and the dispatcher and wires them to the state.
  void WireBot();
  // The owner commands, acting on the outputs, the state and the dispatcher.
  void MakeOwnerCommands();
  // The output names and rules published.
  void PublishRules();
  // A lasting problem under a short name, or its end (an empty text).
  void SetProblem(const std::string& what, const std::string& text);
  // A failure inside an event handler: logged (36) and shown in the console;
  // the bot runs on.
  void ReportHandlerError(const std::string& error);
  // What the operator does in the front end.
  OperatorActions Actions();
  // The close: entry 34, the front end unloaded, the connection closed (a
  // failure of these is reported), Closing, kExitClosed. Once.
  void CloseBot();
  // The OutputDevice list opened as one back-end; throws RaisedError.
  // The GPIO lines are requested at `initial_byte`.
  std::unique_ptr<PortWriter> OpenDevices(const Settings& settings, std::uint8_t initial_byte);
  // Reads the safe-state settings; throws RaisedError.
  void ReadSafeStates(const Settings& settings);
  // Every second: a retry of the log when it fails, auto-returns, then the
  // safe state for a bot out of its channel.
  void SecondTick();
  // The close's own steps, before the program ends: the service manager
  // told, the OutputsOnExit byte written, MQTT's "offline", and log entries
  // that could never be written dumped to standard error and a file.
  void Closing();
  // Sets the register to `byte` and writes it through every back-end.
  void WriteSafeByte(std::uint8_t byte, SwitchCause::Kind cause);
  // A change of the outputs (LogSwitches): entry 94 held for the next group
  // of the log, the console, the journal.
  void LogSwitch(std::uint8_t before, std::uint8_t after, const SwitchCause& cause);
  void StartWatchdog();
  void DumpUnwrittenLog();
  void ShowFatalNotice(const std::string& text, const std::string& details = "");
  std::string LogPath() const;

  std::string program_dir_;
  bool config_created_ = false;  // the example configuration was written at this start
  bool headless_;
  std::string display_error_;
  std::shared_ptr<const Clock> clock_;
  std::unique_ptr<Desktop> desktop_;  // before the window it makes
  std::unique_ptr<Clipboard> clipboard_;
  std::unique_ptr<MessageBox> message_box_;
  std::unique_ptr<InstanceLock> instance_lock_;
  std::unique_ptr<ChatClientWindow> chat_client_;
  std::ostream* console_out_;
  int operator_input_;
  std::ostream* error_out_;
  std::string temp_dir_;
  std::function<void(int)> exit_application_;
  std::function<std::unique_ptr<IrcClient>(const IrcEnvironment&)> make_irc_;
  MqttConnectionFactory make_mqtt_;
  std::unique_ptr<ServiceNotifier> notifier_;
  std::unique_ptr<Journal> journal_;
  bool journal_failing_ = false;  // told in the log until a send works again

  PreLog prelog_;
  EventLog event_log_;
  // Every entry after start-up goes through it: kept while the log fails.
  LogBacklog log_backlog_;
  ConfigDocument config_;
  Settings settings_;
  IOCommands commands_;
  // Before the port, whose relay back-ends publish through it.
  std::unique_ptr<MqttLink> mqtt_;
  std::unique_ptr<PortSlot> port_;
  std::unique_ptr<Outputs> outputs_;
  std::optional<StateFile> state_file_;  // made at start, beside the log
  // When each output last changed, by any path (OutputMinInterval).
  OutputChanges output_changes_{*clock_};
  BotState state_;
  Subscription headline_to_service_;
  std::unique_ptr<FrontEnd> front_;
  std::unique_ptr<IrcClient> irc_client_;
  std::unique_ptr<OwnerCommands> owner_commands_;
  std::unique_ptr<Dispatcher> dispatcher_;
  BotTimers timers_;
  SafeByte exit_byte_;
  std::optional<DisconnectGuard> disconnect_guard_;
  QTimer watchdog_timer_;
  // Writes the held group of entry 94 about LogBacklog::kGroupInterval after its first.
  QTimer switch_log_timer_;
  bool running_ = false;
  bool showing_fatal_notice_ = false;
  bool closed_ = false;
  bool log_folder_noted_ = false;  // NoteMissingLogFolder ran in this start
};

}  // namespace zelvo
