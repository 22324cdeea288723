#include "app/program.h"

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
#include "app/headless_program.h"
#include "app/operator_input.h"
#include "app/program_dir.h"
#include "app/rule_explain_command.h"
#include "app/shutdown_signals.h"
#include "files/file_helpers.h"
#include "front/exit_codes.h"
#include "log/messages.h"
#include "model/clock.h"
#include "x11/chat_client_window.h"

namespace zelvo {

namespace {

std::string EnvironmentText(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

int RunProgram(int argc, char** argv, const WindowSupport* window) {
  // Dates in the log render in the user's locale.
  std::setlocale(LC_ALL, "");

  CommandLine command_line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!window) command_line.headless = true;
  switch (command_line.action) {
    case CommandLine::Action::kHelp:
      std::cout << HelpText();
      return 0;
    case CommandLine::Action::kVersion:
      std::cout << "zelvo " << ZELVO_VERSION << '\n';
      return 0;
    case CommandLine::Action::kError:
      std::cerr << "zelvo: " << command_line.error << '\n' << UsageLine() << '\n';
      return kExitUsage;
    case CommandLine::Action::kRun:
    case CommandLine::Action::kCheck:
    case CommandLine::Action::kExplain:
      break;
  }

  const bool check = command_line.action == CommandLine::Action::kCheck;
  const bool explain = command_line.action == CommandLine::Action::kExplain;
  // --check and --explain write nothing, so they make no directory either.
  const ProgramDirChoice where = ResolveProgramDir(command_line.dir, !check && !explain);
  if (!where.error.empty()) {
    std::cerr << "zelvo: " << where.error << '\n';
    if (!command_line.dir.empty()) {
      std::cerr << UsageLine() << '\n';
      return kExitUsage;
    }
    if (explain) return kExitExplainBadConfig;
    return check ? kExitCheckFailed : kExitStartupFailed;
  }
  const std::string& program_dir = where.dir;
  if (window && command_line.action == CommandLine::Action::kRun && command_line.headless) {
    // The program without a window runs the bot; this one only returns when
    // it could not be started.
    const std::string why =
        ExecHeadlessProgram(HeadlessProgramPaths(ExecutableDir(), window->headless_program_dir),
                            HeadlessArguments(std::vector<std::string>(argv, argv + argc),
                                              program_dir, !command_line.dir.empty()));
    std::cerr << "zelvo: " << HeadlessProgramUnusedText(why) << '\n';
  }
  if (check) {
    const ConfigCheck result = CheckConfiguration(program_dir);
    std::cerr << result.warning;
    (result.valid ? std::cout : std::cerr) << result.text;
    return result.valid ? 0 : kExitCheckFailed;
  }
  if (explain) {
    const SystemClock clock;
    const ExplainOutcome result = ExplainCommand(program_dir, command_line.explain, clock);
    std::cerr << result.err;
    std::cout << result.out;
    return result.exit_code;
  }

  // Qt would end the process by itself on a display that does not answer;
  // the start-up fails instead where the window would load.
  const std::string display_error =
      command_line.headless ? std::string() : DisplayProblem(ProcessEnvironment());
  if (!display_error.empty()) std::cerr << "zelvo: " << display_error << '\n';
  const bool windowless = command_line.headless || !display_error.empty();

  // Before Qt starts any thread, so that every thread keeps the signals blocked.
  SignalFdShutdownSignals shutdown_signals;

  std::unique_ptr<QCoreApplication> qt = windowless ? std::make_unique<QCoreApplication>(argc, argv)
                                                    : window->make_application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Zelvo"));
  QCoreApplication::setApplicationVersion(QStringLiteral(ZELVO_VERSION));
  // Qt takes the whole locale from the environment; numbers stay in the C form.
  std::setlocale(LC_NUMERIC, "C");

  ApplicationEnvironment environment;
  environment.program_dir = program_dir;
  environment.headless = command_line.headless;
  // Lines typed at a terminal or written into a pipe are the operator's.
  if (command_line.headless && IsOperatorInput(STDIN_FILENO))
    environment.operator_input = STDIN_FILENO;
  environment.display_error = display_error;
  const bool on_x11 = command_line.headless || (!windowless && window->on_x11());
  environment.chat_client =
      OpenChatClientWindow(on_x11 ? EnvironmentText("DISPLAY") : std::string());
  if (!windowless) environment.desktop = window->make_desktop();

  Application application(std::move(environment));
  // SIGHUP reads the configuration again; SIGINT and SIGTERM close the bot.
  shutdown_signals.Watch([&application](int signal) {
    if (signal == SIGHUP)
      application.Reload();
    else
      application.Close();
  });
  if (!application.Main()) return kExitStartupFailed;
  return QCoreApplication::exec();
}

}  // namespace zelvo
