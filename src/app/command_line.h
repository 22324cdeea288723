// The command line: --dir DIR, --headless, --check, --explain with its
// options and message text, --help, --version.
#pragma once

#include <string>
#include <vector>

#include "app/rule_explain_command.h"

namespace zelvo {

struct CommandLine {
  enum class Action { kRun, kCheck, kExplain, kHelp, kVersion, kError };
  Action action = Action::kRun;
  std::string dir;         // empty: chosen by ResolveProgramDir
  bool headless = false;   // no window, no tray, no message boxes
  std::string error;       // what was wrong, for kError
  ExplainRequest explain;  // kExplain: the line to explain
};

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// "usage: zelvo [--dir DIR] [--headless] [--check] [--help] [--version]" and
// the form of --explain.
std::string UsageLine();
// The text of --help.
std::string HelpText();

}  // namespace zelvo
