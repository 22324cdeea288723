#include "app/command_line.h"

#include <gtest/gtest.h>

namespace zelvo {
namespace {

using Action = CommandLine::Action;

struct Case {
  std::vector<std::string> arguments;
  Action action;
  std::string dir;
  bool headless;
  std::string error;
  std::string explain{};  // kExplain: "from|account|status|notice|text"
};

void PrintTo(const Case& c, std::ostream* out) {
  for (const std::string& argument : c.arguments) *out << '[' << argument << ']';
}

class CommandLineTest : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineTest, Parses) {
  const CommandLine parsed = ParseCommandLine(GetParam().arguments);
  EXPECT_EQ(parsed.action, GetParam().action);
  EXPECT_EQ(parsed.dir, GetParam().dir);
  EXPECT_EQ(parsed.headless, GetParam().headless);
  EXPECT_EQ(parsed.error, GetParam().error);
  const ExplainRequest& e = parsed.explain;
  if (parsed.action == Action::kExplain) {
    EXPECT_EQ(e.from + "|" + e.account.value_or("-") + "|" +
                  std::to_string(static_cast<int>(e.status)) + "|" + (e.notice ? "1|" : "0|") +
                  e.text,
              GetParam().explain);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(
        Case{{}, Action::kRun, "", false, ""}, Case{{"--headless"}, Action::kRun, "", true, ""},
        Case{{"--dir", "/srv/zelvo"}, Action::kRun, "/srv/zelvo", false, ""},
        Case{{"--dir=/srv/zelvo", "--headless"}, Action::kRun, "/srv/zelvo", true, ""},
        Case{{"--headless", "--dir", "run dir"}, Action::kRun, "run dir", true, ""},
        Case{{"--help"}, Action::kHelp, "", false, ""}, Case{{"-h"}, Action::kHelp, "", false, ""},
        Case{{"--headless", "--version"}, Action::kVersion, "", true, ""},
        Case{{"--check"}, Action::kCheck, "", false, ""},
        Case{{"--check", "--dir", "/srv/zelvo"}, Action::kCheck, "/srv/zelvo", false, ""},
        Case{{"--dir=/srv/zelvo", "--check"}, Action::kCheck, "/srv/zelvo", false, ""},
        Case{{"--check", "--help"}, Action::kHelp, "", false, ""},
        Case{{"--check", "--bogus"}, Action::kError, "", false, "unknown argument: --bogus"},
        Case{{"--dir"}, Action::kError, "", false, "--dir needs a directory"},
        Case{{"--dir="}, Action::kError, "", false, "--dir needs a directory"},
        Case{{"--dir", "a", "--dir", "b"}, Action::kError, "a", false, "--dir given twice"},
        Case{{"--verbose"}, Action::kError, "", false, "unknown argument: --verbose"},
        Case{{"config.xml"}, Action::kError, "", false, "unknown argument: config.xml"},
        Case{{"--headless", "-x"}, Action::kError, "", true, "unknown argument: -x"},
        Case{{"--explain", "Disco On"},
             Action::kExplain,
             "",
             false,
             "",
             "user!~user@example.org|-|0|0|Disco On"},
        Case{{"--explain", "--dir", "/srv", "--from", "bob!~b@h", "--account=bob", "--status", "o",
              "--notice", "hi"},
             Action::kExplain,
             "/srv",
             false,
             "",
             "bob!~b@h|bob|3|1|hi"},
        Case{{"--explain", "--status=voice", "--", "-1"},
             Action::kExplain,
             "",
             false,
             "",
             "user!~user@example.org|-|1|0|-1"},
        Case{{"--explain"},
             Action::kError,
             "",
             false,
             "--explain needs the message text as one argument"},
        Case{{"--explain", "a", "b"},
             Action::kError,
             "",
             false,
             "--explain needs the message text as one argument"},
        Case{{"--explain", "a\r\nQUIT"},
             Action::kError,
             "",
             false,
             "the message text must be one line"},
        Case{{"--notice"},
             Action::kError,
             "",
             false,
             "--from, --account, --status and --notice go with --explain"},
        Case{{"--explain", "--from", "bob@h", "hi"},
             Action::kError,
             "",
             false,
             "--from needs NICK!USER@HOST"},
        Case{{"--explain", "--status", "x", "hi"},
             Action::kError,
             "",
             false,
             "--status needs one of v, h, o, a, q"},
        Case{{"--explain", "--check", "hi"},
             Action::kError,
             "",
             false,
             "--check and --explain go separately"}));

TEST(CommandLineTextTest, HelpStartsWithTheUsageLineAndNamesEveryOption) {
  const std::string help = HelpText();
  EXPECT_EQ(help.rfind(UsageLine(), 0), 0u);
  for (const char* option :
       {"--dir DIR", "--headless", "--check", "--explain", "--from", "--account", "--status",
        "--notice", "--help", "--version", "$XDG_CONFIG_HOME/zelvo"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace zelvo
