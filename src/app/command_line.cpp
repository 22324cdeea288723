#include "app/command_line.h"

namespace zelvo {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  bool dir_seen = false;
  bool check = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      result.action = CommandLine::Action::kHelp;
      return result;
    }
    if (argument == "--version") {
      result.action = CommandLine::Action::kVersion;
      return result;
    }
    if (argument == "--headless") {
      result.headless = true;
    } else if (argument == "--check") {
      check = true;
    } else if (argument == "--dir" || argument.rfind("--dir=", 0) == 0) {
      std::string value;
      if (argument == "--dir") {
        if (i + 1 >= arguments.size()) {
          result.action = CommandLine::Action::kError;
          result.error = "--dir needs a directory";
          return result;
        }
        value = arguments[++i];
      } else {
        value = argument.substr(6);
      }
      if (value.empty() || dir_seen) {
        result.action = CommandLine::Action::kError;
        result.error = value.empty() ? "--dir needs a directory" : "--dir given twice";
        return result;
      }
      dir_seen = true;
      result.dir = value;
    } else {
      result.action = CommandLine::Action::kError;
      result.error = "unknown argument: " + argument;
      return result;
    }
  }
  if (check) result.action = CommandLine::Action::kCheck;
  return result;
}

std::string UsageLine() {
  return "usage: zelvo [--dir DIR] [--headless] [--check] [--help] [--version]";
}

std::string HelpText() {
  return UsageLine() +
         "\n\n"
         "Zelvo sits in an IRC channel as a bot and switches eight outputs when chat\n"
         "lines match the rules in config.xml.\n\n"
         "  --dir DIR    keep config.xml, config.xsd, the log and the lock file in DIR\n"
         "  --headless   run without a window: the console goes to standard output,\n"
         "               fatal errors and the error-log dump to standard error\n"
         "  --check      check config.xml as a start would, write nothing, open no\n"
         "               device, connect nowhere; exit 0 when it is valid, 1 when not\n"
         "  --help       show this text and exit\n"
         "  --version    show the version and exit\n\n"
         "Without --dir the files stand in the program's directory when you can write\n"
         "there (a build tree, a folder of yours). An installed program, whose\n"
         "directory is under /usr or not writable by you, keeps them in\n"
         "$XDG_CONFIG_HOME/zelvo (by default ~/.config/zelvo), made when missing; a\n"
         "relative LogFile is taken from there too.\n";
}

}  // namespace zelvo
