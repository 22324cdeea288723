#include "dispatch/rule_explain.h"

#include <array>
#include <cstdio>

#include "log/messages.h"
#include "model/date_time.h"
#include "model/flags.h"
#include "model/glob.h"
#include "model/visible_text.h"

namespace zelvo {
namespace {

constexpr std::size_t kShownRest = 40;  // bytes of the line shown after a stop

constexpr std::array<std::string_view, 5> kStatusNames = {"voice", "halfop", "op", "admin",
                                                          "owner"};

// `text` with CR and LF written out as \r and \n and other controls escaped.
std::string Shown(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\r')
      escaped += "\\r";
    else if (c == '\n')
      escaped += "\\n";
    else
      escaped += c;
  }
  return VisibleControlText(escaped);
}

// The line from byte `pos`, cut on a character boundary after kShownRest bytes.
std::string ShownRest(std::string_view line, std::size_t pos) {
  std::string_view rest = line.substr(pos);
  if (rest.size() <= kShownRest) return Shown(rest);
  std::size_t cut = kShownRest;
  while (cut > 0 && (static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80) --cut;
  return Shown(rest.substr(0, cut)) + "...";
}

// The highest status the sender holds, "" for none.
std::string_view StatusOf(const IrcMessage& message, const SenderDirectory& senders) {
  std::string_view name;
  for (std::string_view status : kStatusNames)
    if (senders.HasStatus(message.nick, *ChannelStatusFromName(status))) name = status;
  return name;
}

std::string Switches(const IOCommand& rule, const Outputs& outputs) {
  std::string text;
  const auto add = [&](int n, std::string_view action) {
    text += (text.empty() ? "" : ", ") + explain_text::SwitchText(n, outputs.OutputName(n), action);
  };
  for (int n = 1; n <= kOutputCount; ++n) {
    if (rule.HasFlag(OffBit(n))) add(n, "off");
    if (rule.HasFlag(OnBit(n))) add(n, "on");
    if (rule.HasFlag(ToggleBit(n))) add(n, "toggle");
  }
  return text;
}

std::string NotChannelMessage(const IrcMessage& message, const RuleContext& context) {
  const std::string& channel = context.settings.gsIRCChannel;
  if (message.command != "PRIVMSG") return explain_text::NotPrivmsgText(message.command, channel);
  if (message.params.size() != 2 || !context.senders.Mapping().Equal(message.Param(0), channel))
    return explain_text::OtherChannelText(message.Param(0), channel);
  const std::string& text = message.params[1];
  return explain_text::CtcpText(Shown(text.substr(1, text.find_first_of(" \x01", 1) - 1)));
}

std::string TriggerMismatch(const IOCommand& rule, const RuleLine& line) {
  const GlobPattern::Stop stop = rule.TriggerPattern().WhereMatchingStops(line.lowered);
  // The trigger was lower-cased byte for byte, so its offsets hold in the original.
  const std::string piece = rule.IRCTrigger().substr(stop.begin, stop.end - stop.begin);
  std::string part = "it";
  if (stop.pieces > 1) {
    part = stop.piece == 0                 ? "its first part \""
           : stop.piece + 1 == stop.pieces ? "its last part \""
                                           : "its part \"";
    part += piece + "\"";
  }
  const std::string trigger = Shown(rule.IRCTrigger());
  const std::string rest = ShownRest(line.message.classic, stop.text_pos);
  if (stop.must_end) return explain_text::TriggerEndText(trigger, Shown(part), rest);
  const std::string pattern_rest =
      rule.IRCTrigger().substr(stop.pattern_pos, stop.end - stop.pattern_pos);
  return explain_text::TriggerStopText(trigger, Shown(part), stop.piece == 0, Shown(pattern_rest),
                                       rest);
}

std::string NoUser(const IOCommand& rule, const IrcMessage& message, const RuleContext& context) {
  std::string users;
  int number = 0;
  for (const auto& user : rule) {
    ++number;
    const UserVerdict judged = JudgeUser(*user, message, context);
    const bool nickname = judged.gate == UserVerdict::kNickname;
    if (!nickname && judged.gate != UserVerdict::kUsername) continue;
    users += (users.empty() ? "" : "; ") +
             explain_text::UserText(number, nickname ? "nickname" : "user name",
                                    Shown(nickname ? message.nick : message.user),
                                    Shown(nickname ? user->Nickname() : user->Username()));
  }
  return explain_text::NoUserText(users);
}

std::string Today(const Clock& clock) {
  static constexpr std::array<std::string_view, 7> kDays = {
      "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
  const OleDate now = clock.LocalNow();
  const CivilDateTime date = FromOleDate(now);
  std::array<char, 16> digits{};
  std::snprintf(digits.data(), digits.size(), "%04d-%02d-%02d", date.year, date.month, date.day);
  return std::string(kDays[static_cast<std::size_t>(IsoWeekday(now) - 1)]) + " " + digits.data();
}

// The verdict in words.
std::string Detail(const IOCommand& rule, const RuleLine& line, const RuleVerdict& verdict,
                   const Outputs& outputs, const RuleContext& context) {
  const IrcMessage& message = line.message;
  switch (verdict.gate) {
    case RuleGate::kRuns:
      return explain_text::FiresText(Switches(rule, outputs), RuleReplyText(rule),
                                     RestSeconds(rule), rule.AutoReturn());
    case RuleGate::kOwnLine:
      return explain_text::OwnLineText(message.nick);
    case RuleGate::kNotChannelMessage:
      return NotChannelMessage(message, context);
    case RuleGate::kNoUserPrefix:
      return explain_text::NoUserPrefixText(Shown(message.prefix));
    case RuleGate::kTrigger:
      return TriggerMismatch(rule, line);
    case RuleGate::kNoUser:
      return NoUser(rule, message, context);
    case RuleGate::kConditions:
      return explain_text::ConditionsText(verdict.missing);
    case RuleGate::kTooSoon:
      return explain_text::TooSoonText(verdict.wait, kRefusalText.substr(1));
    case RuleGate::kWeekdaysOnly:
      return explain_text::DayText("ExecuteOnWeekdaysOnly", Today(context.clock));
    case RuleGate::kWeekendsOnly:
      return explain_text::DayText("ExecuteOnWeekendsOnly", Today(context.clock));
    case RuleGate::kFocus:
      return explain_text::FocusText("ExecuteOnlyWhenVeskoHasFocus", true, !verdict.window_unknown);
    case RuleGate::kNonFocus:
      return explain_text::FocusText("ExecuteOnlyWhenVeskoHasNonFocus", false,
                                     !verdict.window_unknown);
    case RuleGate::kSenderLimited:
      return explain_text::SenderLimitedText(context.settings.SenderRateLimit.count,
                                             context.settings.SenderRateLimit.seconds,
                                             verdict.wait);
    case RuleGate::kOutputTooSoon:
      return explain_text::OutputTooSoonText(verdict.output, outputs.OutputName(verdict.output),
                                             context.settings.OutputMinInterval, verdict.wait);
  }
  return "";
}

}  // namespace

std::optional<std::string> StatedSender::Account(std::string_view,
                                                 const IrcMessage& message) const {
  if (std::optional<std::string> tag = message.Tag("account")) return tag;
  return account_.value_or("");
}

bool StatedSender::HasStatus(std::string_view, ChannelStatus least) const {
  return status_ >= least;
}

std::string ChannelLine(std::string_view from, std::string_view channel, std::string_view text,
                        bool notice) {
  std::string line = ":";
  line.append(from).append(notice ? " NOTICE " : " PRIVMSG ").append(channel).append(" :");
  return line.append(text).append("\r\n");
}

Explanation ExplainLine(std::string_view text, const IOCommands& commands, const Outputs& outputs,
                        const RuleContext& context) {
  const IrcMessage message = ParseIrcMessage(text);
  const RuleLine line = JudgeLine(message, true, context);
  const std::optional<std::string> account = context.senders.Account(message.nick, message);
  const std::string* logged_in = account && !account->empty() ? &*account : nullptr;
  Explanation explanation;
  explanation.text = explain_text::LineText(Shown(message.classic)) + "\n" +
                     explain_text::SenderText(Shown(message.prefix), logged_in,
                                              StatusOf(message, context.senders)) +
                     "\n";
  int number = 0;
  for (const IOCommands::Pointer& rule : commands) {
    const RuleVerdict verdict = JudgeRule(*rule, line, context);
    if (verdict.Runs()) ++explanation.firing;
    explanation.rules.push_back(
        {explain_text::RuleText(++number, rule->IOName(),
                                Detail(*rule, line, verdict, outputs, context)) +
             ".",
         verdict.Runs()});
    explanation.text += explanation.rules.back().text + "\n";
  }
  explanation.text += explain_text::SummaryText(explanation.firing, number) + "\n";
  return explanation;
}

}  // namespace zelvo
