#include "dispatch/rule_lint.h"

#include <algorithm>
#include <cctype>
#include <numeric>
#include <string_view>

#include "log/messages.h"
#include "model/flags.h"
#include "model/glob.h"

namespace zelvo {
namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Levenshtein distance, letter case ignored.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min(
          {row[j] + 1, row[j - 1] + 1, diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char a, char b) { return Lower(a) == Lower(b); });
}

// The output number of "SetOutput<N>On", "...Off" or "...Toggle" (letter case
// ignored, N decimal digits); nothing for any other text.
std::optional<long long> OutputNumber(std::string_view flag) {
  constexpr std::string_view kPrefix = "setoutput";
  if (!StartsWithIgnoringCase(flag, kPrefix)) return std::nullopt;
  std::size_t end = kPrefix.size();
  long long number = 0;
  while (end < flag.size() && std::isdigit(static_cast<unsigned char>(flag[end])) != 0) {
    number = std::min(number * 10 + (flag[end] - '0'), 1000000000LL);
    ++end;
  }
  if (end == kPrefix.size()) return std::nullopt;
  std::string action(flag.substr(end));
  std::transform(action.begin(), action.end(), action.begin(), Lower);
  if (action != "on" && action != "off" && action != "toggle") return std::nullopt;
  return number;
}

// The flag name nearest to `flag` without blanks around it, by edit distance
// (the first of equals): a name that differs only in letter case or blanks
// is found at distance 0.
std::string_view NearestFlag(std::string_view flag) {
  const std::vector<std::string_view> names = FlagNames();
  return *std::min_element(names.begin(), names.end(), [&](std::string_view a, std::string_view b) {
    return EditDistance(a, Trimmed(flag)) < EditDistance(b, Trimmed(flag));
  });
}

bool LinePossible(const std::string& trigger) {
  return GlobPattern(LowerLatin1(trigger)).CanMatchBetween(":", "\r\n");
}

// What makes the trigger match some line, tried from the least change.
TriggerFix FixFor(const std::string& trigger) {
  if (LinePossible(trigger + "*")) return TriggerFix::kEndStar;
  if (LinePossible("*" + trigger)) return TriggerFix::kStartStar;
  if (LinePossible("*" + trigger + "*")) return TriggerFix::kBothStars;
  return TriggerFix::kEmptyList;
}

// The trigger with "[#]" for every "#" outside a list that is followed by a
// letter or by "&", "+" or "!" (the start of a channel name); the trigger
// itself when there is none.
std::string HashFixed(std::string_view trigger) {
  std::string fixed;
  for (std::size_t i = 0; i < trigger.size(); ++i) {
    const char c = trigger[i];
    if (c == '[') {
      const std::size_t start = i + 1 < trigger.size() && trigger[i + 1] == '!' ? i + 2 : i + 1;
      const std::size_t close = trigger.find(']', start);
      if (close != std::string_view::npos) {
        fixed.append(trigger.substr(i, close - i + 1));
        i = close;
        continue;
      }
    }
    const bool channel = c == '#' && i + 1 < trigger.size() &&
                         (std::isalpha(static_cast<unsigned char>(trigger[i + 1])) != 0 ||
                          std::string_view("&+!").find(trigger[i + 1]) != std::string_view::npos);
    fixed += channel ? std::string("[#]") : std::string(1, c);
  }
  return fixed;
}

constexpr std::string_view kNotInNickname{" !@\r\n\0", 6};
constexpr std::string_view kNotInUsername{" @\r\n\0", 5};

bool SwitchesSomething(const IOCommand& command) {
  if (command.HasFlag(flag::kPulseQuickly)) return true;
  for (int n = 1; n <= kOutputCount; ++n)
    if (command.HasFlag(OnBit(n) | OffBit(n) | ToggleBit(n))) return true;
  return false;
}

}  // namespace

std::vector<RuleFinding> LintRules(const IOCommands& commands) {
  std::vector<RuleFinding> findings;
  int position = 0;
  for (const IOCommands::Pointer& command : commands) {
    ++position;
    const std::string rule = RuleLabelText(position, command->IOName());
    const auto add = [&](RuleFinding::Severity severity, std::string text) {
      findings.push_back({severity, position, command->IOName(), std::move(text)});
    };
    const auto error = [&](std::string text) {
      add(RuleFinding::Severity::kError, std::move(text));
    };
    const auto warn = [&](std::string text) {
      add(RuleFinding::Severity::kWarning, std::move(text));
    };

    for (const std::string& flag : command->FlagTexts()) {
      if (FlagBit(flag)) continue;
      if (const auto output = OutputNumber(Trimmed(flag)); output && (*output < 1 || *output > 8))
        error(FlagOutputRangeText(rule, flag, *output));
      else
        error(UnknownFlagText(rule, flag, NearestFlag(flag)));
    }
    if (command->AutoReturn() < 0)
      error(NegativeSecondsText(rule, "AutoReturn", command->AutoReturn()));
    if (command->ExecuteLimit() < 0)
      error(NegativeSecondsText(rule, "ExecuteLimit", command->ExecuteLimit()));

    if (!command->TriggerPattern().CanMatchBetween(":", "\r\n"))
      warn(TriggerNeverMatchesText(rule, command->IRCTrigger(), FixFor(command->IRCTrigger())));
    if (const std::string fixed = HashFixed(command->IRCTrigger()); fixed != command->IRCTrigger())
      warn(TriggerHashText(rule, command->IRCTrigger(), fixed));

    int user_position = 0;
    int possible_users = 0;
    for (const auto& user : *command) {
      ++user_position;
      std::optional<UserPatternFault> fault;
      if (user->Nickname().empty())
        fault = UserPatternFault::kEmptyNickname;
      else if (!user->NicknamePattern().CanMatchBetween("", "", kNotInNickname))
        fault = UserPatternFault::kNickname;
      if (fault) warn(UserPatternText(rule, user_position, *fault, user->Nickname()));
      const bool username_possible =
          user->UsernamePattern().CanMatchBetween("", "", kNotInUsername);
      if (!username_possible)
        warn(UserPatternText(rule, user_position, UserPatternFault::kUsername, user->Username()));
      if (!fault && username_possible) ++possible_users;
    }
    if (command->Count() == 0)
      warn(RuleNeverRunsText(rule, NeverRunsCause::kNoUsers));
    else if (possible_users == 0)
      warn(RuleNeverRunsText(rule, NeverRunsCause::kNoUserCanMatch));
    if (command->HasFlag(flag::kExecuteOnWeekdaysOnly) &&
        command->HasFlag(flag::kExecuteOnWeekendsOnly))
      warn(RuleNeverRunsText(rule, NeverRunsCause::kWeekdaysAndWeekends));
    if (command->HasFlag(flag::kExecuteOnlyWhenVeskoHasFocus) &&
        command->HasFlag(flag::kExecuteOnlyWhenVeskoHasNonFocus))
      warn(RuleNeverRunsText(rule, NeverRunsCause::kFocusAndNonFocus));
    if (command->AutoReturn() > 0 && !SwitchesSomething(*command))
      warn(AutoReturnWithoutOutputText(rule, command->AutoReturn()));
  }
  return findings;
}

}  // namespace zelvo
