#include "model/output_history.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/fake_clock.h"

namespace zelvo {
namespace {

using std::chrono::seconds;

// One step: time passes, then the output's state is recorded.
struct Step {
  int after_seconds;
  bool on;
};

struct HistoryCase {
  std::string name;
  bool initially_on;
  std::vector<Step> steps;
  int then_seconds;  // time passing after the last step
  // Expected on-spans as seconds before now: {from, to}.
  std::vector<std::pair<int, int>> spans;
  friend void PrintTo(const HistoryCase& c, std::ostream* os) { *os << c.name; }
};

class OutputHistoryCases : public ::testing::TestWithParam<HistoryCase> {};

TEST_P(OutputHistoryCases, OnSpansWithinTheLastTenMinutes) {
  const HistoryCase& c = GetParam();
  testing::FakeClock clock;
  OutputHistory history(clock, OutputHistory::kDefaultWindow, c.initially_on);
  for (const Step& step : c.steps) {
    clock.Advance(seconds(step.after_seconds));
    history.Record(step.on);
  }
  clock.Advance(seconds(c.then_seconds));
  const auto now = clock.MonotonicNow();
  std::vector<std::pair<int, int>> spans;
  for (const OutputHistory::Span& span : history.OnSpans()) {
    spans.emplace_back(
        static_cast<int>(std::chrono::duration_cast<seconds>(now - span.from).count()),
        static_cast<int>(std::chrono::duration_cast<seconds>(now - span.to).count()));
  }
  EXPECT_EQ(spans, c.spans);
}

INSTANTIATE_TEST_SUITE_P(
    Histories, OutputHistoryCases,
    ::testing::Values(
        HistoryCase{"NeverOn", false, {}, 30, {}},
        HistoryCase{"OnAllAlong", true, {}, 30, {{600, 0}}},
        HistoryCase{"OnUntilNow", false, {{10, true}}, 50, {{50, 0}}},
        HistoryCase{"OneStretch", false, {{0, true}, {60, false}}, 120, {{180, 120}}},
        HistoryCase{"RepeatedStateIsNoChange",
                    false,
                    {{0, true}, {30, true}, {30, false}, {30, false}},
                    0,
                    {{90, 30}}},
        HistoryCase{"StretchBeganBeforeTheWindowIsClipped",
                    false,
                    {{0, true}, {700, false}},
                    60,
                    {{600, 60}}},
        HistoryCase{"StretchEndedBeforeTheWindowIsGone", false, {{0, true}, {10, false}}, 601, {}},
        HistoryCase{"OnSinceBeforeTheWindow", false, {{0, true}}, 900, {{600, 0}}},
        HistoryCase{"SeveralStretches",
                    false,
                    {{0, true}, {100, false}, {100, true}, {50, false}, {50, true}},
                    25,
                    {{325, 225}, {125, 75}, {25, 0}}},
        HistoryCase{"OffAfterLongOn",
                    true,
                    {{1000, false}, {100, true}, {1, false}},
                    0,
                    {{600, 101}, {1, 0}}}),
    [](const ::testing::TestParamInfo<HistoryCase>& info) { return info.param.name; });

struct BoundCase {
  std::string name;
  int toggles;
  int seconds_between;
  std::size_t most_kept;
  friend void PrintTo(const BoundCase& c, std::ostream* os) { *os << c.name; }
};

class OutputHistoryBounds : public ::testing::TestWithParam<BoundCase> {};

// Many toggles keep only the changes in the window (or the cap), and the
// picture of the window's end stays right.
TEST_P(OutputHistoryBounds, KeepsMemoryBounded) {
  const BoundCase& c = GetParam();
  testing::FakeClock clock;
  OutputHistory history(clock);
  bool on = false;
  for (int i = 0; i < c.toggles; ++i) {
    clock.Advance(seconds(c.seconds_between));
    on = !on;
    history.Record(on);
    ASSERT_LE(history.StoredChanges(), c.most_kept) << "after toggle " << i + 1;
  }
  EXPECT_EQ(history.IsOn(), on);
  const std::vector<OutputHistory::Span> spans = history.OnSpans();
  ASSERT_FALSE(spans.empty());
  if (on) {
    EXPECT_EQ(spans.back().to, clock.MonotonicNow());
    EXPECT_EQ(spans.back().from, clock.MonotonicNow());
  } else {
    EXPECT_EQ(spans.back().to, clock.MonotonicNow());
    EXPECT_EQ(spans.back().from, clock.MonotonicNow() - seconds(c.seconds_between));
  }
}

INSTANTIATE_TEST_SUITE_P(Toggles, OutputHistoryBounds,
                         ::testing::Values(
                             // Every 7 s for 10 hours: about 600 / 7 changes lie in the window.
                             BoundCase{"SlowForHours", 5000, 7, 600 / 7 + 1},
                             // Every second for a day: the window holds 600 changes.
                             BoundCase{"EverySecondForADay", 86400, 1, 600},
                             // Many changes in the same instant: the cap holds.
                             BoundCase{"BurstInOneInstant", 5000, 0, OutputHistory::kMaxChanges}),
                         [](const ::testing::TestParamInfo<BoundCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace zelvo
