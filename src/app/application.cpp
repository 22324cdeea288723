#include "app/application.h"

#include <QCoreApplication>
#include <exception>
#include <iostream>

#include "config/config_files.h"
#include "files/file_helpers.h"
#include "model/raised_error.h"
#include "ui/qt_tray_icon.h"

namespace zelvo {

namespace {

std::shared_ptr<const Clock> OrSystemClock(std::shared_ptr<const Clock> clock) {
  return clock ? std::move(clock) : std::make_shared<SystemClock>();
}

}  // namespace

Application::Application(ApplicationEnvironment environment)
    : program_dir_(std::move(environment.program_dir)),
      headless_(environment.headless),
      clock_(OrSystemClock(std::move(environment.clock))),
      clipboard_(std::move(environment.clipboard)),
      message_box_(std::move(environment.message_box)),
      instance_lock_(std::move(environment.instance_lock)),
      tray_(std::move(environment.tray)),
      chat_client_(std::move(environment.chat_client)),
      console_out_(environment.console_out ? environment.console_out : &std::cout),
      exit_application_(std::move(environment.exit_application)),
      make_irc_(std::move(environment.make_irc)),
      prelog_(*clock_),
      event_log_(program_dir_, *clock_) {
  if (!clipboard_) {
    if (headless_)
      clipboard_ = std::make_unique<StreamClipboard>(std::cerr);
    else
      clipboard_ = std::make_unique<QtClipboard>();
  }
  if (!message_box_) {
    if (headless_)
      message_box_ = std::make_unique<StreamMessageBox>(std::cerr);
    else
      message_box_ = std::make_unique<QtMessageBox>();
  }
  if (!instance_lock_)
    instance_lock_ = std::make_unique<FileInstanceLock>(JoinPath(program_dir_, kLockFileName));
  if (!tray_ && !headless_) tray_ = std::make_unique<QtTrayIcon>();
  if (!chat_client_) chat_client_ = std::make_unique<NoChatClientWindow>();
  if (!exit_application_) exit_application_ = [](int code) { QCoreApplication::exit(code); };
  if (!make_irc_) make_irc_ = MakeIrcClient;
}

Application::~Application() {
  // The parts that hold references to others go first.
  headless_timers_.reset();
  dispatcher_.reset();
  if (outputs_) outputs_->AttachLamps(nullptr);
  irc_client_.reset();
  window_.reset();
}

void Application::WriteLog(std::int32_t id, std::int32_t type, const std::string& text) {
  event_log_.WriteLog(&config_, id, type, text, clock_->LocalNow());
}

LogWriter Application::Logger() {
  return [this](std::int32_t id, std::int32_t type, const std::string& text) {
    WriteLog(id, type, text);
  };
}

int Application::Main() {
  try {
    prelog_.WritePreLog(1, log_type::kInformation, "Zelvo has started.");
    EnsureConfigFiles(program_dir_, prelog_);
    LoadConfigDocument(program_dir_, prelog_, config_);
    prelog_.WritePreLog(18, log_type::kInformation, "Trying to write the log.");
    const std::string flushed = event_log_.FlushPreLog(&config_, prelog_);
    if (!flushed.empty()) throw RaisedError(flushed);
    WriteLog(21, log_type::kInformation, "Log written!");

    if (instance_lock_->AnotherInstanceRunning()) throw RaisedError("Zelvo is already running.");

    WriteLog(25, log_type::kInformation, "Reads settings...");
    settings_ = ReadSettings(config_);
    ReadIOCommands(config_, *clock_, commands_);
    WriteLog(26, log_type::kInformation, "Setting loaded successfully.");

    OpenPort();
    outputs_ = std::make_unique<Outputs>(*port_);
    ReadOutputNames(config_, *outputs_);
    if (headless_)
      LoadHeadless();
    else
      LoadMainWindow();
    const std::string written = outputs_->SetOutputs();
    if (!written.empty()) throw RaisedError(written);

    WriteLog(27, log_type::kInformation, "Starting mainform...");
    if (window_) window_->show();
    running_ = true;
    return kExitClosed;
  } catch (const RaisedError& error) {
    return StartupFailed(error.Number(), error.Description());
  } catch (const std::exception& error) {
    return StartupFailed(-1, error.what());
  }
}

void Application::OpenPort() {
  PortWriterChoice choice = OpenPortWriter(settings_.OutputDevice);
  if (!choice.writer) throw RaisedError(choice.error);
  if (!choice.warning.empty()) WriteLog(kPortFallbackLogId, log_type::kWarning, choice.warning);
  port_ = std::move(choice.writer);
}

void Application::LoadMainWindow() {
  window_ = std::make_unique<frmMain>(MainWindowServices{settings_, *outputs_, Logger(), *tray_,
                                                         [this] {
                                                           if (dispatcher_)
                                                             dispatcher_->tmrAutoReturn_Timer();
                                                         },
                                                         [this] {
                                                           if (dispatcher_)
                                                             dispatcher_->tmrPulseQuickly_Timer();
                                                         },
                                                         exit_application_});
  frmMain* window = window_.get();
  irc_client_ = make_irc_(IrcEnvironment{
      settings_, *clock_, *window,
      [this](std::string_view text) {
        if (dispatcher_) dispatcher_->MatchIOCommands(text);
      },
      Logger(), [window](const std::string& caption) { window->SetCaption(caption); }});
  dispatcher_ = std::make_unique<Dispatcher>(
      settings_, commands_, *outputs_, *clock_, irc_client_->Sender(), *window, *chat_client_,
      [window](const std::string& error) { window->ReportHandlerError(error); });
  window->AttachConnection(irc_client_->Connection());
  outputs_->AttachLamps(window);
  window->Form_Load();
}

void Application::LoadHeadless() {
  stream_console_ = std::make_unique<StreamConsole>(*console_out_);
  irc_client_ = make_irc_(IrcEnvironment{settings_, *clock_, *stream_console_,
                                         [this](std::string_view text) {
                                           if (dispatcher_) dispatcher_->MatchIOCommands(text);
                                         },
                                         Logger(),
                                         [this](const std::string& caption) {
                                           // Without a caption, the state is a console line.
                                           stream_console_->Append(caption + "\r\n");
                                         }});
  dispatcher_ = std::make_unique<Dispatcher>(
      settings_, commands_, *outputs_, *clock_, irc_client_->Sender(), *stream_console_,
      *chat_client_, [this](const std::string& error) { ReportHandlerError(error); });
  headless_timers_ =
      std::make_unique<BotTimers>([this] { dispatcher_->tmrAutoReturn_Timer(); },
                                  [this] { dispatcher_->tmrPulseQuickly_Timer(); },
                                  [this](const std::string& error) { ReportHandlerError(error); });
  // The same steps as the window's load, without window and tray icon.
  WriteLog(window_log::kMainwindowSetup, log_type::kInformation, "Mainwindow setup...");
  WriteLog(window_log::kStartingMainform, log_type::kInformation, "Starting mainform...");
  irc_client_->Connection().ConnectToServer();
  WriteLog(window_log::kMainformLoaded, log_type::kInformation, "Mainform loaded successfully.");
  headless_timers_->Start();
}

void Application::ReportHandlerError(const std::string& error) {
  if (window_) {
    window_->ReportHandlerError(error);
  } else if (stream_console_) {
    zelvo::ReportHandlerError(Logger(), *stream_console_, error);
  }
}

int Application::StartupFailed(std::int32_t number, const std::string& description) {
  prelog_.WritePreLog(19, log_type::kError,
                      "An error occurd in the main-function: Error-Number: " +
                          std::to_string(number) + " Error-Description: " + description);
  prelog_.WritePreLog(18, log_type::kInformation, "Trying to write the log.");
  const std::string flushed = event_log_.FlushPreLog(&config_, prelog_);
  if (!flushed.empty()) {
    prelog_.WritePreLog(20, log_type::kError,
                        "An error occurd when trying to write the log: " + flushed +
                            "\r\nTrying to copy to clipboard instead.");
    const std::string copied = CopyErrorLogToClipboard();
    if (!copied.empty())
      message_box_->ShowCritical("An error occurd when trying to copy Error-Log to clipboard: " +
                                 copied);
    return kExitStartupFailed;
  }
  WriteLog(21, log_type::kInformation, "Log written!");
  message_box_->ShowCritical("An error occurd! For more info, check the Error-Log.");
  return kExitStartupFailed;
}

std::string Application::CopyErrorLogToClipboard() {
  return zelvo::CopyErrorLogToClipboard(prelog_, *clipboard_);
}

void Application::Close() {
  if (!running_) return;
  if (window_) {
    window_->Form_Unload();
    return;
  }
  if (closed_) return;
  closed_ = true;
  WriteLog(window_log::kClosing, log_type::kInformation, "Closing Zelvo...");
  try {
    if (irc_client_) irc_client_->Connection().Close();
  } catch (const std::exception& error) {
    ReportHandlerError(error.what());
  }
  exit_application_(kExitClosed);
}

}  // namespace zelvo
