#include "dispatch/rule_lint.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "config/config_loader.h"
#include "model/flags.h"
#include "support/example_config.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using Edit = std::function<void(IOCommand&)>;

// Edits of the example's first rule ("Saftblandare": "*PRIVMSG*!Saft*",
// AutoReturn 15, one user "*"/"*", SetOutput1On and SetFocusOnVesko).
Edit Flags(std::vector<std::string> texts) {
  return [texts](IOCommand& rule) {
    std::int32_t bits = 0;
    for (const std::string& text : texts) bits = ParseFlag(bits, text);
    rule.SetExtraFlags(bits);
    rule.SetFlagTexts(texts);
  };
}
Edit Trigger(std::string text) {
  return [text](IOCommand& rule) { rule.SetIRCTrigger(text); };
}
Edit Seconds(int auto_return, int limit) {
  return [=](IOCommand& rule) { rule.SetAutoReturn(auto_return), rule.SetExecuteLimit(limit); };
}
// Replaces the users by the (Username, Nickname) pairs.
Edit Users(std::vector<std::pair<std::string, std::string>> users) {
  return [users](IOCommand& rule) {
    rule.RemoveAll();
    for (const auto& [name, nick] : users) {
      auto user = std::make_shared<User>();
      user->SetUsername(name);
      user->SetNickname(nick);
      rule.Add(user);
    }
  };
}

struct Row {
  const char* name;
  Edit edit;
  std::string finding;  // "E " or "W " and a part of the one finding expected; "" for none
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

class RuleLintTest : public ::testing::TestWithParam<Row> {};

TEST_P(RuleLintTest, FindsWhatCannotWork) {
  testing::TempDir dir;
  testing::WriteFile(dir.File("config.xml"), testing::ExampleConfigText());
  ConfigDocument document;
  ValidateConfigDocument(dir.path(), GetResourceText(kSchemaResource, "XML"), document);
  IOCommands rules;
  ReadIOCommands(document, testing::FakeClock(46082.75), rules);
  if (GetParam().edit) GetParam().edit(*rules.Item(1));

  const std::vector<RuleFinding> findings = LintRules(rules);
  if (GetParam().finding.empty()) {
    for (const RuleFinding& f : findings) ADD_FAILURE() << f.text;
    return;
  }
  const auto severity = GetParam().finding[0] == 'E' ? RuleFinding::Severity::kError
                                                     : RuleFinding::Severity::kWarning;
  const std::string part = GetParam().finding.substr(2);
  const auto count = std::count_if(findings.begin(), findings.end(), [&](const RuleFinding& f) {
    return f.severity == severity && f.position == 1 && f.rule == "Saftblandare" &&
           f.text.rfind("rule 1 \"Saftblandare\": ", 0) == 0 &&
           f.text.find(part) != std::string::npos;
  });
  EXPECT_EQ(count, 1) << ::testing::PrintToString(findings.size()) << " findings";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RuleLintTest,
    ::testing::Values(
        Row{"Example", {}, ""},
        Row{"Misspelt", Flags({"SetOuptut3On"}),
            "E unknown flag \"SetOuptut3On\"; did you mean \"SetOutput3On\"?"},
        Row{"OtherCase", Flags({"setoutput3on", "PULSEQUICKLY"}), ""},
        Row{"Blank", Flags({" SetOutput3On"}),
            "E unknown flag \" SetOutput3On\"; did you mean \"SetOutput3On\"?"},
        Row{"Output9", Flags({"SetOutput9On"}),
            "E flag \"SetOutput9On\" names output 9, but the outputs are 1 to 8"},
        Row{"Output0", Flags({"setoutput0toggle"}), "E names output 0"},
        Row{"Output8", Flags({"SetOutput8Off"}), ""},
        Row{"NegativeAutoReturn", Seconds(-1, 20), "E AutoReturn=\"-1\" is negative"},
        Row{"NegativeLimit", Seconds(15, -5), "E ExecuteLimit=\"-5\" is negative"},
        Row{"ZeroSeconds", Seconds(0, 0), ""},
        Row{"NoEndStar", Trigger("*PRIVMSG*!Saft"),
            "W can never match a received line, which ends with CR LF; end the trigger with \"*\""},
        Row{"EndsWithCrLf", Trigger("*PRIVMSG*!Saft\r\n"), ""},
        Row{"NoStartStar", Trigger("PRIVMSG*!Saft*"), "W begin the trigger with \"*\""},
        Row{"StartsWithColon", Trigger(":*PRIVMSG*!Saft*"), ""},
        Row{"NoStars", Trigger("!Saft"), "W begin and end the trigger with \"*\""},
        Row{"BackwardRange", Trigger("*!Saft[z-a]*"), "W no character fits"},
        Row{"Range", Trigger("*!Saft[a-z]*"), ""},
        Row{"HashChannel", Trigger("*PRIVMSG #lab :!fan on*"),
            "W write \"[#]\" for the character: \"*PRIVMSG [#]lab :!fan on*\""},
        Row{"HashInList", Trigger("*PRIVMSG [#]lab :!fan on #1*"), ""},
        Row{"BadNick", Users({{"*", "*"}, {"*", "bob!*"}}),
            "W user 2's Nickname \"bob!*\" can never match"},
        Row{"EmptyNick", Users({{"*", "*"}, {"al", ""}}), "W user 2's Nickname is empty"},
        Row{"BlankUser", Users({{"*", "*"}, {"[ @]", "al"}}),
            "W user 2's Username \"[ @]\" can never match"},
        Row{"OddUsers", Users({{"[ a]", "[!a-z]?"}, {"~al", "al[!a-z]"}}), ""},
        Row{"NoUsers", Users({}), "W the rule can never run: it has no allowed user"},
        Row{"NoUserPossible", Users({{"*", "a b"}}),
            "W none of its allowed users can match a sender"},
        Row{"EveryDay", Flags({"SetOutput1On", "ExecuteOnWeekdaysOnly", "executeonweekendsonly"}),
            "W leave no day"},
        Row{"Weekdays", Flags({"SetOutput1On", "ExecuteOnWeekdaysOnly"}), ""},
        Row{"AnyFocus",
            Flags({"SetOutput1On", "ExecuteOnlyWhenVeskoHasFocus",
                   "ExecuteOnlyWhenVeskoHasNonFocus"}),
            "W leave no moment"},
        Row{"NonFocus", Flags({"SetOutput1On", "ExecuteOnlyWhenVeskoHasNonFocus"}), ""},
        Row{"NothingToReturn", Flags({"SetFocusOnVesko", "Nothing"}),
            "W AutoReturn=\"15\" but the rule switches no output"},
        Row{"PulseToReturn", Flags({"SetFocusOnVesko", "PulseQuickly"}), ""}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zelvo
