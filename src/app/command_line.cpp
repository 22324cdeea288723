#include "app/command_line.h"

#include <optional>

#include "dispatch/sender_directory.h"

namespace zelvo {
namespace {

// The channel status named by a mode letter (v, h, o, a, q) or a name (voice ... owner).
std::optional<ChannelStatus> StatusFromArgument(const std::string& value) {
  for (ChannelStatus status : {ChannelStatus::kVoice, ChannelStatus::kHalfop, ChannelStatus::kOp,
                               ChannelStatus::kAdmin, ChannelStatus::kOwner})
    if (value.size() == 1 && value[0] == StatusModeOf(status)) return status;
  return ChannelStatusFromName(value);
}

// A sender of the form NICK!USER@HOST, each part non-empty, with no blank
// or line end anywhere.
bool IsSender(const std::string& from) {
  const std::size_t bang = from.find('!');
  const std::size_t at = from.find('@');
  return bang > 0 && bang != std::string::npos && at != std::string::npos && at > bang + 1 &&
         at + 1 < from.size() && from.find_first_of(std::string(" \r\n\0", 4)) == std::string::npos;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  bool dir_seen = false;
  bool check = false;
  bool explain = false;
  bool explain_option = false;  // an option that only --explain takes
  std::vector<std::string> texts;
  const auto fail = [&result](std::string error) {
    result.action = CommandLine::Action::kError;
    result.error = std::move(error);
    return result;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--") {  // the rest is message text, even when it begins with "-"
      texts.insert(texts.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                   arguments.end());
      break;
    }
    // The value of `--name VALUE` or `--name=VALUE`; nothing when `argument` is another option.
    const auto value_of = [&](const std::string& name) -> std::optional<std::string> {
      if (argument.rfind(name + "=", 0) == 0) return argument.substr(name.size() + 1);
      if (argument != name) return std::nullopt;
      return i + 1 < arguments.size() ? arguments[++i] : std::string();
    };
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
    } else if (argument == "--explain") {
      explain = true;
    } else if (argument == "--notice") {
      explain_option = result.explain.notice = true;
    } else if (const std::optional<std::string> from = value_of("--from")) {
      if (!IsSender(*from)) return fail("--from needs NICK!USER@HOST");
      result.explain.from = *from;
      explain_option = true;
    } else if (const std::optional<std::string> account = value_of("--account")) {
      if (account->empty()) return fail("--account needs an account name");
      result.explain.account = *account;
      explain_option = true;
    } else if (const std::optional<std::string> status = value_of("--status")) {
      const std::optional<ChannelStatus> parsed = StatusFromArgument(*status);
      if (!parsed) return fail("--status needs one of v, h, o, a, q");
      result.explain.status = *parsed;
      explain_option = true;
    } else if (const std::optional<std::string> value = value_of("--dir")) {
      if (value->empty() || dir_seen)
        return fail(value->empty() ? "--dir needs a directory" : "--dir given twice");
      dir_seen = true;
      result.dir = *value;
    } else if (argument.rfind("-", 0) == 0) {
      return fail("unknown argument: " + argument);
    } else {
      texts.push_back(argument);
    }
  }
  if (!explain) {
    if (!texts.empty()) return fail("unknown argument: " + texts.front());
    if (explain_option) return fail("--from, --account, --status and --notice go with --explain");
    if (check) result.action = CommandLine::Action::kCheck;
    return result;
  }
  if (check) return fail("--check and --explain go separately");
  if (texts.size() != 1) return fail("--explain needs the message text as one argument");
  if (texts.front().find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    return fail("the message text must be one line");
  result.explain.text = texts.front();
  result.action = CommandLine::Action::kExplain;
  return result;
}

std::string UsageLine() {
  return "usage: zelvo [--dir DIR] [--headless] [--check] [--help] [--version]\n"
         "       zelvo --explain [--dir DIR] [--from NICK!USER@HOST] [--account NAME]\n"
         "             [--status v|h|o|a|q] [--notice] 'message text'";
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
         "  --explain    show, for each rule, whether the message text said in the\n"
         "               channel fires it, or the first reason it does not; writes,\n"
         "               opens and connects nothing; exit 0 when a rule fires, 1 when\n"
         "               none does, 2 when config.xml is missing or not valid\n"
         "    --from NICK!USER@HOST  the sender (default user!~user@example.org)\n"
         "    --account NAME         the sender is logged in to NAME (default: not)\n"
         "    --status v|h|o|a|q     the sender's channel status (default: none)\n"
         "    --notice               the text comes as a NOTICE, not a PRIVMSG\n"
         "  --help       show this text and exit\n"
         "  --version    show the version and exit\n\n"
         "Without --dir the files stand in the program's directory when you can write\n"
         "there (a build tree, a folder of yours). An installed program, whose\n"
         "directory is under /usr or not writable by you, keeps them in\n"
         "$XDG_CONFIG_HOME/zelvo (by default ~/.config/zelvo), made when missing; a\n"
         "relative LogFile is taken from there too.\n";
}

}  // namespace zelvo
