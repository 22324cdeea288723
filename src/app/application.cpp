#include "app/application.h"

#include <QCoreApplication>
#include <exception>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "config/config_files.h"
#include "files/file_helpers.h"
#include "model/raised_error.h"
#include "ui/qt_tray_icon.h"

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

}  // namespace

Application::Application(ApplicationEnvironment environment)
    : program_dir_(std::move(environment.program_dir)),
      headless_(environment.headless),
      display_error_(std::move(environment.display_error)),
      clock_(OrSystemClock(std::move(environment.clock))),
      clipboard_(std::move(environment.clipboard)),
      message_box_(std::move(environment.message_box)),
      instance_lock_(std::move(environment.instance_lock)),
      tray_(std::move(environment.tray)),
      chat_client_(std::move(environment.chat_client)),
      console_out_(environment.console_out ? environment.console_out : &std::cout),
      error_out_(environment.error_out ? environment.error_out : &std::cerr),
      temp_dir_(environment.temp_dir.empty() ? SystemTempDir() : environment.temp_dir),
      exit_application_(std::move(environment.exit_application)),
      make_irc_(std::move(environment.make_irc)),
      prelog_(*clock_),
      event_log_(program_dir_, *clock_) {
  const bool windowless = headless_ || !display_error_.empty();
  if (!clipboard_ && !windowless) clipboard_ = std::make_unique<QtClipboard>();
  if (!message_box_) {
    if (windowless)
      message_box_ = std::make_unique<StreamMessageBox>(*error_out_);
    else
      message_box_ = std::make_unique<QtMessageBox>();
  }
  if (!instance_lock_)
    instance_lock_ = std::make_unique<FileInstanceLock>(JoinPath(program_dir_, kLockFileName));
  if (!tray_ && !windowless) tray_ = std::make_unique<QtTrayIcon>();
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
  if (!display_error_.empty()) throw RaisedError(display_error_);
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
    DumpUnwrittenLog();
    return kExitStartupFailed;
  }
  WriteLog(21, log_type::kInformation, "Log written!");
  ShowFatalNotice("An error occurd! For more info, check the Error-Log.");
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

void Application::ShowFatalNotice(const std::string& text) {
  showing_fatal_notice_ = true;
  message_box_->ShowCritical(text);
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
