// The command line: --dir DIR, --headless, --help, --version.
#pragma once

#include <string>
#include <vector>

namespace zelvo {

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kError };
  Action action = Action::kRun;
  std::string dir;        // empty: the executable's directory
  bool headless = false;  // no window, no tray, no message boxes
  std::string error;      // what was wrong, for kError
};

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// "usage: zelvo [--dir DIR] [--headless] [--help] [--version]"
std::string UsageLine();
// The text of --help.
std::string HelpText();

}  // namespace zelvo
