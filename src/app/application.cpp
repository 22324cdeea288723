#include "app/application.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "app/config_check.h"
#include "app/program_backends.h"
#include "app/terminal_front_end.h"
#include "config/config_files.h"
#include "config/resources.h"
#include "dispatch/owner_commands.h"
#include "dispatch/rule_reload.h"
#include "files/file_helpers.h"
#include "irc/sts_policy.h"
#include "model/raised_error.h"
#include "model/settings_changes.h"
#include "mqtt/payloads.h"
#include "outputs/port_fanout.h"

namespace zelvo {

namespace {

std::shared_ptr<const Clock> OrSystemClock(std::shared_ptr<const Clock> clock) {
  return clock ? std::move(clock) : std::make_shared<SystemClock>();
}

std::string SystemTempDir() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::temp_directory_path(error);
  return error ? "/tmp" : path.string();
}

// A rule's run time (local) in ISO 8601 with the machine's offset from UTC.
std::string EventTime(OleDate local) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return mqtt::IsoTime(FromOleDate(local), static_cast<int>(tm.tm_gmtoff / 60));
}

std::string_view CauseWords(SwitchCause::Kind kind) {
  using Kind = SwitchCause::Kind;
  switch (kind) {
    case Kind::kStart:
      return switch_cause::kStart;
    case Kind::kRule:
      return switch_cause::kChannelLine;
    case Kind::kOperatorLine:
      return switch_cause::kOperatorLine;
    case Kind::kLamp:
      return switch_cause::kLamp;
    case Kind::kMqtt:
      return switch_cause::kMqtt;
    case Kind::kAutoReturn:
      return switch_cause::kAutoReturn;
    case Kind::kPulseEnd:
      return switch_cause::kPulseEnd;
    case Kind::kSafeStateExit:
      return switch_cause::kSafeStateExit;
    case Kind::kSafeStateDisconnect:
      return switch_cause::kSafeStateDisconnect;
    case Kind::kReload:
      return switch_cause::kReload;
    case Kind::kOwnerCommand:
      return switch_cause::kOwnerCommand;
  }
  return {};
}

}  // namespace

Application::Application(ApplicationEnvironment environment)
    : program_dir_(std::move(environment.program_dir)),
      headless_(environment.headless),
      display_error_(std::move(environment.display_error)),
      clock_(OrSystemClock(std::move(environment.clock))),
      desktop_(std::move(environment.desktop)),
      clipboard_(std::move(environment.clipboard)),
      message_box_(std::move(environment.message_box)),
      instance_lock_(std::move(environment.instance_lock)),
      chat_client_(std::move(environment.chat_client)),
      console_out_(environment.console_out ? environment.console_out : &std::cout),
      operator_input_(environment.operator_input),
      error_out_(environment.error_out ? environment.error_out : &std::cerr),
      temp_dir_(environment.temp_dir.empty() ? SystemTempDir() : environment.temp_dir),
      exit_application_(std::move(environment.exit_application)),
      make_irc_(std::move(environment.make_irc)),
      make_mqtt_(std::move(environment.make_mqtt)),
      notifier_(std::move(environment.service_notifier)),
      journal_(environment.journal ? std::move(environment.journal) : ServiceJournal()),
      prelog_(*clock_),
      event_log_(program_dir_, *clock_),
      log_backlog_(
          *clock_,
          [this](std::span<const LogEntry> entries) {
            return event_log_.WriteLog(&config_, entries);
          },
          [this](const std::string& notice) {
            if (front_) {
              front_->console().Append(notice + "\r\n");
              SetProblem("log", log_backlog_.Failing() ? notice : "");
            } else {
              *error_out_ << notice << '\n' << std::flush;
            }
            state_.headline.Set(notice);
          }),
      timers_([this] { SecondTick(); },
              [this] {
                if (dispatcher_) dispatcher_->tmrPulseQuickly_Timer();
              },
              [this](const std::string& error) { ReportHandlerError(error); }) {
  const bool windowless = headless_ || !display_error_.empty() || !desktop_;
  if (!clipboard_ && !windowless) clipboard_ = desktop_->MakeClipboard();
  if (!message_box_) {
    if (windowless)
      message_box_ = std::make_unique<StreamMessageBox>(*error_out_);
    else
      message_box_ = desktop_->MakeMessageBox();
  }
  if (!instance_lock_)
    instance_lock_ = std::make_unique<FileInstanceLock>(JoinPath(program_dir_, kLockFileName));
  if (!chat_client_) chat_client_ = std::make_unique<NoChatClientWindow>();
  if (!exit_application_) exit_application_ = [](int code) { QCoreApplication::exit(code); };
  if (!make_irc_) make_irc_ = MakeIrcClient;
  if (!make_mqtt_) make_mqtt_ = MakeMosquittoConnection;
  if (!notifier_) notifier_ = std::make_unique<SystemdServiceNotifier>();
  headline_to_service_ =
      state_.headline.Subscribe([this](const std::string& text) { notifier_->Status(text); });
  QObject::connect(&watchdog_timer_, &QTimer::timeout, [this] { notifier_->FeedWatchdog(); });
  switch_log_timer_.setSingleShot(true);
  switch_log_timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&switch_log_timer_, &QTimer::timeout, [this] {
    if (const auto left = log_backlog_.WriteHeldWhenDue(); left.count() > 0)
      switch_log_timer_.start(left);
  });
}

Application::~Application() {
  // The parts that hold references to others go first.
  dispatcher_.reset();
  irc_client_.reset();
  front_.reset();
}

void Application::WriteLog(const LogMessage& message) {
  WriteLog(message, std::string(message.text));
}

void Application::WriteLog(const LogMessage& message, const std::string& text) {
  log_backlog_.Write(message.id, message.type, text, clock_->LocalNow());
}

LogWriter Application::Logger() {
  return [this](std::int32_t id, std::int32_t type, const std::string& text) {
    log_backlog_.Write(id, type, text, clock_->LocalNow());
  };
}

LogWriter Application::LoggerShowingProblems() {
  return [this](std::int32_t id, std::int32_t type, const std::string& text) {
    log_backlog_.Write(id, type, text, clock_->LocalNow());
    if (type != log_type::kInformation && front_) front_->console().Append(text + "\r\n");
  };
}

bool Application::Main() {
  try {
    LoadConfiguration();
    if (instance_lock_->AnotherInstanceRunning()) throw RaisedError("Zelvo is already running.");
    const std::vector<std::string> lint_warnings = ReadSettingsAndRules();
    const StartByte start = ReadStartByte();
    OpenPort(start.byte);
    outputs_ = std::make_unique<Outputs>(*port_);
    ReadOutputNames(config_, *outputs_);
    for (int n = 1; n <= kOutputCount; ++n) outputs_->SetOutput(n, (start.byte >> (n - 1)) & 1);
    outputs_->SetShownHook([this](std::uint8_t byte) { state_.outputs.Set(byte); });
    outputs_->SetChangedHook(
        [this](std::uint8_t before, std::uint8_t after, const SwitchCause& cause) {
          LogSwitch(before, after, cause);
        });
    outputs_->SetPortProblemHook([this](const std::string& error) {
      const std::string text = error.empty() ? "" : PortProblemText(error);
      if (front_) SetProblem("port", text);
      state_.headline.Set(text.empty() ? ProblemSolvedText("port") : text);
    });
    if (mqtt_) mqtt_->AttachOutputs(*outputs_);
    outputs_->SetWrittenHook([this](std::uint8_t byte) {
      output_changes_.Written(byte);
      if (mqtt_) mqtt_->PortWritten(byte);
      KeepState(byte);
    });
    LoadFrontEnd();
    for (const std::string& warning : lint_warnings) front_->console().Append(warning + "\r\n");
    if (!start.warning.empty()) front_->console().Append(start.warning + "\r\n");
    // The start byte reaches the devices before the event loop runs, so
    // before anything from the server can act (GPIO lines already hold it).
    const std::string written = outputs_->SetOutputs({SwitchCause::Kind::kStart});
    if (!written.empty()) throw RaisedError(written);

    WriteLog(log_msg::kShowingMainform);
    front_->Show();
    if (config_created_) front_->FirstStart(JoinPath(program_dir_, "config.xml"));
    running_ = true;
    // Ready once the configuration is loaded and the port open; the IRC
    // connection comes when it comes.
    notifier_->Ready();
    StartWatchdog();
    return true;
  } catch (const RaisedError& error) {
    StartupFailed(error.Number(), error.Description());
  } catch (const std::exception& error) {
    StartupFailed(-1, error.what());
  }
  return false;
}

// The configuration files made sound, config.xml loaded and the pre-log
// written.
void Application::LoadConfiguration() {
  prelog_.WritePreLog(log_msg::kStarted);
  config_created_ = EnsureConfigFiles(program_dir_, prelog_);
  LoadConfigDocument(program_dir_, prelog_, config_);
  NoteMissingLogFolder();
  prelog_.WritePreLog(log_msg::kTryingToWriteLog);
  const std::string flushed = event_log_.FlushPreLog(&config_, prelog_);
  if (!flushed.empty()) throw RaisedError(flushed);
  WriteLog(log_msg::kLogWritten);
}

void Application::NoteMissingLogFolder() {
  if (log_folder_noted_) return;
  log_folder_noted_ = true;
  if (const std::string text = MissingLogFolderText(); !text.empty())
    prelog_.WritePreLog(log_msg::kLogFolderMissing, text);
}

std::string Application::MissingLogFolderText() const {
  std::string error;
  const std::optional<LogSettings> log =
      config_.IsLoaded() ? config_.ReadLogSettings(error) : std::nullopt;
  if (!log) return {};  // the log reports its settings' own faults
  const std::string folder = event_log_.MissingLogFolder(log->LogFile);
  if (folder.empty()) return {};
  return LogFolderMissingText(folder, log->LogFile, event_log_.ResolveLogPath(log->LogFile));
}

std::vector<std::string> Application::ReadSettingsAndRules() {
  WriteLog(log_msg::kReadingSettings);
  settings_ = ReadSettings(config_);
  ReadIOCommands(config_, *clock_, commands_);
  ConfigFindings findings = LintConfiguration(JoinPath(program_dir_, "config.xml"), commands_);
  for (const std::string& warning : findings.warnings) WriteLog(log_msg::kRuleLintWarning, warning);
  if (!findings.errors.empty()) throw RaisedError(-1, findings.errors);
  WriteLog(log_msg::kSettingsLoaded);
  const std::string readable = PasswordFileWarning(JoinPath(program_dir_, "config.xml"), settings_);
  if (!readable.empty()) WriteLog(log_msg::kPasswordReadable, readable);
  const std::string key_readable = SaslKeyFileWarning(settings_);
  if (!key_readable.empty()) WriteLog(log_msg::kSaslKeyReadable, key_readable);
  ReadSafeStates(settings_);
  return std::move(findings.warnings);
}

void Application::ReadSafeStates(const Settings& settings) {
  std::string error;
  SafeByte on_exit;
  if (!ParseSafeState(settings.OutputsOnExit, "OutputsOnExit", &on_exit, &error))
    throw RaisedError(error);
  SafeByte on_disconnect;
  if (!ParseSafeState(settings.OutputsOnDisconnect, "OutputsOnDisconnect", &on_disconnect, &error))
    throw RaisedError(error);
  exit_byte_ = on_exit;
  disconnect_guard_.emplace(*clock_, on_disconnect);
}

// Every OutputDevice; "mqtt:" back-ends publish through the MQTTBroker
// connection, which starts here.
StartByte Application::ReadStartByte() {
  state_file_.emplace(ParentDir(LogPath()) + kStateFileName);
  StartByte start = ResolveStartByte(settings_.OutputsOnStart, state_file_->Path());
  if (!start.warning.empty()) WriteLog(log_msg::kStartStateUnread, start.warning);
  return start;
}

void Application::KeepState(std::uint8_t byte) {
  if (!state_file_ || settings_.OutputsOnStart != "last") return;
  ReportStateSave(state_file_->Keep(byte, clock_->MonotonicNow()));
}

void Application::ReportStateSave(const std::string& error) {
  if (error.empty()) return;
  WriteLog(log_msg::kStateFileUnwritable, StateFileUnwritableText(error));
  if (front_) front_->console().Append(StateFileUnwritableText(error) + "\r\n");
}

void Application::OpenPort(std::uint8_t initial_byte) {
  if (!settings_.MQTTBroker.empty()) {
    std::string error;
    mqtt_ = MqttLink::Open(MqttLinkServices{settings_, *clock_, LoggerShowingProblems(),
                                            [this](const std::string& failure) {
                                              if (front_) ReportHandlerError(failure);
                                            },
                                            QCoreApplication::applicationVersion().toStdString()},
                           make_mqtt_, &error);
    if (!mqtt_) throw RaisedError(error);
  }
  port_ = std::make_unique<PortSlot>(OpenDevices(settings_, initial_byte));
}

std::unique_ptr<PortWriter> Application::OpenDevices(const Settings& settings,
                                                     std::uint8_t initial_byte) {
  PortPlatform platform = NativePortPlatform();
  platform.base_dir = program_dir_;
  platform.initial_byte = initial_byte;
  PortWriterChoice choice =
      OpenPortWriters(settings.OutputDevices, StartPortBackends(platform, mqtt_.get()));
  if (!choice.writer) throw RaisedError(choice.error);
  if (!choice.warning.empty()) WriteLog(log_msg::kPortFallback, choice.warning);
  return std::move(choice.writer);
}

std::unique_ptr<FrontEnd> Application::MakeFrontEnd() {
  if (headless_) {
    return std::make_unique<TerminalFrontEnd>(state_, *clock_, *console_out_, Actions(),
                                              operator_input_);
  }
  if (!display_error_.empty()) throw RaisedError(display_error_);
  if (!desktop_) throw RaisedError(std::string(kNoWindowText));
  return desktop_->MakeWindow(WindowServices{settings_, state_, Actions(), Logger(), clock_.get()});
}

OperatorActions Application::Actions() {
  OperatorActions actions;
  actions.toggle_output = [this](int output) {
    try {
      outputs_->Output_Toggle(output);
      const std::string error =
          outputs_->SetOutputs({SwitchCause::Kind::kLamp, {}, switch_cause::kOperator});
      if (!error.empty()) ReportHandlerError(error);
    } catch (const std::exception& e) {
      ReportHandlerError(e.what());
    }
  };
  actions.send_line = [this](std::string_view line) {
    try {
      return irc_client_ && irc_client_->Connection().SendOperatorLine(line)
                 ? LineOutcome::kSent
                 : LineOutcome::kNotConnected;
    } catch (const std::exception& e) {
      ReportHandlerError(e.what());
      return LineOutcome::kFailed;
    }
  };
  actions.close = [this] { CloseBot(); };
  actions.reload = [this] { Reload(); };
  return actions;
}

void Application::LoadFrontEnd() {
  front_ = MakeFrontEnd();
  MakeOwnerCommands();
  WireBot();
  WriteLog(log_msg::kMainwindowSetup);
  front_->Load();
  WriteLog(log_msg::kConnecting);
  irc_client_->Connection().ConnectToServer();
  WriteLog(log_msg::kMainformLoaded);
  timers_.Start();
}

void Application::PublishRules() {
  OutputRules rules;
  for (int n = 1; n <= kOutputCount; ++n)
    rules.names[static_cast<std::size_t>(n - 1)] = outputs_->OutputName(n);
  rules.rules = commands_;
  state_.rules.Set(std::move(rules));
}

void Application::SetProblem(const std::string& what, const std::string& text) {
  Problems problems = state_.problems.Get();
  if (text.empty())
    problems.erase(what);
  else
    problems[what] = text;
  state_.problems.Set(std::move(problems));
}

void Application::ReportHandlerError(const std::string& error) {
  const std::string text = HandlerErrorText(error);
  WriteLog(log_msg::kHandlerError, text);
  if (front_) front_->console().Append(text + "\r\n");
}

void Application::WireBot() {
  irc_client_ = make_irc_(IrcEnvironment{settings_, *clock_, front_->console(),
                                         [this](const LineEvent& line) {
                                           if (dispatcher_) dispatcher_->Match(line);
                                         },
                                         Logger(), ParentDir(LogPath()) + kStsFileName});
  dispatcher_ = std::make_unique<Dispatcher>(
      settings_, commands_, *outputs_, *clock_, irc_client_->Sender(), front_->console(),
      *chat_client_, [this](const std::string& error) { ReportHandlerError(error); });
  dispatcher_->SetSenderDirectory(irc_client_->Senders());
  dispatcher_->SetLogWriter(Logger());
  dispatcher_->SetOutputChanges(&output_changes_);
  dispatcher_->SetOwnerCommands(owner_commands_.get());
  if (mqtt_) {
    dispatcher_->AddRuleRunHook([this](const IOCommand& rule, const IrcMessage& message,
                                       const std::optional<std::string>& account) {
      mqtt::RuleEvent event;
      event.rule = rule.IOName();
      event.nick = message.nick;
      event.user = message.user;
      event.host = message.host;
      if (account && !account->empty()) event.account = *account;
      event.channel = settings_.gsIRCChannel;
      event.time = EventTime(rule.LastUsed());
      event.outputs = outputs_->DecimalOutput();
      mqtt_->RuleRan(event);
    });
  }
  dispatcher_->AddRuleRunHook([this](const IOCommand& rule, const std::string& nick) {
    state_.last_run.Set(RuleRun{rule.IOName(), nick, rule.LastUsed()});
  });
  irc_client_->OnStatusChanged([this](const ConnectionStatus& status) {
    // A caption is news when it differs from the one before (a new client
    // starts without one).
    const bool new_caption =
        !status.caption.empty() && status.caption != state_.connection.Get().caption;
    state_.connection.Set(status);
    if (new_caption) state_.headline.Set(status.caption);
  });
  PublishRules();
}

void Application::MakeOwnerCommands() {
  OwnerTools tools;
  tools.status = [this] {
    std::vector<std::string> lines = {
        ConnectionStatusText(state_.connection.Get(), clock_->MonotonicNow())};
    const std::optional<RuleRun>& run = state_.last_run.Get();
    lines.push_back(run ? LastRunWords(run->rule, run->nick, run->at) : "No rule has run yet.");
    return lines;
  };
  // After the reply: a reload may replace the connection the command came on.
  tools.reload = [this] { QTimer::singleShot(0, &watchdog_timer_, [this] { Reload(); }); };
  tools.explain = [this](const OwnerIdentity& sender, std::string_view text) {
    return dispatcher_->Explain(sender, text);
  };
  owner_commands_ = std::make_unique<OwnerCommands>(*outputs_, std::move(tools));
}

void Application::Reload() {
  if (!running_) return;
  notifier_->Reloading();
  WriteLog(log_msg::kReloading);
  ConfigDocument fresh_document;
  Settings fresh;
  IOCommands fresh_rules;
  std::unique_ptr<PortWriter> fresh_port;
  SettingsChanges changes;
  std::vector<std::string> lint_warnings;
  try {
    ValidateConfigDocument(program_dir_, GetResourceText(kSchemaResource, "XML"), fresh_document);
    fresh = ReadSettings(fresh_document);
    ReadIOCommands(fresh_document, *clock_, fresh_rules);
    ConfigFindings findings = LintConfiguration(JoinPath(program_dir_, "config.xml"), fresh_rules);
    if (!findings.errors.empty()) throw RaisedError(-1, findings.errors);
    lint_warnings = std::move(findings.warnings);
    changes = CompareSettings(settings_, fresh);
    // Lines requested again start where the outputs are.
    if (fresh.OutputDevices != settings_.OutputDevices)
      fresh_port = OpenDevices(fresh, static_cast<std::uint8_t>(outputs_->DecimalOutput()));
    if (fresh.OutputsOnExit != settings_.OutputsOnExit ||
        fresh.OutputsOnDisconnect != settings_.OutputsOnDisconnect)
      ReadSafeStates(fresh);
  } catch (const RaisedError& error) {
    WriteLog(log_msg::kReloadFailed, ReloadFailedText(error.Description()));
    front_->console().Append(ReloadFailedText(error.Description()) + "\r\n");
    notifier_->Ready();
    return;
  }

  // Read once at start: the window as the user left it, the broker link.
  std::vector<std::string> later;
  if (changes.window) later.push_back("window");
  if (changes.mqtt) later.push_back("MQTT");
  KeepStartOnlySettings(settings_, fresh);

  if (changes.connection) {
    irc_client_->Connection().Close();
    dispatcher_.reset();
    irc_client_.reset();
  }
  const RuleReloadResult rules = ReplaceRules(commands_, std::move(fresh_rules), *outputs_);
  if (!rules.port_error.empty()) ReportHandlerError(rules.port_error);
  ReadOutputNames(fresh_document, *outputs_);
  settings_ = std::move(fresh);
  config_ = std::move(fresh_document);
  if (const std::string text = SaslKeyFileWarning(settings_); !text.empty()) {
    WriteLog(log_msg::kSaslKeyReadable, text);
  }
  if (fresh_port) {
    port_->Replace(std::move(fresh_port));
    const std::string written = outputs_->SetOutputs({SwitchCause::Kind::kReload});
    if (!written.empty()) ReportHandlerError(written);
  }
  if (changes.connection) {
    WireBot();
    irc_client_->Connection().ConnectToServer();
  }
  PublishRules();

  WriteLog(log_msg::kReloaded,
           ReloadedText(commands_.Count(), rules.kept, changes.connection, fresh_port != nullptr));
  if (!later.empty()) {
    std::string names;
    for (const std::string& name : later) names += (names.empty() ? "" : ", ") + name;
    WriteLog(log_msg::kReloadNeedsRestart, ReloadNeedsRestartText(names));
  }
  for (const std::string& warning : lint_warnings) {
    WriteLog(log_msg::kRuleLintWarning, warning);
    front_->console().Append(warning + "\r\n");
  }
  if (const std::string text = MissingLogFolderText(); !text.empty())
    WriteLog(log_msg::kLogFolderMissing, text);
  notifier_->Ready();
}

void Application::SecondTick() {
  log_backlog_.Tick();
  if (state_file_) ReportStateSave(state_file_->Tick(clock_->MonotonicNow()));
  if (dispatcher_) dispatcher_->tmrAutoReturn_Timer();
  if (!disconnect_guard_ || !irc_client_ || !outputs_) return;
  disconnect_guard_->SetInChannel(irc_client_->InChannel());
  const SafeByte byte = disconnect_guard_->Poll();
  if (!byte) return;
  // Pending auto-returns would switch the devices again while nobody can.
  for (const IOCommands::Pointer& command : commands_) {
    command->SetAutoReturnOutputs(0);
    command->SetAutoReturnComplete(true);
  }
  WriteLog(log_msg::kOutputsOnDisconnect,
           OutputsOnDisconnectText(settings_.gsIRCChannel, DisconnectGuard::kGrace.count(), *byte));
  WriteSafeByte(*byte, SwitchCause::Kind::kSafeStateDisconnect);
}

void Application::WriteSafeByte(std::uint8_t byte, SwitchCause::Kind cause) {
  for (int n = 1; n <= kOutputCount; ++n) outputs_->SetOutput(n, (byte >> (n - 1)) & 1);
  const std::string error = outputs_->SetOutputs({cause});
  if (!error.empty() && front_) ReportHandlerError(error);
}

// Made after the port write; the log's write waits for the group.
void Application::LogSwitch(std::uint8_t before, std::uint8_t after, const SwitchCause& cause) {
  if (!settings_.LogSwitches) return;
  // An owner command is named in the cause, as the owner wrote it.
  const bool command = cause.kind == SwitchCause::Kind::kOwnerCommand;
  std::string words(CauseWords(cause.kind));
  if (command) words.append(" \"").append(cause.rule).append("\"");
  const std::string text = SwitchedText(words, command ? std::string_view() : cause.rule,
                                        cause.sender, cause.account, before, after);
  log_backlog_.Hold(log_msg::kSwitched.id, log_msg::kSwitched.type, text, clock_->LocalNow());
  if (!switch_log_timer_.isActive()) switch_log_timer_.start(LogBacklog::kGroupInterval);
  if (front_) front_->console().Append(text + "\r\n");
  if (!journal_) return;
  std::vector<std::string> fields = {"MESSAGE=" + text, "PRIORITY=6",
                                     "ZELVO_OUTPUTS=" + OutputBitsText(before) + " -> " +
                                         OutputBitsText(after)};
  const auto add = [&fields](const char* name, std::string_view value) {
    if (!value.empty()) fields.push_back(std::string(name).append(value));
  };
  add(command ? "ZELVO_COMMAND=" : "ZELVO_RULE=", cause.rule);
  add("ZELVO_SENDER=", cause.sender);
  add("ZELVO_ACCOUNT=", cause.account);
  const std::string error = journal_->Send(fields);
  if (!error.empty() && !journal_failing_) WriteLog(log_msg::kJournalFailed, JournalFailedText(error));
  journal_failing_ = !error.empty();
}

void Application::Closing() {
  notifier_->Stopping();
  watchdog_timer_.stop();
  if (exit_byte_ && outputs_) {
    WriteLog(log_msg::kOutputsOnExit, OutputsOnExitText(*exit_byte_));
    WriteSafeByte(*exit_byte_, SwitchCause::Kind::kSafeStateExit);
  }
  if (state_file_) ReportStateSave(state_file_->Flush());
  if (mqtt_) mqtt_->Close();
  if (!log_backlog_.Flush()) {
    const std::string dump = ErrorLogDumpText(log_backlog_.Unwritten());
    *error_out_ << dump << std::flush;
    const SavedErrorLog saved = SaveErrorLogDump(dump, program_dir_, temp_dir_);
    *error_out_ << (saved.path.empty()
                        ? "The unwritten log entries could not be saved to a file (" + saved.error +
                              ")."
                        : "The unwritten log entries are saved in: " + saved.path)
                << '\n'
                << std::flush;
  }
}

// Fed at half the interval the manager expects, from the event loop, so that
// a loop that hangs stops feeding it.
void Application::StartWatchdog() {
  const auto interval = notifier_->WatchdogInterval();
  if (interval.count() <= 0) return;
  const auto half = std::chrono::duration_cast<std::chrono::milliseconds>(interval / 2);
  watchdog_timer_.setInterval(std::max(half, std::chrono::milliseconds(1)));
  notifier_->FeedWatchdog();
  watchdog_timer_.start();
}

int Application::StartupFailed(std::int32_t number, const std::string& description) {
  NoteMissingLogFolder();  // when the start failed before its own note
  prelog_.WritePreLog(log_msg::kMainFunctionError, MainFunctionErrorText(number, description));
  prelog_.WritePreLog(log_msg::kTryingToWriteLog);
  const std::string flushed = event_log_.FlushPreLog(&config_, prelog_);
  if (!flushed.empty()) {
    prelog_.WritePreLog(log_msg::kLogWriteFailed, LogWriteFailedText(flushed));
    DumpUnwrittenLog();
    return kExitStartupFailed;
  }
  WriteLog(log_msg::kLogWritten);
  ShowFatalNotice("An error occurd! For more info, check the Error-Log.",
                  FatalCauseText(description, program_dir_, LogPath()));
  return kExitStartupFailed;
}

// The log could not be written: the dump goes to standard error and to a
// file that outlive the process, and to the clipboard, which on X11 and
// Wayland keeps it only while the process runs; the user is told where the
// file is unless the clipboard keeps the text.
void Application::DumpUnwrittenLog() {
  const std::string dump = ErrorLogDumpText(prelog_);
  *error_out_ << dump << std::flush;
  const SavedErrorLog saved = SaveErrorLogDump(dump, program_dir_, temp_dir_);
  const std::string where = saved.path.empty()
                                ? "The Error-Log could not be saved to a file (" + saved.error +
                                      "); it was written to standard error."
                                : "The Error-Log is saved in: " + saved.path;
  if (!clipboard_) {
    ShowFatalNotice(where);
    return;
  }
  const std::string copied = CopyErrorLogToClipboard();
  if (!copied.empty()) {
    ShowFatalNotice("An error occurd when trying to copy Error-Log to clipboard: " + copied +
                    "\r\n" + where);
  } else if (!clipboard_->KeepsTextAfterExit()) {
    ShowFatalNotice("The Error-Log is on the clipboard until this message is closed.\r\n" + where);
  } else {
    *error_out_ << where << '\n' << std::flush;
  }
}

// The file the log goes to now: the default one while no configuration is
// loaded or its Log section is incomplete.
std::string Application::LogPath() const {
  std::string error;
  const std::optional<LogSettings> log = config_.ReadLogSettings(error);
  return event_log_.ResolveLogPath(log ? log->LogFile : "");
}

void Application::ShowFatalNotice(const std::string& text, const std::string& details) {
  showing_fatal_notice_ = true;
  message_box_->ShowCritical(text, details);
  showing_fatal_notice_ = false;
}

std::string Application::CopyErrorLogToClipboard() {
  if (!clipboard_)
    return "Couldn't copy Log to clipboard. Error-number: -1 Error-Descripton: There is no "
           "clipboard without a window.";
  return zelvo::CopyErrorLogToClipboard(prelog_, *clipboard_);
}

void Application::Close() {
  if (showing_fatal_notice_) {
    exit_application_(kExitStartupFailed);  // ends the message box's own loop
    return;
  }
  if (running_) CloseBot();
}

void Application::CloseBot() {
  if (closed_) return;
  closed_ = true;
  try {
    WriteLog(log_msg::kClosing);
    front_->Unload();
    if (irc_client_) irc_client_->Connection().Close();
  } catch (const std::exception& error) {
    ReportHandlerError(error.what());
  }
  Closing();
  exit_application_(kExitClosed);
}

}  // namespace zelvo
