// The command line: --dir DIR, --headless, --check, --help, --version.
#pragma once

#include <string>
#include <vector>

namespace zelvo {

struct CommandLine {
  enum class Action { kRun, kCheck, kHelp, kVersion, kError };
  Action action = Action::kRun;
  std::string dir;        // empty: chosen by ResolveProgramDir
  bool headless = false;  // no window, no tray, no message boxes
  std::string error;      // what was wrong, for kError
};

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// "usage: zelvo [--dir DIR] [--headless] [--check] [--help] [--version]"
std::string UsageLine();
// The text of --help.
std::string HelpText();

}  // namespace zelvo
