// The operator window's status line, last-run label, lamp tooltips and
// activity strips, each on its own.
#include <gtest/gtest.h>

#include <QImage>
#include <QTextDocument>
#include <chrono>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "model/flags.h"
#include "model/io_command.h"
#include "model/output_history.h"
#include "outputs/outputs.h"
#include "support/fake_clock.h"
#include "support/qt_application.h"
#include "ui/activity_strip.h"
#include "ui/lamp_box.h"
#include "ui/lamp_tooltip.h"
#include "ui/last_run_label.h"
#include "ui/status_line.h"

namespace zelvo {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::FakeClock;
using State = ConnectionStatus::State;

QImage Render(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_RGB32);
  image.fill(Qt::magenta);
  widget.render(&image);
  return image;
}

std::uint32_t PixelNumber(const QImage& image, QPoint at) {
  const QColor c = image.pixelColor(at);
  return static_cast<std::uint32_t>(c.red()) + 256u * static_cast<std::uint32_t>(c.green()) +
         65536u * static_cast<std::uint32_t>(c.blue());
}

// --- Lamp tooltips --------------------------------------------------------

struct RuleSpec {
  std::string name;
  std::int32_t flags;
  std::int32_t auto_return = 0;
};

struct TooltipCase {
  std::string name;
  std::vector<RuleSpec> rules;
  int output;
  std::string output_name;
  std::string expected;
  friend void PrintTo(const TooltipCase& c, std::ostream* os) { *os << c.name; }
};

IOCommands MakeRules(const std::vector<RuleSpec>& specs) {
  IOCommands rules;
  for (const RuleSpec& spec : specs) {
    auto rule = std::make_shared<IOCommand>(0);
    rule->SetIOName(spec.name);
    rule->SetExtraFlags(spec.flags);
    rule->SetAutoReturn(spec.auto_return);
    rules.Add(rule);
  }
  return rules;
}

class LampTooltipCases : public ::testing::TestWithParam<TooltipCase> {};

TEST_P(LampTooltipCases, ListsTheRulesThatSwitchTheOutput) {
  const TooltipCase& c = GetParam();
  EXPECT_EQ(LampTooltip(MakeRules(c.rules), c.output, c.output_name), c.expected);
}

const std::vector<RuleSpec> kExampleRules{
    {"Saft", OnBit(1), 5},
    {"Disco-Kula On", OnBit(2)},
    {"Disco-Kula Off", OffBit(2)},
    {"Buzzer", OnBit(3) | flag::kPulseQuickly, 2},
    {"Buzz", ToggleBit(3) | flag::kPulseQuickly | flag::kResponseWithIOCommandName},
};

INSTANTIATE_TEST_SUITE_P(
    Rules, LampTooltipCases,
    ::testing::Values(TooltipCase{"NoRules", {}, 5, "N/C", "O5 N/C\nNo rule switches this output."},
                      TooltipCase{"OnWithAutoReturn", kExampleRules, 1, "Saftblandare",
                                  "O1 Saftblandare\nSaft: on, undone after 5 s"},
                      TooltipCase{"OnAndOffRulesInOrder", kExampleRules, 2, "Disco-kula",
                                  "O2 Disco-kula\nDisco-Kula On: on\nDisco-Kula Off: off"},
                      TooltipCase{
                          "PulsingOnOutputThree", kExampleRules, 3, "Buzzer",
                          "O3 Buzzer\nBuzzer: on, pulses, undone after 2 s\nBuzz: toggle, pulses"},
                      TooltipCase{"OtherOutputsOnly", kExampleRules, 4, "N/C",
                                  "O4 N/C\nNo rule switches this output."},
                      TooltipCase{"PulseAloneReachesOutputThree",
                                  {{"Blink", OnBit(1) | flag::kPulseQuickly}},
                                  3,
                                  "Buzzer",
                                  "O3 Buzzer\nBlink: pulses"},
                      TooltipCase{"PulseDoesNotReachOtherOutputs",
                                  {{"Blink", OnBit(1) | flag::kPulseQuickly}},
                                  1,
                                  "Lamp",
                                  "O1 Lamp\nBlink: on"},
                      TooltipCase{"OffOnToggleInTheDispatchersOrder",
                                  {{"All", ToggleBit(8) | OnBit(8) | OffBit(8), 60}},
                                  8,
                                  "",
                                  "O8\nAll: off, on, toggle, undone after 60 s"},
                      TooltipCase{"GatesAndOptionsAreNoSwitching",
                                  {{"Gate", flag::kExecuteOnWeekdaysOnly | flag::kSetFocusOnVesko}},
                                  7,
                                  "Fan",
                                  "O7 Fan\nNo rule switches this output."}),
    [](const ::testing::TestParamInfo<TooltipCase>& info) { return info.param.name; });

TEST(LampTooltip, RefusesAnOutputOutsideOneToEight) {
  const IOCommands rules = MakeRules(kExampleRules);
  EXPECT_THROW(LampTooltip(rules, 0, ""), std::out_of_range);
  EXPECT_THROW(LampTooltip(rules, 9, ""), std::out_of_range);
}

TEST(LampTooltip, ShowsNamesAsWrittenNotAsMarkup) {
  const std::string plain = "O1 <b>Lamp</b>\nA & B: on";
  QTextDocument shown;
  shown.setHtml(AsToolTip(plain));
  EXPECT_EQ(shown.toPlainText().toStdString(), plain);
}

// --- Status line ----------------------------------------------------------

struct StatusCase {
  State state;
  std::string words;
  std::uint32_t mark;
  friend void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.words; }
};

class StatusLineStates : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusLineStates, ShowsTheStateInWordsAndTheMarkInItsColour) {
  const StatusCase& c = GetParam();
  FakeClock clock;
  StatusLine line(clock);
  line.resize(400, line.sizeHint().height());
  line.SetStatus(
      {c.state, "irc.example.net:6697", "#lab", "Zelvo", clock.MonotonicNow() + seconds(40), ""});

  EXPECT_EQ(line.Text().toStdString(),
            c.words + "  \u00B7  irc.example.net:6697  \u00B7  #lab  \u00B7  Zelvo");
  const QImage image = Render(line);
  EXPECT_EQ(PixelNumber(image, line.MarkRect().center()), c.mark);
  EXPECT_EQ(PixelNumber(image, {0, 0}), 0u) << "black background";
  // The words are drawn in the text colour somewhere right of the mark.
  bool text_drawn = false;
  for (int x = line.MarkRect().right() + 1; x < image.width() && !text_drawn; ++x)
    for (int y = 0; y < image.height() && !text_drawn; ++y)
      text_drawn = PixelNumber(image, {x, y}) == kStatusText;
  EXPECT_TRUE(text_drawn);
}

INSTANTIATE_TEST_SUITE_P(
    States, StatusLineStates,
    ::testing::Values(StatusCase{State::kDown, "Disconnected", kStatusRed},
                      StatusCase{State::kConnecting, "Connecting", kStatusAmber},
                      StatusCase{State::kRegistering, "Registering", kStatusAmber},
                      StatusCase{State::kJoined, "In the channel", kStatusGreen},
                      StatusCase{State::kReconnecting, "Reconnecting in 40 s", kStatusAmber},
                      StatusCase{State::kNotInChannel, "Connected, not in the channel",
                                 kStatusAmber}));

TEST(StatusLine, CountsDownToTheReconnectOnEachTick) {
  FakeClock clock;
  StatusLine line(clock);
  line.SetStatus({State::kReconnecting, "", "", "", clock.MonotonicNow() + seconds(40), ""});
  // {time passing before the tick, words after it}
  const std::vector<std::pair<milliseconds, std::string>> ticks{
      {milliseconds(0), "Reconnecting in 40 s"},   {milliseconds(500), "Reconnecting in 40 s"},
      {milliseconds(500), "Reconnecting in 39 s"}, {milliseconds(1000), "Reconnecting in 38 s"},
      {seconds(37), "Reconnecting in 1 s"},        {milliseconds(999), "Reconnecting in 1 s"},
      {milliseconds(1), "Reconnecting"},           {seconds(5), "Reconnecting"}};
  for (const auto& [elapsed, words] : ticks) {
    clock.Advance(elapsed);
    line.Tick();
    EXPECT_EQ(line.Text().toStdString(), words) << "after " << elapsed.count() << " ms more";
  }
  // Without a tick the text stays where the owner left it.
  line.SetStatus({State::kReconnecting, "", "", "", clock.MonotonicNow() + seconds(10), ""});
  clock.Advance(seconds(3));
  EXPECT_EQ(line.Text().toStdString(), "Reconnecting in 10 s");
  line.Tick();
  EXPECT_EQ(line.Text().toStdString(), "Reconnecting in 7 s");
}

// --- Last rule run --------------------------------------------------------

TEST(LastRunLabel, NamesRuleSenderAndTimeElseStaysQuiet) {
  LastRunLabel label;
  const auto colour = [&] {
    const QColor c = label.palette().color(QPalette::WindowText);
    return ColorFromNumber(kQuietColour) == c     ? kQuietColour
           : ColorFromNumber(kLastRunColour) == c ? kLastRunColour
                                                  : 0u;
  };
  EXPECT_EQ(label.text().toStdString(), "No rule has run yet");
  EXPECT_EQ(colour(), kQuietColour);
  EXPECT_FALSE(label.HasRun());

  label.SetLastRun("Disco-Kula On", "alice", ToOleDate({2024, 5, 17, 9, 5, 7}));
  EXPECT_EQ(label.text().toStdString(), "Last rule: Disco-Kula On by alice at 09:05:07");
  EXPECT_EQ(colour(), kLastRunColour);
  EXPECT_TRUE(label.HasRun());
  EXPECT_EQ(label.textFormat(), Qt::PlainText) << "names are shown as written";

  label.SetLastRun("Buzz", "bob", ToOleDate({2024, 5, 17, 23, 59, 59}));
  EXPECT_EQ(label.text().toStdString(), "Last rule: Buzz by bob at 23:59:59");

  label.Clear();
  EXPECT_EQ(label.text().toStdString(), "No rule has run yet");
  EXPECT_EQ(colour(), kQuietColour);
}

// --- Activity strip -------------------------------------------------------

struct StripCase {
  std::string name;
  // {seconds passing, state recorded}, then `then` seconds pass.
  std::vector<std::pair<int, bool>> steps;
  int then;
  // Columns drawn on, as [left, right) ranges, in a strip 100 pixels wide
  // (6 s a pixel).
  std::vector<std::pair<int, int>> on_columns;
  friend void PrintTo(const StripCase& c, std::ostream* os) { *os << c.name; }
};

class ActivityStripCases : public ::testing::TestWithParam<StripCase> {};

TEST_P(ActivityStripCases, DrawsOnForTheRightSpan) {
  const StripCase& c = GetParam();
  FakeClock clock;
  OutputHistory history(clock);
  for (const auto& [elapsed, on] : c.steps) {
    clock.Advance(seconds(elapsed));
    history.Record(on);
  }
  clock.Advance(seconds(c.then));
  ActivityStrip strip(history);
  strip.resize(100, ActivityStrip::kSize.height());
  const QImage image = Render(strip);

  std::vector<std::pair<int, int>> on_columns;
  for (int x = 0; x < image.width(); ++x) {
    const std::uint32_t top = PixelNumber(image, {x, 0});
    ASSERT_TRUE(top == kLampOnColour || top == kLampOffColour) << "column " << x;
    for (int y = 1; y < image.height(); ++y)
      ASSERT_EQ(PixelNumber(image, {x, y}), top) << "column " << x << " row " << y;
    if (top != kLampOnColour) continue;
    if (!on_columns.empty() && on_columns.back().second == x)
      ++on_columns.back().second;
    else
      on_columns.emplace_back(x, x + 1);
  }
  EXPECT_EQ(on_columns, c.on_columns);
}

INSTANTIATE_TEST_SUITE_P(
    Spans, ActivityStripCases,
    ::testing::Values(StripCase{"NeverOn", {}, 60, {}},
                      StripCase{
                          "FromFiveToTwoMinutesAgo", {{0, true}, {180, false}}, 120, {{50, 80}}},
                      StripCase{"OnUntilNowReachesTheRightEdge", {{0, true}}, 60, {{90, 100}}},
                      StripCase{"OnSinceBeforeTheWindowFillsIt", {{0, true}}, 3600, {{0, 100}}},
                      StripCase{"ShortPulseShowsOnePixel", {{0, true}, {1, false}}, 29, {{95, 96}}},
                      StripCase{"OffLongAgoIsGone", {{0, true}, {60, false}}, 601, {}},
                      StripCase{"TwoStretches",
                                {{0, true}, {60, false}, {240, true}, {120, false}},
                                60,
                                {{20, 30}, {70, 90}}}),
    [](const ::testing::TestParamInfo<StripCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zelvo
