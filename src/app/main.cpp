// The process entry: reads the command line, sets the locale, checks the
// display, creates the Qt application (without a window or a display:
// QCoreApplication), runs the start-up sequence and the event loop.
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/command_line.h"
#include "app/config_check.h"
#include "app/display_probe.h"
#include "app/operator_input.h"
#include "app/program_dir.h"
#include "app/rule_explain_command.h"
#include "app/shutdown_signals.h"
#include "front/exit_codes.h"
#include "model/clock.h"
#include "ui/chat_client_window.h"

namespace {

std::string EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

int main(int argc, char** argv) {
  using zelvo::CommandLine;
  // Dates in the log render in the user's locale.
  std::setlocale(LC_ALL, "");

  const CommandLine command_line =
      zelvo::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (command_line.action) {
    case CommandLine::Action::kHelp:
      std::cout << zelvo::HelpText();
      return 0;
    case CommandLine::Action::kVersion:
      std::cout << "zelvo " << ZELVO_VERSION << '\n';
      return 0;
    case CommandLine::Action::kError:
      std::cerr << "zelvo: " << command_line.error << '\n' << zelvo::UsageLine() << '\n';
      return zelvo::kExitUsage;
    case CommandLine::Action::kRun:
    case CommandLine::Action::kCheck:
    case CommandLine::Action::kExplain:
      break;
  }

  const bool check = command_line.action == CommandLine::Action::kCheck;
  const bool explain = command_line.action == CommandLine::Action::kExplain;
  // --check and --explain write nothing, so they make no directory either.
  const zelvo::ProgramDirChoice where =
      zelvo::ResolveProgramDir(command_line.dir, !check && !explain);
  if (!where.error.empty()) {
    std::cerr << "zelvo: " << where.error << '\n';
    if (!command_line.dir.empty()) {
      std::cerr << zelvo::UsageLine() << '\n';
      return zelvo::kExitUsage;
    }
    if (explain) return zelvo::kExitExplainBadConfig;
    return check ? zelvo::kExitCheckFailed : zelvo::kExitStartupFailed;
  }
  const std::string& program_dir = where.dir;
  if (check) {
    const zelvo::ConfigCheck result = zelvo::CheckConfiguration(program_dir);
    std::cerr << result.warning;
    (result.valid ? std::cout : std::cerr) << result.text;
    return result.valid ? 0 : zelvo::kExitCheckFailed;
  }
  if (explain) {
    const zelvo::SystemClock clock;
    const zelvo::ExplainOutcome result =
        zelvo::ExplainCommand(program_dir, command_line.explain, clock);
    std::cerr << result.err;
    std::cout << result.out;
    return result.exit_code;
  }

  // Qt would end the process by itself on a display that does not answer;
  // the start-up fails instead where the window would load.
  const std::string display_error =
      command_line.headless ? std::string() : zelvo::DisplayProblem(zelvo::ProcessEnvironment());
  if (!display_error.empty()) std::cerr << "zelvo: " << display_error << '\n';
  const bool windowless = command_line.headless || !display_error.empty();

  // Before Qt starts any thread, so that every thread keeps the signals blocked.
  zelvo::SignalFdShutdownSignals shutdown_signals;

  std::unique_ptr<QCoreApplication> qt;
  if (windowless) {
    qt = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    auto gui = std::make_unique<QApplication>(argc, argv);
    gui->setQuitOnLastWindowClosed(false);
    qt = std::move(gui);
  }
  QCoreApplication::setApplicationName(QStringLiteral("Zelvo"));
  QCoreApplication::setApplicationVersion(QStringLiteral(ZELVO_VERSION));
  // Qt takes the whole locale from the environment; numbers stay in the C form.
  std::setlocale(LC_NUMERIC, "C");

  zelvo::ApplicationEnvironment environment;
  environment.program_dir = program_dir;
  environment.headless = command_line.headless;
  // Lines typed at a terminal or written into a pipe are the operator's.
  if (command_line.headless && zelvo::IsOperatorInput(STDIN_FILENO)) environment.operator_input = STDIN_FILENO;
  environment.display_error = display_error;
  const bool on_x11 = command_line.headless ||
                      (!windowless && QGuiApplication::platformName() == QLatin1String("xcb"));
  environment.chat_client =
      zelvo::OpenChatClientWindow(on_x11 ? EnvironmentText("DISPLAY") : std::string());

  zelvo::Application application(std::move(environment));
  // SIGHUP reads the configuration again; SIGINT and SIGTERM close the bot.
  shutdown_signals.Watch([&application](int signal) {
    if (signal == SIGHUP)
      application.Reload();
    else
      application.Close();
  });
  if (!application.Main()) return zelvo::kExitStartupFailed;
  return QCoreApplication::exec();
}
